#include "GuiTestBed.h"

#include "core/Mtools.h"
#include "platform/ProfileFile.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTest>

namespace {

using PasswordCommandTest = GuiTestBed;
using ExceptionCommandTest = GuiTestBed;

QString storedAdmin(const QString& ini) {
    return ProfileFile::readString(ini, "Hmail", "admin", QStringLiteral("<fehlt>"));
}

} // namespace

TEST_F(PasswordCommandTest, OkStoresTheEntryScrambledAndTheRunningProgramKeepsTheOld) {
    Tfmain& w = openWindow();
    ASSERT_EQ(w.session().AdminPassword, "alt-geheim");
    dialogs.inputAnswers.push_back(QStringLiteral("Neu Geheim!"));
    action("HMailPasswort1")->trigger();

    ASSERT_EQ(dialogs.inputs.size(), 1);
    EXPECT_EQ(dialogs.inputs[0].caption, "Hmail Admin");
    EXPECT_EQ(dialogs.inputs[0].prompt, "Passwort");
    EXPECT_EQ(dialogs.inputs[0].text, "");
    EXPECT_EQ(storedAdmin(paths.iniFile), Mtools::ScrambleText("Neu Geheim!"));
    EXPECT_NE(storedAdmin(paths.iniFile), "Neu Geheim!");
    EXPECT_FALSE(iniText().contains("Neu Geheim!"));
    EXPECT_EQ(w.session().AdminPassword, "alt-geheim");

    // The next start reads the new one.
    openWindow();
    EXPECT_EQ(window().session().AdminPassword, "Neu Geheim!");
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(PasswordCommandTest, EmptyEntryIsStoredEmptyAndCancelWritesNothing) {
    openWindow();
    const QByteArray before = fileBytes(paths.iniFile);
    dialogs.inputAnswers.push_back(std::nullopt);
    action("HMailPasswort1")->trigger();
    EXPECT_EQ(fileBytes(paths.iniFile), before);

    dialogs.inputAnswers.push_back(QString());
    action("HMailPasswort1")->trigger();
    EXPECT_EQ(storedAdmin(paths.iniFile), "");
    EXPECT_EQ(window().session().AdminPassword, "alt-geheim");
    openWindow();
    EXPECT_EQ(window().session().AdminPassword, "");
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(PasswordCommandTest, PasswordOfTheFullInputLengthRoundTrips) {
    openWindow();
    QString password;
    for (int i = 0; i < 255; ++i) {
        password.append(QChar(0x21 + (i * 7) % 94)); // printable ASCII, no blank
    }
    dialogs.inputAnswers.push_back(password);
    action("HMailPasswort1")->trigger();
    EXPECT_EQ(storedAdmin(paths.iniFile).size(), 255);
    openWindow();
    EXPECT_EQ(window().session().AdminPassword, password);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(PasswordCommandTest, ConfigurationThatCannotBeWrittenIsReportedOnce) {
    openWindow();
    ASSERT_TRUE(QFile::remove(paths.iniFile));
    ASSERT_TRUE(QDir().mkdir(paths.iniFile));
    dialogs.inputAnswers.push_back(QStringLiteral("geheim"));
    action("HMailPasswort1")->trigger();
    EXPECT_EQ(messages, QStringList({"In " + paths.iniFile + " kann nicht geschrieben werden"}));
    EXPECT_EQ(window().session().AdminPassword, "alt-geheim");
    ASSERT_TRUE(QDir().rmdir(paths.iniFile));
}

TEST_F(ExceptionCommandTest, PopupOffersTheCurrentAddressAndRewritesTheFileSorted) {
    openWindow();
    clickCell(DBGrid2(), 1);
    ASSERT_EQ(window().session().addressDataset().Addressrouteaddressaddress(),
              "alice@example.com");

    dialogs.inputAnswers.push_back(QStringLiteral(">Alice@Example.COM"));
    action("Ausnahmehinzufgen1")->trigger();
    ASSERT_EQ(dialogs.inputs.size(), 1);
    EXPECT_EQ(dialogs.inputs[0].caption, "Ausnahme hinzufügen");
    EXPECT_EQ(dialogs.inputs[0].prompt, "Ausnahme");
    EXPECT_EQ(dialogs.inputs[0].text, ">alice@example.com");
    EXPECT_EQ(fileBytes(paths.exceptionFile), ">alice@example.com\r\n>info@\r\nbeta\r\nzeta\r\n");

    // The same entry again writes nothing; cancel writes nothing.
    writeFile(paths.exceptionFile, "zeta\r\n>alice@example.com\r\n");
    dialogs.inputAnswers.push_back(QStringLiteral(">alice@example.com"));
    action("Ausnahmehinzufgen1")->trigger();
    EXPECT_EQ(fileBytes(paths.exceptionFile), "zeta\r\n>alice@example.com\r\n");
    dialogs.inputAnswers.push_back(std::nullopt);
    action("Ausnahmehinzufgen1")->trigger();
    EXPECT_EQ(fileBytes(paths.exceptionFile), "zeta\r\n>alice@example.com\r\n");
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ExceptionCommandTest, AusnahmenOpensTheExceptionFileByItsFullPath) {
    openWindow();
    action("Ausnahmen1")->trigger();
    const QStringList opened = dialogs.openedDocuments;
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], QDir::toNativeSeparators(dir.filePath("ausnahmen.txt")));
    EXPECT_TRUE(QFileInfo(opened[0]).isAbsolute());
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ExceptionCommandTest, AusnahmenWithoutTheFileNamesTheFileNotTheEditor) {
    QFile::remove(paths.exceptionFile);
    openWindow();
    action("Ausnahmen1")->trigger();
    EXPECT_TRUE(dialogs.openedDocuments.isEmpty());
    EXPECT_EQ(logLines().last(), "04.03.2026 05:06:07: Die Datei \"" +
                                     QDir::toNativeSeparators(dir.filePath("ausnahmen.txt")) +
                                     "\" kann nicht geöffnet werden: sie fehlt");
    EXPECT_FALSE(QFile::exists(paths.exceptionFile));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ExceptionCommandTest, AusnahmenWhereNothingOpensTextFilesSaysSoInTheLog) {
    // Where the administrator tells the desktop which program opens text.
#ifdef Q_OS_WIN
    const QString setting = "Standard-App für .txt in den Windows-Einstellungen";
#else
    const QString setting = "Paket xdg-utils";
#endif
    dialogs.desktopOpens = false;
    openWindow();
    action("Ausnahmen1")->trigger();
    EXPECT_EQ(dialogs.openedDocuments.size(), 1);
    EXPECT_EQ(logLines().last(),
              "04.03.2026 05:06:07: Die Datei \"" +
                  QDir::toNativeSeparators(dir.filePath("ausnahmen.txt")) +
                  "\" kann nicht geöffnet werden: kein Programm zum Öffnen von Textdateien "
                  "gefunden (" +
                  setting + ")");
    // No dialog of the program's own.
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ExceptionCommandTest, AusnahmenWhoseLauncherFindsNoProgramLaterSaysSoInTheLog) {
    dialogs.desktopFailsLater = QStringLiteral("xdg-open endete mit Status 2");
    openWindow();
    action("Ausnahmen1")->trigger();
    const QString expected = "04.03.2026 05:06:07: Die Datei \"" +
                             QDir::toNativeSeparators(dir.filePath("ausnahmen.txt")) +
                             "\" kann nicht geöffnet werden: xdg-open endete mit Status 2";
    EXPECT_TRUE(QTest::qWaitFor([&] { return logLines().last() == expected; }));
    EXPECT_EQ(logLines().last(), expected);
    EXPECT_TRUE(messages.isEmpty());
}

// The launcher's late answer arrives while a run started at once works: it
// waits for the run's end, not to be cleared with the pane or to stand
// between the run's lines.
TEST_F(ExceptionCommandTest, ALateAnswerOfTheLauncherWaitsForTheRunsEnd) {
    dialogs.desktopFailsLater = QStringLiteral("xdg-open endete mit Status 2");
    openWindow();
    action("Ausnahmen1")->trigger();
    action("DatenbankSync1")->trigger();
    const QString expected = "04.03.2026 05:06:07: Die Datei \"" +
                             QDir::toNativeSeparators(dir.filePath("ausnahmen.txt")) +
                             "\" kann nicht geöffnet werden: xdg-open endete mit Status 2";
    EXPECT_TRUE(QTest::qWaitFor([&] { return logLines().last() == expected; }));
    const QStringList log = logLines();
    ASSERT_GE(log.size(), 2);
    EXPECT_EQ(log[log.size() - 2], "04.03.2026 05:06:07: Ende DBsync");
    EXPECT_TRUE(control<QPlainTextEdit>("Protokoll")
                    ->toPlainText()
                    .endsWith(expected.mid(expected.indexOf(u' ') + 1)))
        << control<QPlainTextEdit>("Protokoll")->toPlainText().toStdString();
}
