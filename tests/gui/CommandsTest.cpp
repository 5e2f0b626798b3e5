#include "GuiTestBed.h"

#include "ComStandin.h"

#include "TestDatabases.h"
#include "gui/RunBreather.h"
#include "platform/Ansi.h"
#include "platform/ProfileFile.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QTableView>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolButton>

namespace {

using CommandsTest = GuiTestBed;

// The Start button's state each time a line shows in the protocol pane. The
// window breathes at every step of the run, so that each line shows while
// the run still works.
struct PaneWatch {
    QStringList lines;
    QList<bool> startEnabled;
    int shown = 0;
};

void watchPane(Tfmain& w, PaneWatch& watch) {
    auto* pane = w.findChild<QPlainTextEdit*>(QStringLiteral("Protokoll"));
    auto* start = w.findChild<QPushButton*>(QStringLiteral("btsync"));
    watch.shown = pane->document()->isEmpty() ? 0 : pane->document()->blockCount();
    QObject::connect(pane, &QPlainTextEdit::textChanged, pane, [pane, start, &watch] {
        const QTextDocument* document = pane->document();
        if (document->isEmpty()) {
            watch.shown = 0;
            return;
        }
        for (; watch.shown < document->blockCount(); ++watch.shown) {
            watch.lines.append(document->findBlockByNumber(watch.shown).text());
            watch.startEnabled.append(start->isEnabled());
        }
    });
}

QStringList protocolFiles(const QString& directory) {
    return QDir(directory).entryList({QStringLiteral("hmail-*.log")}, QDir::Files, QDir::Name);
}

} // namespace

TEST_F(CommandsTest, EveryMenuItemAndButtonReachesItsHandler) {
    Tfmain& w = openWindow();
    const QString protocols = dir.filePath("protokolle");

    dialogs.openAnswers.push_back(std::nullopt);
    QTest::mouseClick(control<QToolButton>("btoeffnen"), Qt::LeftButton);
    EXPECT_EQ(dialogs.openCalls, 1);

    dialogs.saveAnswers.push_back(std::nullopt);
    QTest::mouseClick(control<QToolButton>("SpeedButton1"), Qt::LeftButton);
    dialogs.saveAnswers.push_back(std::nullopt);
    action("DomainExport1")->trigger();
    EXPECT_EQ(dialogs.saveProposals, QStringList({"example.com.txt", "example.com.txt"}));

    dialogs.inputAnswers.push_back(std::nullopt);
    action("HMailPasswort1")->trigger();
    dialogs.inputAnswers.push_back(std::nullopt);
    action("Ausnahmehinzufgen1")->trigger();
    ASSERT_EQ(dialogs.inputs.size(), 2);
    EXPECT_EQ(dialogs.inputs[0].caption, "Hmail Admin");
    EXPECT_EQ(dialogs.inputs[1].caption, "Ausnahme hinzufügen");

    action("Ausnahmen1")->trigger();
    EXPECT_EQ(dialogs.openedDocuments, QStringList({paths.exceptionFile}));

    // No administration object is registered here (nor by a test that runs
    // meanwhile): the refresh reports so.
    {
        const ComStandin::Absent noCom;
        action("HmailRefresh1")->trigger();
    }
    EXPECT_EQ(messages, QStringList({"Ungültige Klassenzeichenfolge"}));
    messages.clear();

    // The Start button and "&Datenbank-Sync" run the synchronisation.
    QTest::mouseClick(control<QPushButton>("btsync"), Qt::LeftButton);
    EXPECT_EQ(zaehler(), "14 Änderungen");
    EXPECT_EQ(protocolFiles(protocols), QStringList({"hmail-20260304-050607.log"}));
    clock.set(QDateTime(QDate(2026, 3, 4), QTime(5, 6, 8)));
    action("DatenbankSync1")->trigger();
    EXPECT_EQ(zaehler(), "1 Änderungen");
    EXPECT_EQ(protocolFiles(protocols),
              QStringList({"hmail-20260304-050607.log", "hmail-20260304-050608.log"}));

    action("Beenden1")->trigger();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(logLines().last(), "04.03.2026 05:06:08: Programm wird geschlossen");
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

TEST_F(CommandsTest, EnterOnTheFocusedStartButtonStartsOneRun) {
    Tfmain& w = openWindow();
    const QString protocols = dir.filePath("protokolle");
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    auto* start = control<QPushButton>("btsync");
    start->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), start);
    auto runsLogged = [this] { return logLines().filter(QStringLiteral(": Ende DBsync")).size(); };

    QTest::keyClick(start, Qt::Key_Return);
    EXPECT_EQ(runsLogged(), 1);
    EXPECT_EQ(zaehler(), "14 Änderungen");
    EXPECT_EQ(protocolFiles(protocols), QStringList({"hmail-20260304-050607.log"}));
    // The focus is back on Start; Enter of the number pad presses it too.
    EXPECT_EQ(QApplication::focusWidget(), start);
    clock.set(QDateTime(QDate(2026, 3, 4), QTime(5, 6, 8)));
    QTest::keyClick(start, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(runsLogged(), 2);
    EXPECT_EQ(protocolFiles(protocols),
              QStringList({"hmail-20260304-050607.log", "hmail-20260304-050608.log"}));
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

// A shortcut's command line may hold the deletion guard without a run: the
// window keeps to it at every Start, the preview's included.
TEST_F(CommandsTest, AWindowStartedWithTheDeletionGuardKeepsItAtEveryStart) {
    openWindow({QStringLiteral("/MaxDelete:5")});
    const auto rowsBefore = tableRows();
    QTest::mouseClick(control<QPushButton>("btsync"), Qt::LeftButton);
    action("Testlauf1")->trigger();
    QTest::mouseClick(control<QPushButton>("btsync"), Qt::LeftButton);
    EXPECT_EQ(messages, QStringList(3, QStringLiteral("Der Lauf würde 12 Adressen löschen, "
                                                      "erlaubt sind höchstens 5 (/maxdelete:5). "
                                                      "Es wurde nichts geändert")));
    EXPECT_EQ(tableRows(), rowsBefore);
    // Each run refused leaves its record, the preview none.
    EXPECT_EQ(
        protocolFiles(dir.filePath("protokolle")),
        QStringList({"hmail-20260304-050607-fehler.log", "hmail-20260304-050608-fehler.log"}));
}

TEST_F(CommandsTest, StartButtonIsDisabledWhileTheRunWorksAndEnabledAfter) {
    waits.breath = std::chrono::milliseconds(0);
    Tfmain& w = openWindow();
    PaneWatch watch;
    watchPane(w, watch);
    QTest::mouseClick(control<QPushButton>("btsync"), Qt::LeftButton);
    ASSERT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();

    // Header, twelve deletions and one insertion while the run works; the
    // closing log line after the button came back.
    ASSERT_EQ(watch.lines.size(), 2 + 14 + 1);
    for (int i = 2; i < 16; ++i) {
        EXPECT_FALSE(watch.startEnabled[i]) << watch.lines[i].toStdString();
    }
    EXPECT_EQ(watch.lines[2], "Datei: " + listFile);
    EXPECT_EQ(watch.lines[15], "Insert 2 neu@example.org");
    EXPECT_EQ(watch.lines[16], "05:06:07: Ende DBsync");
    EXPECT_TRUE(watch.startEnabled[16]);
    EXPECT_TRUE(control<QPushButton>("btsync")->isEnabled());
    EXPECT_EQ(addressesOfRoute(2), QStringList({"neu@example.org"}));
    // The address grid shows the first route again.
    EXPECT_EQ(shownAddresses(), QStringList({"alice@example.com"}));
}

TEST_F(CommandsTest, StartButtonComesBackAfterAFailedRunAndTheWindowStaysUsable) {
    waits.breath = std::chrono::milliseconds(0);
    Tfmain& w = openWindow();
    execSql(connection, "ALTER TABLE hm_routeaddresses RENAME TO hm_weg");
    PaneWatch watch;
    watchPane(w, watch);
    QTest::mouseClick(control<QPushButton>("btsync"), Qt::LeftButton);

    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("hm_routeaddresses")) << messages[0].toStdString();
    // The protocol's header, then the error as the log has it.
    ASSERT_EQ(watch.lines.size(), 4);
    EXPECT_EQ(watch.lines[2], "Datei: " + listFile);
    EXPECT_FALSE(watch.startEnabled[2]);
    EXPECT_EQ(watch.lines[3], "05:06:07: Fehler: " + messages[0]);
    EXPECT_TRUE(control<QPushButton>("btsync")->isEnabled());
    EXPECT_EQ(zaehler(), "...");

    // Mended, the next run goes through.
    execSql(connection, "ALTER TABLE hm_weg RENAME TO hm_routeaddresses");
    QTest::mouseClick(control<QPushButton>("btsync"), Qt::LeftButton);
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(zaehler(), "14 Änderungen");
    EXPECT_TRUE(control<QPushButton>("btsync")->isEnabled());
}

TEST_F(CommandsTest, OpenDialogSetsTheListPathOnlyWhenConfirmed) {
    Tfmain& w = openWindow();
    EXPECT_EQ(w.emailliste(), listFile);

    dialogs.openAnswers.push_back(std::nullopt);
    QTest::mouseClick(control<QToolButton>("btoeffnen"), Qt::LeftButton);
    EXPECT_EQ(w.emailliste(), listFile);

    // A name that does not exist is taken as it is.
    const QString missing = dir.filePath("gibt-es-nicht.txt");
    dialogs.openAnswers.push_back(missing);
    QTest::mouseClick(control<QToolButton>("btoeffnen"), Qt::LeftButton);
    EXPECT_EQ(w.emailliste(), missing);
    EXPECT_EQ(control<QLineEdit>("emailliste")->text(), missing);
    EXPECT_TRUE(messages.isEmpty());
    // Stored only when the window closes.
    EXPECT_FALSE(iniText().contains("gibt-es-nicht"));
}

// Started minimised (a shortcut set to "Minimized"), the window waits in the
// task bar; its command line runs once, when the user first restores it.
TEST_F(CommandsTest, AWindowStartedMinimisedRunsItsCommandLineWhenFirstRestored) {
    Tfmain& w = createWindow({"/domain:example.com"});
    w.showMinimized();
    QCoreApplication::processEvents();
    EXPECT_TRUE(logLines().filter("Parameter sind zu verarbeiten").isEmpty())
        << logLines().join('\n').toStdString();

    w.showNormal();
    QCoreApplication::processEvents();
    EXPECT_EQ(logLines().filter("1 Parameter sind zu verarbeiten").size(), 1);
    EXPECT_EQ(control<QLineEdit>("Domain")->text(), "@example.com");

    w.showMinimized();
    w.showNormal();
    QCoreApplication::processEvents();
    EXPECT_EQ(logLines().filter("Parameter sind zu verarbeiten").size(), 1) << "once a process";
}

TEST_F(CommandsTest, BeendenClosesExactlyLikeTheCloseButton) {
    const QString chosen = dir.filePath("andere-liste.txt");
    writeFile(chosen, "x@example.com\r\n");
    const QByteArray iniBefore = fileBytes(paths.iniFile);

    auto closeAndRecord = [&](bool throughMenu) {
        writeFile(paths.iniFile, iniBefore);
        QFile::remove(paths.logFile);
        Tfmain& w = openWindow();
        w.setEmailliste(chosen);
        if (throughMenu) {
            action("Beenden1")->trigger();
        } else {
            EXPECT_TRUE(w.close());
        }
        EXPECT_FALSE(w.isVisible());
        dropWindow();
        return std::make_pair(fileBytes(paths.iniFile), logLines());
    };
    const auto byMenu = closeAndRecord(true);
    const auto byButton = closeAndRecord(false);

    EXPECT_EQ(byMenu, byButton);
    EXPECT_TRUE(Ansi::decode(byMenu.first).contains("emails=" + chosen));
    EXPECT_EQ(byMenu.second.last(), "04.03.2026 05:06:07: Programm wird geschlossen");
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(CommandsTest, CloseWhoseConfigurationCannotBeWrittenKeepsTheWindowOpen) {
    Tfmain& w = openWindow();
    // The configuration file's place is taken by a directory.
    ASSERT_TRUE(QFile::remove(paths.iniFile));
    ASSERT_TRUE(QDir().mkdir(paths.iniFile));

    action("Beenden1")->trigger();
    EXPECT_EQ(messages, QStringList({"In " + paths.iniFile + " kann nicht geschrieben werden"}));
    EXPECT_TRUE(w.isVisible());
    EXPECT_NE(logLines().last(), "04.03.2026 05:06:07: Programm wird geschlossen");
    EXPECT_FALSE(w.close());
    EXPECT_EQ(messages.size(), 2);
    EXPECT_TRUE(w.isVisible());

    // Still usable; once the file can be written, the window closes.
    clickCell(Routen(), 1);
    EXPECT_EQ(shownAddresses().size(), 3);
    ASSERT_TRUE(QDir().rmdir(paths.iniFile));
    EXPECT_TRUE(w.close());
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(logLines().last(), "04.03.2026 05:06:07: Programm wird geschlossen");
    EXPECT_EQ(messages.size(), 2);
}

TEST_F(CommandsTest, AnErrorInAHandlerShowsOneMessageAndTheWindowStaysUsable) {
    openWindow();
    ASSERT_TRUE(QFile::remove(paths.exceptionFile));

    QTest::mouseClick(control<QPushButton>("btsync"), Qt::LeftButton);
    EXPECT_EQ(messages,
              QStringList({"Datei " + paths.exceptionFile + " kann nicht geöffnet werden"}));
    EXPECT_TRUE(control<QPushButton>("btsync")->isEnabled());

    dialogs.inputAnswers.push_back(QStringLiteral(">neu@"));
    action("Ausnahmehinzufgen1")->trigger();
    EXPECT_EQ(messages.size(), 2);
    EXPECT_EQ(messages.last(), messages.first());

    dialogs.saveAnswers.push_back(dir.filePath("fehlt/export.txt"));
    action("DomainExport1")->trigger();
    ASSERT_EQ(messages.size(), 3);
    // A missing folder on the way: Windows has a code of its own for it.
    EXPECT_EQ(messages.last(), "Ungültiger Dateiname");

    action("HmailRefresh1")->trigger();
    EXPECT_EQ(messages.size(), 4);

    // The window goes on working.
    clickCell(Routen(), 3);
    EXPECT_EQ(shownAddresses(), QStringList({"frank@sub.example.com", "grace@sub.example.com",
                                             "heidi@sub.example.com"}));
    writeFile(paths.exceptionFile, "");
    QTest::mouseClick(control<QPushButton>("btsync"), Qt::LeftButton);
    EXPECT_EQ(zaehler(), "14 Änderungen");
    EXPECT_EQ(messages.size(), 4);
}

TEST_F(CommandsTest, AWindowWhoseDatabaseCannotBeOpenedStillComesUpUsable) {
    ProfileFile::writeString(paths.iniFile, "SQL", "Provider",
                             "Provider=SQLite;Data Source=" + dir.filePath("fehlt.db"));
    Tfmain& w = openWindow();
    EXPECT_TRUE(w.isVisible());
    // Creation reports the connection; showing loads no addresses without
    // it and says nothing more.
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("fehlt.db")) << messages[0].toStdString();
    EXPECT_EQ(Routen()->model()->rowCount(), 0);
    EXPECT_EQ(w.domain(), "*");

    // The grids take no keys that need data; the commands still answer.
    QTest::keyClick(DBGrid2(), Qt::Key_Insert);
    QTest::keyClick(Routen(), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(DBGrid2()->model()->rowCount(), 0);
    EXPECT_TRUE(dialogs.questions.isEmpty());
    dialogs.openAnswers.push_back(listFile);
    QTest::mouseClick(control<QToolButton>("btoeffnen"), Qt::LeftButton);
    EXPECT_EQ(dialogs.openCalls, 1);
    EXPECT_TRUE(w.close());
    EXPECT_EQ(messages.size(), 1);
}

// A connection the server ended after the start (a restart, the network):
// the driver closes it, and the export and a click on a route say so instead
// of blaming the start; a run opens it anew before it reads anything.
TEST_F(CommandsTest, AfterALostConnectionARunOpensItAnewAndTheOtherCommandsSaySo) {
    waits.breath = std::chrono::milliseconds(0);
    openWindow();
    ASSERT_TRUE(messages.isEmpty());
    for (const QString& name : QSqlDatabase::connectionNames()) {
        QSqlDatabase::database(name, false).close();
    }
    const QString lost =
        "Die Verbindung zur Datenbank besteht nicht mehr; bitte Tarvelo neu starten";
    action("DomainExport1")->trigger();
    clickCell(Routen(), 1);
    EXPECT_EQ(messages, QStringList({lost, lost}));
    EXPECT_TRUE(dialogs.saveProposals.isEmpty()) << "no file is asked for";
    EXPECT_TRUE(logLines().last().endsWith(": Fehler: " + lost)) << logLines().last().toStdString();

    action("Testlauf1")->trigger();
    EXPECT_EQ(messages.size(), 2) << messages.join('\n').toStdString();
    EXPECT_TRUE(logLines().contains(
        "04.03.2026 05:06:07: Die Verbindung zur Datenbank war unterbrochen; sie wird neu "
        "geöffnet"))
        << logLines().join('\n').toStdString();
    QTest::mouseClick(control<QPushButton>("btsync"), Qt::LeftButton);
    EXPECT_EQ(messages.size(), 2) << messages.join('\n').toStdString();
    EXPECT_EQ(addressesOfRoute(2), QStringList({"neu@example.org"}));
    EXPECT_EQ(logLines().filter("war unterbrochen").size(), 1) << "opened anew once";
    EXPECT_TRUE(syncEnabled());
}

TEST_F(CommandsTest, AfterAFailedStartStartAndExportSayTheDatabaseIsNotConnectedAndWhy) {
    const QString missing = dir.filePath("weg.db");
    ProfileFile::writeString(paths.iniFile, "SQL", "Provider",
                             "Provider=SQLite;Data Source=" + missing);
    openWindow();
    const QString cause = "Die SQLite-Datenbank \"" + QDir::toNativeSeparators(missing) +
                          "\" (Data Source in [SQL] " + "Provider in \"" + paths.iniFile +
                          "\") kann nicht geöffnet werden: " + "Die Datenbank \"" + missing +
                          "\" wurde nicht gefunden";
    // Said once at start; the empty grids need no second message.
    ASSERT_EQ(messages, QStringList({cause}));
    EXPECT_TRUE(shownTexts(Routen()).isEmpty());
    EXPECT_TRUE(shownAddresses().isEmpty());

    const QString notConnected =
        "Die Datenbank ist nicht verbunden, weil der Start scheiterte: " + cause;
    QTest::mouseClick(control<QPushButton>("btsync"), Qt::LeftButton);
    action("DomainExport1")->trigger();
    QTest::mouseClick(control<QToolButton>("SpeedButton1"), Qt::LeftButton);
    EXPECT_EQ(messages, QStringList({cause, notConnected, notConnected, notConnected}));
    EXPECT_TRUE(dialogs.saveProposals.isEmpty()) << "no file is asked for";
    EXPECT_TRUE(syncEnabled());
    // Each of them is in the log too.
    const QStringList errors = logLines().filter(QStringLiteral(": Fehler: "));
    ASSERT_EQ(errors.size(), 4);
    EXPECT_TRUE(errors[0].endsWith(": Fehler: " + cause)) << errors[0].toStdString();
    EXPECT_TRUE(errors[3].endsWith(": Fehler: " + notConnected)) << errors[3].toStdString();
    // Never opened, so never ended: Start does not claim to open it anew.
    EXPECT_TRUE(logLines().filter("war unterbrochen").isEmpty())
        << logLines().join('\n').toStdString();

    // Without a list, as after a start that could not read the configuration,
    // Start says the same instead of nothing; the menu's Testlauf too.
    control<QLineEdit>("emailliste")->clear();
    QTest::mouseClick(control<QPushButton>("btsync"), Qt::LeftButton);
    action("Testlauf1")->trigger();
    EXPECT_EQ(messages.mid(4), QStringList({notConnected, notConnected}));
    EXPECT_TRUE(syncEnabled());
}
