#include "TestDatabases.h"

#include "TestEnvironment.h"
#include "db/ConnectionString.h"
#include "db/Database.h"
#include "platform/TarveloError.h"

#include <gtest/gtest.h>

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <stdexcept>

namespace {

QString readSchemaFile(const QString& fileName) {
    QFile file(schemaPath(fileName));
    if (!file.open(QIODevice::ReadOnly)) {
        throw std::runtime_error("cannot read " + file.fileName().toStdString());
    }
    return QString::fromUtf8(file.readAll());
}

[[noreturn]] void sqlFailure(const QString& what, const QSqlQuery& query) {
    throw std::runtime_error(
        (what + QStringLiteral(": ") + query.lastError().text()).toStdString());
}

void openOrThrow(Database& database, const QString& connectionString) {
    ensureCoreApplication();
    database.setConnectionString(connectionString);
    try {
        database.open();
    } catch (const TarveloError& error) {
        throw std::runtime_error(("cannot open test database: " + error.message()).toStdString());
    }
}

QList<QPair<qint64, QString>> readPairs(const QString& connectionString, const QString& sql) {
    Database database;
    openOrThrow(database, connectionString);
    QList<QPair<qint64, QString>> rows;
    QSqlQuery query(database.handle());
    query.setForwardOnly(true);
    if (!query.exec(sql)) {
        sqlFailure(sql, query);
    }
    while (query.next()) {
        rows.append({query.value(0).toLongLong(), query.value(1).toString()});
    }
    return rows;
}

QAtomicInt databaseCounter;

} // namespace

QString schemaPath(const QString& fileName) {
    return QStringLiteral(TARVELO_SOURCE_DIR "/schema/") + fileName;
}

QStringList splitSqlStatements(const QString& script) {
    QStringList statements;
    QString current;
    const qsizetype n = script.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = script[i];
        if (c == u'\'' || c == u'"') {
            // A quoted literal or name, a doubled quote inside it included.
            const qsizetype start = i++;
            while (i < n) {
                if (script[i] == c) {
                    if (i + 1 < n && script[i + 1] == c) {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
            current += QStringView(script).mid(start, i - start);
            continue;
        }
        if (c == u'-' && i + 1 < n && script[i + 1] == u'-') {
            while (i < n && script[i] != u'\n') {
                ++i;
            }
            continue;
        }
        if (c == u';') {
            if (!current.trimmed().isEmpty()) {
                statements.append(current.trimmed());
            }
            current.clear();
            ++i;
            continue;
        }
        current += c;
        ++i;
    }
    if (!current.trimmed().isEmpty()) {
        statements.append(current.trimmed());
    }
    return statements;
}

namespace {
void execStatements(const QString& connectionString, const QString& sql, bool inOneTransaction) {
    Database database;
    openOrThrow(database, connectionString);
    QSqlDatabase db = database.handle();
    if (inOneTransaction && !db.transaction()) {
        throw std::runtime_error(("begin: " + db.lastError().text()).toStdString());
    }
    QSqlQuery query(db);
    for (const QString& statement : splitSqlStatements(sql)) {
        if (!query.exec(statement)) {
            sqlFailure(statement, query);
        }
        query.finish();
    }
    if (inOneTransaction && !db.commit()) {
        throw std::runtime_error(("commit: " + db.lastError().text()).toStdString());
    }
}
} // namespace

void execSql(const QString& connectionString, const QString& sql) {
    execStatements(connectionString, sql, false);
}

QString createSqliteDatabase(const QString& filePath, bool withDemoData) {
    ensureCoreApplication();
    QFile::remove(filePath);
    QFile file(filePath);
    if (!file.open(QIODevice::WriteOnly)) {
        throw std::runtime_error("cannot create " + filePath.toStdString());
    }
    file.close();
    const QString connectionString = QStringLiteral("Provider=SQLite;Data Source=") + filePath;
    // One transaction: a commit per statement would make every test slow.
    QString script = readSchemaFile(QStringLiteral("sqlite.sql"));
    if (withDemoData) {
        script += u'\n' + readSchemaFile(QStringLiteral("demo.sql"));
    }
    execStatements(connectionString, script, true);
    return connectionString;
}

namespace {
QString testServer(const char* variable, const char* what) {
    const QString server = qEnvironmentVariable(variable);
    if (server.isEmpty()) {
        const std::string message = std::string(variable) + " is not set: the " + what +
                                    " tests need the server that `make check` starts";
        ADD_FAILURE() << message;
        throw std::runtime_error(message);
    }
    return server;
}

// A database name made here, of letters, digits and '_': no user text.
QString freshDatabaseName() {
    return QStringLiteral("tarvelo_t%1_%2_%3")
        .arg(QCoreApplication::applicationPid())
        .arg(databaseCounter.fetchAndAddRelaxed(1) + 1)
        .arg(QDateTime::currentMSecsSinceEpoch() % 1000000);
}
} // namespace

QString createPostgresDatabase(bool withDemoData) {
    const QString server = testServer("TARVELO_TEST_PG", "PostgreSQL");
    const QString name = freshDatabaseName();
    // Copying the files is quicker than the WAL-logged copy of a small
    // template; servers before version 15 know only the former, unnamed.
    try {
        execSql(server, QStringLiteral("CREATE DATABASE %1 STRATEGY FILE_COPY").arg(name));
    } catch (const std::runtime_error&) {
        execSql(server, QStringLiteral("CREATE DATABASE ") + name);
    }
    const QString connectionString =
        withConnectionKey(server, QStringLiteral("Initial Catalog"), name);
    execSql(connectionString, readSchemaFile(QStringLiteral("postgresql.sql")));
    if (withDemoData) {
        execSql(connectionString, readSchemaFile(QStringLiteral("demo.sql")));
    }
    return connectionString;
}

QString createMariaDbDatabase(bool withDemoData) {
    const QString server = testServer("TARVELO_TEST_MYSQL", "MariaDB");
    const QString name = freshDatabaseName();
    // As the mail server's installer creates its database.
    execSql(server, QStringLiteral("CREATE DATABASE %1 character set 'utf8'").arg(name));
    const QString connectionString =
        withConnectionKey(server, QStringLiteral("Initial Catalog"), name);
    QString script = readSchemaFile(QStringLiteral("mysql.sql"));
    if (withDemoData) {
        script += u'\n' + readSchemaFile(QStringLiteral("demo.sql"));
    }
    execStatements(connectionString, script, true);
    return connectionString;
}

QString odbcConnectionString(const QString& nativeConnectionString) {
    const ConnectionSettings native = parseConnectionString(nativeConnectionString);
    const QString driver = native.server == ConnectionSettings::Server::Postgres
                               ? QStringLiteral("PostgreSQL Unicode")
                               : QStringLiteral("MariaDB Unicode");
    // The test servers' names and passwords are letters and digits.
    return QStringLiteral(
               "Provider=MSDASQL;Driver={%1};Server=%2;Port=%3;Database=%4;UID=%5;PWD=%6")
        .arg(driver, native.host)
        .arg(native.port)
        .arg(native.databaseName, native.user, native.password);
}

QList<QPair<qint64, QString>> routeAddressRows(const QString& connectionString) {
    return readPairs(connectionString,
                     QStringLiteral("select routeaddressrouteid, routeaddressaddress "
                                    "from hm_routeaddresses order by routeaddressid"));
}

QList<QPair<qint64, QString>> routeRows(const QString& connectionString) {
    return readPairs(connectionString,
                     QStringLiteral("select routeid, routedomainname from hm_routes "
                                    "order by routeid"));
}

qint64 insertRoute(const QString& connectionString, const QString& domainName) {
    Database database;
    openOrThrow(database, connectionString);
    QSqlQuery query(database.handle());
    const QString insert = QStringLiteral(
        "INSERT INTO hm_routes (routedomainname, routedescription, routetargetsmthost, "
        "routetargetsmtport, routenooftries, routeminutesbetweentry, routealladdresses, "
        "routeuseauthentication, routeauthenticationusername, routeauthenticationpassword, "
        "routetreatsecurityaslocal, routeconnectionsecurity, routetreatsenderaslocaldomain) "
        "VALUES (?, '', 'localhost', 25, 4, 15, 0, 0, '', '', 0, 0, 0)");
    if (!query.prepare(insert)) {
        sqlFailure(insert, query);
    }
    query.addBindValue(database.text(domainName));
    if (!query.exec()) {
        sqlFailure(insert, query);
    }
    query.finish();
    const QString select = QStringLiteral("SELECT MAX(routeid) FROM hm_routes");
    if (!query.exec(select) || !query.next()) {
        sqlFailure(select, query);
    }
    return query.value(0).toLongLong();
}

QString routeWithIdInsert() {
    return QStringLiteral(
        "INSERT INTO hm_routes (routeid, routedomainname, routedescription, routetargetsmthost, "
        "routetargetsmtport, routenooftries, routeminutesbetweentry, routealladdresses, "
        "routeuseauthentication, routeauthenticationusername, routeauthenticationpassword, "
        "routetreatsecurityaslocal, routeconnectionsecurity, routetreatsenderaslocaldomain) "
        "VALUES (?, ?, '', 'localhost', 25, 4, 15, 0, 0, '', '', 0, 0, 0)");
}

QString routeAddressInsert() {
    return QStringLiteral("INSERT INTO hm_routeaddresses (routeaddressrouteid, "
                          "routeaddressaddress) VALUES (?, ?)");
}
