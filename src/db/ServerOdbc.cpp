#include "db/ServerOdbc.h"

#include "db/ConnectionString.h"
#include "platform/TarveloError.h"

#include <QRegularExpression>
#include <QVersionNumber>

#include <iterator>

namespace {

// The drivers of each server, the kind to prefer first. Most names carry the
// driver's version, "#" stands for it there, and the newest installed of a
// kind is taken, also one that came after this program.
const QStringList kSqlServerDrivers = {"ODBC Driver # for SQL Server", "SQL Server Native Client #",
                                       "SQL Server"};
const QStringList kPostgresDrivers = {"PostgreSQL Unicode(x64)", "PostgreSQL Unicode"};
const QStringList kMySqlDrivers = {"MariaDB ODBC # Driver", "MariaDB Unicode",
                                   "MySQL ODBC # Unicode Driver"};

// A driver name of the kind, its version ("#") captured.
QRegularExpression kindPattern(const QString& kind) {
    QStringList parts = kind.split(u'#');
    for (QString& part : parts) {
        part = QRegularExpression::escape(part);
    }
    return QRegularExpression(u'^' + parts.join(QStringLiteral("([0-9.]+)")) + u'$',
                              QRegularExpression::CaseInsensitiveOption);
}

// The installed driver of the kind with the highest version; empty for none.
QString newestOfKind(const QString& kind, const QStringList& installed) {
    const QRegularExpression pattern = kindPattern(kind);
    QString newest;
    QVersionNumber newestVersion;
    for (const QString& driver : installed) {
        const QRegularExpressionMatch match = pattern.match(driver);
        if (!match.hasMatch()) {
            continue;
        }
        const QVersionNumber version = QVersionNumber::fromString(match.captured(1));
        if (newest.isEmpty() || version > newestVersion) {
            newest = driver;
            newestVersion = version;
        }
    }
    return newest;
}

QString chosen(const QStringList& wanted, const QStringList& installed, const QString& server,
               const QString& advice) {
    for (const QString& kind : wanted) {
        const QString driver = newestOfKind(kind, installed);
        if (!driver.isEmpty()) {
            return driver;
        }
    }
    throw DbError(QStringLiteral("Für %1 ist kein ODBC-Treiber installiert: bitte %2 installieren")
                      .arg(server, advice));
}

// PostgreSQL's driver takes the braces of a braced database name or login
// into the name ("{hm;x}"); only the password it reads without them.
void refuseBracesForPostgres(const QString& value, const QString& key) {
    if (odbcValue(value) != value) {
        throw DbError(QStringLiteral("Der Wert von \"%1\" in der Verbindungszeichenfolge enthält "
                                     "; { } oder = oder beginnt oder endet mit einem Leerzeichen: "
                                     "ODBC braucht dafür geschweifte Klammern, die der "
                                     "PostgreSQL-Treiber in den Namen übernähme")
                          .arg(key));
    }
}

// PostgreSQL and MySQL: the parsed host, port, database and login. MariaDB's
// driver gets the bounds it keeps, and no driver a value it would change:
// the string that works on Linux's own drivers either works or is refused
// in words.
ConnectionSettings serverThroughOdbc(const ConnectionSettings& parsed, const QString& driver,
                                     int defaultPort) {
    if (parsed.server == ConnectionSettings::Server::Postgres) {
        refuseBracesForPostgres(parsed.databaseName, QStringLiteral("Initial Catalog"));
        refuseBracesForPostgres(parsed.user, QStringLiteral("User ID"));
    }
    const bool mariaDb = isMariaDbDriver(driver);
    if (mariaDb) {
        refuseOdbcBlanks(parsed.databaseName, QStringLiteral("Initial Catalog"));
        refuseOdbcBlanks(parsed.user, QStringLiteral("User ID"));
        refuseOdbcBlanks(parsed.password, QStringLiteral("Password"));
    }
    ConnectionSettings s = parsed;
    s.driver = QStringLiteral("QODBC");
    QStringList odbc = {QStringLiteral("DRIVER={%1}").arg(driver),
                        QStringLiteral("SERVER=") + odbcValue(parsed.host),
                        QStringLiteral("PORT=%1").arg(parsed.port > 0 ? parsed.port : defaultPort)};
    if (!parsed.databaseName.isEmpty()) {
        odbc.append(QStringLiteral("DATABASE=") + odbcValue(parsed.databaseName));
    }
    if (!parsed.user.isEmpty()) {
        odbc.append(QStringLiteral("UID=") + odbcValue(parsed.user));
    }
    if (!parsed.password.isEmpty()) {
        odbc.append(QStringLiteral("PWD=") + odbcPassword(parsed.password));
    }
    if (!parsed.sslMode.isEmpty()) {
        odbc.append(QStringLiteral("SSLMODE=") + parsed.sslMode);
    }
    if (mariaDb) {
        odbc += mariaDbTimeouts();
    }
    // No ';' at the end: MariaDB's driver would read an empty attribute after
    // it and refuse the whole string.
    s.databaseName = odbc.join(u';');
    s.host.clear();
    s.port = -1;
    s.user.clear();
    s.password.clear();
    s.options = odbcTimeoutOptions();
    return s;
}

// SQL Server with Microsoft's driver, which takes the server as the
// connection string names it (an instance, a port after a comma, "tcp:",
// "(local)") and knows no TDS version; the login in the string, as for the
// other servers.
ConnectionSettings sqlServerThroughOdbc(const ConnectionSettings& parsed, const QString& driver) {
    ConnectionSettings s = parsed;
    QStringList odbc = {QStringLiteral("DRIVER={%1}").arg(driver),
                        QStringLiteral("SERVER=") + odbcValue(parsed.dataSource)};
    if (!parsed.catalog.isEmpty()) {
        odbc.append(QStringLiteral("DATABASE=") + odbcValue(parsed.catalog));
    }
    if (parsed.trusted) {
        odbc.append(QStringLiteral("Trusted_Connection=yes"));
    }
    odbc += parsed.encryption;
    // The login as the FreeTDS string has it: already in ODBC's form. A
    // trusted connection has none: the driver logs in as the account the
    // program runs as.
    if (!parsed.user.isEmpty()) {
        odbc.append(QStringLiteral("UID=") + parsed.user);
    }
    if (!parsed.password.isEmpty()) {
        odbc.append(QStringLiteral("PWD=") + parsed.password);
    }
    s.databaseName = odbc.join(u';');
    s.user.clear();
    s.password.clear();
    return s;
}

} // namespace

ConnectionSettings ServerOdbc::throughOdbc(const ConnectionSettings& parsed,
                                           const QStringList& installed) {
    switch (parsed.server) {
    case ConnectionSettings::Server::Postgres:
        return serverThroughOdbc(parsed,
                                 chosen(kPostgresDrivers, installed, QStringLiteral("PostgreSQL"),
                                        QStringLiteral("psqlODBC (\"PostgreSQL Unicode\")")),
                                 5432);
    case ConnectionSettings::Server::MySql:
        return serverThroughOdbc(
            parsed,
            chosen(kMySqlDrivers, installed, QStringLiteral("MySQL/MariaDB"),
                   QStringLiteral("\"MariaDB ODBC 3.1 Driver\" oder \"MySQL ODBC 8.0 Unicode "
                                  "Driver\"")),
            3306);
    case ConnectionSettings::Server::SqlServer:
        return sqlServerThroughOdbc(
            parsed, chosen(kSqlServerDrivers, installed, QStringLiteral("SQL Server"),
                           QStringLiteral("\"ODBC Driver 18 for SQL Server\"")));
    default:
        return parsed;
    }
}
