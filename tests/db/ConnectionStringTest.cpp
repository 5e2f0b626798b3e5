#include "db/ConnectionString.h"
#include "platform/TarveloError.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(s.databaseName, "DRIVER={FreeTDS};SERVER=DBSRV\\SQLEXPRESS;DATABASE=hmailserver;"
                              "UID=sa;PWD=geheim;");
    EXPECT_TRUE(s.host.isEmpty());
    EXPECT_TRUE(s.user.isEmpty());
    EXPECT_TRUE(s.password.isEmpty());
}

TEST(ConnectionString, EverySqlServerProviderAndServerForm) {
    for (const char* provider :
         {"SQLOLEDB", "SQLOLEDB.1", "SQLNCLI11", "MSOLEDBSQL", "sqloledb.1"}) {
        const ConnectionSettings s = parseConnectionString(
            QStringLiteral("Provider=%1;Data Source=db.example.net,1433;Initial Catalog=hm")
                .arg(QLatin1String(provider)));
        EXPECT_EQ(s.driver, "QODBC") << provider;
        EXPECT_EQ(s.databaseName, "DRIVER={FreeTDS};SERVER=db.example.net;PORT=1433;DATABASE=hm;")
            << provider;
    }
    EXPECT_EQ(parseConnectionString("Provider=SQLOLEDB.1;Data Source=(local)").databaseName,
              "DRIVER={FreeTDS};SERVER=localhost;");
    EXPECT_EQ(parseConnectionString("Provider=SQLOLEDB.1;Data Source=.\\SQLEXPRESS").databaseName,
              "DRIVER={FreeTDS};SERVER=localhost\\SQLEXPRESS;");
}

TEST(ConnectionString, IntegratedSecurityMeansTrustedConnectionWithoutLogin) {
    const ConnectionSettings s =
        parseConnectionString("Provider=SQLOLEDB.1;Integrated Security=SSPI;User ID=sa;Password=x;"
                              "Initial Catalog=hmailserver;Data Source=srv");
    EXPECT_EQ(s.databaseName,
              "DRIVER={FreeTDS};SERVER=srv;DATABASE=hmailserver;Trusted_Connection=yes;");
}

TEST(ConnectionString, KeysIgnoreCaseBlanksAndQuotesAreRemoved) {
    const ConnectionSettings s =
        parseConnectionString("  provider = \"sqloledb.1\" ; DATA SOURCE = 'srv' ;user id=  sa  ;"
                              " PASSWORD = \"a;b\"\"c}\" ;;");
    EXPECT_EQ(s.databaseName, "DRIVER={FreeTDS};SERVER=srv;UID=sa;PWD={a;b\"c}}};");
}

TEST(ConnectionString, OdbcProviderPassesTheOtherKeysOn) {
    // A data source name goes first: Qt puts "DSN=" in front of such a string.
    ConnectionSettings s = parseConnectionString(
        "Provider=MSDASQL;DSN=hmail;UID=sa;PWD=secret;Persist Security Info=False");
    EXPECT_EQ(s.driver, "QODBC");
    EXPECT_EQ(s.databaseName, "hmail;UID=sa;PWD=secret;");

    s = parseConnectionString("Provider=MSDASQL.1;Data Source=hmail;User ID=sa;Password=p");
    EXPECT_EQ(s.databaseName, "hmail;UID=sa;PWD=p;");

    s = parseConnectionString(
        "Provider=MSDASQL;Driver={FreeTDS};Server=srv;Port=1433;Database=hm;UID=sa;PWD=p");
    EXPECT_EQ(s.databaseName, "Driver={FreeTDS};Server=srv;Port=1433;Database=hm;UID=sa;PWD=p;");

    EXPECT_EQ(errorOf("Provider=MSDASQL;UID=sa"),
              "Der Verbindungszeichenfolge fehlt \"Data Source\"");
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
    EXPECT_EQ(errorOf("Provider=SQLite;Data Source=\"x.db"),
              "Die Verbindungszeichenfolge ist fehlerhaft");
    EXPECT_EQ(errorOf("Provider=SQLite;Data Source=\"x.db\" y"),
              "Die Verbindungszeichenfolge ist fehlerhaft");
    EXPECT_EQ(errorOf("Provider=SQLite;x.db"), "Die Verbindungszeichenfolge ist fehlerhaft");
}
