// The window while "&Hmail-Refresh" waits for the mail server: it breathes as
// during a run (paints, busy cursor) and takes no input, and nothing made
// meanwhile is carried out after the refresh.

#include "GuiTestBed.h"

#include "RemoteStandin.h"
#include "gui/RunBreather.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

namespace {

// The shipped administration plugin beside a command that takes a few
// seconds before the stand-in for the mail server's host answers.
class WorkingRefreshTest : public GuiTestBed {
protected:
    WorkingRefreshTest() : remote(dir.filePath(QStringLiteral("automation"))) {
        paths.automationDirectory = remote.automationDir();
        const QString slow = remote.hostDir() + QStringLiteral("/langsam");
        writeFile(slow,
                  "#!/bin/sh\nsleep 3\nexec \"$(dirname \"$0\")/powershell-standin\" \"$@\"\n");
        QFile::setPermissions(slow, QFile::permissions(slow) | QFileDevice::ExeOwner);
        remote.setCommand(u'"' + slow + QStringLiteral("\" ") +
                          RemoteStandin::kArguments.join(u' '));
    }

    RemoteStandin remote;
};

struct Breath {
    bool busyCursor;
    int routePaints;
};

} // namespace

TEST_F(WorkingRefreshTest, TheWindowPaintsWhileTheRefreshWaitsAndDropsWhatWasClicked) {
    Tfmain& w = openWindow();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    auto* start = control<QPushButton>("btsync");
    auto* domain = control<QLineEdit>("Domain");
    auto* routePaints = new PaintCounter(Routen()->viewport());
    const QPoint thirdRoute = Routen()->visualRect(Routen()->model()->index(2, 0)).center();

    // At every breath the route grid is asked to repaint, as after the window
    // was covered; at the third an administrator clicks a route and Start,
    // types, and closes the window.
    QList<Breath> breaths;
    int paintsBefore = 0;
    QObject::connect(&breather(), &RunBreather::aboutToBreathe, &w,
                     [&] { paintsBefore = routePaints->paints; });
    QObject::connect(&breather(), &RunBreather::breathed, &w, [&] {
        const QCursor* cursor = QGuiApplication::overrideCursor();
        breaths.append(
            {cursor && cursor->shape() == Qt::WaitCursor, routePaints->paints - paintsBefore});
        Routen()->viewport()->update();
        if (breaths.size() == 3) {
            postClick(Routen()->viewport(), thirdRoute);
            postClick(start);
            postKey(start, Qt::Key_Return);
            postKey(domain, Qt::Key_X, "x");
            QTest::mouseClick(start, Qt::LeftButton);
            QCoreApplication::postEvent(&w, new QCloseEvent);
        }
    });

    action("HmailRefresh1")->trigger();
    // Whatever was left over would be carried out now.
    QTest::qWait(50);
    QCoreApplication::processEvents();

    ASSERT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    ASSERT_EQ(remote.calls().size(), 1);
    // Three seconds at a breath every tenth of a second.
    ASSERT_GE(breaths.size(), 10);
    int painted = 0;
    for (const Breath& breath : breaths) {
        EXPECT_TRUE(breath.busyCursor);
        painted += breath.routePaints > 0 ? 1 : 0;
    }
    EXPECT_GE(painted, int(breaths.size()) - 1);

    // Nothing of it was carried out afterwards.
    EXPECT_EQ(Routen()->currentIndex().row(), 0);
    EXPECT_EQ(shownAddresses(), QStringList({"Bob@Example.com", "alice@example.com",
                                             "carol@example.com", "postmaster@example.com"}));
    EXPECT_EQ(domain->text(), "*");
    const QStringList log = logLines();
    EXPECT_EQ(countEnding(log, ": Domain: *"), 0);
    EXPECT_EQ(countEnding(log, ": Programm wird geschlossen"), 0);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    // The window takes input again.
    QTest::mouseClick(Routen()->viewport(), Qt::LeftButton, Qt::NoModifier, thirdRoute);
    EXPECT_EQ(Routen()->currentIndex().row(), 2);
    EXPECT_EQ(shownAddresses().size(), 4);
}

TEST_F(WorkingRefreshTest, AFailedRefreshEndsTheBusySpellAndIsReportedOnce) {
    Tfmain& w = openWindow();
    remote.answer(1, "Zugriff verweigert\r\n");
    int breaths = 0;
    QObject::connect(&breather(), &RunBreather::breathed, &w, [&] { ++breaths; });

    action("HmailRefresh1")->trigger();
    EXPECT_GE(breaths, 1);
    EXPECT_EQ(messages, QStringList({"Zugriff verweigert"}));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr); // no longer busy
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(logLines().last().endsWith(": Fehler: Zugriff verweigert"))
        << logLines().last().toStdString();
}

TEST_F(WorkingRefreshTest, EscapeGivesTheWaitUpAndSaysThatTheOutcomeIsOpen) {
    Tfmain& w = openWindow();
    int breaths = 0;
    QObject::connect(&breather(), &RunBreather::breathed, &w, [&] {
        if (++breaths == 3) {
            postKey(Routen(), Qt::Key_Escape);
        }
    });

    action("HmailRefresh1")->trigger();
    EXPECT_GE(breaths, 3);
    EXPECT_TRUE(remote.calls().isEmpty()) << "the command was ended before it reached the host";
    EXPECT_EQ(messages, QStringList({"Abgebrochen: Der Befehl \"" + remote.hostDir() +
                                     "/langsam\" wurde beendet, bevor der Mailserver antwortete; "
                                     "ob er seine Routen neu geladen hat, ist offen"}));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr); // no longer busy
    EXPECT_TRUE(logLines().last().endsWith(": Fehler: " + messages.value(0)))
        << logLines().last().toStdString();
}
