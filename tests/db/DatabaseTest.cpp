#include "db/Database.h"
#include "DbBackendTest.h"
#include "TestDatabases.h"
#include "TestEnvironment.h"
#include "db/ServerLock.h"
#include "db/SqliteUri.h"
#include "platform/TarveloError.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

namespace {

QString openError(const QString& connectionString) {
    ensureCoreApplication();
    Database database;
    database.setConnectionString(connectionString);
    try {
        database.open();
    } catch (const DbError& error) {
        EXPECT_FALSE(database.isOpen());
        return error.message();
    }
    return QStringLiteral("<opened>");
}

int routeCount(const Database& database) {
    QSqlQuery query(database.openHandle());
    EXPECT_TRUE(query.exec(QStringLiteral("select count(*) from hm_routes")));
    EXPECT_TRUE(query.next());
    return query.value(0).toInt();
}

} // namespace

TEST(Database, OpensAnSqliteFileAndCloses) {
    ensureCoreApplication();
    QTemporaryDir dir;
    const QString connection =
        createSqliteDatabase(dir.filePath(QStringLiteral("hm mail.db")), true);
    Database database;
    database.setConnectionString(connection);
    EXPECT_EQ(database.connectionString(), connection);
    EXPECT_FALSE(database.isOpen());
    database.open();
    EXPECT_TRUE(database.isOpen());
    EXPECT_EQ(routeCount(database), 4);
    // Opening again (the start-up closes, then opens) gives a working connection.
    database.close();
    EXPECT_FALSE(database.isOpen());
    database.open();
    EXPECT_EQ(routeCount(database), 4);
    database.close();
    EXPECT_FALSE(database.isOpen());
    try {
        database.openHandle();
        ADD_FAILURE() << "a closed connection handed out";
    } catch (const DbError& error) {
        EXPECT_EQ(error.message(), "Die Verbindung zur Datenbank ist nicht geöffnet");
    }
}

TEST(Database, SqliteFileNamesWithUriCharactersOpenTheFileNamed) {
    ensureCoreApplication();
    QTemporaryDir dir;
    // Windows allows no '?' in a file name; the other characters of a URI
    // there too.
#ifdef Q_OS_WIN
    const QString name = QStringLiteral("mail#1 &%20 ä.db");
#else
    const QString name = QStringLiteral("mail#1 ?%20 ä.db");
#endif
    const QString path = dir.filePath(name);
    const QString connection = createSqliteDatabase(path, true);
    Database database;
    database.setConnectionString(connection);
    database.open();
    EXPECT_EQ(routeCount(database), 4);
    // No other file appeared beside it.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList({name}));
}

// A database on a share keeps its server name in the path: as the URI's
// authority SQLite would refuse it.
TEST(Database, SqliteUrisKeepDrivesAndSharesInThePath) {
    const std::pair<QString, QString> cases[] = {
        {"/srv/hmail/hm.db", "file:///srv/hmail/hm.db?mode=rw"},
        {"C:/hMail/Data/hm.db", "file:///C:/hMail/Data/hm.db?mode=rw"},
        {"//fs01/mail/hm.db", "file:////fs01/mail/hm.db?mode=rw"},
        {"//fs01/Mail Daten/#1 ?%.db", "file:////fs01/Mail%20Daten/%231%20%3F%25.db?mode=rw"},
        {"C:/Pr\u00fcfung/hm.db", "file:///C:/Pr%C3%BCfung/hm.db?mode=rw"},
    };
    for (const auto& [path, uri] : cases) {
        EXPECT_EQ(sqliteUri(path), uri) << path.toStdString();
    }
}

TEST(Database, EachInstanceIsAConnectionOfItsOwn) {
    ensureCoreApplication();
    QTemporaryDir dir;
    const QString connection = createSqliteDatabase(dir.filePath(QStringLiteral("a.db")), true);
    const qsizetype before = QSqlDatabase::connectionNames().size();
    Database first;
    Database second;
    first.setConnectionString(connection);
    second.setConnectionString(connection);
    first.open();
    second.open();
    EXPECT_EQ(QSqlDatabase::connectionNames().size(), before + 2);
    first.close();
    EXPECT_TRUE(second.isOpen());
    EXPECT_EQ(routeCount(second), 4);
}

TEST(Database, MissingSqliteFileIsAnErrorAndIsNotCreated) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fehlt.db"));
    EXPECT_EQ(openError(QStringLiteral("Provider=SQLite;Data Source=") + path),
              QStringLiteral("Die Datenbank \"%1\" wurde nicht gefunden").arg(path));
    EXPECT_FALSE(QFileInfo::exists(path));

    // Nor in a directory that does not exist.
    const QString deeper = dir.filePath(QStringLiteral("nichtda/fehlt.db"));
    EXPECT_EQ(openError(QStringLiteral("Provider=SQLite;Data Source=") + deeper),
              QStringLiteral("Die Datenbank \"%1\" wurde nicht gefunden").arg(deeper));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("nichtda"))));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size(), 0);
}

TEST(Database, SqliteDirectoryOrOtherFileIsAnError) {
    QTemporaryDir dir;
    EXPECT_EQ(openError(QStringLiteral("Provider=SQLite;Data Source=") + dir.path()),
              QStringLiteral("\"%1\" ist keine Datenbankdatei").arg(dir.path()));

    const QString text = dir.filePath(QStringLiteral("liste.txt"));
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    const QString message = openError(QStringLiteral("Provider=SQLite;Data Source=") + text);
    EXPECT_NE(message, "<opened>");
    EXPECT_FALSE(message.isEmpty());
    EXPECT_TRUE(message.contains(QStringLiteral("not a database"))) << message.toStdString();
}

TEST(Database, ConnectionStringErrorsComeFromOpen) {
    EXPECT_EQ(openError(QString()), "Keine Verbindungszeichenfolge angegeben");
    EXPECT_EQ(openError(QStringLiteral("Provider=Jet;Data Source=x.mdb")),
              "Unbekannter Provider \"Jet\"");
}

TEST(Database, PostgresqlOpensAndAWrongPasswordCarriesTheServersText) {
    ensureCoreApplication();
    const QString connection = createPostgresDatabase(true);
    Database database;
    database.setConnectionString(connection);
    database.open();
    EXPECT_TRUE(database.isOpen());
    EXPECT_EQ(routeCount(database), 4);

    const QString message =
        openError(withConnectionKey(connection, QStringLiteral("Password"), QStringLiteral("x")));
    EXPECT_TRUE(message.contains(QStringLiteral("password authentication failed")))
        << message.toStdString();
}

TEST(Database, UnreachableServerFailsWithTheDriversText) {
    // Port 1 on the local host: nobody listens, the connection is refused.
    const QString message = openError(
        QStringLiteral("Provider=PostgreSQL;Data Source=127.0.0.1;Port=1;Initial Catalog=hm;"
                       "User ID=hm;Password=x"));
    EXPECT_NE(message, "<opened>");
    EXPECT_TRUE(message.contains(QStringLiteral("127.0.0.1"))) << message.toStdString();
}

TEST(Database, SqlServerThroughFreeTdsFailsWithTheDriversText) {
    // Nobody listens on port 1: the ODBC driver reports, without a prompt.
    const QString message = openError(
        QStringLiteral("Provider=SQLOLEDB.1;Password=x;Persist Security Info=True;User ID=sa;"
                       "Initial Catalog=hmailserver;Data Source=127.0.0.1,1"));
    EXPECT_TRUE(message.contains(QStringLiteral("[FreeTDS]"))) << message.toStdString();
}

TEST(Database, OdbcStringsReachTheDriverManagerIntact) {
    // A driver named in the string: FreeTDS itself answers.
    QString message = openError(
        QStringLiteral("Provider=MSDASQL;Driver={FreeTDS};Server=127.0.0.1;Port=1;UID=sa;PWD=x"));
    EXPECT_TRUE(message.contains(QStringLiteral("[FreeTDS]"))) << message.toStdString();
    // A data source name: the driver manager looks it up by that very name.
    message = openError(QStringLiteral("Provider=MSDASQL;Data Source=tarvelo-nichtda;User ID=sa"));
    EXPECT_TRUE(message.contains(QStringLiteral("Data source name not found")))
        << message.toStdString();

#ifndef Q_OS_WIN
    // A data source of the user's own ODBC file, leading to FreeTDS. (On
    // Windows data sources live in the registry, which Wine's ODBC does not
    // hand on to this machine's driver manager.)
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("odbc.ini"));
    QFile file(ini);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[tarvelo-dsn]\nDriver=FreeTDS\nServer=127.0.0.1\nPort=1\n");
    file.close();
    qputenv("ODBCINI", ini.toLocal8Bit());
    message = openError(QStringLiteral("Provider=MSDASQL;DSN=tarvelo-dsn;UID=sa;PWD=x"));
    qunsetenv("ODBCINI");
    EXPECT_TRUE(message.contains(QStringLiteral("[FreeTDS]"))) << message.toStdString();
#endif
}

// Whichever driver asks, the connection knows the system behind it (through
// ODBC the driver tells), and that system's bounds on waits are set: a lock
// or a silent statement ends in the driver's error after 30 seconds.
class DatabaseOnBackend : public OpenDbBackendTest {};

TEST_P(DatabaseOnBackend, KnowsTheSystemBehindItAndBoundsItsWaits) {
    using Server = ConnectionSettings::Server;
    QSqlQuery query(m_database.openHandle());
    switch (serverOf(GetParam())) {
    case Backend::Sqlite:
        EXPECT_EQ(m_database.server(), Server::Sqlite);
        // Milliseconds: another writer's lock is waited for, not failed at once.
        ASSERT_TRUE(query.exec("PRAGMA busy_timeout"));
        ASSERT_TRUE(query.next());
        EXPECT_EQ(query.value(0).toLongLong(), 30000);
        break;
    case Backend::Postgres:
        EXPECT_EQ(m_database.server(), Server::Postgres);
        for (const char* setting : {"lock_timeout", "statement_timeout"}) {
            ASSERT_TRUE(query.exec(QStringLiteral("SHOW ") + QLatin1String(setting)));
            ASSERT_TRUE(query.next());
            EXPECT_EQ(query.value(0).toString(), "30s") << setting;
        }
        // Through libpq, no warning of the old string syntax reaches
        // standard error.
        if (m_database.openHandle().driverName() == "QPSQL") {
            ASSERT_TRUE(query.exec("SHOW escape_string_warning"));
            ASSERT_TRUE(query.next());
            EXPECT_EQ(query.value(0).toString(), "off");
        }
        break;
    case Backend::MariaDb:
        EXPECT_EQ(m_database.server(), Server::MySql);
        ASSERT_TRUE(query.exec("SELECT @@SESSION.lock_wait_timeout, "
                               "@@SESSION.innodb_lock_wait_timeout, @@SESSION.max_statement_time"));
        ASSERT_TRUE(query.next());
        EXPECT_EQ(query.value(0).toLongLong(), 30);
        EXPECT_EQ(query.value(1).toLongLong(), 30);
        EXPECT_EQ(query.value(2).toDouble(), 30.0);
        break;
    default:
        FAIL() << "no database system";
    }
}

TARVELO_DB_BACKENDS(DatabaseOnBackend);

// A password with ';', '"', '}' and '=' reaches the server intact through
// ODBC, written in ADO's quotes of either kind or in ODBC's own braces; so
// does one with '+' and '%', which PostgreSQL's driver would read as
// URL-encoded outside braces, written plain too.
class OdbcLogin : public DbBackendTest {};

TEST_P(OdbcLogin, QuotedAndBracedPasswordsReachTheServerIntact) {
    const bool mariaDb = serverOf(GetParam()) == Backend::MariaDb;
    const QString server = qEnvironmentVariable(mariaDb ? "TARVELO_TEST_MYSQL" : "TARVELO_TEST_PG");
    ASSERT_FALSE(server.isEmpty());
    // The ODBC string ends with the login: "...;Database=<name>;UID=...;PWD=...".
    const QString driverPart = m_connection.left(m_connection.indexOf(QStringLiteral(";UID=")));
    ASSERT_TRUE(driverPart.contains(QStringLiteral("Database=")));
    const QString database =
        m_connection.section(QStringLiteral("Database="), 1).section(u';', 0, 0);
    const struct {
        const char* suffix;
        QString password;
        std::initializer_list<const char*> written;
        const char* wrong;
    } logins[] = {
        {"_u",
         QStringLiteral("a;b\"c}d=e"),
         {"PWD='a;b\"c}d=e'", "PWD=\"a;b\"\"c}d=e\"", "PWD={a;b\"c}}d=e}",
          "Password = 'a;b\"c}d=e' "},
         "PWD='a;b\"c}d=E'"},
        {"_p",
         QStringLiteral("Sommer+2026%41"),
         {"PWD=Sommer+2026%41", "PWD='Sommer+2026%41'", "PWD={Sommer+2026%41}"},
         "PWD=Sommer 2026A"},
    };
    for (const auto& login : logins) {
        const QString user = database + QLatin1String(login.suffix);
        if (mariaDb) {
            execSql(server, QStringLiteral("CREATE USER '%1'@'127.0.0.1' IDENTIFIED BY '%2'; "
                                           "GRANT ALL PRIVILEGES ON %3.* TO '%1'@'127.0.0.1'")
                                .arg(user, login.password, database));
        } else {
            execSql(server,
                    QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD '%2'").arg(user, login.password));
            execSql(m_connection, QStringLiteral("GRANT SELECT ON hm_routes TO ") + user);
        }
        for (const char* written : login.written) {
            SCOPED_TRACE(written);
            Database session;
            session.setConnectionString(driverPart + QStringLiteral(";UID=") + user + u';' +
                                        QString::fromUtf8(written));
            session.open();
            EXPECT_EQ(routeCount(session), 4);
        }
        EXPECT_TRUE(openError(driverPart + QStringLiteral(";UID=") + user + u';' +
                              QString::fromUtf8(login.wrong))
                        .contains(mariaDb ? "Access denied" : "password authentication failed"));
    }
}

INSTANTIATE_TEST_SUITE_P(Odbc, OdbcLogin,
                         testing::Values(Backend::PostgresOdbc, Backend::MariaDbOdbc), backendName);

// The run's lock on the server is known as taken whatever psqlODBC makes of
// true: "1", -1 in a data source set up for Access (TrueIsMinus1), or a bit.
TEST(Database, TheServersLockIsKnownTakenWhateverOdbcMakesOfTrue) {
    ensureCoreApplication();
    const QString connection = createBackendDatabase(Backend::PostgresOdbc, QString(), false);
    for (const char* options :
         {"", ";TrueIsMinus1=1", ";BoolsAsChar=0", ";BoolsAsChar=0;TrueIsMinus1=1"}) {
        SCOPED_TRACE(options);
        Database first;
        Database second;
        for (Database* session : {&first, &second}) {
            session->setConnectionString(connection + QLatin1String(options));
            session->open();
        }
        EXPECT_TRUE(ServerLock::tryLock(first));
        EXPECT_FALSE(ServerLock::tryLock(second));
        ServerLock::unlock(first);
        EXPECT_TRUE(ServerLock::tryLock(second));
        ServerLock::unlock(second);
    }
}
