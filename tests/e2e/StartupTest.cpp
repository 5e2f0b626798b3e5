#include "ScratchInstall.h"

#include "TestDatabases.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

// Start-up and the road without any run, on a machine without a display.

TEST(Startup, WithoutConfigurationReportsTheDatabaseErrorAndStillShowsTheWindow) {
    ScratchInstall install;
    const auto result = install.run({});
    ASSERT_TRUE(result.finished) << "the program waited for a user";
    EXPECT_EQ(result.exitCode, 1);
    const QStringList log = install.logMessages();
    ASSERT_GE(log.size(), 4);
    EXPECT_EQ(log[0], "");
    EXPECT_EQ(log[1], "Start des Programms");
    // The database error is reported, then the window is shown all the same.
    EXPECT_TRUE(log[2].startsWith("Fehler: ")) << log[2].toStdString();
    EXPECT_TRUE(result.standardError.contains(log[2].mid(8))) << result.standardError.toStdString();
    EXPECT_EQ(log[3], "0 Parameter sind zu verarbeiten");
    EXPECT_FALSE(log.contains("Datenbank geöffnet"));
    EXPECT_TRUE(result.standardError.contains("Bildschirm"));
    EXPECT_FALSE(QFile::exists(install.path("tarvelo.ini")));
}

TEST(Startup, LogOfAStartReadsBlankLineStartDatabaseParameters) {
    ScratchInstall install;
    install.useSqliteDatabase();
    install.writeFile("tarvelo.log", "01.01.2026 10:00:00: \xE4lter\r\n");
    const auto result = install.run({});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1) << "no run asked for without a display";
    // Why it ended stands in the log too: a scheduler's task has no
    // standard error anybody reads.
    EXPECT_EQ(install.logMessages(),
              QStringList({"älter", "", "Start des Programms", "Datenbank geöffnet",
                           "0 Parameter sind zu verarbeiten",
                           "Fehler: Die Bedienung im Fenster braucht einen Bildschirm; ohne "
                           "Bildschirm nur mit /file:, /dbsync oder /refresh."}));
    // Lines are kept byte for byte and written in Windows-1252 with CR LF.
    const QByteArray bytes = install.readFile("tarvelo.log");
    EXPECT_TRUE(bytes.startsWith("01.01.2026 10:00:00: \xE4lter\r\n\r\n"));
    EXPECT_TRUE(bytes.contains(": 0 Parameter sind zu verarbeiten\r\n"));
    EXPECT_TRUE(bytes.endsWith(" oder /refresh.\r\n"));
    EXPECT_TRUE(bytes.contains(": Datenbank ge\xF6"
                               "ffnet\r\n"));
}

TEST(Startup, MissingSqliteFileIsAnErrorAndNotCreated) {
    ScratchInstall install;
    install.setIni("SQL", "Provider", "Provider=SQLite;Data Source=" + install.path("fehlt.db"));
    const auto result = install.run({"/dbsync"});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_FALSE(QFile::exists(install.path("fehlt.db")));
}

// Every way the start can fail names its cause: the file, or the part of the
// connection string; the driver's own text stands apart, in parentheses.
TEST(Startup, EachStartupFailureNamesItsCause) {
    struct Case {
        const char* name;
        std::function<void(const ScratchInstall&)> prepare;
        std::function<QString(const ScratchInstall&)> expected; // the whole message, or its start
        bool whole;
        const char* driverText = nullptr; // the driver's part, in parentheses at the end
    };
    // Files beside the program are named as the platform writes paths.
    auto ini = [](const ScratchInstall& i) {
        return QDir::toNativeSeparators(i.path("tarvelo.ini"));
    };
    auto entry = [&](const ScratchInstall& i) {
        return QStringLiteral("[SQL] Provider in \"%1\"").arg(ini(i));
    };
    const Case cases[] = {
        {"no configuration file", [](const ScratchInstall&) {},
         [&](const ScratchInstall& i) {
             return "Die Konfigurationsdatei \"" + ini(i) +
                    "\" wurde nicht gefunden; ohne ihre Verbindungszeichenfolge (Abschnitt "
                    "[SQL], Eintrag Provider) wird keine Datenbank geöffnet";
         },
         true},
        {"configuration file that is a directory",
         [&](const ScratchInstall& i) { QDir().mkpath(ini(i)); },
         [&](const ScratchInstall& i) {
             return "Die Konfigurationsdatei \"" + ini(i) +
                    "\" ist ein Verzeichnis; ohne ihre Verbindungszeichenfolge (Abschnitt "
                    "[SQL], Eintrag Provider) wird keine Datenbank geöffnet";
         },
         true},
        {"no connection string",
         [](const ScratchInstall& i) { i.setIni("Options", "Protokoll", i.path("prot/")); },
         [&](const ScratchInstall& i) {
             return "Keine Verbindungszeichenfolge angegeben (" + entry(i) + ")";
         },
         true},
        {"unknown provider",
         [](const ScratchInstall& i) {
             i.setIni("SQL", "Provider", "Provider=Oracle;Data Source=x");
         },
         [&](const ScratchInstall& i) {
             return "Die Verbindungszeichenfolge (" + entry(i) +
                    ") ist fehlerhaft: Unbekannter Provider \"Oracle\"";
         },
         true},
        {"missing database file",
         [](const ScratchInstall& i) {
             i.setIni("SQL", "Provider", "Provider=SQLite;Data Source=" + i.path("fehlt.db"));
         },
         [&](const ScratchInstall& i) {
             return "Die SQLite-Datenbank \"" + QDir::toNativeSeparators(i.path("fehlt.db")) +
                    "\" (Data Source in " + entry(i) +
                    ") kann nicht geöffnet werden: Die Datenbank \"" + i.path("fehlt.db") +
                    "\" wurde nicht gefunden";
         },
         true},
        {"no SQLite database",
         [](const ScratchInstall& i) {
             i.writeFile("kein.db", QByteArray(4096, 'x'));
             i.setIni("SQL", "Provider", "Provider=SQLite;Data Source=" + i.path("kein.db"));
         },
         [&](const ScratchInstall& i) {
             return "Die SQLite-Datenbank \"" + QDir::toNativeSeparators(i.path("kein.db")) +
                    "\" (Data Source in " + entry(i) + ") kann nicht geöffnet werden: ";
         },
         false, "file is not a database"},
        {"no route table",
         [](const ScratchInstall& i) {
             execSql(i.useSqliteDatabase(false), "DROP TABLE hm_routes");
         },
         [&](const ScratchInstall& i) {
             return "Die SQLite-Datenbank \"" + QDir::toNativeSeparators(i.path("hmailserver.db")) +
                    "\" (Data Source in " + entry(i) +
                    ") ist geöffnet, aber ihre Routen (hm_routes) können nicht "
                    "gelesen werden: ";
         },
         false, "no such table: hm_routes"},
        {"server that does not answer",
         [](const ScratchInstall& i) {
             i.setIni("SQL", "Provider",
                      "Provider=PostgreSQL;Data Source=127.0.0.1:1;Initial Catalog=hmail;"
                      "User ID=hm;Password=geheim");
         },
         [&](const ScratchInstall& i) {
             return "Die Datenbank \"hmail\" auf dem Server \"127.0.0.1:1\" für den Benutzer "
                    "\"hm\" (Initial Catalog, Data Source, User ID in " +
                    entry(i) + ") kann nicht geöffnet werden: ";
         },
         false},
        {"server by its IPv6 address, written as the message writes it",
         [](const ScratchInstall& i) {
             i.setIni("SQL", "Provider",
                      "Provider=MySQL;Data Source=[::1]:1;Initial Catalog=hmail;User ID=hm;"
                      "Password=geheim");
         },
         [&](const ScratchInstall& i) {
             return "Die Datenbank \"hmail\" auf dem Server \"[::1]:1\" für den Benutzer "
                    "\"hm\" (Initial Catalog, Data Source, User ID in " +
                    entry(i) + ") kann nicht geöffnet werden: ";
         },
         false},
        {"SQL Server that does not answer",
         [](const ScratchInstall& i) {
             i.setIni("SQL", "Provider",
                      "Provider=SQLOLEDB.1;Password=geheim;Persist Security Info=True;User "
                      "ID=hmail;Initial Catalog=hMailServer;Data Source=127.0.0.1,1");
         },
         [&](const ScratchInstall& i) {
             return "Die Datenbank \"hMailServer\" auf dem SQL Server \"127.0.0.1,1\" für den "
                    "Benutzer \"hmail\" (Initial Catalog, Data Source, User ID in " +
                    entry(i) + ") kann nicht geöffnet werden: ";
         },
         false},
        {"SQL Server login that needs braces",
         [](const ScratchInstall& i) {
             i.setIni("SQL", "Provider",
                      "Provider=SQLOLEDB.1;Password=geheim;User ID='mail;admin';Initial "
                      "Catalog=hMailServer;Data Source=127.0.0.1,1");
         },
         [&](const ScratchInstall& i) {
             return "Die Datenbank \"hMailServer\" auf dem SQL Server \"127.0.0.1,1\" für den "
                    "Benutzer \"mail;admin\" (Initial Catalog, Data Source, User ID in " +
                    entry(i) + ") kann nicht geöffnet werden: ";
         },
         false},
        {"connection string longer than a read gives",
         [](const ScratchInstall& i) {
             // Cut at 2047 characters it would name the database "hmailserver".
             const QString head = "Provider=MySQL;Data Source=127.0.0.1;Port=1;User ID=hm;"
                                  "Password=geheim;Initial Catalog=hmailserver";
             i.setIni("SQL", "Provider",
                      "Provider=MySQL;Description=" + QString(2034 - head.size(), u'x') +
                          head.mid(14) + "_test");
         },
         [&](const ScratchInstall& i) {
             return "Die Verbindungszeichenfolge (" + entry(i) +
                    ") ist länger als 2047 Zeichen; gelesen würden nur die ersten 2047, daher "
                    "wird keine Datenbank geöffnet";
         },
         true},
        {"ODBC driver and server, as written",
         [](const ScratchInstall& i) {
             i.setIni("SQL", "Provider",
                      "Provider=MSDASQL;Driver={MariaDB Unicode};Server=127.0.0.1;Port=1;"
                      "Database={hm}}ail};UID='hm;x';PWD=geheim");
         },
         [&](const ScratchInstall& i) {
             return "Die Datenbank \"hm}ail\" auf dem Server \"127.0.0.1:1\" über den "
                    "ODBC-Treiber \"MariaDB Unicode\" für den Benutzer \"hm;x\" (Database, "
                    "Server, Port, Driver, UID in " +
                    entry(i) + ") kann nicht geöffnet werden: ";
         },
         false},
        {"ODBC server by its IPv6 address, bracketed before the port",
         [](const ScratchInstall& i) {
             i.setIni("SQL", "Provider",
                      "Provider=MSDASQL;Driver={MariaDB Unicode};Server=::1;Port=1;"
                      "Database=hm;UID=hm;PWD=geheim");
         },
         [&](const ScratchInstall& i) {
             return "Die Datenbank \"hm\" auf dem Server \"[::1]:1\" über den ODBC-Treiber "
                    "\"MariaDB Unicode\" für den Benutzer \"hm\" (Database, Server, Port, "
                    "Driver, UID in " +
                    entry(i) + ") kann nicht geöffnet werden: ";
         },
         false},
        {"ODBC data source by its name",
         [](const ScratchInstall& i) {
             i.setIni("SQL", "Provider",
                      "Provider=MSDASQL;Data Source=tarvelo-fehlt;User ID=hm;Password=geheim");
         },
         [&](const ScratchInstall& i) {
             return "Die ODBC-Datenquelle \"tarvelo-fehlt\" für den Benutzer \"hm\" (Data "
                    "Source, User ID in " +
                    entry(i) + ") kann nicht geöffnet werden: ";
         },
         false},
        {"SQL Server by the Windows account",
         [](const ScratchInstall& i) {
             i.setIni("SQL", "Provider",
                      "Provider=MSOLEDBSQL;Data Source=127.0.0.1,1;Integrated Security=SSPI");
         },
         [&](const ScratchInstall& i) {
             return "Die Standarddatenbank auf dem SQL Server \"127.0.0.1,1\" mit der "
                    "Windows-Anmeldung (Data Source, Integrated Security in " +
                    entry(i) + ") kann nicht geöffnet werden: ";
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchInstall install;
        c.prepare(install);
        install.writeFile("liste.txt", "alice@example.com\r\n");
        install.writeFile("ausnahmen.txt", "");
        const auto result = install.run({"/file:" + install.path("liste.txt")});
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 1);
        const QStringList log = install.logMessages();
        ASSERT_GE(log.size(), 3);
        const QString message = log[2].mid(8);
        EXPECT_TRUE(log[2].startsWith("Fehler: ")) << log[2].toStdString();
        const QString expected = c.expected(install);
        if (c.whole) {
            EXPECT_EQ(message, expected);
        } else {
            EXPECT_TRUE(message.startsWith(expected)) << message.toStdString();
            EXPECT_GT(message.size(), expected.size()) << "the driver's text is missing";
        }
        if (c.driverText != nullptr) {
            EXPECT_TRUE(message.endsWith(QStringLiteral(" (%1)").arg(c.driverText)))
                << message.toStdString();
        }
        EXPECT_FALSE(message.contains("geheim")) << "the password stays out of the message";
        // Standard error has it as said, the log in one line.
        EXPECT_TRUE(result.standardError.contains(expected)) << result.standardError.toStdString();
        // The run asked for then says that the database is not connected, and why.
        EXPECT_TRUE(log.contains("Fehler: Die Datenbank ist nicht verbunden, weil der Start "
                                 "scheiterte: " +
                                 message))
            << log.join('\n').toStdString();
        EXPECT_FALSE(log.contains("Ende DBsync"));
    }
}

TEST(Startup, LogThatCannotBeWrittenIsSaidOnStandardError) {
    // The run asked for cannot start: standard error names the log and its
    // error, and does not claim that no run was asked for.
    ScratchInstall install;
    const QString connection = install.useSqliteDatabase(true);
    install.writeFile("ausnahmen.txt", "");
    install.writeFile("liste.txt", "alice@example.com\r\n");
    ASSERT_TRUE(QDir(install.dir()).mkdir("tarvelo.log"));
    const auto rowsBefore = routeAddressRows(connection);

    auto result = install.run({"/file:" + install.path("liste.txt"), "/domain:example.com"});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    // A folder in the log's place: refused as Windows refuses access to it.
    // Said once, naming the log: every later report fails the same way.
    EXPECT_EQ(result.standardError.trimmed(),
              "In die Logdatei \"" + QDir::toNativeSeparators(install.path("tarvelo.log")) +
                  "\" kann nicht geschrieben werden: Dateizugriff verweigert");
    EXPECT_EQ(routeAddressRows(connection), rowsBefore);

    // Asked for nothing, the note about the window stays.
    result = install.run({});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.standardError.contains("braucht einen Bildschirm"));
}

TEST(Startup, MisspeltSwitchesAreNamedWhereNothingWasAskedFor) {
    ScratchInstall install;
    install.useSqliteDatabase();
    // Named as written.
    const auto result = install.run({"/DBSYNCX", "/domain:example.com", "refresh"});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    const QString message = "Die Bedienung im Fenster braucht einen Bildschirm; ohne Bildschirm "
                            "nur mit /file:, /dbsync oder /refresh. Nicht erkannt: /DBSYNCX, "
                            "refresh";
    EXPECT_EQ(result.standardError.trimmed(), message);
    EXPECT_EQ(install.logMessages().last(), "Fehler: " + message);
}
