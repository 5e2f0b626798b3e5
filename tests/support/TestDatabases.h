#pragma once

#include "ConnectionKey.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// Databases for tests: SQLite files built from schema/, and fresh databases on
// the throw-away PostgreSQL and MariaDB servers that scripts/with-postgres and
// scripts/with-mariadb started.

// Path of a file in schema/.
QString schemaPath(const QString& fileName);

// Creates a fresh SQLite file (replacing one of that name) from
// schema/sqlite.sql, with schema/demo.sql when asked; returns its connection
// string "Provider=SQLite;Data Source=<filePath>".
QString createSqliteDatabase(const QString& filePath, bool withDemoData = false);

// Creates a fresh, uniquely named database on the server named by
// TARVELO_TEST_PG, with schema/postgresql.sql (and schema/demo.sql); returns
// its connection string. Without TARVELO_TEST_PG the test fails: PostgreSQL
// tests run under `make check` (scripts/with-postgres).
QString createPostgresDatabase(bool withDemoData = false);

// The same on the throw-away MariaDB server that scripts/with-mariadb started
// (TARVELO_TEST_MYSQL): a database created with character set 'utf8', the
// mail server's tables of schema/mysql.sql.
QString createMariaDbDatabase(bool withDemoData = false);

// The same database reached through ODBC: "Provider=MSDASQL" with the
// server's own ODBC driver ("PostgreSQL Unicode", "MariaDB Unicode", as
// Debian's odbc-postgresql and odbc-mariadb register them) and the host,
// port, database and login of a PostgreSQL or MySQL connection string.
QString odbcConnectionString(const QString& nativeConnectionString);

// The statements of an SQL script: split at ';' outside quotes, comments
// dropped, empty statements left out.
QStringList splitSqlStatements(const QString& script);

// Runs SQL (one or more statements) through a connection of its own.
void execSql(const QString& connectionString, const QString& sql);

// (routeaddressrouteid, routeaddressaddress) of hm_routeaddresses in
// routeaddressid order, read through a connection of its own.
QList<QPair<qint64, QString>> routeAddressRows(const QString& connectionString);

// (routeid, routedomainname) of hm_routes in routeid order, read likewise.
QList<QPair<qint64, QString>> routeRows(const QString& connectionString);

// The INSERT of a route with a given routeid and domain name (the other
// columns filled), and of a route address (routeaddressrouteid,
// routeaddressaddress): the rows tests seed their tables with.
QString routeWithIdInsert();
QString routeAddressInsert();

// Inserts a route with the given domain name (all other columns filled) and
// returns its routeid.
qint64 insertRoute(const QString& connectionString, const QString& domainName);
