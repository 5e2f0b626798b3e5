#include "db/ConnectionString.h"

#include "platform/AsciiCase.h"
#include "platform/Blanks.h"
#include "platform/TarveloError.h"

#include <QList>
#include <QPair>

namespace {

struct Entry {
    QString key;   // as written, blanks removed at both ends
    QString lower; // key lower-cased, for matching
    QString value;
};

DbError malformed() {
    return DbError(QStringLiteral("Die Verbindungszeichenfolge ist fehlerhaft"));
}

// key=value pairs separated by ';'. A value may be enclosed in " or '; inside
// such a value the quote character doubled stands for itself, and ';' is text.
QList<Entry> splitEntries(const QString& text) {
    QList<Entry> entries;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype keyStart = i;
        while (i < n && text[i] != u'=' && text[i] != u';') {
            ++i;
        }
        const QString key =
            Blanks::trimmed(QStringView(text).mid(keyStart, i - keyStart)).toString();
        if (i >= n || text[i] == u';') {
            // A piece without '=' may only be empty (";;" or a final ';').
            if (!key.isEmpty()) {
                throw malformed();
            }
            ++i;
            continue;
        }
        ++i; // '='
        while (i < n && Blanks::isBlank(text[i])) {
            ++i;
        }
        QString value;
        if (i < n && (text[i] == u'"' || text[i] == u'\'')) {
            const QChar quote = text[i++];
            bool closed = false;
            while (i < n) {
                if (text[i] == quote) {
                    if (i + 1 < n && text[i + 1] == quote) {
                        value += quote;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += text[i++];
            }
            if (!closed) {
                throw malformed();
            }
            while (i < n && Blanks::isBlank(text[i])) {
                ++i;
            }
            if (i < n && text[i] != u';') {
                throw malformed();
            }
        } else {
            const qsizetype valueStart = i;
            while (i < n && text[i] != u';') {
                ++i;
            }
            value = Blanks::trimmed(QStringView(text).mid(valueStart, i - valueStart)).toString();
        }
        ++i; // ';' or the end
        if (key.isEmpty()) {
            throw malformed();
        }
        entries.append({key, AsciiCase::lower(key), value});
    }
    return entries;
}

class Keys {
public:
    explicit Keys(QList<Entry> entries) : m_entries(std::move(entries)) {}

    // The value of the last entry with one of the names; empty when none.
    QString value(std::initializer_list<const char*> names) const {
        for (qsizetype i = m_entries.size() - 1; i >= 0; --i) {
            for (const char* name : names) {
                if (m_entries[i].lower == QLatin1String(name)) {
                    return m_entries[i].value;
                }
            }
        }
        return {};
    }
    bool has(std::initializer_list<const char*> names) const {
        for (const Entry& e : m_entries) {
            for (const char* name : names) {
                if (e.lower == QLatin1String(name)) {
                    return true;
                }
            }
        }
        return false;
    }
    QString required(std::initializer_list<const char*> names, const QString& shownName) const {
        const QString v = value(names);
        if (v.isEmpty()) {
            throw DbError(
                QStringLiteral("Der Verbindungszeichenfolge fehlt \"%1\"").arg(shownName));
        }
        return v;
    }
    const QList<Entry>& entries() const { return m_entries; }

private:
    QList<Entry> m_entries;
};

int parsePort(const QString& text) {
    bool ok = false;
    const int port = text.trimmed().toInt(&ok);
    if (!ok || port < 1 || port > 65535) {
        throw DbError(
            QStringLiteral("Ungültiger Port \"%1\" in der Verbindungszeichenfolge").arg(text));
    }
    return port;
}

// "host", "host:port", "[v6-address]:port" or a socket directory.
void splitHostPort(const QString& dataSource, QString& host, int& port) {
    host = dataSource;
    if (dataSource.startsWith(u'[')) {
        const qsizetype close = dataSource.indexOf(u']');
        if (close > 0) {
            host = dataSource.mid(1, close - 1);
            const QString rest = dataSource.mid(close + 1);
            if (rest.startsWith(u':')) {
                port = parsePort(rest.mid(1));
            } else if (!rest.isEmpty()) {
                throw DbError(
                    QStringLiteral("Ungültige Datenquelle \"%1\" in der Verbindungszeichenfolge")
                        .arg(dataSource));
            }
        }
        return;
    }
    if (dataSource.count(u':') == 1 && !dataSource.startsWith(u'/')) {
        const qsizetype colon = dataSource.indexOf(u':');
        host = dataSource.left(colon);
        port = parsePort(dataSource.mid(colon + 1));
    }
}

// An ODBC attribute value, enclosed in braces where it needs them.
QString odbcValue(const QString& value) {
    const bool plain = !value.contains(u';') && !value.contains(u'{') && !value.contains(u'}') &&
                       !value.contains(u'=') && value == value.trimmed();
    if (plain) {
        return value;
    }
    QString escaped = value;
    escaped.replace(QStringLiteral("}"), QStringLiteral("}}"));
    return u'{' + escaped + u'}';
}

// The login and the wait for any answer on the connection, bounded.
QString odbcTimeouts() {
    return QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1;SQL_ATTR_CONNECTION_TIMEOUT=%2")
        .arg(kConnectTimeoutSeconds)
        .arg(kStatementTimeoutSeconds);
}

bool isTrue(const QString& value) {
    const QString v = AsciiCase::lower(value.trimmed());
    return v == u"sspi" || v == u"true" || v == u"yes";
}

ConnectionSettings sqlServer(const Keys& keys) {
    const QString dataSource =
        keys.required({"data source", "server", "address", "addr", "network address"},
                      QStringLiteral("Data Source"));
    QString server = dataSource;
    int port = -1;
    if (AsciiCase::lower(server).startsWith(u"tcp:")) {
        server = server.mid(4);
    }
    const qsizetype comma = server.indexOf(u',');
    if (comma >= 0) {
        port = parsePort(server.mid(comma + 1));
        server = server.left(comma).trimmed();
    }
    // "(local)" and "." name the local server on Windows.
    const QString lowerServer = AsciiCase::lower(server);
    for (const char* local : {"(local)", "."}) {
        if (lowerServer == QLatin1String(local)) {
            server = QStringLiteral("localhost");
        } else if (lowerServer.startsWith(QLatin1String(local) + u'\\')) {
            server = QStringLiteral("localhost") + server.mid(qsizetype(qstrlen(local)));
        }
    }

    QString odbc = QStringLiteral("DRIVER={FreeTDS};SERVER=") + odbcValue(server) + u';';
    if (port > 0) {
        odbc += QStringLiteral("PORT=%1;").arg(port);
    }
    const QString catalog = keys.value({"initial catalog", "database"});
    if (!catalog.isEmpty()) {
        odbc += QStringLiteral("DATABASE=") + odbcValue(catalog) + u';';
    }
    // Without a TDS version FreeTDS tries the old 5.0 protocol after 7.x:
    // against a server that does not answer it then waits for ever, and that
    // login sends the password in clear.
    const QString tdsVersion = keys.value({"tds_version"});
    odbc += QStringLiteral("TDS_Version=") +
            (tdsVersion.isEmpty() ? QStringLiteral("7.4") : odbcValue(tdsVersion)) + u';';
    if (isTrue(keys.value({"integrated security", "trusted_connection"}))) {
        odbc += QStringLiteral("Trusted_Connection=yes;");
    } else {
        const QString user = keys.value({"user id", "uid", "user"});
        const QString password = keys.value({"password", "pwd"});
        // FreeTDS ends a braced value at the first '}' and knows no escape
        // for it: such a login would fail as if the password were wrong.
        if (user.contains(u'}')) {
            throw DbError(QStringLiteral("Die Benutzerkennung (User ID) enthält das Zeichen \"}\", "
                                         "das der SQL-Server-Treiber FreeTDS nicht übermitteln "
                                         "kann"));
        }
        if (password.contains(u'}')) {
            throw DbError(QStringLiteral("Das Kennwort (Password) enthält das Zeichen \"}\", das "
                                         "der SQL-Server-Treiber FreeTDS nicht übermitteln kann"));
        }
        if (!user.isEmpty()) {
            odbc += QStringLiteral("UID=") + odbcValue(user) + u';';
        }
        if (!password.isEmpty()) {
            odbc += QStringLiteral("PWD=") + odbcValue(password) + u';';
        }
    }
    ConnectionSettings s;
    s.server = ConnectionSettings::Server::SqlServer;
    s.driver = QStringLiteral("QODBC");
    s.databaseName = odbc;
    s.options = odbcTimeouts();
    return s;
}

// The other keys go to the ODBC driver manager as they stand; the ADO names
// of the usual ones are translated to their ODBC names.
ConnectionSettings odbcPassThrough(const Keys& keys) {
    QList<QPair<QString, QString>> pairs;
    QString dsn;
    bool hasDriver = false;
    for (const Entry& e : keys.entries()) {
        QString key = e.key;
        if (e.lower == u"provider" || e.lower == u"persist security info") {
            continue;
        }
        if (e.lower == u"data source" || e.lower == u"dsn") {
            dsn = e.value;
            continue;
        }
        if (e.lower == u"user id") {
            key = QStringLiteral("UID");
        } else if (e.lower == u"password") {
            key = QStringLiteral("PWD");
        } else if (e.lower == u"initial catalog") {
            key = QStringLiteral("DATABASE");
        } else if (e.lower == u"driver" || e.lower == u"server") {
            hasDriver = true;
        }
        pairs.append({key, e.value});
    }
    QString odbc;
    for (const auto& [key, value] : pairs) {
        // A value written in ODBC's braces ("{FreeTDS}") stays as written.
        const bool braced = value.startsWith(u'{') && value.endsWith(u'}');
        odbc += key + u'=' + (braced ? value : odbcValue(value)) + u';';
    }
    if (hasDriver) {
        // The driver manager reads DRIVER=/SERVER= strings as they are.
        if (!dsn.isEmpty()) {
            odbc = QStringLiteral("DSN=") + odbcValue(dsn) + u';' + odbc;
        }
    } else {
        if (dsn.isEmpty()) {
            throw DbError(
                QStringLiteral("Der Verbindungszeichenfolge fehlt \"%1\"").arg(u"Data Source"));
        }
        // Qt puts "DSN=" in front of a string without DRIVER= or SERVER=.
        odbc = odbcValue(dsn) + u';' + odbc;
    }
    ConnectionSettings s;
    s.server = ConnectionSettings::Server::OtherOdbc;
    s.driver = QStringLiteral("QODBC");
    s.databaseName = odbc;
    s.options = odbcTimeouts();
    return s;
}

ConnectionSettings serverDatabase(const Keys& keys, const QString& driver) {
    ConnectionSettings s;
    s.driver = driver;
    const QString dataSource =
        keys.required({"data source", "server", "host"}, QStringLiteral("Data Source"));
    splitHostPort(dataSource, s.host, s.port);
    const QString port = keys.value({"port"});
    if (!port.isEmpty()) {
        s.port = parsePort(port);
    }
    s.databaseName = keys.value({"initial catalog", "database"});
    s.user = keys.value({"user id", "uid", "user"});
    s.password = keys.value({"password", "pwd"});
    if (driver == u"QPSQL") {
        s.server = ConnectionSettings::Server::Postgres;
        s.options = QStringLiteral("connect_timeout=%1").arg(kConnectTimeoutSeconds);
    } else {
        // The server answers a lock wait with its error after the session's
        // bound; the read time-out ends the wait for a server gone silent.
        s.server = ConnectionSettings::Server::MySql;
        s.options = QStringLiteral("MYSQL_OPT_CONNECT_TIMEOUT=%1;MYSQL_OPT_READ_TIMEOUT=%2;"
                                   "MYSQL_OPT_WRITE_TIMEOUT=%2")
                        .arg(kConnectTimeoutSeconds)
                        .arg(kStatementTimeoutSeconds + 5);
    }
    return s;
}

} // namespace

ConnectionSettings parseConnectionString(const QString& connectionString) {
    if (Blanks::trimmed(connectionString).isEmpty()) {
        throw DbError(QStringLiteral("Keine Verbindungszeichenfolge angegeben"));
    }
    const Keys keys(splitEntries(connectionString));
    if (!keys.has({"provider"})) {
        throw DbError(QStringLiteral("Der Verbindungszeichenfolge fehlt \"%1\"").arg(u"Provider"));
    }
    const QString provider = keys.value({"provider"});
    const QString p = AsciiCase::lower(provider);
    if (p == u"sqloledb" || p == u"sqloledb.1" || p == u"sqlncli11" || p == u"msoledbsql") {
        return sqlServer(keys);
    }
    if (p == u"msdasql" || p == u"msdasql.1") {
        return odbcPassThrough(keys);
    }
    if (p == u"sqlite") {
        ConnectionSettings s;
        s.server = ConnectionSettings::Server::Sqlite;
        s.driver = QStringLiteral("QSQLITE");
        s.databaseName = keys.required({"data source"}, QStringLiteral("Data Source"));
        return s;
    }
    if (p == u"postgresql") {
        return serverDatabase(keys, QStringLiteral("QPSQL"));
    }
    if (p == u"mysql") {
        return serverDatabase(keys, QStringLiteral("QMYSQL"));
    }
    throw DbError(QStringLiteral("Unbekannter Provider \"%1\"").arg(provider));
}
