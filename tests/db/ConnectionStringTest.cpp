#include "db/ConnectionString.h"
#include "platform/TarveloError.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

namespace {

QString errorOf(const QString& connectionString) {
    try {
        parseConnectionString(connectionString);
    } catch (const DbError& error) {
        return error.message();
    }
    return QStringLiteral("<no error>");
}

} // namespace

TEST(ConnectionString, SqlOleDbStringOfTheMailServerBecomesFreeTdsOdbc) {
    const ConnectionSettings s = parseConnectionString(
        "Provider=SQLOLEDB.1;Password=geheim;Persist Security Info=True;User ID=sa;"
        "Initial Catalog=hmailserver;Data Source=DBSRV\\SQLEXPRESS");
    EXPECT_EQ(s.driver, "QODBC");
    // No ';' at the end, and the login apart: Qt's driver adds it as
    // ";UID=sa;PWD=geheim".
    EXPECT_EQ(s.databaseName, "DRIVER={FreeTDS};SERVER=DBSRV\\SQLEXPRESS;DATABASE=hmailserver;"
                              "TDS_Version=7.4");
    EXPECT_EQ(s.options, "SQL_ATTR_LOGIN_TIMEOUT=15;SQL_ATTR_CONNECTION_TIMEOUT=30");
    EXPECT_TRUE(s.host.isEmpty());
    EXPECT_EQ(s.user, "sa");
    EXPECT_EQ(s.password, "geheim");
}

TEST(ConnectionString, EverySqlServerProviderAndServerForm) {
    for (const char* provider :
         {"SQLOLEDB", "SQLOLEDB.1", "SQLNCLI11", "MSOLEDBSQL", "sqloledb.1", "SQLNCLI11.1",
          "SQLNCLI10", "SQLNCLI", "MSOLEDBSQL.1", "MSOLEDBSQL19", "MSOLEDBSQL19.1"}) {
        const ConnectionSettings s = parseConnectionString(
            QStringLiteral("Provider=%1;Data Source=db.example.net,1433;Initial Catalog=hm")
                .arg(QLatin1String(provider)));
        EXPECT_EQ(s.driver, "QODBC") << provider;
        EXPECT_EQ(s.databaseName,
                  "DRIVER={FreeTDS};SERVER=db.example.net;PORT=1433;DATABASE=hm;TDS_Version=7.4")
            << provider;
    }
    // Every documented Data Source form names a TDS version, so that FreeTDS
    // never falls back to the old protocol and its endless wait.
    const struct {
        const char* dataSource;
        const char* odbc;
    } forms[] = {
        {"srv", "DRIVER={FreeTDS};SERVER=srv;TDS_Version=7.4"},
        {"srv\\SQLEXPRESS", "DRIVER={FreeTDS};SERVER=srv\\SQLEXPRESS;TDS_Version=7.4"},
        {"srv,1444", "DRIVER={FreeTDS};SERVER=srv;PORT=1444;TDS_Version=7.4"},
        {"tcp:srv,1444", "DRIVER={FreeTDS};SERVER=srv;PORT=1444;TDS_Version=7.4"},
        {"(local)", "DRIVER={FreeTDS};SERVER=localhost;TDS_Version=7.4"},
        {".", "DRIVER={FreeTDS};SERVER=localhost;TDS_Version=7.4"},
        {".\\SQLEXPRESS", "DRIVER={FreeTDS};SERVER=localhost\\SQLEXPRESS;TDS_Version=7.4"},
        {"(local)\\SQLEXPRESS", "DRIVER={FreeTDS};SERVER=localhost\\SQLEXPRESS;TDS_Version=7.4"},
    };
    for (const auto& form : forms) {
        EXPECT_EQ(parseConnectionString(QStringLiteral("Provider=SQLOLEDB.1;Data Source=") +
                                        QLatin1String(form.dataSource))
                      .databaseName,
                  QLatin1String(form.odbc))
            << form.dataSource;
    }
    // A version the string gives itself is kept.
    EXPECT_EQ(
        parseConnectionString("Provider=SQLOLEDB.1;Data Source=srv;tds_version=7.2").databaseName,
        "DRIVER={FreeTDS};SERVER=srv;TDS_Version=7.2");
    // Encryption the string demands is demanded in FreeTDS's word, never
    // dropped; where it is not demanded FreeTDS encrypts as the server offers.
    for (const char* demanded :
         {"Encrypt=yes", "encrypt=Mandatory", "Use Encryption for Data=True", "Encrypt=TRUE"}) {
        EXPECT_EQ(parseConnectionString(QStringLiteral("Provider=SQLOLEDB.1;Data Source=srv;") +
                                        QLatin1String(demanded))
                      .databaseName,
                  "DRIVER={FreeTDS};SERVER=srv;TDS_Version=7.4;Encryption=require")
            << demanded;
    }
    for (const char* left : {"Encrypt=no", "Encrypt=Optional", "Use Encryption for Data=False",
                             "TrustServerCertificate=yes"}) {
        EXPECT_EQ(parseConnectionString(QStringLiteral("Provider=SQLOLEDB.1;Data Source=srv;") +
                                        QLatin1String(left))
                      .databaseName,
                  "DRIVER={FreeTDS};SERVER=srv;TDS_Version=7.4")
            << left;
    }
}

TEST(ConnectionString, ALoginFreeTdsCannotCarryIsRefusedBeforeConnecting) {
    EXPECT_EQ(errorOf("Provider=SQLOLEDB.1;Data Source=srv;User ID=sa;Password=ge}heim"),
              "Das Kennwort (Password) enthält das Zeichen \"}\", das der SQL-Server-Treiber "
              "FreeTDS nicht übermitteln kann");
    EXPECT_EQ(errorOf("Provider=SQLNCLI11;Data Source=srv;User ID=s}a;Password=x"),
              "Die Benutzerkennung (User ID) enthält das Zeichen \"}\", das der "
              "SQL-Server-Treiber FreeTDS nicht übermitteln kann");
    // A trusted connection sends neither.
    EXPECT_EQ(errorOf("Provider=SQLOLEDB.1;Data Source=srv;Integrated Security=SSPI;Password=}"),
              "<no error>");
}

TEST(ConnectionString, IntegratedSecurityMeansTrustedConnectionWithoutLogin) {
    const ConnectionSettings s =
        parseConnectionString("Provider=SQLOLEDB.1;Integrated Security=SSPI;User ID=sa;Password=x;"
                              "Initial Catalog=hmailserver;Data Source=srv");
    EXPECT_EQ(s.databaseName, "DRIVER={FreeTDS};SERVER=srv;DATABASE=hmailserver;TDS_Version=7.4;"
                              "Trusted_Connection=yes");
    EXPECT_TRUE(s.user.isEmpty());
    EXPECT_TRUE(s.password.isEmpty());
}

TEST(ConnectionString, KeysIgnoreCaseBlanksAndQuotesAreRemoved) {
    const ConnectionSettings s =
        parseConnectionString("  provider = \"sqloledb.1\" ; DATA SOURCE = 'srv' ;user id=  sa  ;"
                              " PASSWORD = \"a;b\"\"c{\" ;;");
    EXPECT_EQ(s.databaseName, "DRIVER={FreeTDS};SERVER=srv;TDS_Version=7.4");
    EXPECT_EQ(s.user, "sa");
    EXPECT_EQ(s.password, "{a;b\"c{}");
    // Blanks at the ends of a quoted password stay, in braces: a driver
    // trims a plain value.
    EXPECT_EQ(
        parseConnectionString("Provider=SQLOLEDB.1;Data Source=srv;User ID=sa;Password=' ge heim '")
            .password,
        "{ ge heim }");

    // A key named twice, under its own name or another of its names: the
    // last one counts, as with ADO, so an appended value is the one used.
    EXPECT_EQ(parseConnectionString("Provider=SQLite;Data Source=/alt.db;data source=/hm.db")
                  .databaseName,
              "/hm.db");
    const ConnectionSettings twice = parseConnectionString(
        "Provider=MySQL;Data Source=a;User ID=old;UID=hm;Password=alt;PWD=neu;"
        "Initial Catalog=x;Database=hmail;Provider=PostgreSQL");
    EXPECT_EQ(twice.driver, "QPSQL");
    EXPECT_EQ(twice.user, "hm");
    EXPECT_EQ(twice.password, "neu");
    EXPECT_EQ(twice.databaseName, "hmail");
}

TEST(ConnectionString, OdbcProviderPassesTheOtherKeysOn) {
    // A data source name alone: Qt puts "DSN=" in front of the name.
    ConnectionSettings s = parseConnectionString(
        "Provider=MSDASQL;DSN=hmail;UID=sa;PWD=secret;Persist Security Info=False");
    EXPECT_EQ(s.driver, "QODBC");
    EXPECT_EQ(s.databaseName, "hmail");
    EXPECT_EQ(s.user, "sa");
    EXPECT_EQ(s.password, "secret");
    EXPECT_EQ(s.server, ConnectionSettings::Server::OtherOdbc) << "the open connection tells";

    s = parseConnectionString("Provider=MSDASQL.1;Data Source=hmail;User ID=sa;Password=p;"
                              "Initial Catalog=hm;Option=3");
    EXPECT_EQ(s.databaseName, "hmail;DATABASE=hm;Option=3");
    EXPECT_EQ(s.user, "sa");
    EXPECT_EQ(s.password, "p");

    // A string naming its driver goes as it is, without a ';' at the end
    // (FreeTDS gets its protocol version, below).
    s = parseConnectionString(
        "Provider=MSDASQL;Driver={FreeTDS};Server=srv;Port=1433;Database=hm;UID=sa;PWD=p");
    EXPECT_EQ(s.databaseName, "Driver={FreeTDS};Server=srv;Port=1433;Database=hm;TDS_Version=7.4");
    EXPECT_EQ(s.user, "sa");
    EXPECT_EQ(s.password, "p");
    EXPECT_EQ(s.options, "SQL_ATTR_LOGIN_TIMEOUT=15;SQL_ATTR_CONNECTION_TIMEOUT=30");

    // A data source name and a text that holds "server=": Qt passes such a
    // string as it is, so it carries "DSN=" itself.
    s = parseConnectionString("Provider=MSDASQL;DSN=hmail;Description=old server=new");
    EXPECT_EQ(s.databaseName, "DSN=hmail;Description={old server=new}");
    // A server without driver or data source name: the driver manager takes
    // its default data source.
    s = parseConnectionString("Provider=MSDASQL;Server=db;Database=hm");
    EXPECT_EQ(s.driver, "QODBC");
    EXPECT_EQ(s.databaseName, "Server=db;Database=hm");

    // What ADO's dialog and a .udl file write: the ODBC string in "Extended
    // Properties", the login beside it or inside.
    s = parseConnectionString("Provider=MSDASQL.1;Persist Security Info=False;User ID=sa;"
                              "Extended Properties=\"DSN=hmail;PWD=geheim;Database=hm\"");
    EXPECT_EQ(s.databaseName, "hmail;Database=hm");
    EXPECT_EQ(s.user, "sa");
    EXPECT_EQ(s.password, "geheim");
    s = parseConnectionString("Provider=MSDASQL.1;Extended Properties='Driver={MariaDB "
                              "Unicode};Server=h;UID=u;PWD={p;w}'");
    EXPECT_TRUE(s.databaseName.startsWith("Driver={MariaDB Unicode};Server=h;"))
        << s.databaseName.toStdString();
    EXPECT_EQ(s.user, "u");
    EXPECT_EQ(s.password, "{p;w}");

    EXPECT_EQ(errorOf("Provider=MSDASQL;UID=sa"),
              "Der Verbindungszeichenfolge fehlt \"Data Source\"");
}

// MariaDB's own driver waits without end for a server that accepts and
// never answers, whatever login time-out it is given: its own keys bound the
// login and each wait for an answer, unless the string sets them itself.
// FreeTDS, left to choose its protocol, falls back to the old 5.0 one and
// waits for ever too: it gets the version SQL Server's providers get.
TEST(ConnectionString, MariaDbsAndFreeTdsDriversGetTheirOwnBounds) {
    ConnectionSettings s = parseConnectionString(
        "Provider=MSDASQL;Driver={MariaDB Unicode};Server=127.0.0.1;Port=3306;"
        "Database=hmailserver;UID=hmail;PWD=plain");
    EXPECT_EQ(s.databaseName, "Driver={MariaDB Unicode};Server=127.0.0.1;Port=3306;"
                              "Database=hmailserver;CONN_TIMEOUT=15;READ_TIMEOUT=35;"
                              "WRITE_TIMEOUT=35");
    EXPECT_EQ(s.user, "hmail");
    EXPECT_EQ(s.password, "plain");

    s = parseConnectionString("Provider=MSDASQL;Driver=/usr/lib/odbc/libmaodbc.so;Server=h;"
                              "conn_timeout=5;Read_Timeout=60");
    EXPECT_EQ(s.databaseName,
              "Driver=/usr/lib/odbc/libmaodbc.so;Server=h;conn_timeout=5;Read_Timeout=60;"
              "WRITE_TIMEOUT=35");

    // Set in "Extended Properties", as ADO's dialog writes it: set all the same.
    s = parseConnectionString("Provider=MSDASQL.1;Extended Properties=\"Driver={MariaDB "
                              "Unicode};Server=h;CONN_TIMEOUT=3;write_timeout=90\"");
    EXPECT_EQ(s.databaseName, "Driver={MariaDB Unicode};Server=h;CONN_TIMEOUT=3;write_timeout=90;"
                              "READ_TIMEOUT=35");

    s = parseConnectionString("Provider=MSDASQL;Driver={PostgreSQL Unicode};Server=h");
    EXPECT_EQ(s.databaseName, "Driver={PostgreSQL Unicode};Server=h");

    s = parseConnectionString(
        "Provider=MSDASQL;Driver={FreeTDS};Server=127.0.0.1;Port=1433;UID=sa;PWD=x");
    EXPECT_EQ(s.databaseName, "Driver={FreeTDS};Server=127.0.0.1;Port=1433;TDS_Version=7.4");
    // A version of its own, in the string or in the freetds.conf entry it names.
    s = parseConnectionString("Provider=MSDASQL;Driver=/usr/lib/odbc/libtdsodbc.so;Server=h;"
                              "tds_version=7.3");
    EXPECT_EQ(s.databaseName, "Driver=/usr/lib/odbc/libtdsodbc.so;Server=h;tds_version=7.3");
    s = parseConnectionString("Provider=MSDASQL;Driver={FreeTDS};Servername=mailsql");
    EXPECT_EQ(s.databaseName, "Driver={FreeTDS};Servername=mailsql");
}

// What ODBC receives of a value: an ADO-quoted one as text, braced where it
// needs braces ('}' doubled inside them); one written in braces as written.
TEST(ConnectionString, OdbcValuesAreBracedOrKeptAsWritten) {
    const struct {
        const char* written;
        const char* odbc;
    } cases[] = {
        {"PWD='a;b\"c'", "{a;b\"c}"},
        {"PWD=\"a;b\"\"c\"", "{a;b\"c}"},
        {"PWD='plain'", "plain"},
        {"PWD='a}b'", "{a}}b}"},
        {"PWD='{x}'", "{{x}}}"},
        {"PWD='x=y'", "{x=y}"},
        {"PWD={a;b\"c}", "{a;b\"c}"},
        {"PWD={a}}b;c}", "{a}}b;c}"},
        {"PWD= {a;b} ", "{a;b}"},
        {"PWD=a\"b'c", "a\"b'c"},
        {"PWD={ab}x", "{{ab}}x}"},
        {"Password='geh eim'", "geh eim"},
        {"PWD=", ""},
        // PostgreSQL's driver would read '+' and "%41" as URL-encoded.
        {"PWD=Sommer+2026", "{Sommer+2026}"},
        {"PWD='Sommer+2026'", "{Sommer+2026}"},
        {"PWD=abc%41def", "{abc%41def}"},
        {"Password=\"50%}+\"", "{50%}}+}"},
        {"PWD={a+b}", "{a+b}"},
    };
    for (const auto& c : cases) {
        const ConnectionSettings s = parseConnectionString(
            QStringLiteral("Provider=MSDASQL;DSN=hm;UID=u;") + QString::fromUtf8(c.written));
        EXPECT_EQ(s.password, QString::fromUtf8(c.odbc)) << c.written;
        EXPECT_EQ(s.databaseName, "hm") << c.written;
    }
    // Any other key alike; a data source name too. Only the password is
    // braced for '+' and '%'.
    const ConnectionSettings s = parseConnectionString(
        "Provider=MSDASQL;Data Source='my;dsn';Database='h m;x';Driver={MariaDB Unicode};"
        "Server=a+b%41;UID=u+x%41");
    EXPECT_TRUE(s.databaseName.startsWith(
        "DSN={my;dsn};Database={h m;x};Driver={MariaDB Unicode};Server=a+b%41;"))
        << s.databaseName.toStdString();
    EXPECT_EQ(s.user, "u+x%41");
}

TEST(ConnectionString, AValueOdbcCannotCarryIsRefusedInGerman) {
    EXPECT_EQ(errorOf(QStringLiteral("Provider=MSDASQL;DSN=hm;PWD='a") + QChar(0) + "b'"),
              "Der Wert von \"PWD\" in der Verbindungszeichenfolge enthält ein Nullzeichen, das "
              "ODBC nicht übermitteln kann");
    EXPECT_EQ(errorOf("Provider=MSDASQL;DSN=hm;Password=' geheim'"),
              "Der Wert von \"Password\" in der Verbindungszeichenfolge beginnt oder endet mit "
              "einem Leerzeichen, das ODBC-Treiber nicht zuverlässig übermitteln");
    EXPECT_EQ(errorOf("Provider=MSDASQL;DSN=hm;UID=\"hm \""),
              "Der Wert von \"UID\" in der Verbindungszeichenfolge beginnt oder endet mit "
              "einem Leerzeichen, das ODBC-Treiber nicht zuverlässig übermitteln");
    EXPECT_EQ(errorOf("Provider=MSDASQL;DSN=hm;PWD={ sp}"),
              "Der Wert von \"PWD\" in der Verbindungszeichenfolge beginnt oder endet mit "
              "einem Leerzeichen, das ODBC-Treiber nicht zuverlässig übermitteln");
    for (const char* written : {"PWD={a}b}", "PWD={a}}b}c}"}) {
        EXPECT_EQ(
            errorOf(QStringLiteral("Provider=MSDASQL;DSN=hm;") + written),
            "Nach der schließenden geschweiften Klammer (}) des Werts von \"PWD\" steht noch "
            "Text: ein } im Wert wird in den Klammern verdoppelt (}}), oder der Wert steht in "
            "Anführungszeichen")
            << written;
    }
    for (const char* written : {"Driver=", "Driver={}", "DRIVER=''", "Driver= ;DSN=hm"}) {
        EXPECT_EQ(errorOf(QStringLiteral("Provider=MSDASQL;Server=db;") + written),
                  QStringLiteral("Der Wert von \"%1\" in der Verbindungszeichenfolge ist leer: "
                                 "er nennt den ODBC-Treiber, etwa {MariaDB Unicode}")
                      .arg(QString::fromLatin1(written).section(u'=', 0, 0)))
            << written;
    }
    EXPECT_EQ(errorOf("Provider=MSDASQL;DSN=hmail.dsn;UID=u"),
              "Die Verbindungszeichenfolge enthält \".dsn\" außerhalb von Benutzer und Kennwort; "
              "der ODBC-Treiber von Qt nähme sie für den Namen einer Datei-Datenquelle");
    // In the password it does no harm: Qt's driver adds the login unread.
    EXPECT_EQ(parseConnectionString("Provider=MSDASQL;DSN=hm;PWD=x.dsn").password, "x.dsn");
}

TEST(ConnectionString, SqliteNamesTheFile) {
    const ConnectionSettings s =
        parseConnectionString("Provider=SQLite;Data Source=\"/var/lib/hm/mail server.db\"");
    EXPECT_EQ(s.driver, "QSQLITE");
    EXPECT_EQ(s.databaseName, "/var/lib/hm/mail server.db");
}

TEST(ConnectionString, PostgresqlAndMysqlHostPortCatalogLogin) {
    ConnectionSettings s = parseConnectionString(
        "Provider=PostgreSQL;Data Source=db.example.net:5433;Initial Catalog=hmail;"
        "User ID=hm;Password='p w;d'");
    EXPECT_EQ(s.driver, "QPSQL");
    EXPECT_EQ(s.host, "db.example.net");
    EXPECT_EQ(s.port, 5433);
    EXPECT_EQ(s.databaseName, "hmail");
    EXPECT_EQ(s.user, "hm");
    EXPECT_EQ(s.password, "p w;d");

    s = parseConnectionString("Provider=postgresql;Data Source=127.0.0.1;Port=6000");
    EXPECT_EQ(s.host, "127.0.0.1");
    EXPECT_EQ(s.port, 6000);

    s = parseConnectionString("Provider=PostgreSQL;Data Source=[::1]:5434");
    EXPECT_EQ(s.host, "::1");
    EXPECT_EQ(s.port, 5434);

    // An IPv6 address without brackets has no port to split off.
    s = parseConnectionString("Provider=PostgreSQL;Data Source=fe80::1");
    EXPECT_EQ(s.host, "fe80::1");
    EXPECT_EQ(s.port, -1);

    // The highest port there is.
    s = parseConnectionString("Provider=PostgreSQL;Data Source=db.example.net:65535");
    EXPECT_EQ(s.port, 65535);

    s = parseConnectionString("Provider=PostgreSQL;Data Source=/run/postgresql");
    EXPECT_EQ(s.host, "/run/postgresql");
    EXPECT_EQ(s.port, -1);

    s = parseConnectionString(
        "Provider=MySQL;Data Source=mysql.local:3307;Initial Catalog=hm;User ID=u;Password=p");
    EXPECT_EQ(s.driver, "QMYSQL");
    EXPECT_EQ(s.host, "mysql.local");
    EXPECT_EQ(s.port, 3307);
    EXPECT_EQ(s.databaseName, "hm");
    EXPECT_EQ(s.user, "u");
    EXPECT_EQ(s.password, "p");
    EXPECT_EQ(s.options, "MYSQL_OPT_CONNECT_TIMEOUT=15;MYSQL_OPT_READ_TIMEOUT=35;"
                         "MYSQL_OPT_WRITE_TIMEOUT=35");
}

// Encryption asked for must not be dropped: PostgreSQL's sslmode reaches
// its driver; a key its native driver would drop, or MySQL's, is refused,
// and one that declines encryption changes nothing.
TEST(ConnectionString, EncryptionAskedForReachesTheDriverOrIsRefused) {
    const QString postgres = QStringLiteral("Provider=PostgreSQL;Data Source=db;");
    ConnectionSettings s = parseConnectionString(postgres + "sslmode=require");
    EXPECT_EQ(s.sslMode, "require");
    EXPECT_EQ(s.options, "connect_timeout=15;options=-cescape_string_warning=off;sslmode=require");
    s = parseConnectionString(postgres + "SSL Mode=Verify-Full;Encrypt=yes");
    EXPECT_EQ(s.options,
              "connect_timeout=15;options=-cescape_string_warning=off;sslmode=verify-full");
    for (const char* declined : {"Encrypt=no", "SSL Mode=Disable", "ssl=false", "Encrypt="}) {
        SCOPED_TRACE(declined);
        s = parseConnectionString(postgres + declined);
        EXPECT_EQ(s.options,
                  QString(declined).startsWith("SSL Mode")
                      ? "connect_timeout=15;options=-cescape_string_warning=off;sslmode=disable"
                      : "connect_timeout=15;options=-cescape_string_warning=off");
    }
    EXPECT_EQ(errorOf(postgres + "sslmode=required"),
              "sslmode=required kennt PostgreSQL nicht; möglich sind disable, allow, prefer, "
              "require, verify-ca, verify-full");
    EXPECT_EQ(errorOf(postgres + "Encrypt=yes"),
              "Encrypt=yes verlangt eine verschlüsselte Verbindung, die der Anbieter PostgreSQL "
              "so nicht einrichtet: geben Sie sslmode=require an");
    const QString mySql = QStringLiteral("Provider=MySQL;Data Source=db;");
    for (const char* asked : {"SslMode=REQUIRED", "ssl-mode=VERIFY_IDENTITY", "Encrypt=true"}) {
        SCOPED_TRACE(asked);
        EXPECT_EQ(errorOf(mySql + asked),
                  QString::fromLatin1(asked) +
                      " verlangt eine verschlüsselte Verbindung, die der Anbieter MySQL so nicht "
                      "einrichtet: nehmen Sie Provider=MSDASQL mit dem ODBC-Treiber und dessen "
                      "Schlüsseln für TLS");
    }
    EXPECT_EQ(parseConnectionString(mySql + "SslMode=None").driver, "QMYSQL");
}

TEST(ConnectionString, ErrorsAreClearAndGerman) {
    EXPECT_EQ(errorOf(""), "Keine Verbindungszeichenfolge angegeben");
    EXPECT_EQ(errorOf("  \t "), "Keine Verbindungszeichenfolge angegeben");
    EXPECT_EQ(errorOf("Data Source=x.db"), "Der Verbindungszeichenfolge fehlt \"Provider\"");
    EXPECT_EQ(errorOf("Provider=Oracle;Data Source=x"), "Unbekannter Provider \"Oracle\"");
    EXPECT_EQ(errorOf("Provider=;Data Source=x"), "Unbekannter Provider \"\"");
    EXPECT_EQ(errorOf("Provider=SQLite"), "Der Verbindungszeichenfolge fehlt \"Data Source\"");
    EXPECT_EQ(errorOf("Provider=SQLite;Data Source="),
              "Der Verbindungszeichenfolge fehlt \"Data Source\"");
    EXPECT_EQ(errorOf("Provider=SQLOLEDB.1;User ID=sa;Password=x"),
              "Der Verbindungszeichenfolge fehlt \"Data Source\"");
    EXPECT_EQ(errorOf("Provider=PostgreSQL;Initial Catalog=hm"),
              "Der Verbindungszeichenfolge fehlt \"Data Source\"");
    EXPECT_EQ(errorOf("Provider=PostgreSQL;Data Source=h;Port=abc"),
              "Ungültiger Port \"abc\" in der Verbindungszeichenfolge");
    EXPECT_EQ(errorOf("Provider=PostgreSQL;Data Source=h:70000"),
              "Ungültiger Port \"70000\" in der Verbindungszeichenfolge");
    // What is wrong, named by its key.
    EXPECT_EQ(errorOf("Provider=SQLite;Data Source=\"x.db"),
              "Dem Wert von \"Data Source\" fehlt das schließende Anführungszeichen (\")");
    EXPECT_EQ(errorOf("Provider=MSDASQL;DSN=hm;PWD='abc"),
              "Dem Wert von \"PWD\" fehlt das schließende Anführungszeichen (')");
    EXPECT_EQ(errorOf("Provider=SQLite;Data Source=\"x.db\" y"),
              "Nach dem Wert von \"Data Source\" in Anführungszeichen steht noch Text vor dem "
              "nächsten \";\"");
    EXPECT_EQ(errorOf("Provider=SQLite;x.db"),
              "Der Teil \"x.db\" hat kein \"=\": erwartet wird Schlüssel=Wert, durch \";\" "
              "getrennt");
    // The rest of a password cut at an unquoted ';' is never shown.
    const QString passwordRest =
        QStringLiteral("Auf den Wert von \"%1\" folgt ein Teil ohne \"=\" (nicht angezeigt, er "
                       "kann zum Kennwort gehören): ein Wert mit \";\" steht in "
                       "Anführungszeichen");
    EXPECT_EQ(errorOf("Provider=PostgreSQL;Data Source=h;User ID=u;Password=Geh;Eim9"),
              passwordRest.arg("Password"));
    EXPECT_EQ(errorOf("Provider=MySQL;Data Source=h;pwd=Geh;Eim9;;Initial Catalog=hm"),
              passwordRest.arg("pwd"));
    EXPECT_EQ(errorOf("Provider=MSDASQL;Extended Properties=\"DSN=hm;PWD=Geh;Eim9\""),
              passwordRest.arg("PWD"));
    EXPECT_EQ(errorOf("Provider=SQLite;=x.db"), "Vor einem \"=\" fehlt der Schlüssel");
    EXPECT_EQ(errorOf("Provider=MSDASQL;DSN=hm;PWD={abc"),
              "Dem Wert von \"PWD\" fehlt die schließende geschweifte Klammer (})");
}

// The examples README gives per database are connection strings that work.
TEST(ConnectionString, TheReadmesExamplesParse) {
    QFile readme(QStringLiteral(TARVELO_SOURCE_DIR "/README.md"));
    ASSERT_TRUE(readme.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(readme.readAll());
    const QRegularExpression row(QStringLiteral("^\\| [^|]+ \\| `(Provider=[^`]+)` \\|$"),
                                 QRegularExpression::MultilineOption);
    QStringList drivers;
    for (auto it = row.globalMatch(text); it.hasNext();) {
        const QString example = it.next().captured(1);
        const ConnectionSettings s = parseConnectionString(example);
        drivers.append(s.driver);
        if (s.driver == u"QODBC" && example.contains(u"SQLOLEDB")) {
            EXPECT_EQ(s.databaseName, "DRIVER={FreeTDS};SERVER=mailsrv\\SQLEXPRESS;"
                                      "DATABASE=hmailserver;TDS_Version=7.4");
            EXPECT_EQ(s.password, "geheim");
        }
        if (s.driver == u"QMYSQL") {
            EXPECT_EQ(s.host, "127.0.0.1");
            EXPECT_EQ(s.port, 3306);
        }
        if (example.contains(u"MariaDB Unicode")) {
            EXPECT_EQ(s.databaseName, "Driver={MariaDB Unicode};Server=127.0.0.1;Port=3306;"
                                      "Database=hmailserver;CONN_TIMEOUT=15;READ_TIMEOUT=35;"
                                      "WRITE_TIMEOUT=35");
        }
        if (example.contains(u"PostgreSQL Unicode")) {
            EXPECT_EQ(s.databaseName, "Driver={PostgreSQL Unicode};Server=db.example.com;"
                                      "Port=5432;Database=hmailserver");
        }
    }
    EXPECT_EQ(drivers,
              QStringList({"QODBC", "QODBC", "QSQLITE", "QPSQL", "QMYSQL", "QODBC", "QODBC"}));
}
