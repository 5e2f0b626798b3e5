// The window while a synchronisation run works: it breathes (paints, shows
// Start disabled, a busy cursor and the protocol growing) and takes no input,
// and nothing made meanwhile is replayed after the run. The protocol pane
// holds one line per entry, as the protocol file does.

#include "GuiTestBed.h"

#include "TestDatabases.h"
#include "gui/ProtocolPane.h"
#include "gui/RunBreather.h"
#include "platform/Ansi.h"
#include "platform/FileLock.h"
#include "platform/LineBreaks.h"
#include "platform/TextFile.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

namespace {

using WorkingRunTest = GuiTestBed;
using ProtocolPaneTest = GuiTestBed;

// The header, twelve deletions and one insertion of the demo installation.
constexpr int kDemoProtocolLines = 14;

QStringList protocolFiles(const QString& directory) {
    return QDir(directory).entryList({QStringLiteral("hmail-*.log")}, QDir::Files, QDir::Name);
}

// The lines the memo shows: its text blocks.
QStringList shownLines(const QPlainTextEdit* memo) {
    QStringList lines;
    const QTextDocument* document = memo->document();
    if (!document->isEmpty()) {
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
            lines.append(block.text());
        }
    }
    return lines;
}

// What the window looked like at each breath of the run, and what it
// painted in it.
struct Breath {
    bool startEnabled;
    bool busyCursor;
    int startPaints;
    int panePaints;
    QStringList paneShows;
};

} // namespace

TEST_F(WorkingRunTest, InputMadeWhileTheRunWorksIsIgnoredAndNeverReplayed) {
    Tfmain& w = openWindow();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    auto* start = control<QPushButton>("btsync");
    auto* domain = control<QLineEdit>("Domain");
    ASSERT_EQ(domain->text(), "*");
    const QString protocols = dir.filePath("protokolle");

    // At the first breaths of the run an administrator clicks Start again,
    // types, asks for the sync and the exit through the menus and closes the
    // window: some of it reaches the window at once, some waits in the queue.
    // This run is over before a second breath is due: what waits in the
    // queue is still there when the run ends.
    int breaths = 0;
    QObject::connect(&breather(), &RunBreather::breathed, &w, [&] {
        if (++breaths > 3) {
            return;
        }
        QTest::mouseClick(start, Qt::LeftButton);
        QTest::mouseDClick(start, Qt::LeftButton);
        QTest::keyClicks(domain, "x");
        QTest::keyClick(&w, Qt::Key_F, Qt::AltModifier);
        QTest::keyClick(&w, Qt::Key_D);
        QTest::mouseClick(Routen()->viewport(), Qt::LeftButton, Qt::NoModifier,
                          Routen()->visualRect(Routen()->model()->index(2, 0)).center());
        postClick(start);
        postKey(start, Qt::Key_Space, " ");
        postKey(domain, Qt::Key_Y, "y");
        postKey(&w, Qt::Key_F, QString(), Qt::AltModifier);
        postKey(&w, Qt::Key_B, "b");
        QCoreApplication::postEvent(
            DBGrid2()->viewport(),
            new QContextMenuEvent(QContextMenuEvent::Mouse, QPoint(20, 30),
                                  DBGrid2()->viewport()->mapToGlobal(QPoint(20, 30))));
        QCoreApplication::postEvent(&w, new QCloseEvent);
    });
    QTest::mouseClick(start, Qt::LeftButton);
    // Whatever was left over would be replayed now.
    QTest::qWait(50);
    QCoreApplication::processEvents();

    EXPECT_GE(breaths, 1);
    const QStringList log = logLines();
    EXPECT_EQ(countEnding(log, ": Domain: *"), 1);
    EXPECT_EQ(countEnding(log, ": Ende DBsync"), 1);
    EXPECT_EQ(countEnding(log, ": Programm wird geschlossen"), 0);
    ASSERT_EQ(protocolFiles(protocols), QStringList({"hmail-20260304-050607.log"}));
    const QStringList protocol = TextFile::readLines(protocols + "/hmail-20260304-050607.log");
    EXPECT_EQ(protocol.size(), kDemoProtocolLines);
    EXPECT_EQ(protocol.value(kDemoProtocolLines - 1), "Insert 2 neu@example.org");
    EXPECT_EQ(zaehler(), "14 Änderungen");
    EXPECT_EQ(domain->text(), "*");
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(control<QWidget>("popup")->isVisible());
    // The run made the first route current; the click on the third was
    // not replayed.
    EXPECT_EQ(Routen()->currentIndex().row(), 0);
    EXPECT_EQ(shownAddresses(), QStringList({"alice@example.com"}));
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();

    // The window takes input again.
    QTest::keyClicks(domain, "@example.org", Qt::NoModifier);
    EXPECT_EQ(domain->text(), "*@example.org");
}

TEST_F(WorkingRunTest, TheWindowPaintsStartDisabledAndTheProtocolGrowingWhileTheRunWorks) {
    waits.breath = std::chrono::milliseconds(0);
    Tfmain& w = openWindow();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    auto* start = control<QPushButton>("btsync");
    auto* memo = control<QPlainTextEdit>("Protokoll");
    auto* startPaints = new PaintCounter(start);
    auto* panePaints = new PaintCounter(memo->viewport());
    QList<Breath> breaths;
    int startBefore = 0;
    int paneBefore = 0;
    QObject::connect(&breather(), &RunBreather::aboutToBreathe, &w, [&] {
        startBefore = startPaints->paints;
        paneBefore = panePaints->paints;
    });
    QObject::connect(&breather(), &RunBreather::breathed, &w, [&] {
        const QCursor* cursor = QGuiApplication::overrideCursor();
        breaths.append({start->isEnabled(), cursor && cursor->shape() == Qt::WaitCursor,
                        startPaints->paints - startBefore, panePaints->paints - paneBefore,
                        shownLines(memo)});
    });

    QTest::mouseClick(start, Qt::LeftButton);
    ASSERT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    ASSERT_GE(breaths.size(), 3);

    // Every breath: Start disabled, the busy cursor; the first painted the
    // disabled button, and the pane was repainted as it grew.
    int panePainted = 0;
    for (const Breath& breath : breaths) {
        EXPECT_FALSE(breath.startEnabled);
        EXPECT_TRUE(breath.busyCursor);
        panePainted += breath.panePaints > 0 ? 1 : 0;
    }
    EXPECT_GT(breaths.constFirst().startPaints, 0);
    EXPECT_GE(panePainted, kDemoProtocolLines);

    // The pane is cleared and then grows line by line, as the run goes.
    const QStringList protocol =
        TextFile::readLines(dir.filePath("protokolle/hmail-20260304-050607.log"));
    ASSERT_EQ(protocol.size(), kDemoProtocolLines);
    int grown = 0;
    qsizetype previous = 0;
    for (const Breath& breath : breaths) {
        if (!breath.paneShows.isEmpty() && breath.paneShows.constFirst().startsWith("Datei: ")) {
            EXPECT_EQ(breath.paneShows, protocol.mid(0, breath.paneShows.size()));
            EXPECT_GE(breath.paneShows.size(), previous);
            grown += breath.paneShows.size() > previous ? 1 : 0;
            previous = breath.paneShows.size();
        }
    }
    EXPECT_GE(grown, kDemoProtocolLines - 1);

    // After the run: Start enabled and back in the focus, the protocol and
    // the closing log line in the pane, the normal cursor.
    EXPECT_TRUE(start->isEnabled());
    EXPECT_EQ(QApplication::focusWidget(), start);
    EXPECT_FALSE(control<QLineEdit>("Domain")->hasSelectedText());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(shownLines(memo), protocol + QStringList({"05:06:07: Ende DBsync"}));
}

// Another run holds the lock: while this one waits for it, the window
// breathes as during any run, and then says why nothing was done.
TEST_F(WorkingRunTest, TheWindowBreathesWhileTheRunWaitsForAnotherRunsLock) {
    waits.lock = std::chrono::milliseconds(700);
    waits.breath = std::chrono::milliseconds(0);
    Tfmain& w = openWindow();
    auto* start = control<QPushButton>("btsync");
    FileLock held;
    held.open(paths.lockFile);
    ASSERT_TRUE(held.tryLock());
    QList<bool> startEnabledAtBreaths;
    QObject::connect(&breather(), &RunBreather::breathed, &w,
                     [&] { startEnabledAtBreaths.append(start->isEnabled()); });

    QTest::mouseClick(start, Qt::LeftButton);
    held.close();

    // A try every tenth of a second, a breath after each.
    EXPECT_GE(startEnabledAtBreaths.size(), 5);
    EXPECT_FALSE(startEnabledAtBreaths.contains(true));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.constFirst().startsWith(
        "Eine andere Synchronisation läuft bereits: die Sperrdatei \"" + paths.lockFile + "\""))
        << messages.constFirst().toStdString();
    EXPECT_TRUE(start->isEnabled());
    EXPECT_TRUE(protocolFiles(dir.filePath("protokolle")).isEmpty());

    // Escape, as the status bar offers, gives the wait up at once.
    held.open(paths.lockFile);
    ASSERT_TRUE(held.tryLock());
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    startEnabledAtBreaths.clear();
    QObject::connect(&breather(), &RunBreather::breathed, &w,
                     [&] { QTest::keyClick(&w, Qt::Key_Escape); });
    QTest::mouseClick(start, Qt::LeftButton);
    held.close();
    EXPECT_EQ(startEnabledAtBreaths.size(), 1);
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages.constLast(), "Eine andere Synchronisation läuft bereits: das Warten auf die "
                                    "Sperrdatei \"" +
                                        paths.lockFile +
                                        "\" wurde abgebrochen. Dieser Lauf hat nichts geändert");
    EXPECT_TRUE(start->isEnabled());
    EXPECT_TRUE(protocolFiles(dir.filePath("protokolle")).isEmpty());
}

TEST_F(WorkingRunTest, FocusReturnsWhereItWasBeforeTheRunWithNothingSelected) {
    Tfmain& w = openWindow();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    auto* domain = control<QLineEdit>("Domain");

    // Started with the keyboard from the Start button, with the menu from
    // the route grid, and after an error.
    control<QPushButton>("btsync")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(control<QPushButton>("btsync"), Qt::Key_Space);
    EXPECT_EQ(QApplication::focusWidget(), control<QWidget>("btsync"));
    EXPECT_FALSE(domain->hasSelectedText());

    Routen()->setFocus(Qt::TabFocusReason);
    action("DatenbankSync1")->trigger();
    EXPECT_EQ(QApplication::focusWidget(), Routen());
    EXPECT_FALSE(domain->hasSelectedText());

    execSql(connection, "ALTER TABLE hm_routeaddresses RENAME TO hm_weg");
    QTest::mouseClick(control<QPushButton>("btsync"), Qt::LeftButton);
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(QApplication::focusWidget(), control<QWidget>("btsync"));
    EXPECT_FALSE(domain->hasSelectedText());
    EXPECT_EQ(countEnding(logLines(), ": Domain: *"), 3);
}

TEST_F(WorkingRunTest, ThePaneAndTheProtocolFileHoldOneLinePerEntry) {
    // Table rows holding line breaks and other controls, deleted by the run;
    // list entries holding Unicode separators and a megabyte of text,
    // inserted by it.
    for (const char* address :
         {"'a' || char(13) || char(10) || 'b@example.com'", "'c' || char(10) || 'd@example.com'",
          "'e' || char(13) || 'f@example.com'", "'g' || char(8232) || 'h@example.com'",
          "'i' || char(8233) || 'j@example.com'", "'k' || char(133) || 'l@example.com'",
          "'m' || char(9) || char(27) || 'n@example.com'"}) {
        execSql(connection, QStringLiteral("INSERT INTO hm_routeaddresses (routeaddressrouteid, "
                                           "routeaddressaddress) VALUES (1, %1)")
                                .arg(QLatin1String(address)));
    }
    // An address far longer than the mail server's column, which SQLite
    // holds all the same.
    const QString huge = QString(1000 * 1000, u'x') + QStringLiteral("@example.org");
    execSql(connection, QStringLiteral("INSERT INTO hm_routeaddresses (routeaddressrouteid, "
                                       "routeaddressaddress) VALUES (1, '%1')")
                            .arg(huge));
    const QStringList entries = {"alice@example.com",
                                 "neu@example.org",
                                 "frank@sub.example.com",
                                 QStringLiteral("zeile\u2028neu@example.org"),
                                 QStringLiteral("absatz\u2029neu@example.org"),
                                 QStringLiteral("rahmen\uFDD0neu@example.org")};
    writeFile(listFile, (entries.join("\r\n") + "\r\n").toUtf8());

    openWindow();
    auto* memo = control<QPlainTextEdit>("Protokoll");
    QTest::mouseClick(control<QPushButton>("btsync"), Qt::LeftButton);
    ASSERT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();

    const QStringList files = protocolFiles(dir.filePath("protokolle"));
    ASSERT_EQ(files.size(), 1);
    const QStringList protocol =
        LineBreaks::split(Ansi::decode(fileBytes(dir.filePath("protokolle/" + files[0]))));
    const QStringList expected = {"Datei: " + listFile,
                                  "Delete bob@example.com",
                                  "Delete carol@example.com",
                                  "Delete postmaster@example.com",
                                  "Delete info@example.org",
                                  "Delete dave@example.org",
                                  "Delete erin@example.org",
                                  "Delete grace@sub.example.com",
                                  "Delete heidi@sub.example.com",
                                  "Delete ivan@mail.example.net",
                                  "Delete judy@mail.example.net",
                                  "Delete mallory@mail.example.net",
                                  "Delete oscar@mail.example.net",
                                  "Delete a??b@example.com",
                                  "Delete c?d@example.com",
                                  "Delete e?f@example.com",
                                  "Delete g?h@example.com",
                                  "Delete i?j@example.com",
                                  "Delete k?l@example.com",
                                  "Delete m??n@example.com",
                                  "Delete " + huge,
                                  "Insert 2 neu@example.org",
                                  "Insert 2 zeile?neu@example.org",
                                  "Insert 2 absatz?neu@example.org",
                                  "Insert 2 rahmen?neu@example.org"};
    // (A megabyte is too long to print: compared as a whole, shown in parts.)
    EXPECT_TRUE(protocol == expected) << protocol.mid(0, 24).join('\n').toStdString();
    EXPECT_EQ(protocol.size(), expected.size());
    EXPECT_TRUE(protocol.value(expected.size() - 1) == expected.constLast());

    // The pane: the same lines, then the closing log line; counted as the
    // header and one line per change.
    const QStringList pane = shownLines(memo);
    ASSERT_EQ(pane.size(), protocol.size() + 1);
    EXPECT_TRUE(pane.mid(0, protocol.size()) == protocol);
    EXPECT_EQ(pane.constLast(), "05:06:07: Ende DBsync");
    EXPECT_EQ(zaehler(), QStringLiteral("%1 Änderungen").arg(expected.size()));

    // The database holds the entries as they were, the protocol only shows
    // them in one line.
    const QStringList inserted = addressesOfRoute(2);
    EXPECT_TRUE(inserted.contains(QStringLiteral("zeile\u2028neu@example.org")));
    EXPECT_FALSE(addressesOfRoute(1).contains(huge));
}

// "Testlauf" shows the lines the run would make and changes nothing; the
// real run that follows makes exactly those lines.
TEST_F(WorkingRunTest, TestlaufShowsTheRunsLinesAndLeavesTheDatabaseAlone) {
    openWindow();
    const QString database = dir.filePath("hmailserver.db");
    const QByteArray before = fileBytes(database);
    const auto rowsBefore = tableRows();
    action("Testlauf1")->trigger();
    const QStringList planned = shownLines(control<QPlainTextEdit>("Protokoll"));
    EXPECT_EQ(zaehler(), "13 Änderungen geplant");
    EXPECT_EQ(fileBytes(database), before);
    EXPECT_EQ(tableRows(), rowsBefore);
    const QString protocols = dir.filePath("protokolle");
    ASSERT_EQ(protocolFiles(protocols), QStringList({"hmail-20260304-050607-test.log"}));
    EXPECT_EQ(TextFile::readLines(protocols + "/hmail-20260304-050607-test.log"),
              planned.mid(0, kDemoProtocolLines));
    EXPECT_EQ(countEnding(logLines(), ": Testlauf: die Datenbank wird nicht geändert"), 1);

    QTest::mouseClick(control<QPushButton>("btsync"), Qt::LeftButton);
    EXPECT_EQ(zaehler(), "14 Änderungen");
    EXPECT_EQ(shownLines(control<QPlainTextEdit>("Protokoll")).mid(0, kDemoProtocolLines),
              planned.mid(0, kDemoProtocolLines));
    EXPECT_NE(tableRows(), rowsBefore);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

// Escape, which the status bar offers while "Testlauf" plans, stops the
// preview: no list that could pass for the whole preview, no protocol file.
TEST_F(WorkingRunTest, EscapeStopsTestlaufWithoutAPreviewFile) {
    waits.breath = std::chrono::milliseconds(0);
    Tfmain& w = openWindow();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    const auto rowsBefore = tableRows();
    bool offered = false;
    auto pressing = QObject::connect(&breather(), &RunBreather::breathed, &w, [&] {
        offered = offered || w.statusBar()->currentMessage() == QStringLiteral("Esc: Abbrechen");
        QTest::keyClick(&w, Qt::Key_Escape);
    });
    action("Testlauf1")->trigger();
    QObject::disconnect(pressing);
    EXPECT_TRUE(offered);
    EXPECT_EQ(zaehler(), "Testlauf abgebrochen");
    EXPECT_TRUE(protocolFiles(dir.filePath("protokolle")).isEmpty());
    const QStringList pane = shownLines(control<QPlainTextEdit>("Protokoll"));
    ASSERT_EQ(pane.size(), 2);
    EXPECT_TRUE(pane.at(1).endsWith(": Testlauf abgebrochen: es wurde nichts geändert"))
        << pane.at(1).toStdString();
    EXPECT_EQ(countEnding(logLines(), ": Ende DBsync"), 0);
    EXPECT_EQ(tableRows(), rowsBefore);
    EXPECT_TRUE(control<QPushButton>("btsync")->isEnabled());
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();

    // Asked again, the preview runs to its end.
    action("Testlauf1")->trigger();
    EXPECT_EQ(zaehler(), "13 Änderungen geplant");
}

// Escape while the run makes its changes stops it after the change in hand:
// the table, the pane and the record agree, and the window is usable. Heard
// while the run still plans, it stops the run before its first change.
TEST_F(WorkingRunTest, EscapeStopsTheRunAfterTheChangeInHand) {
    waits.breath = std::chrono::milliseconds(0);
    Tfmain& w = openWindow();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    const auto rowsBefore = tableRows();
    const QString protocols = dir.filePath("protokolle");

    // Pressed at once: nothing changes.
    auto pressing = QObject::connect(&breather(), &RunBreather::breathed, &w,
                                     [&] { QTest::keyClick(&w, Qt::Key_Escape); });
    QTest::mouseClick(control<QPushButton>("btsync"), Qt::LeftButton);
    QObject::disconnect(pressing);
    EXPECT_EQ(tableRows(), rowsBefore);
    EXPECT_EQ(zaehler(), "0 Änderungen, abgebrochen");
    ASSERT_EQ(protocolFiles(protocols), QStringList({"hmail-20260304-050607-abbruch.log"}));
    const QStringList nothing =
        TextFile::readLines(protocols + "/hmail-20260304-050607-abbruch.log");
    ASSERT_EQ(nothing.size(), 2);
    EXPECT_EQ(nothing.at(1), "Abgebrochen nach 0 von 13 geplanten Änderungen");
    QFile::remove(protocols + "/hmail-20260304-050607-abbruch.log");

    // Pressed once the first change is in the table: the change then in hand
    // is made, no other.
    bool shownWhileWorking = false;
    pressing = QObject::connect(&breather(), &RunBreather::breathed, &w, [&] {
        shownWhileWorking = shownWhileWorking ||
                            w.statusBar()->currentMessage() == QStringLiteral("Esc: Abbrechen");
        if (tableRows() != rowsBefore) {
            QTest::keyClick(&w, Qt::Key_Escape);
        }
    });
    QTest::mouseClick(control<QPushButton>("btsync"), Qt::LeftButton);
    QObject::disconnect(pressing);
    EXPECT_TRUE(shownWhileWorking);
    EXPECT_TRUE(w.statusBar()->currentMessage().isEmpty());

    const QStringList pane = shownLines(control<QPlainTextEdit>("Protokoll"));
    ASSERT_GE(pane.size(), 4);
    const QStringList made = pane.mid(1, 2);
    EXPECT_TRUE(made.at(0).startsWith("Delete ")) << made.at(0).toStdString();
    EXPECT_TRUE(pane.at(3).endsWith(": Synchronisation abgebrochen: 2 von 13 Änderungen gemacht"))
        << pane.at(3).toStdString();
    EXPECT_EQ(zaehler(), "2 Änderungen, abgebrochen");
    ASSERT_EQ(protocolFiles(protocols), QStringList({"hmail-20260304-050607-abbruch.log"}));
    EXPECT_EQ(TextFile::readLines(protocols + "/hmail-20260304-050607-abbruch.log"),
              pane.mid(0, 3) + QStringList{"Abgebrochen nach 2 von 13 geplanten Änderungen"});
    // The table holds exactly the two changes.
    auto expected = rowsBefore;
    for (const QString& change : made) {
        if (change.startsWith("Delete ")) {
            expected.removeIf(
                [&](const auto& row) { return "Delete " + row.second.toLower() == change; });
        }
    }
    const auto rowsAfter = tableRows();
    const qsizetype inserted = made.filter(QRegularExpression("^Insert ")).size();
    ASSERT_EQ(rowsAfter.size(), expected.size() + inserted);
    for (const auto& row : expected) {
        EXPECT_TRUE(rowsAfter.contains(row)) << row.second.toStdString();
    }
    EXPECT_EQ(countEnding(logLines(), ": Synchronisation abgebrochen: 2 von 13 Änderungen gemacht"),
              1);
    EXPECT_TRUE(control<QPushButton>("btsync")->isEnabled());
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();

    // Started again, the run makes the rest.
    QTest::mouseClick(control<QPushButton>("btsync"), Qt::LeftButton);
    EXPECT_EQ(zaehler(), "12 Änderungen");
}

TEST_F(ProtocolPaneTest, EveryLineIsOneLineOfTheMemoAndTheUsersTextStays) {
    QPlainTextEdit memo;
    memo.resize(275, 451);
    memo.show();
    ProtocolPane pane(&memo);

    // An empty first line stays a line of its own; controls show as '?'.
    pane.addLine(QString());
    pane.addLine(QStringLiteral("a\r\nb"));
    pane.addLine(QStringLiteral("c\u2029d\u2028e\u0085f\u007fg"));
    EXPECT_EQ(shownLines(&memo), QStringList({"", "a??b", "c?d?e?f?g"}));

    // Held lines wait for the next breath, then show in one step.
    pane.hold();
    pane.addLine(QStringLiteral("h"));
    EXPECT_EQ(shownLines(&memo).size(), 3);
    pane.showPending();
    EXPECT_EQ(shownLines(&memo).size(), 4);
    pane.addLine(QStringLiteral("i"));
    pane.release();
    EXPECT_EQ(shownLines(&memo), QStringList({"", "a??b", "c?d?e?f?g", "h", "i"}));

    // A word longer than the memo can wrap at word boundaries in time is
    // broken anywhere, until the memo is cleared.
    pane.addLine(QString(5000, u'w'));
    EXPECT_EQ(memo.wordWrapMode(), QTextOption::WrapAnywhere);
    pane.clear();
    EXPECT_EQ(memo.wordWrapMode(), QTextOption::WrapAtWordBoundaryOrAnywhere);
    EXPECT_TRUE(memo.document()->isEmpty());
    // After an empty first line the next one is a line of its own.
    pane.addLine(QString());
    pane.addLine(QStringLiteral("nach leer"));
    EXPECT_EQ(shownLines(&memo), QStringList({"", "nach leer"}));
    pane.clear();

    // What the user types into the memo is what it holds.
    pane.addLine(QStringLiteral("erste"));
    memo.moveCursor(QTextCursor::End);
    QTest::keyClick(&memo, Qt::Key_Return);
    QTest::keyClicks(&memo, "vom Benutzer");
    pane.addLine(QStringLiteral("dritte"));
    EXPECT_EQ(shownLines(&memo), QStringList({"erste", "vom Benutzer", "dritte"}));
    // Lines the user typed while others waited to be shown count as well.
    pane.hold();
    pane.addLine(QStringLiteral("vierte"));
    memo.moveCursor(QTextCursor::End);
    QTest::keyClick(&memo, Qt::Key_Return);
    QTest::keyClicks(&memo, "noch eine");
    pane.release();
    EXPECT_EQ(shownLines(&memo),
              QStringList({"erste", "vom Benutzer", "dritte", "noch eine", "vierte"}));
    // A memo the user emptied holds no line: the next one comes first.
    memo.selectAll();
    QTest::keyClick(&memo, Qt::Key_Delete);
    pane.addLine(QStringLiteral("neu"));
    EXPECT_EQ(shownLines(&memo), QStringList({"neu"}));
}
