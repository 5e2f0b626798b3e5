#pragma once

#include <QString>
#include <QStringList>

// What an ADO-style connection string ("Provider=...;Data Source=...") says,
// translated for a Qt SQL driver.
struct ConnectionSettings {
    // The server behind the driver, for the settings each one needs;
    // OtherOdbc for an ODBC data source until the open connection tells.
    enum class Server { Sqlite, Postgres, MySql, SqlServer, OtherOdbc };
    Server server = Server::OtherOdbc;
    QString driver; // QSQLITE, QPSQL, QMYSQL, QODBC
    // File (SQLite), database, or the ODBC connection string as Qt's ODBC
    // driver wants it given (it may put "DSN=" in front).
    QString databaseName;
    QString host;
    int port = -1;
    QString user;     // for ODBC as ODBC text, braced where needed
    QString password; // likewise
    QString options;  // driver connect options
    // SQL Server: the server as the connection string names it ("srv",
    // "srv\instance", "srv,port", "tcp:srv", "(local)"), which Microsoft's
    // own driver takes as it is.
    QString dataSource;
    // SQL Server: the database (Initial Catalog) as written, empty for the
    // login's default one, the login (User ID) as written, not braced as
    // `user`, and whether the login is the Windows account's own (a trusted
    // connection); for messages that name them.
    QString catalog;
    QString login;
    bool trusted = false;
    // SQL Server: the encryption attributes the connection string sets, in
    // the words of Microsoft's own driver ("Encrypt=yes",
    // "TrustServerCertificate=no"), for that driver; FreeTDS knows them not
    // (its string holds "Encryption=require" where encryption is demanded).
    QStringList encryption;
    // PostgreSQL: libpq's sslmode as the string sets it ("require"), for
    // Qt's driver and psqlODBC alike; empty where the string sets none.
    QString sslMode;
    // ODBC passed through: what the string names, as written (braces taken
    // off), and the keys it stands under, for messages that name them.
    struct OdbcNamed {
        QString dataSource;
        QString database;
        QString server;
        QString port;
        QString driver;
        QString login;
        QString dataSourceKey, databaseKey, serverKey, portKey, driverKey, loginKey;
    };
    OdbcNamed odbcNamed;
};

// Seconds that a connection attempt, and any statement's wait for a lock or
// an answer, may take before it fails: longer than any healthy server needs,
// short enough that a nightly run never hangs on one that stopped answering.
inline constexpr int kConnectTimeoutSeconds = 15;
inline constexpr int kStatementTimeoutSeconds = 30;

// Raises DbError for an empty string, an unknown provider, a missing key, or
// a value that ODBC (for a SQL Server login: FreeTDS) cannot carry.
ConnectionSettings parseConnectionString(const QString& connectionString);

// A value as an ODBC attribute takes it: as it is, or in braces ('}'
// doubled) where it could be read as more than a value.
QString odbcValue(const QString& value);
// A password as ODBC text: braced also where it holds '+' or '%'.
// PostgreSQL's driver reads a password outside braces as URL-encoded ('+'
// a blank, "%41" an 'A'); in braces every driver takes it as written.
QString odbcPassword(const QString& value);
// The options of Qt's ODBC driver that bound the login and the wait for any
// answer on the connection.
QString odbcTimeoutOptions();
// Whether the ODBC driver is MariaDB's: it ignores ODBC's login time-out
// and drops blanks at either end of a value, even inside braces.
bool isMariaDbDriver(const QString& driver);
// The attributes of MariaDB's own keys that bound its login and each wait
// for an answer ("CONN_TIMEOUT=15" ...).
QStringList mariaDbTimeouts();
// Raises DbError naming the key where the value starts or ends with a blank
// that ODBC drivers do not pass on reliably.
void refuseOdbcBlanks(QStringView value, const QString& key);
