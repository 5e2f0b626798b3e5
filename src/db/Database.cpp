#include "db/Database.h"

#include "db/ConnectionString.h"
#include "db/OdbcServer.h"
#include "db/ServerOdbc.h"
#include "db/SqlExec.h"
#include "db/SqliteUri.h"
#include "platform/AsciiCase.h"
#include "platform/AsciiCaseRules.h"
#include "platform/TarveloError.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace {
QAtomicInt connectionCounter;

void execOrThrow(QSqlDatabase& db, const QString& sql) {
    QSqlQuery query(db);
    if (!query.exec(sql)) {
        throw DbError(SqlExec::driverText(query.lastError()));
    }
}

// The addresses travel as UTF-8. A session that carries text in another
// character set (MariaDB's ODBC driver takes it from CHARSET= in the string
// or the data source; a server's init_connect may switch it) would read
// "łukasz" as "?ukasz", delete its row and insert garbled letters in its
// place, night after night. The server converts what it is sent into the
// connection's character set before it stores it: that one counts too.
void requireUtf8Session(QSqlDatabase& db) {
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT @@character_set_client, @@character_set_connection, "
                                   "@@character_set_results")) ||
        !query.next()) {
        throw DbError(SqlExec::driverText(query.lastError()));
    }
    for (int column = 0; column < 3; ++column) {
        const QVariant value = query.value(column);
        const QString set = value.isNull() ? QStringLiteral("NULL") : value.toString();
        const QString lower = AsciiCase::lower(set);
        if (lower != u"utf8mb4" && lower != u"utf8mb3" && lower != u"utf8") {
            throw DbError(
                QStringLiteral("Die Verbindung zum MySQL/MariaDB-Server überträgt Text im "
                               "Zeichensatz %1, nicht in UTF-8: Adressen mit Umlauten würden "
                               "verfälscht und gelöscht. Lassen Sie CHARSET in der "
                               "Verbindungszeichenfolge und in der ODBC-Datenquelle weg oder "
                               "setzen Sie CHARSET=utf8mb4; ein SET NAMES in init_connect des "
                               "Servers muss utf8mb4 oder utf8 nennen")
                    .arg(set));
        }
    }
}

// MariaDB's ODBC driver (3.1 on Linux) miscounts text in UTF-16 that holds
// a unit whose low byte is D8 to DB (Ø, Ù, Ú, Û, ヘ ...) and cuts it short:
// a run would take "Ølaf@example.org" for "Ølaf@example.or", delete the row
// and insert it again every night. Where the mail server's columns hold
// UTF-8, the server sends their bytes as they are, and they are read as
// UTF-8 here; other columns still travel as text.
void readTextAsBytes(QSqlDatabase& db) {
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral(
            "SELECT COUNT(*) FROM information_schema.columns WHERE table_schema = DATABASE() "
            "AND column_name IN ('routeaddressaddress', 'routedomainname') AND "
            "character_set_name NOT IN ('utf8', 'utf8mb3', 'utf8mb4')")) ||
        !query.next()) {
        throw DbError(SqlExec::driverText(query.lastError()));
    }
    if (query.value(0).toLongLong() == 0) {
        execOrThrow(db, QStringLiteral("SET character_set_results = binary"));
    }
}

// No statement waits longer than the bound for a lock or for the server's
// answer: the error then carries the driver's text, as any database failure.
void applySessionBounds(QSqlDatabase& db, ConnectionSettings::Server server) {
    const QString seconds = QString::number(kStatementTimeoutSeconds);
    switch (server) {
    case ConnectionSettings::Server::Sqlite:
        // A file that is no SQLite database opens without complaint; the
        // first read tells.
        execOrThrow(db, QStringLiteral("select count(*) from sqlite_master"));
        break;
    case ConnectionSettings::Server::Postgres:
        execOrThrow(db, QStringLiteral("SET lock_timeout = '%1s'").arg(seconds));
        execOrThrow(db, QStringLiteral("SET statement_timeout = '%1s'").arg(seconds));
        break;
    case ConnectionSettings::Server::MySql: {
        // Each change is stored at once, also where the server starts its
        // sessions without autocommit (init_connect, my.cnf): the changes
        // would otherwise go with the connection, unstored.
        execOrThrow(db, QStringLiteral("SET SESSION autocommit = 1, lock_wait_timeout = %1, "
                                       "innodb_lock_wait_timeout = %1")
                            .arg(seconds));
        // MariaDB bounds every statement; MySQL lacks the setting.
        QSqlQuery maxTime(db);
        maxTime.exec(QStringLiteral("SET SESSION max_statement_time = %1").arg(seconds));
        break;
    }
    case ConnectionSettings::Server::SqlServer:
        execOrThrow(db, QStringLiteral("SET LOCK_TIMEOUT %1").arg(kStatementTimeoutSeconds * 1000));
        break;
    case ConnectionSettings::Server::OtherOdbc:
        break;
    }
}
} // namespace

Database::Database()
    : m_name(QStringLiteral("tarvelo-db-%1").arg(connectionCounter.fetchAndAddRelaxed(1) + 1)) {}

Database::~Database() {
    if (QSqlDatabase::contains(m_name)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
}

void Database::setConnectionString(const QString& connectionString) {
    m_connectionString = connectionString;
}

void Database::open() {
    close();
    m_textAsBytes = false;
    const ConnectionSettings settings =
        ServerOdbc::forThisPlatform(parseConnectionString(m_connectionString));

    QString databaseName = settings.databaseName;
    QString options = settings.options;
    if (settings.driver == u"QSQLITE") {
        const QFileInfo file(settings.databaseName);
        if (!file.exists()) {
            throw DbError(QStringLiteral("Die Datenbank \"%1\" wurde nicht gefunden")
                              .arg(settings.databaseName));
        }
        if (!file.isFile()) {
            throw DbError(
                QStringLiteral("\"%1\" ist keine Datenbankdatei").arg(settings.databaseName));
        }
        // SQLite creates a missing file on open; the mail server's database
        // must exist.
        databaseName = sqliteUri(file.absoluteFilePath());
        // A write waits for another writer's lock this long, then fails.
        options = QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1")
                      .arg(kStatementTimeoutSeconds * 1000);
    }

    if (QSqlDatabase::contains(m_name)) {
        QSqlDatabase::removeDatabase(m_name);
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(settings.driver, m_name);
    if (!db.isValid()) {
        throw DbError(QStringLiteral("Der Datenbanktreiber %1 ist nicht verfügbar: %2")
                          .arg(settings.driver, SqlExec::driverText(db.lastError())));
    }
    db.setDatabaseName(databaseName);
    if (!settings.host.isEmpty()) {
        db.setHostName(settings.host);
    }
    if (settings.port > 0) {
        db.setPort(settings.port);
    }
    db.setUserName(settings.user);
    db.setPassword(settings.password);
    db.setConnectOptions(options);
    bool opened = false;
    {
        const AsciiCaseRules keysMatchedByAscii;
        opened = db.open();
    }
    if (!opened) {
        throw DbError(SqlExec::driverText(db.lastError()));
    }
    try {
        // Behind ODBC any server may answer: the open connection tells which.
        m_server =
            settings.driver == u"QODBC" && settings.server == ConnectionSettings::Server::OtherOdbc
                ? odbcServer(db)
                : settings.server;
        m_textAsBytes =
            settings.driver == u"QODBC" && m_server == ConnectionSettings::Server::MySql;
        applySessionBounds(db, m_server);
        if (m_server == ConnectionSettings::Server::MySql) {
            requireUtf8Session(db);
            if (m_textAsBytes) {
                readTextAsBytes(db);
            }
        }
    } catch (const DbError&) {
        db.close();
        throw;
    }
}

void Database::close() {
    if (QSqlDatabase::contains(m_name)) {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
    }
}

bool Database::isOpen() const {
    return QSqlDatabase::contains(m_name) && QSqlDatabase::database(m_name, false).isOpen();
}

bool Database::answers() const {
    if (!isOpen()) {
        return false;
    }
    QSqlQuery probe(handle());
    return probe.exec(QStringLiteral("SELECT 1"));
}

QVariant Database::text(const QString& value) const {
    if (m_textAsBytes) {
        // Empty, but not null: a null byte array would go as NULL.
        return value.isEmpty() ? QByteArray("") : value.toUtf8();
    }
    return SqlExec::text(value);
}

QSqlDatabase Database::handle() const {
    return QSqlDatabase::database(m_name, false);
}

QSqlDatabase Database::openHandle() const {
    if (!isOpen()) {
        throw DbError(QStringLiteral("Die Verbindung zur Datenbank ist nicht geöffnet"));
    }
    return QSqlDatabase::database(m_name, false);
}
