#include "db/ConnectionString.h"

#include "platform/AsciiCase.h"
#include "platform/Blanks.h"
#include "platform/TarveloError.h"

#include <QList>
#include <QPair>
#include <QStringList>

QString odbcTimeoutOptions() {
    return QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1;SQL_ATTR_CONNECTION_TIMEOUT=%2")
        .arg(kConnectTimeoutSeconds)
        .arg(kStatementTimeoutSeconds);
}

// MariaDB's driver lets a login to a server that accepts and never answers
// wait without end, whatever login time-out it was given; its own keys bound
// the login and each wait for an answer, beyond the server's bound of a
// statement.
bool isMariaDbDriver(const QString& driver) {
    const QString lower = AsciiCase::lower(driver);
    return lower.contains(u"mariadb") || lower.contains(u"maodbc");
}

QStringList mariaDbTimeouts() {
    return {QStringLiteral("CONN_TIMEOUT=%1").arg(kConnectTimeoutSeconds),
            QStringLiteral("READ_TIMEOUT=%1").arg(kStatementTimeoutSeconds + 5),
            QStringLiteral("WRITE_TIMEOUT=%1").arg(kStatementTimeoutSeconds + 5)};
}

// MariaDB's driver, for one, drops them even inside braces.
void refuseOdbcBlanks(QStringView value, const QString& key) {
    if (!value.isEmpty() && (value.front().isSpace() || value.back().isSpace())) {
        throw DbError(QStringLiteral("Der Wert von \"%1\" in der Verbindungszeichenfolge beginnt "
                                     "oder endet mit einem Leerzeichen, das ODBC-Treiber nicht "
                                     "zuverlässig übermitteln")
                          .arg(key));
    }
}

namespace {
QString inBraces(const QString& value) {
    return u'{' + QString(value).replace(QStringLiteral("}"), QStringLiteral("}}")) + u'}';
}
} // namespace

QString odbcValue(const QString& value) {
    const bool plain = !value.contains(u';') && !value.contains(u'{') && !value.contains(u'}') &&
                       !value.contains(u'=') && value == value.trimmed();
    return plain ? value : inBraces(value);
}

QString odbcPassword(const QString& value) {
    const bool encoded = value.contains(u'+') || value.contains(u'%');
    return encoded ? inBraces(value) : odbcValue(value);
}

namespace {

struct Entry {
    QString key;   // as written, blanks removed at both ends
    QString lower; // key lower-cased, for matching
    QString value;
    bool quoted = false; // the value stood in " or '
};

// The index of the '}' that closes the brace at `open`, "}}" inside taken
// as text; -1 when none does.
qsizetype closingBrace(const QString& text, qsizetype open) {
    for (qsizetype i = open + 1; i < text.size(); ++i) {
        if (text[i] == u'}') {
            if (i + 1 < text.size() && text[i + 1] == u'}') {
                ++i;
                continue;
            }
            return i;
        }
    }
    return -1;
}

bool isPasswordKey(const QString& lowerKey) {
    return lowerKey == u"password" || lowerKey == u"pwd";
}

// key=value pairs separated by ';'. A value may be enclosed in " or '; inside
// such a value the quote character doubled stands for itself, and ';' is text.
// A value that begins with ODBC's '{' runs to its closing '}' ("}}" stands
// for '}'), so a ';' inside the braces is text too; the braces stay.
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
            // Right after a password it is most likely the password's rest,
            // cut at a ';' that should have stood in quotes: never shown.
            if (!key.isEmpty() && !entries.isEmpty() && isPasswordKey(entries.last().lower)) {
                throw DbError(QStringLiteral("Auf den Wert von \"%1\" folgt ein Teil ohne "
                                             "\"=\" (nicht angezeigt, er kann zum Kennwort "
                                             "gehören): ein Wert mit \";\" steht in "
                                             "Anführungszeichen")
                                  .arg(entries.last().key));
            }
            if (!key.isEmpty()) {
                throw DbError(QStringLiteral("Der Teil \"%1\" hat kein \"=\": erwartet wird "
                                             "Schlüssel=Wert, durch \";\" getrennt")
                                  .arg(key));
            }
            ++i;
            continue;
        }
        ++i; // '='
        while (i < n && Blanks::isBlank(text[i])) {
            ++i;
        }
        QString value;
        const bool quoted = i < n && (text[i] == u'"' || text[i] == u'\'');
        if (quoted) {
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
                throw DbError(QStringLiteral("Dem Wert von \"%1\" fehlt das schließende "
                                             "Anführungszeichen (%2)")
                                  .arg(key, quote));
            }
            while (i < n && Blanks::isBlank(text[i])) {
                ++i;
            }
            if (i < n && text[i] != u';') {
                throw DbError(QStringLiteral("Nach dem Wert von \"%1\" in Anführungszeichen "
                                             "steht noch Text vor dem nächsten \";\"")
                                  .arg(key));
            }
        } else {
            const qsizetype valueStart = i;
            if (i < n && text[i] == u'{') {
                const qsizetype close = closingBrace(text, i);
                if (close < 0) {
                    throw DbError(QStringLiteral("Dem Wert von \"%1\" fehlt die schließende "
                                                 "geschweifte Klammer (})")
                                      .arg(key));
                }
                i = close + 1;
            }
            while (i < n && text[i] != u';') {
                ++i;
            }
            value = Blanks::trimmed(QStringView(text).mid(valueStart, i - valueStart)).toString();
        }
        ++i; // ';' or the end
        if (key.isEmpty()) {
            throw DbError(QStringLiteral("Vor einem \"=\" fehlt der Schlüssel"));
        }
        entries.append({key, AsciiCase::lower(key), value, quoted});
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

// The value of an entry as ODBC text. A value written in ODBC's braces
// ("{MariaDB Unicode}") stays as written; any other is taken as text and
// braced where it needs it. What no ODBC driver receives intact is refused
// before connecting.
QString odbcAttribute(const Entry& entry) {
    const QString& value = entry.value;
    if (value.contains(QChar(0))) {
        throw DbError(QStringLiteral("Der Wert von \"%1\" in der Verbindungszeichenfolge enthält "
                                     "ein Nullzeichen, das ODBC nicht übermitteln kann")
                          .arg(entry.key));
    }
    // Written in braces, "{a}b}" has text after its closing brace, which
    // drivers read each in their own way (MariaDB's refuses the whole string).
    // "{ab}x" is no braced value but plain text, braced below as any other.
    const bool braced =
        !entry.quoted && value.startsWith(u'{') && value.endsWith(u'}') && value.size() > 1;
    if (braced && closingBrace(value, 0) != value.size() - 1) {
        throw DbError(QStringLiteral("Nach der schließenden geschweiften Klammer (}) des Werts von "
                                     "\"%1\" steht noch Text: ein } im Wert wird in den Klammern "
                                     "verdoppelt (}}), oder der Wert steht in Anführungszeichen")
                          .arg(entry.key));
    }
    refuseOdbcBlanks(braced ? QStringView(value).sliced(1, value.size() - 2) : value, entry.key);
    if (braced) {
        return value;
    }
    return isPasswordKey(entry.lower) ? odbcPassword(value) : odbcValue(value);
}

// A value as the user reads it: one written in ODBC's braces without them.
QString writtenText(const Entry& entry) {
    const QString& value = entry.value;
    if (!entry.quoted && value.size() > 1 && value.startsWith(u'{') && value.endsWith(u'}')) {
        return value.sliced(1, value.size() - 2).replace(QStringLiteral("}}"), QStringLiteral("}"));
    }
    return value;
}

// The settings for Qt's ODBC driver. `attributes` ("KEY=value", the first
// naming the data source or the driver) and the login go to the driver
// manager as one string; no ';' ends it, for MariaDB's driver reads what
// follows the last ';' as one more attribute and, finding none, refuses the
// whole string ("Error while parsing DSN").
ConnectionSettings odbcSettings(const QStringList& attributes, const QString& user,
                                const QString& password) {
    const QString odbc = attributes.join(u';');
    // Qt's driver reads the name before it hands it on: one holding ".dsn"
    // it takes for a file data source; one holding "DRIVER=" or "SERVER="
    // goes as it is; any other gets "DSN=" in front. Qt adds the login as
    // ";UID=...;PWD=..." without a look at it.
    if (odbc.contains(u".dsn", Qt::CaseInsensitive)) {
        throw DbError(QStringLiteral("Die Verbindungszeichenfolge enthält \".dsn\" außerhalb von "
                                     "Benutzer und Kennwort; der ODBC-Treiber von Qt nähme sie "
                                     "für den Namen einer Datei-Datenquelle"));
    }
    ConnectionSettings s;
    s.driver = QStringLiteral("QODBC");
    const bool passedAsItIs = odbc.contains(u"driver=", Qt::CaseInsensitive) ||
                              odbc.contains(u"server=", Qt::CaseInsensitive);
    s.databaseName = passedAsItIs ? odbc : odbc.mid(qsizetype(qstrlen("DSN=")));
    s.user = user;
    s.password = password;
    s.options = odbcTimeoutOptions();
    return s;
}

// The protocol FreeTDS is asked for where the string names none: SQL
// Server 2012's, which later servers speak and earlier ones answer with
// their own.
const char* const kTdsVersion = "7.4";

bool isTrue(const QString& value) {
    const QString v = AsciiCase::lower(value.trimmed());
    return v == u"sspi" || v == u"true" || v == u"yes";
}

// Whether and how the connection to SQL Server is encrypted, only where the
// connection string says so: "Encrypt" ("Use Encryption for Data") and
// "TrustServerCertificate" ("Trust Server Certificate"), under their ODBC
// names; ADO's True and False become yes and no.
QStringList encryptionAttributes(const Keys& keys) {
    const struct {
        std::initializer_list<const char*> names;
        const char* odbcName;
    } settings[] = {
        {{"encrypt", "use encryption for data"}, "Encrypt"},
        {{"trustservercertificate", "trust server certificate"}, "TrustServerCertificate"}};
    QStringList attributes;
    for (const auto& setting : settings) {
        if (!keys.has(setting.names)) {
            continue;
        }
        QString value = keys.value(setting.names);
        const QString lower = AsciiCase::lower(value);
        if (lower == u"true") {
            value = QStringLiteral("yes");
        } else if (lower == u"false") {
            value = QStringLiteral("no");
        }
        attributes.append(QLatin1String(setting.odbcName) + u'=' + odbcValue(value));
    }
    return attributes;
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

    QStringList odbc = {QStringLiteral("DRIVER={FreeTDS}"),
                        QStringLiteral("SERVER=") + odbcValue(server)};
    if (port > 0) {
        odbc.append(QStringLiteral("PORT=%1").arg(port));
    }
    const QString catalog = keys.value({"initial catalog", "database"});
    if (!catalog.isEmpty()) {
        odbc.append(QStringLiteral("DATABASE=") + odbcValue(catalog));
    }
    // Without a TDS version FreeTDS tries the old 5.0 protocol after 7.x:
    // against a server that does not answer it then waits for ever, and that
    // login sends the password in clear.
    const QString tdsVersion = keys.value({"tds_version"});
    odbc.append(QStringLiteral("TDS_Version=") +
                (tdsVersion.isEmpty() ? QLatin1String(kTdsVersion) : odbcValue(tdsVersion)));
    // FreeTDS encrypts where the server offers it; a string that demands
    // encryption demands it in FreeTDS's own word, so that the login fails
    // rather than go unencrypted.
    const QString encrypt =
        AsciiCase::lower(keys.value({"encrypt", "use encryption for data"}).trimmed());
    if (encrypt == u"yes" || encrypt == u"true" || encrypt == u"mandatory") {
        odbc.append(QStringLiteral("Encryption=require"));
    }
    QString user;
    QString password;
    if (isTrue(keys.value({"integrated security", "trusted_connection"}))) {
        odbc.append(QStringLiteral("Trusted_Connection=yes"));
    } else {
        user = keys.value({"user id", "uid", "user"});
        password = keys.value({"password", "pwd"});
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
    }
    ConnectionSettings s = odbcSettings(odbc, user.isEmpty() ? user : odbcValue(user),
                                        password.isEmpty() ? password : odbcValue(password));
    s.server = ConnectionSettings::Server::SqlServer;
    s.dataSource = dataSource;
    s.catalog = catalog;
    s.login = user;
    s.trusted = isTrue(keys.value({"integrated security", "trusted_connection"}));
    s.encryption = encryptionAttributes(keys);
    return s;
}

// The time-outs the string sets itself stand.
QStringList mariaDbTimeoutsNotSet(const Keys& keys) {
    QStringList timeouts = mariaDbTimeouts();
    timeouts.removeIf([&keys](const QString& timeout) {
        const QByteArray key = AsciiCase::lower(timeout.section(u'=', 0, 0)).toLatin1();
        return keys.has({key.constData()});
    });
    return timeouts;
}

// FreeTDS named in the string gets the protocol version that SQL Server's
// providers get (see sqlServer()), unless the string, or the freetds.conf
// entry it names (Servername), sets one.
bool isFreeTdsDriver(const QString& driver) {
    const QString lower = AsciiCase::lower(driver);
    return lower.contains(u"freetds") || lower.contains(u"tdsodbc");
}

// The entries for the ODBC driver manager. "Extended Properties" (what ADO's
// own dialog and a .udl file write for MSDASQL) holds an ODBC connection
// string: its entries count as if they stood in the outer string.
QList<Entry> odbcEntries(const Keys& keys) {
    QList<Entry> entries;
    for (const Entry& e : keys.entries()) {
        if (e.lower == u"extended properties") {
            entries += splitEntries(e.value);
        } else {
            entries.append(e);
        }
    }
    return entries;
}

// The other keys go to the ODBC driver manager as they stand; the ADO names
// of the usual ones are translated to their ODBC names.
ConnectionSettings odbcPassThrough(const Keys& keys) {
    QStringList attributes;
    QString dsn;
    QString user;
    QString password;
    QString driver;
    bool hasServer = false;
    ConnectionSettings::OdbcNamed named;
    const auto name = [](QString& text, QString& key, const Entry& e) {
        text = writtenText(e);
        key = e.key;
    };
    const QList<Entry> entries = odbcEntries(keys);
    for (const Entry& e : entries) {
        if (e.lower == u"provider" || e.lower == u"persist security info") {
            continue;
        }
        const QString value = odbcAttribute(e);
        if (e.lower == u"data source" || e.lower == u"dsn") {
            dsn = value;
            name(named.dataSource, named.dataSourceKey, e);
        } else if (e.lower == u"user id" || e.lower == u"uid") {
            user = value;
            name(named.login, named.loginKey, e);
        } else if (e.lower == u"password" || e.lower == u"pwd") {
            password = value;
        } else if (e.lower == u"initial catalog") {
            attributes.append(QStringLiteral("DATABASE=") + value);
            name(named.database, named.databaseKey, e);
        } else {
            if (e.lower == u"database") {
                name(named.database, named.databaseKey, e);
            } else if (e.lower == u"port") {
                name(named.port, named.portKey, e);
            } else if (e.lower == u"driver") {
                // unixODBC hands an empty name to the first driver it has
                // installed, which then gets the login.
                if (value.isEmpty() || value == u"{}") {
                    throw DbError(QStringLiteral("Der Wert von \"%1\" in der "
                                                 "Verbindungszeichenfolge ist leer: er nennt den "
                                                 "ODBC-Treiber, etwa {MariaDB Unicode}")
                                      .arg(e.key));
                }
                driver = e.value;
                name(named.driver, named.driverKey, e);
            } else if (e.lower == u"server") {
                hasServer = true;
                name(named.server, named.serverKey, e);
            }
            attributes.append(e.key + u'=' + value);
        }
    }
    if (!dsn.isEmpty()) {
        attributes.prepend(QStringLiteral("DSN=") + dsn);
    } else if (driver.isEmpty() && !hasServer) {
        throw DbError(
            QStringLiteral("Der Verbindungszeichenfolge fehlt \"%1\"").arg(u"Data Source"));
    }
    // Set inside "Extended Properties" counts as set.
    const Keys all(entries);
    if (isMariaDbDriver(driver)) {
        attributes += mariaDbTimeoutsNotSet(all);
    }
    if (isFreeTdsDriver(driver) && !all.has({"tds_version", "servername"})) {
        attributes.append(QStringLiteral("TDS_Version=") + QLatin1String(kTdsVersion));
    }
    ConnectionSettings s = odbcSettings(attributes, user, password);
    s.odbcNamed = named;
    // Which server answers, the connection tells once it is open.
    s.server = ConnectionSettings::Server::OtherOdbc;
    return s;
}

// Encryption asked for in the words drivers use. A key that the native
// drivers would drop must not let the login go unencrypted without a word:
// PostgreSQL's own sslmode goes to its driver, any other asking for
// encryption is refused; one that declines it changes nothing.
QString postgresSslMode(const Keys& keys) {
    static const QStringList modes = {"disable", "allow",     "prefer",
                                      "require", "verify-ca", "verify-full"};
    const QString mode = AsciiCase::lower(keys.value({"sslmode", "ssl mode"}));
    if (!mode.isEmpty() && !modes.contains(mode)) {
        throw DbError(QStringLiteral("sslmode=%1 kennt PostgreSQL nicht; möglich sind %2")
                          .arg(keys.value({"sslmode", "ssl mode"}), modes.join(u", ")));
    }
    return mode;
}

void refuseUnsupportedEncryption(const Keys& keys, const QString& provider, const QString& hint) {
    static const QStringList declining = {"",    "no",   "false",   "0",
                                          "off", "none", "disable", "disabled"};
    for (const Entry& e : keys.entries()) {
        const bool asksForEncryption =
            e.lower == u"encrypt" || e.lower == u"use encryption for data" || e.lower == u"ssl" ||
            e.lower == u"sslmode" || e.lower == u"ssl mode" || e.lower == u"ssl-mode" ||
            e.lower == u"ssl_mode" || e.lower == u"require ssl";
        if (asksForEncryption && !declining.contains(AsciiCase::lower(e.value))) {
            throw DbError(QStringLiteral("%1=%2 verlangt eine verschlüsselte Verbindung, die der "
                                         "Anbieter %3 so nicht einrichtet: %4")
                              .arg(e.key, e.value, provider, hint));
        }
    }
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
        s.sslMode = postgresSslMode(keys);
        if (s.sslMode.isEmpty()) {
            refuseUnsupportedEncryption(keys, QStringLiteral("PostgreSQL"),
                                        QStringLiteral("geben Sie sslmode=require an"));
        }
        // A server with the old string syntax (standard_conforming_strings
        // off) warns of every backslash the driver sends; libpq would write
        // each warning, with the address in it, to standard error.
        s.options = QStringLiteral("connect_timeout=%1;options=-cescape_string_warning=off")
                        .arg(kConnectTimeoutSeconds);
        if (!s.sslMode.isEmpty()) {
            s.options += QStringLiteral(";sslmode=") + s.sslMode;
        }
    } else {
        refuseUnsupportedEncryption(
            keys, QStringLiteral("MySQL"),
            QStringLiteral("nehmen Sie Provider=MSDASQL mit dem ODBC-Treiber und dessen "
                           "Schlüsseln für TLS"));
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
    // SQL Server's OLE DB providers, as connection strings and .udl files name
    // them: with and without the version after the dot.
    static const QStringList sqlServerProviders = {
        "sqloledb",  "sqloledb.1",  "sqlncli",    "sqlncli.1",    "sqlncli10",    "sqlncli10.1",
        "sqlncli11", "sqlncli11.1", "msoledbsql", "msoledbsql.1", "msoledbsql19", "msoledbsql19.1"};
    if (sqlServerProviders.contains(p)) {
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
