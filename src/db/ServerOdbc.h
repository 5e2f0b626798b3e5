#pragma once

#include "db/ConnectionString.h"

#include <QStringList>

// How this platform reaches the server a connection string names. On Linux
// as it was parsed: Qt's own PostgreSQL and MySQL drivers, FreeTDS for SQL
// Server (ServerOdbcPosix.cpp). On Windows every server but SQLite through
// ODBC, with the server's own driver as installed on the machine
// (ServerOdbcWindows.cpp).
namespace ServerOdbc {

// The settings for this platform; raises DbError, naming the driver to
// install, where the server's ODBC driver is missing.
ConnectionSettings forThisPlatform(const ConnectionSettings& parsed);

// The settings through ODBC, with the first driver of the server's kind that
// installed holds: "ODBC Driver 18 for SQL Server" before older ones,
// "PostgreSQL Unicode", "MariaDB ODBC 3.1 Driver" or "MySQL ODBC 8.0 Unicode
// Driver". SQLite and ODBC data sources stay as they are.
ConnectionSettings throughOdbc(const ConnectionSettings& parsed, const QStringList& installed);

} // namespace ServerOdbc
