#include "ScratchInstall.h"

#include <QFile>

#include <gtest/gtest.h>

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
    EXPECT_EQ(install.logMessages(),
              QStringList({"älter", "", "Start des Programms", "Datenbank geöffnet",
                           "0 Parameter sind zu verarbeiten"}));
    // Lines are kept byte for byte and written in Windows-1252 with CR LF.
    const QByteArray bytes = install.readFile("tarvelo.log");
    EXPECT_TRUE(bytes.startsWith("01.01.2026 10:00:00: \xE4lter\r\n\r\n"));
    EXPECT_TRUE(bytes.endsWith(": 0 Parameter sind zu verarbeiten\r\n"));
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
