#include "core/DatabaseStart.h"

#include "db/ConnectionString.h"
#include "db/Database.h"
#include "db/RoutesDataset.h"
#include "platform/ProfileFile.h"
#include "platform/TarveloError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString entryIn(const QString& iniFile) {
    return QStringLiteral("[SQL] Provider in \"%1\"").arg(iniFile);
}

// The database the connection string names, and the keys that name it.
struct Target {
    QString what;
    QString keys;
};

// The login (User ID) as written, where the connection string names one.
void addLogin(Target& t, const QString& login) {
    if (!login.isEmpty()) {
        t.what += QStringLiteral(" für den Benutzer \"%1\"").arg(login);
        t.keys += QStringLiteral(", User ID");
    }
}

// Through ODBC: the data source, or the server and driver, as written.
Target odbcTarget(const ConnectionSettings::OdbcNamed& n) {
    Target t;
    QStringList keys;
    const auto add = [&](const QString& key) {
        if (!key.isEmpty()) {
            keys.append(key);
        }
    };
    if (!n.dataSource.isEmpty()) {
        t.what = QStringLiteral("Die ODBC-Datenquelle \"%1\"").arg(n.dataSource);
        add(n.dataSourceKey);
        if (!n.database.isEmpty()) {
            t.what += QStringLiteral(" mit der Datenbank \"%1\"").arg(n.database);
            add(n.databaseKey);
        }
    } else {
        t.what = n.database.isEmpty() ? QStringLiteral("Die Standarddatenbank")
                                      : QStringLiteral("Die Datenbank \"%1\"").arg(n.database);
        add(n.databaseKey);
        if (!n.server.isEmpty()) {
            QString server = n.server;
            if (!n.port.isEmpty()) {
                server = (server.contains(u':') ? u'[' + server + u']' : server) + u':' + n.port;
            }
            t.what += QStringLiteral(" auf dem Server \"%1\"").arg(server);
            add(n.serverKey);
            add(n.portKey);
        }
        if (!n.driver.isEmpty()) {
            t.what += QStringLiteral(" über den ODBC-Treiber \"%1\"").arg(n.driver);
            add(n.driverKey);
        }
        if (keys.isEmpty()) {
            t.what = QStringLiteral("Die ODBC-Datenquelle");
        }
    }
    if (!n.login.isEmpty()) {
        t.what += QStringLiteral(" für den Benutzer \"%1\"").arg(n.login);
        add(n.loginKey);
    }
    t.keys = keys.isEmpty() ? QStringLiteral("Provider=MSDASQL") : keys.join(QStringLiteral(", "));
    return t;
}

Target target(const ConnectionSettings& settings) {
    switch (settings.server) {
    case ConnectionSettings::Server::Sqlite:
        return {
            QStringLiteral("Die SQLite-Datenbank \"%1\"")
                .arg(QDir::toNativeSeparators(QFileInfo(settings.databaseName).absoluteFilePath())),
            QStringLiteral("Data Source")};
    case ConnectionSettings::Server::Postgres:
    case ConnectionSettings::Server::MySql: {
        QString server = settings.host;
        if (settings.port > 0) {
            // "::1:5432" would read as an address without a port.
            if (server.contains(u':')) {
                server = u'[' + server + u']';
            }
            server += u':' + QString::number(settings.port);
        }
        Target t{QStringLiteral("Die Datenbank \"%1\" auf dem Server \"%2\"")
                     .arg(settings.databaseName, server),
                 QStringLiteral("Initial Catalog, Data Source")};
        addLogin(t, settings.user);
        return t;
    }
    case ConnectionSettings::Server::SqlServer: {
        Target t = settings.catalog.isEmpty()
                       ? Target{QStringLiteral("Die Standarddatenbank auf dem SQL Server \"%1\"")
                                    .arg(settings.dataSource),
                                QStringLiteral("Data Source")}
                       : Target{QStringLiteral("Die Datenbank \"%1\" auf dem SQL Server \"%2\"")
                                    .arg(settings.catalog, settings.dataSource),
                                QStringLiteral("Initial Catalog, Data Source")};
        if (settings.trusted) {
            t.what += QStringLiteral(" mit der Windows-Anmeldung");
            t.keys += QStringLiteral(", Integrated Security");
        } else {
            addLogin(t, settings.login);
        }
        return t;
    }
    case ConnectionSettings::Server::OtherOdbc:
        break;
    }
    return odbcTarget(settings.odbcNamed);
}

} // namespace

void DatabaseStart::open(Database& database, RoutesDataset& routes, const QString& iniFile) {
    const QString connection = database.connectionString();
    if (connection.trimmed().isEmpty()) {
        if (QFileInfo(iniFile).isDir()) {
            throw DbError(QStringLiteral("Die Konfigurationsdatei \"%1\" ist ein Verzeichnis; "
                                         "ohne ihre Verbindungszeichenfolge (Abschnitt [SQL], "
                                         "Eintrag Provider) wird keine Datenbank geöffnet")
                              .arg(iniFile));
        }
        if (QFileInfo::exists(iniFile) && !QFileInfo(iniFile).isFile()) {
            throw DbError(QStringLiteral("Die Konfigurationsdatei \"%1\" ist keine reguläre "
                                         "Datei; ohne ihre Verbindungszeichenfolge (Abschnitt "
                                         "[SQL], Eintrag Provider) wird keine Datenbank geöffnet")
                              .arg(iniFile));
        }
        if (!QFileInfo(iniFile).isFile()) {
            throw DbError(QStringLiteral("Die Konfigurationsdatei \"%1\" wurde nicht gefunden; "
                                         "ohne ihre Verbindungszeichenfolge (Abschnitt [SQL], "
                                         "Eintrag Provider) wird keine Datenbank geöffnet")
                              .arg(iniFile));
        }
        // Tried, not asked: on Windows the permissions of the file and a
        // program holding it open show only when it is opened.
        QFile probe(iniFile);
        if (!probe.open(QIODevice::ReadOnly)) {
            throw DbError(QStringLiteral("Die Konfigurationsdatei \"%1\" kann nicht gelesen "
                                         "werden (Dateizugriff verweigert)")
                              .arg(iniFile));
        }
        throw DbError(
            QStringLiteral("Keine Verbindungszeichenfolge angegeben (%1)").arg(entryIn(iniFile)));
    }
    // Cut at 2047 characters, its tail could name another database or login
    // than the one written.
    if (ProfileFile::longerThanRead(iniFile, QStringLiteral("SQL"), QStringLiteral("Provider"))) {
        throw DbError(QStringLiteral("Die Verbindungszeichenfolge (%1) ist länger als 2047 "
                                     "Zeichen; gelesen würden nur die ersten 2047, daher wird "
                                     "keine Datenbank geöffnet")
                          .arg(entryIn(iniFile)));
    }
    ConnectionSettings settings;
    try {
        settings = parseConnectionString(connection);
    } catch (const DbError& error) {
        throw DbError(QStringLiteral("Die Verbindungszeichenfolge (%1) ist fehlerhaft: %2")
                          .arg(entryIn(iniFile), error.message()));
    }
    const Target named = target(settings);
    try {
        database.close();
        database.open();
    } catch (const DbError& error) {
        throw DbError(QStringLiteral("%1 (%2 in %3) kann nicht geöffnet werden: %4")
                          .arg(named.what, named.keys, entryIn(iniFile), error.message()));
    }
    try {
        routes.open();
    } catch (const DbError& error) {
        throw DbError(QStringLiteral("%1 (%2 in %3) ist geöffnet, aber ihre Routen (hm_routes) "
                                     "können nicht gelesen werden: %4")
                          .arg(named.what, named.keys, entryIn(iniFile), error.message()));
    }
}

QString DatabaseStart::notConnected(const QString& startFailure) {
    if (startFailure.isEmpty()) {
        // The start opened it: the server or the network has ended it since.
        return QStringLiteral("Die Verbindung zur Datenbank besteht nicht mehr; bitte Tarvelo "
                              "neu starten");
    }
    return QStringLiteral("Die Datenbank ist nicht verbunden, weil der Start scheiterte: %1")
        .arg(startFailure);
}
