// The window while "&Hmail-Refresh" calls the mail server's administration
// object through COM, on Windows' own window system. The call holds the
// window's thread until the object answers; what the administrator clicks,
// types or closes meanwhile waits in the thread's message queue. None of it
// may be carried out once the refresh has ended. Runs on the "windows"
// platform (its own ctest entry), where input arrives as window messages.

#include "GuiTestBed.h"

#include "ComStandin.h"

#include <QAction>
#include <QGuiApplication>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <windows.h>

namespace {

using NativeRefreshTest = GuiTestBed;

LPARAM clientPoint(const QWidget* window, const QWidget* widget, QPoint at) {
    const QPoint point = widget->mapTo(window, at) * widget->devicePixelRatioF();
    return MAKELPARAM(point.x(), point.y());
}

// A left click as the window system queues it for the window.
void queueClick(const QWidget* window, const QWidget* widget, QPoint at) {
    const auto hwnd = reinterpret_cast<HWND>(window->winId());
    const LPARAM where = clientPoint(window, widget, at);
    ::PostMessageW(hwnd, WM_MOUSEMOVE, 0, where);
    ::PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, where);
    ::PostMessageW(hwnd, WM_LBUTTONUP, 0, where);
}

} // namespace

TEST_F(NativeRefreshTest, WhatWasClickedOrClosedDuringTheCallIsDroppedAfterIt) {
    ASSERT_EQ(QGuiApplication::platformName(), "windows");
    const ComStandin standin;
    Tfmain& w = openWindow();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    auto* start = control<QPushButton>("btsync");
    const QPoint thirdRoute = Routen()->visualRect(Routen()->model()->index(2, 0)).center();

    // Queued before the call, so still waiting when it ends, as if made
    // while the object worked: a click on a route, one on Start, the
    // window's close button; and the window was covered meanwhile.
    queueClick(&w, Routen()->viewport(), thirdRoute);
    queueClick(&w, start, start->rect().center());
    ::PostMessageW(reinterpret_cast<HWND>(w.winId()), WM_SYSCOMMAND, SC_CLOSE, 0);
    ::InvalidateRect(reinterpret_cast<HWND>(w.winId()), nullptr, TRUE);

    action("HmailRefresh1")->trigger();
    // Whatever was left over would be carried out now.
    QTest::qWait(200);
    QCoreApplication::processEvents();

    ASSERT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    const QStringList log = logLines();
    EXPECT_EQ(countEnding(log, ": Domain: *"), 0);
    EXPECT_EQ(countEnding(log, ": Programm wird geschlossen"), 0);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(Routen()->currentIndex().row(), 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    // The window takes input again, the same way.
    queueClick(&w, Routen()->viewport(), thirdRoute);
    QTest::qWait(200);
    EXPECT_EQ(Routen()->currentIndex().row(), 2);
}
