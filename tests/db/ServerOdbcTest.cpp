#include "db/ServerOdbc.h"

#include "platform/TarveloError.h"

#include "QStringPrinter.h"

#include <gtest/gtest.h>

// On Windows every server but SQLite is reached through its ODBC driver as
// installed; what the parsed connection strings become there.

namespace {

QString errorOf(const QString& connection, const QStringList& installed) {
    try {
        ServerOdbc::throughOdbc(parseConnectionString(connection), installed);
    } catch (const DbError& e) {
        return e.message();
    }
    return QStringLiteral("<kein Fehler>");
}

const QStringList kAll = {"SQL Server",
                          "ODBC Driver 17 for SQL Server",
                          "ODBC Driver 18 for SQL Server",
                          "PostgreSQL ANSI",
                          "PostgreSQL Unicode",
                          "MySQL ODBC 8.0 Unicode Driver",
                          "MariaDB ODBC 3.1 Driver"};

const QStringList kOnly17 = {"SQL Server", "ODBC Driver 17 for SQL Server"};
const QStringList kBuiltIn = {"SQL Server", "PostgreSQL Unicode"};

} // namespace

// Each server gets its own driver as installed, the preferred one first. SQL
// Server goes to Microsoft's newest driver, for every provider the mail
// server's connection strings name, with every form of Data Source as written
// (the driver knows them all), a trusted connection without login, and
// encryption only as the string says.
TEST(ServerOdbc, EachServerGetsItsOwnDriverThePreferredFirst) {
    struct Case {
        const char* connection;
        QStringList installed;
        const char* odbc;
    };
    const Case cases[] = {
        {"Provider=PostgreSQL;Data Source=db.example.com:5433;Initial Catalog=hmailserver;"
         "User ID=hmail;Password=\"ge;heim\"",
         kAll,
         "DRIVER={PostgreSQL Unicode};SERVER=db.example.com;PORT=5433;DATABASE=hmailserver;"
         "UID=hmail;PWD={ge;heim}"},
        // '+' and '%' braced: PostgreSQL's driver would read them URL-encoded.
        {"Provider=PostgreSQL;Data Source=db;Initial Catalog=hm;User ID=u+x;Password=Sommer+2026",
         kAll,
         "DRIVER={PostgreSQL Unicode};SERVER=db;PORT=5432;DATABASE=hm;UID=u+x;"
         "PWD={Sommer+2026}"},
        {"Provider=MySQL;Data Source=db;Password=50%x", kAll,
         "DRIVER={MariaDB ODBC 3.1 Driver};SERVER=db;PORT=3306;PWD={50%x};"
         "CONN_TIMEOUT=15;READ_TIMEOUT=35;WRITE_TIMEOUT=35"},
        {"Provider=PostgreSQL;Data Source=db;Initial Catalog=hm",
         {"PostgreSQL Unicode(x64)", "PostgreSQL Unicode"},
         "DRIVER={PostgreSQL Unicode(x64)};SERVER=db;PORT=5432;DATABASE=hm"},
        {"Provider=PostgreSQL;Data Source=db;Initial Catalog=hm;sslmode=require", kAll,
         "DRIVER={PostgreSQL Unicode};SERVER=db;PORT=5432;DATABASE=hm;SSLMODE=require"},
        {"Provider=MySQL;Data Source=127.0.0.1;Initial Catalog=hm;User ID=root", kAll,
         "DRIVER={MariaDB ODBC 3.1 Driver};SERVER=127.0.0.1;PORT=3306;DATABASE=hm;UID=root;"
         "CONN_TIMEOUT=15;READ_TIMEOUT=35;WRITE_TIMEOUT=35"},
        {"Provider=MySQL;Data Source=127.0.0.1;Port=3307",
         {"mysql odbc 8.0 unicode driver"},
         "DRIVER={mysql odbc 8.0 unicode driver};SERVER=127.0.0.1;PORT=3307"},
        {"Provider=SQLOLEDB.1;Data Source=mailsrv\\SQLEXPRESS,1433;Initial Catalog=hmailserver;"
         "User ID=hmail;Password=geheim",
         kAll,
         "DRIVER={ODBC Driver 18 for SQL Server};SERVER=mailsrv\\SQLEXPRESS,1433;"
         "DATABASE=hmailserver;UID=hmail;PWD=geheim"},
        {"Provider=SQLNCLI11;Data Source=(local);Integrated Security=SSPI",
         {"SQL Server"},
         "DRIVER={SQL Server};SERVER=(local);Trusted_Connection=yes"},
        // SQL login, each provider, each form of the server's name.
        {"Provider=SQLOLEDB.1;Persist Security Info=True;Data Source=mailsrv;"
         "Initial Catalog=hMailServer;User ID=hmail;Password=geheim",
         kAll,
         "DRIVER={ODBC Driver 18 for SQL Server};SERVER=mailsrv;DATABASE=hMailServer;UID=hmail;"
         "PWD=geheim"},
        {"Provider=SQLOLEDB.1;Data Source=mailsrv;Initial Catalog=hMailServer;User ID=hmail;"
         "Password=\"ge;heim\"",
         kAll,
         "DRIVER={ODBC Driver 18 for SQL Server};SERVER=mailsrv;DATABASE=hMailServer;UID=hmail;"
         "PWD={ge;heim}"},
        {"Provider=SQLOLEDB;Data Source=mailsrv\\SQLEXPRESS;Initial Catalog=hm;User ID=sa;"
         "Password=Grüße 1",
         kOnly17,
         "DRIVER={ODBC Driver 17 for SQL Server};SERVER=mailsrv\\SQLEXPRESS;DATABASE=hm;UID=sa;"
         "PWD=Grüße 1"},
        {"Provider=SQLNCLI11;Data Source=mailsrv,1444;Initial Catalog=hm;User ID=sa;Password=p",
         kBuiltIn, "DRIVER={SQL Server};SERVER=mailsrv,1444;DATABASE=hm;UID=sa;PWD=p"},
        {"Provider=MSOLEDBSQL;Data Source=tcp:10.0.0.5,1433;Initial Catalog=hm;User ID=sa;"
         "Password=p",
         kAll,
         "DRIVER={ODBC Driver 18 for SQL Server};SERVER=tcp:10.0.0.5,1433;DATABASE=hm;UID=sa;"
         "PWD=p"},
        // A database name holding what separates and names attributes.
        {"Provider=SQLOLEDB.1;Data Source=mailsrv;Initial Catalog=\"a;;Server=b\";User ID=sa;"
         "Password=p",
         kAll,
         "DRIVER={ODBC Driver 18 for SQL Server};SERVER=mailsrv;DATABASE={a;;Server=b};UID=sa;"
         "PWD=p"},
        {"provider=sqloledb.1;server=.\\SQLEXPRESS;database=hm;uid=sa;pwd=p", kAll,
         "DRIVER={ODBC Driver 18 for SQL Server};SERVER=.\\SQLEXPRESS;DATABASE=hm;UID=sa;PWD=p"},
        // Trusted connection: the account the program runs as, no login in the
        // string even where one is written.
        {"Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;"
         "Initial Catalog=hMailServer;Data Source=(local)\\SQLEXPRESS",
         kAll,
         "DRIVER={ODBC Driver 18 for SQL Server};SERVER=(local)\\SQLEXPRESS;DATABASE=hMailServer;"
         "Trusted_Connection=yes"},
        {"Provider=SQLOLEDB.1;Integrated Security=SSPI;User ID=sa;Password=p;Data Source=mailsrv",
         kOnly17, "DRIVER={ODBC Driver 17 for SQL Server};SERVER=mailsrv;Trusted_Connection=yes"},
        {"Provider=MSOLEDBSQL;Trusted_Connection=yes;Data Source=.", kBuiltIn,
         "DRIVER={SQL Server};SERVER=.;Trusted_Connection=yes"},
        // Encryption as the administrator sets it, in ADO's or ODBC's words.
        {"Provider=MSOLEDBSQL;Data Source=mailsrv;Integrated Security=SSPI;"
         "Use Encryption for Data=True;Trust Server Certificate=True",
         kAll,
         "DRIVER={ODBC Driver 18 for SQL Server};SERVER=mailsrv;Trusted_Connection=yes;"
         "Encrypt=yes;TrustServerCertificate=yes"},
        {"Provider=SQLOLEDB.1;Data Source=mailsrv.example.com;Encrypt=strict;User ID=sa;"
         "Password=p",
         kAll,
         "DRIVER={ODBC Driver 18 for SQL Server};SERVER=mailsrv.example.com;Encrypt=strict;"
         "UID=sa;PWD=p"},
        {"Provider=SQLOLEDB.1;Data Source=mailsrv;Encrypt=False;User ID=sa;Password=p", kAll,
         "DRIVER={ODBC Driver 18 for SQL Server};SERVER=mailsrv;Encrypt=no;UID=sa;PWD=p"},
        // The driver's name as the machine spells it.
        {"Provider=SQLOLEDB.1;Data Source=mailsrv;Integrated Security=SSPI",
         {"odbc driver 18 for sql server"},
         "DRIVER={odbc driver 18 for sql server};SERVER=mailsrv;Trusted_Connection=yes"},
        // Drivers whose names carry their version: the newest installed, also
        // of a version that came after this program.
        {"Provider=MySQL;Data Source=db;Initial Catalog=hm",
         {"MySQL ODBC 9.1 Unicode Driver", "MariaDB ODBC 3.0 Driver", "MariaDB ODBC 3.2 Driver",
          "MariaDB ODBC 3.10 Driver", "MySQL ODBC 9.1 ANSI Driver"},
         "DRIVER={MariaDB ODBC 3.10 Driver};SERVER=db;PORT=3306;DATABASE=hm;CONN_TIMEOUT=15;"
         "READ_TIMEOUT=35;WRITE_TIMEOUT=35"},
        {"Provider=MySQL;Data Source=db;Initial Catalog=hm",
         {"MySQL ODBC 8.4 Unicode Driver", "MySQL ODBC 9.1 Unicode Driver",
          "MySQL ODBC 9.1 ANSI Driver"},
         "DRIVER={MySQL ODBC 9.1 Unicode Driver};SERVER=db;PORT=3306;DATABASE=hm"},
        // MariaDB's driver as its Linux packages name it.
        {"Provider=MySQL;Data Source=db;Initial Catalog=hm",
         {"MySQL ODBC 9.1 ANSI Driver", "MariaDB Unicode"},
         "DRIVER={MariaDB Unicode};SERVER=db;PORT=3306;DATABASE=hm;CONN_TIMEOUT=15;"
         "READ_TIMEOUT=35;WRITE_TIMEOUT=35"},
        {"Provider=SQLOLEDB.1;Data Source=mailsrv;Integrated Security=SSPI",
         {"SQL Server", "ODBC Driver 17 for SQL Server", "ODBC Driver 19 for SQL Server",
          "SQL Server Native Client 11.0"},
         "DRIVER={ODBC Driver 19 for SQL Server};SERVER=mailsrv;Trusted_Connection=yes"},
        {"Provider=SQLOLEDB.1;Data Source=mailsrv;Integrated Security=SSPI",
         {"SQL Server", "SQL Server Native Client 10.0", "SQL Server Native Client 11.0"},
         "DRIVER={SQL Server Native Client 11.0};SERVER=mailsrv;Trusted_Connection=yes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.connection);
        const ConnectionSettings s =
            ServerOdbc::throughOdbc(parseConnectionString(c.connection), c.installed);
        EXPECT_EQ(s.driver, "QODBC");
        EXPECT_EQ(s.databaseName, c.odbc);
        EXPECT_TRUE(s.user.isEmpty());
        EXPECT_TRUE(s.password.isEmpty());
        // The bounds of the login and of every wait.
        EXPECT_EQ(s.options, "SQL_ATTR_LOGIN_TIMEOUT=15;SQL_ATTR_CONNECTION_TIMEOUT=30");
    }
}

// The server's own lock time-out and application lock follow the kind.
TEST(ServerOdbc, TheServerKindStaysForItsLockAndBounds) {
    EXPECT_EQ(
        ServerOdbc::throughOdbc(parseConnectionString("Provider=PostgreSQL;Data Source=h"), kAll)
            .server,
        ConnectionSettings::Server::Postgres);
    EXPECT_EQ(
        ServerOdbc::throughOdbc(parseConnectionString("Provider=MySQL;Data Source=h"), kAll).server,
        ConnectionSettings::Server::MySql);
    EXPECT_EQ(
        ServerOdbc::throughOdbc(
            parseConnectionString("Provider=SQLOLEDB.1;Data Source=h;Integrated Security=SSPI"),
            kAll)
            .server,
        ConnectionSettings::Server::SqlServer);
}

TEST(ServerOdbc, SqliteAndOdbcDataSourcesStayAsTheyAre) {
    for (const char* connection :
         {"Provider=SQLite;Data Source=C:\\hMail\\hm.db", "Provider=MSDASQL;DSN=hmail;UID=x"}) {
        const ConnectionSettings parsed = parseConnectionString(connection);
        const ConnectionSettings s = ServerOdbc::throughOdbc(parsed, {});
        EXPECT_EQ(s.driver, parsed.driver);
        EXPECT_EQ(s.databaseName, parsed.databaseName);
        EXPECT_EQ(s.options, parsed.options);
    }
}

TEST(ServerOdbc, AMissingDriverIsNamedInGerman) {
    EXPECT_EQ(errorOf("Provider=PostgreSQL;Data Source=h", {"SQL Server", "PostgreSQL ANSI"}),
              "Für PostgreSQL ist kein ODBC-Treiber installiert: bitte psqlODBC (\"PostgreSQL "
              "Unicode\") installieren");
    EXPECT_EQ(errorOf("Provider=MySQL;Data Source=h", {}),
              "Für MySQL/MariaDB ist kein ODBC-Treiber installiert: bitte \"MariaDB ODBC 3.1 "
              "Driver\" oder \"MySQL ODBC 8.0 Unicode Driver\" installieren");
    EXPECT_EQ(errorOf("Provider=SQLOLEDB;Data Source=s", {"PostgreSQL Unicode"}),
              "Für SQL Server ist kein ODBC-Treiber installiert: bitte \"ODBC Driver 18 for SQL "
              "Server\" installieren");
}

// MariaDB's driver drops blanks at either end of a value, also in braces: a
// password that works with Linux's own driver would fail as a wrong one.
// Refused in words there; PostgreSQL's driver keeps them.
TEST(ServerOdbc, BlanksThatMariaDbsDriverWouldDropAreRefused) {
    const QString blanks = QStringLiteral("Der Wert von \"%1\" in der Verbindungszeichenfolge "
                                          "beginnt oder endet mit einem Leerzeichen, das "
                                          "ODBC-Treiber nicht zuverlässig übermitteln");
    const QString mySql = QStringLiteral("Provider=MySQL;Data Source=db;");
    EXPECT_EQ(errorOf(mySql + "Password=\" geheim\"", kAll), blanks.arg("Password"));
    EXPECT_EQ(errorOf(mySql + "Password='geheim '", kAll), blanks.arg("Password"));
    EXPECT_EQ(errorOf(mySql + "User ID=\"hmail \"", kAll), blanks.arg("User ID"));
    EXPECT_EQ(errorOf(mySql + "Initial Catalog=\" hm\"", kAll), blanks.arg("Initial Catalog"));
    EXPECT_EQ(errorOf(mySql + "Password=\"ge heim\"", kAll), "<kein Fehler>");
    EXPECT_EQ(errorOf("Provider=PostgreSQL;Data Source=db;Password=\" geheim \"", kAll),
              "<kein Fehler>");
}

// PostgreSQL's driver keeps the braces of a braced database name or login
// in the name; only the password it reads without them.
TEST(ServerOdbc, ValuesPostgresDriverWouldReadWithTheirBracesAreRefused) {
    const QString braces = QStringLiteral("Der Wert von \"%1\" in der Verbindungszeichenfolge "
                                          "enthält ; { } oder = oder beginnt oder endet mit einem "
                                          "Leerzeichen: ODBC braucht dafür geschweifte Klammern, "
                                          "die der PostgreSQL-Treiber in den Namen übernähme");
    const QString postgres = QStringLiteral("Provider=PostgreSQL;Data Source=db;");
    for (const char* name : {"'hm;x'", "'hm}x{'", "\"a=b\"", "\" hm\""}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(errorOf(postgres + "Initial Catalog=" + name, kAll),
                  braces.arg("Initial Catalog"));
        EXPECT_EQ(errorOf(postgres + "User ID=" + name, kAll), braces.arg("User ID"));
    }
    EXPECT_EQ(errorOf(postgres + "Initial Catalog=hm-ü x;User ID=h.mail;Password='p;w}x{y'", kAll),
              "<kein Fehler>");
    // MariaDB's driver reads them without the braces.
    EXPECT_EQ(errorOf("Provider=MySQL;Data Source=db;Initial Catalog='hm;x'", kAll),
              "<kein Fehler>");
}
