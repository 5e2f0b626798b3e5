#include "GuiTestBed.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QToolButton>

namespace {

using WindowLayoutTest = GuiTestBed;

QRect rectIn(const QWidget* widget, const QWidget* ancestor) {
    return QRect(widget->mapTo(ancestor, QPoint(0, 0)), widget->size());
}

QStringList actionNames(const QMenu* menu) {
    QStringList names;
    for (const QAction* action : menu->actions()) {
        names.append(action->objectName() + QStringLiteral("=") +
                     (action->isSeparator() ? QStringLiteral("-") : action->text()));
    }
    return names;
}

} // namespace

TEST_F(WindowLayoutTest, ClientAreaPanelGridsAndStatusBarHaveTheirSizes) {
    Tfmain& w = openWindow();
    const QMenuBar* menu = w.menuBar();
    const QWidget* client = w.centralWidget();
    const auto* status = control<QStatusBar>("Status");
    ASSERT_TRUE(client && status);

    // Below the menu bar: 771 by 526, panel 56, grids 451, status bar 19.
    EXPECT_EQ(w.width(), 771);
    EXPECT_EQ(w.height(), menu->height() + 526);
    EXPECT_EQ(client->geometry(), QRect(0, menu->height(), 771, 507));
    EXPECT_EQ(status->geometry(), QRect(0, menu->height() + 507, 771, 19));

    EXPECT_EQ(rectIn(control<QWidget>("Panel1"), client), QRect(0, 0, 771, 56));
    EXPECT_EQ(rectIn(Routen(), client), QRect(0, 56, 191, 451));
    EXPECT_EQ(rectIn(DBGrid2(), client), QRect(191, 56, 295, 451));
    EXPECT_EQ(rectIn(control<QWidget>("Protokoll"), client), QRect(486, 56, 275, 451));

    // The ten pixels right of the protocol show the darker client area.
    EXPECT_EQ(client->childAt(765, 200), nullptr);
    EXPECT_TRUE(client->autoFillBackground());
    EXPECT_LT(client->palette().color(QPalette::Window).lightness(),
              w.palette().color(QPalette::Window).lightness());
    EXPECT_EQ(w.palette().color(QPalette::Window), w.palette().color(QPalette::Button));

    // Two panels in the status bar, 120 and 50 pixels, the second empty.
    const auto* first = control<QLabel>("StatusPanel0");
    const auto* second = control<QLabel>("StatusPanel1");
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->width(), 120);
    EXPECT_FALSE(first->text().isEmpty());
    EXPECT_EQ(second->width(), 50);
    EXPECT_TRUE(second->text().isEmpty());
    EXPECT_LT(first->x(), second->x());
}

TEST_F(WindowLayoutTest, PanelControlsStandAtTheirPositions) {
    openWindow();
    const auto* panel = control<QWidget>("Panel1");
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(control<QToolButton>("btoeffnen")->geometry(), QRect(5, 3, 23, 22));
    EXPECT_EQ(control<QToolButton>("SpeedButton1")->geometry(), QRect(5, 26, 23, 22));
    EXPECT_EQ(control<QLineEdit>("emailliste")->geometry(), QRect(35, 5, 256, 21));
    EXPECT_EQ(control<QLabel>("zaehler")->pos(), QPoint(40, 30));
    EXPECT_EQ(control<QPushButton>("btsync")->geometry(), QRect(300, 5, 75, 25));
    EXPECT_EQ(control<QLabel>("Label1")->pos(), QPoint(385, 10));
    EXPECT_EQ(control<QLineEdit>("Domain")->geometry(), QRect(430, 5, 221, 21));
    for (const char* name :
         {"btoeffnen", "SpeedButton1", "emailliste", "zaehler", "btsync", "Label1", "Domain"}) {
        EXPECT_EQ(control<QWidget>(name)->parentWidget(), panel) << name;
    }
    EXPECT_EQ(control<QLabel>("Label1")->text(), "Domain");
    EXPECT_EQ(control<QPushButton>("btsync")->text(), "Start");
    EXPECT_FALSE(control<QToolButton>("btoeffnen")->icon().isNull());
    EXPECT_FALSE(control<QToolButton>("SpeedButton1")->icon().isNull());
}

TEST_F(WindowLayoutTest, CaptionFontAndPlaceOnTheScreen) {
    Tfmain& w = createWindow();
    EXPECT_EQ(w.windowTitle(), "Tarvelo");
    EXPECT_EQ(w.font().pointSize(), 8);
    EXPECT_EQ(w.font().families(), QStringList({"MS Sans Serif", "Sans Serif"}));
    // Before it is shown: "Domain" empty, the counter "...".
    EXPECT_EQ(control<QLineEdit>("Domain")->text(), "");
    EXPECT_EQ(control<QLabel>("zaehler")->text(), "...");
    // Centred on the screen.
    const QRect area = w.screen()->availableGeometry();
    const QPoint offset = w.frameGeometry().center() - area.center();
    EXPECT_LE(std::abs(offset.x()), 1) << offset.x();
    EXPECT_LE(std::abs(offset.y()), 1) << offset.y();
}

// A menu left with Esc, or whose command has run, gives the keyboard back to
// the control that had it, also when a second menu was opened by its letter
// while the first was still highlighted: letters typed next must not be
// taken for menu commands ("fd" would start a run).
TEST_F(WindowLayoutTest, TheMenuBarGivesTheKeyboardBackToTheControlThatHadIt) {
    for (const bool runCommand : {false, true}) {
        SCOPED_TRACE(runCommand ? "Testlauf" : "Esc");
        // A window of its own each time, and the window's own focus: the
        // offscreen screen leaves a closed menu the active window.
        Tfmain& w = openWindow();
        const auto openByLetter = [&w](Qt::Key letter) {
            QTest::keyClick(w.focusWidget(), letter, Qt::AltModifier);
            return qobject_cast<QMenu*>(QApplication::activePopupWidget());
        };
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
        DBGrid2()->setFocus();
        QMenu* datei = openByLetter(Qt::Key_D);
        ASSERT_NE(datei, nullptr);
        QTest::keyClick(datei, Qt::Key_Escape);
        QMenu* formulare = openByLetter(Qt::Key_F);
        ASSERT_NE(formulare, nullptr);
        if (runCommand) {
            formulare->setActiveAction(action("Testlauf1"));
            QTest::keyClick(formulare, Qt::Key_Return);
        } else {
            QTest::keyClick(formulare, Qt::Key_Escape);
            QTest::keyClick(w.focusWidget(), Qt::Key_Escape);
        }
        QCoreApplication::processEvents();
        EXPECT_EQ(w.focusWidget(), DBGrid2());
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    }
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

// F10 and Shift+F10 as on Windows: the first menu, and the context menu of
// the control that has the keyboard.
TEST_F(WindowLayoutTest, KeyboardF10OpensTheFirstMenuAndShiftF10TheContextMenu) {
    Tfmain& w = openWindow();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    DBGrid2()->setFocus();
    QTest::keyClick(w.focusWidget(), Qt::Key_F10);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title(), "&Datei");
    // Esc closes the menu and leaves its title marked, a second Esc that.
    QTest::keyClick(menu, Qt::Key_Escape);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_EQ(w.focusWidget(), DBGrid2());

    // A window of its own: the offscreen screen leaves a closed menu the
    // active window.
    Tfmain& second = openWindow();
    second.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&second));
    DBGrid2()->setFocus();
    QTest::keyClick(second.focusWidget(), Qt::Key_F10, Qt::ShiftModifier);
    menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->objectName(), "popup");
    QTest::keyClick(menu, Qt::Key_Escape);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

TEST_F(WindowLayoutTest, GridsShowOneColumnEach) {
    openWindow();
    QTableView* routen = Routen();
    EXPECT_EQ(routen->model()->columnCount(), 1);
    EXPECT_EQ(routen->model()->headerData(0, Qt::Horizontal).toString(), "routedomainname");
    EXPECT_EQ(routen->columnWidth(0), 150);
    EXPECT_FALSE(routen->showGrid());
    EXPECT_EQ(routen->editTriggers(), QAbstractItemView::NoEditTriggers);
    // Tab leaves the grid; the arrow keys move within it.
    EXPECT_FALSE(routen->tabKeyNavigation());
    EXPECT_TRUE(routen->horizontalHeader()->isVisible());
    EXPECT_TRUE(routen->verticalHeader()->isVisible());
    EXPECT_EQ(routen->horizontalHeader()->sectionResizeMode(0), QHeaderView::Interactive);
    EXPECT_EQ(shownTexts(routen),
              QStringList({"example.com", "example.org", "mail.example.net", "sub.example.com"}));

    QTableView* grid = DBGrid2();
    EXPECT_EQ(grid->model()->columnCount(), 1);
    EXPECT_EQ(grid->model()->headerData(0, Qt::Horizontal).toString(), "routeaddressaddress");
    EXPECT_EQ(grid->columnWidth(0), 262);
    EXPECT_TRUE(grid->showGrid());
    EXPECT_TRUE(grid->editTriggers() & QAbstractItemView::AnyKeyPressed);
    EXPECT_TRUE(grid->editTriggers() & QAbstractItemView::DoubleClicked);
    EXPECT_FALSE(grid->tabKeyNavigation());
    EXPECT_TRUE(grid->verticalHeader()->isVisible());
    EXPECT_EQ(grid->horizontalHeader()->sectionResizeMode(0), QHeaderView::Interactive);
    EXPECT_TRUE(grid->model()->flags(grid->model()->index(0, 0)) & Qt::ItemIsEditable);

    const auto* protokoll = control<QPlainTextEdit>("Protokoll");
    EXPECT_EQ(protokoll->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_EQ(protokoll->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(protokoll->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_FALSE(protokoll->isReadOnly());
}

TEST_F(WindowLayoutTest, KeyboardOrderRunsThroughGridsPanelAndProtocol) {
    Tfmain& w = openWindow();
    // The widgets that Tab reaches, in the window's focus chain.
    QStringList order;
    QWidget* start = Routen();
    QWidget* widget = start;
    do {
        if ((widget->focusPolicy() & Qt::TabFocus) && widget->isVisibleTo(&w) &&
            widget->isEnabled() && widget->window() == &w) {
            order.append(widget->objectName());
        }
        widget = widget->nextInFocusChain();
    } while (widget != start && order.size() < 50);
    EXPECT_EQ(order,
              QStringList({"Routen", "DBGrid2", "emailliste", "btsync", "Domain", "Protokoll"}));

    // And with the keys, from the route grid through every control and
    // round again, then backwards; Tab leaves each grid at once and moves
    // neither the current route nor the current address.
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    Routen()->setFocus();
    const QStringList forward{"DBGrid2", "emailliste", "btsync", "Domain", "Protokoll", "Routen"};
    for (const QString& next : forward) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_EQ(QApplication::focusWidget()->objectName(), next);
    }
    const QStringList backward{"Protokoll", "Domain", "btsync", "emailliste", "DBGrid2", "Routen"};
    for (const QString& previous : backward) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_EQ(QApplication::focusWidget()->objectName(), previous);
    }
    EXPECT_EQ(w.session().routesDataset().currentRow(), 0);
    EXPECT_EQ(w.session().addressDataset().currentRow(), 0);
    // Within a grid the arrow keys move.
    QTest::keyClick(Routen(), Qt::Key_Down);
    EXPECT_EQ(w.session().routesDataset().currentRow(), 1);
    EXPECT_EQ(QApplication::focusWidget(), Routen());

    // Typing in the address grid opens its cell editor; Tab there stores the
    // address as Enter does and leaves the grid too, forwards and backwards,
    // rather than opening the next address for editing.
    for (const bool backward : {false, true}) {
        SCOPED_TRACE(backward ? "Shift+Tab" : "Tab");
        const QString typed = backward ? "yvonne@example.com" : "xaver@example.com";
        DBGrid2()->setFocus();
        DBGrid2()->setCurrentIndex(DBGrid2()->model()->index(backward ? 2 : 1, 0));
        QTest::keyClicks(DBGrid2(), typed.left(1));
        ASSERT_NE(QApplication::focusWidget(), DBGrid2()) << "no cell editor opened";
        QTest::keyClicks(QApplication::focusWidget(), typed.mid(1));
        if (backward) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        } else {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_EQ(QApplication::focusWidget()->objectName(), backward ? "Routen" : "emailliste");
        EXPECT_EQ(shownAddresses()[backward ? 2 : 1], typed);
        EXPECT_TRUE(addressesOfRoute(1).contains(typed))
            << addressesOfRoute(1).join(' ').toStdString();
        EXPECT_EQ(DBGrid2()->indexWidget(DBGrid2()->currentIndex()), nullptr);
    }
    EXPECT_EQ(addressesOfRoute(1).size(), 4);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();

    // An address refused keeps the keyboard in the grid, to correct it there.
    DBGrid2()->setFocus();
    QTest::keyClick(DBGrid2(), Qt::Key_F2);
    ASSERT_NE(QApplication::focusWidget(), DBGrid2()) << "no cell editor opened";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(messages.size(), 1);
    QTest::qWait(50);
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), "DBGrid2");
}

TEST_F(WindowLayoutTest, AColumnWiderThanItsGridScrollsAndCanBeNarrowedAgain) {
    openWindow();
    for (QTableView* grid : {Routen(), DBGrid2()}) {
        SCOPED_TRACE(grid->objectName().toStdString());
        QScrollBar* bar = grid->horizontalScrollBar();
        EXPECT_EQ(grid->horizontalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
        EXPECT_FALSE(bar->isVisible()) << "the column fits at first";

        // The column's edge dragged far beyond the pane, as with the mouse.
        QHeaderView* title = grid->horizontalHeader();
        const int edge = title->sectionViewportPosition(0) + title->sectionSize(0) - 1;
        QTest::mousePress(title->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(edge, title->height() / 2));
        QTest::mouseMove(title->viewport(), QPoint(edge + 400, title->height() / 2));
        QTest::mouseRelease(title->viewport(), Qt::LeftButton, Qt::NoModifier,
                            QPoint(edge + 400, title->height() / 2));
        ASSERT_GT(title->sectionSize(0), grid->viewport()->width());

        // A scroll bar appears, and with it the edge comes back into view.
        ASSERT_TRUE(QTest::qWaitFor([bar] { return bar->isVisible(); }));
        EXPECT_GE(bar->maximum(), title->sectionSize(0) - grid->viewport()->width() - 1);
        bar->setValue(bar->maximum());
        const int shownEdge = title->sectionViewportPosition(0) + title->sectionSize(0);
        EXPECT_GT(shownEdge, 0);
        EXPECT_LE(shownEdge, grid->viewport()->width());
        // The grid's bottom, with the scroll bar, lies within the window.
        EXPECT_LE(bar->mapTo(&window(), QPoint(0, bar->height())).y(), window().height());
        // Narrowed again, the scroll bar goes.
        title->resizeSection(0, 100);
        EXPECT_TRUE(QTest::qWaitFor([bar] { return !bar->isVisible(); }));
    }
}

TEST_F(WindowLayoutTest, MenusCarryTheirItemsAndTheAddressGridItsPopup) {
    Tfmain& w = openWindow();
    QStringList titles;
    for (const QAction* action : w.menuBar()->actions()) {
        titles.append(action->menu()->objectName() + QStringLiteral("=") + action->text());
    }
    EXPECT_EQ(titles, QStringList({"Datei1=&Datei", "Formulare1=&Formulare"}));
    EXPECT_EQ(actionNames(control<QMenu>("Datei1")),
              QStringList({"DomainExport1=Domain - &Export", "Beenden1=&Beenden"}));
    EXPECT_EQ(actionNames(control<QMenu>("Formulare1")),
              QStringList({"DatenbankSync1=&Datenbank-Sync", "Testlauf1=Testlauf",
                           "HmailRefresh1=&Hmail-Refresh", "HMailPasswort1=HMail-Passwort", "N1=-",
                           "Ausnahmen1=Ausnahmen"}));
    auto* popup = control<QMenu>("popup");
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(actionNames(popup), QStringList({"Ausnahmehinzufgen1=&Ausnahme hinzufügen"}));

    // The right mouse button on the address grid opens it.
    QWidget* viewport = DBGrid2()->viewport();
    const QPoint pos = DBGrid2()->visualRect(DBGrid2()->model()->index(1, 0)).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, viewport->mapToGlobal(pos));
    QApplication::sendEvent(viewport, &event);
    EXPECT_TRUE(popup->isVisible());
    popup->close();
}

TEST_F(WindowLayoutTest, RowIndicatorMarksTheCurrentRowAndAnAppendedRow) {
    openWindow();
    // Dark pixels of the indicator beside a row.
    auto marked = [](QTableView* grid, int row) {
        QHeaderView* indicator = grid->verticalHeader();
        const QImage image = indicator->viewport()->grab().toImage();
        const int top = indicator->sectionViewportPosition(row);
        int dark = 0;
        for (int y = top + 2; y < top + indicator->sectionSize(row) - 2; ++y) {
            for (int x = 2; x < image.width() - 2; ++x) {
                dark += QColor(image.pixel(x, y)).lightness() < 100 ? 1 : 0;
            }
        }
        return dark;
    };
    EXPECT_EQ(Routen()->verticalHeader()->width(), 12);
    EXPECT_GT(marked(Routen(), 0), 0);
    EXPECT_EQ(marked(Routen(), 1), 0);
    QTest::keyClick(Routen(), Qt::Key_Down);
    EXPECT_EQ(marked(Routen(), 0), 0);
    EXPECT_GT(marked(Routen(), 1), 0);

    QTest::keyClick(DBGrid2(), Qt::Key_Insert);
    EXPECT_GT(marked(DBGrid2(), 4), 0);
    EXPECT_EQ(marked(DBGrid2(), 3), 0);
}
