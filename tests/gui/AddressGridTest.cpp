#include "GuiTestBed.h"

#include "TestDatabases.h"
#include "core/RunLock.h"
#include "db/Database.h"
#include "platform/ProfileFile.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTest>
#include <QToolButton>

namespace {

using AddressGridTest = GuiTestBed;

// Opens the cell editor on a row of a grid and replaces its text by typing,
// without confirming it; null when no editor opened.
QLineEdit* startTyping(QTableView* grid, int row, const QString& text) {
    const QModelIndex cell = grid->model()->index(row, 0);
    grid->setCurrentIndex(cell);
    grid->edit(cell);
    auto* editor = qobject_cast<QLineEdit*>(grid->indexWidget(cell));
    if (editor == nullptr) {
        return nullptr;
    }
    editor->setFocus();
    editor->selectAll();
    if (text.isEmpty()) {
        QTest::keyClick(editor, Qt::Key_Backspace);
    }
    QTest::keyClicks(editor, text);
    return editor;
}

// What "Testlauf" answers while an address typed in a grid is not stored.
const QString kPreviewRefusesAnOpenEdit =
    QStringLiteral("Eine Eingabe im Raster ist noch nicht gespeichert: erst mit Enter speichern "
                   "oder mit Esc verwerfen, dann den Testlauf starten, der nichts ändert");

// Types into a cell of a grid and confirms with Enter.
void typeIntoCell(QTableView* grid, int row, const QString& text) {
    QLineEdit* editor = startTyping(grid, row, text);
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_Return);
    // The grid takes the entry over once the event loop runs again.
    QCoreApplication::processEvents();
}

// A run under way elsewhere: its own connection holding the run lock,
// through the lock file given or, for another machine, the server's lock.
class RunElsewhere {
public:
    RunElsewhere(const QString& connection, const QString& lockFile) {
        m_database.setConnectionString(connection);
        m_database.open();
        m_lock.emplace(lockFile, m_database, RunLock::defaultWait());
    }
    void end() { m_lock.reset(); }

private:
    Database m_database;
    std::optional<RunLock> m_lock;
};

} // namespace

// A run under way has made its plan: an address typed in meanwhile it would
// insert a second time, a route deleted meanwhile it would still fill. Every
// change by hand is refused while the run holds the lock, the table as it
// was; the address typed stays in its row and is stored once the run is over.
TEST_F(AddressGridTest, WhileARunHoldsTheLockTheGridsChangeNothing) {
    const QTemporaryDir otherMachine;
    for (const bool sameInstallation : {true, false}) {
        SCOPED_TRACE(sameInstallation ? "a run of this installation" : "a run on another machine");
        if (!sameInstallation) {
            connection = createPostgresDatabase(true);
            ProfileFile::writeString(paths.iniFile, "SQL", "Provider", connection);
        }
        openWindow();
        const auto before = tableRows();
        const auto routesBefore = routeRows(connection);
        RunElsewhere run(connection,
                         sameInstallation ? paths.lockFile : otherMachine.filePath("tarvelo.lock"));
        const QString refused =
            QStringLiteral("Eine Synchronisation läuft gerade (%1 ist belegt): die Änderung "
                           "wurde nicht gespeichert. Bitte nach ihrem Ende wiederholen")
                .arg(sameInstallation ? QStringLiteral("die Sperrdatei \"%1\"").arg(paths.lockFile)
                                      : QStringLiteral("die Sperre in der Datenbank"));

        typeIntoCell(DBGrid2(), 2, QStringLiteral("carla@example.com"));
        clickCell(DBGrid2(), 1);
        dialogs.confirmAnswers.push_back(true);
        QTest::keyClick(DBGrid2(), Qt::Key_Delete, Qt::ControlModifier);
        dialogs.confirmAnswers.push_back(true);
        QTest::keyClick(Routen(), Qt::Key_Delete, Qt::ControlModifier);
        QTest::keyClick(DBGrid2(), Qt::Key_Insert);
        const int added = int(shownAddresses().size()) - 1;
        typeIntoCell(DBGrid2(), added, QStringLiteral("dave@example.com"));

        EXPECT_EQ(tableRows(), before);
        EXPECT_EQ(routeRows(connection), routesBefore);
        EXPECT_EQ(messages, QStringList(4, refused));
        EXPECT_EQ(shownAddresses(),
                  QStringList({"Bob@Example.com", "alice@example.com", "carol@example.com",
                               "postmaster@example.com", "dave@example.com"}));

        run.end();
        messages.clear();
        typeIntoCell(DBGrid2(), added, QStringLiteral("dave@example.com"));
        EXPECT_EQ(addressesOfRoute(1),
                  QStringList({"alice@example.com", "Bob@Example.com", "carol@example.com",
                               "postmaster@example.com", "dave@example.com"}));
        EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
        dropWindow();
    }
}

TEST_F(AddressGridTest, CtrlDeleteAsksAndDeletesTheRowOnlyWhenConfirmed) {
    openWindow();
    clickCell(DBGrid2(), 1);
    const auto before = tableRows();

    dialogs.confirmAnswers.push_back(false);
    QTest::keyClick(DBGrid2(), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(dialogs.questions, QStringList({"Datensatz löschen?"}));
    EXPECT_EQ(tableRows(), before);
    EXPECT_EQ(shownAddresses().size(), 4);

    // Delete alone is no command.
    QTest::keyClick(DBGrid2(), Qt::Key_Delete);
    EXPECT_EQ(dialogs.questions.size(), 1);

    dialogs.confirmAnswers.push_back(true);
    QTest::keyClick(DBGrid2(), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(dialogs.questions.size(), 2);
    EXPECT_EQ(addressesOfRoute(1),
              QStringList({"Bob@Example.com", "carol@example.com", "postmaster@example.com"}));
    EXPECT_EQ(tableRows().size(), before.size() - 1);
    EXPECT_EQ(shownAddresses(),
              QStringList({"Bob@Example.com", "carol@example.com", "postmaster@example.com"}));
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

TEST_F(AddressGridTest, CtrlDeleteInTheRouteGridDeletesTheCurrentRoute) {
    openWindow();
    QTest::keyClick(Routen(), Qt::Key_Down);
    QTest::keyClick(Routen(), Qt::Key_Down);
    QTest::keyClick(Routen(), Qt::Key_Down);
    const auto before = routeRows(connection);

    dialogs.confirmAnswers.push_back(false);
    QTest::keyClick(Routen(), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(routeRows(connection), before);

    dialogs.confirmAnswers.push_back(true);
    QTest::keyClick(Routen(), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(dialogs.questions, QStringList({"Datensatz löschen?", "Datensatz löschen?"}));
    QStringList names;
    for (const auto& route : routeRows(connection)) {
        names.append(route.second);
    }
    EXPECT_EQ(names, QStringList({"example.com", "example.org", "mail.example.net"}));
    EXPECT_EQ(shownTexts(Routen()),
              QStringList({"example.com", "example.org", "mail.example.net"}));
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

TEST_F(AddressGridTest, AnEditInTheGridReachesTheDatabase) {
    openWindow();
    typeIntoCell(DBGrid2(), 2, QStringLiteral("carla@example.com"));
    EXPECT_EQ(addressesOfRoute(1), QStringList({"alice@example.com", "Bob@Example.com",
                                                "carla@example.com", "postmaster@example.com"}));
    EXPECT_EQ(shownAddresses()[2], "carla@example.com");
    EXPECT_EQ(tableRows().size(), 14);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

TEST_F(AddressGridTest, EmptyingAnAddressIsRefusedAndTheOldValueStays) {
    openWindow();
    const auto before = tableRows();
    typeIntoCell(DBGrid2(), 2, QString());
    EXPECT_EQ(messages,
              QStringList({"Eine Adresse kann nicht geleert werden: "
                           "\"carol@example.com\" bleibt stehen (Löschen mit Strg+Entf)"}));
    EXPECT_EQ(tableRows(), before);
    EXPECT_EQ(shownAddresses(), QStringList({"Bob@Example.com", "alice@example.com",
                                             "carol@example.com", "postmaster@example.com"}));
    // The refusal is in the log too, as every error of the window.
    EXPECT_TRUE(logLines().last().endsWith(
        QStringLiteral(": Fehler: Eine Adresse kann nicht geleert werden: \"carol@example.com\" "
                       "bleibt stehen (Löschen mit Strg+Entf)")))
        << logLines().last().toStdString();
    // The row can still be changed to a real address.
    messages.clear();
    typeIntoCell(DBGrid2(), 2, QStringLiteral("carla@example.com"));
    EXPECT_EQ(shownAddresses()[2], "carla@example.com");
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

// The refusal's box takes the focus from the cell editor, which is gone when
// the box is closed: the keys typed next belong in the grid, not in the list
// path beside it, which the next run and the configuration would take over.
// A window manager gives the window back its focus only after the box has
// gone, as on a desktop: the test runs under one (gui.under_window_manager).
TEST_F(AddressGridTest, UnderAWindowManagerARefusedEditGivesTheKeyboardBackToTheGrid) {
    if (QGuiApplication::platformName() != QStringLiteral("xcb")) {
        GTEST_SKIP() << "needs an X server with a window manager";
    }
    modalMessages = true;
    Tfmain& w = openWindow();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    const QString path = control<QLineEdit>("emailliste")->text();
    typeIntoCell(DBGrid2(), 2, QString());
    ASSERT_EQ(messages.size(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&w] { return w.isActiveWindow(); }));
    QTest::qWait(200);
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), "DBGrid2");
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("x"));
    EXPECT_EQ(control<QLineEdit>("emailliste")->text(), path);
}

// A run started from the menu takes no focus from the cell editor: the
// address typed there is stored first all the same, as a click on Start does.
TEST_F(AddressGridTest, AnAddressStillBeingTypedIsStoredBeforeARunFromTheMenu) {
    openWindow();
    const QString typed = QStringLiteral("getippt@example.com");
    ASSERT_NE(startTyping(DBGrid2(), 2, typed), nullptr);
    action("DatenbankSync1")->trigger();
    // The run read the table with the edit in it: the list does not name it.
    EXPECT_TRUE(
        control<QPlainTextEdit>("Protokoll")->toPlainText().contains("Delete " + typed + "\n"));
    EXPECT_FALSE(addressesOfRoute(1).contains(typed));
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

// A preview changes nothing, not an address still being typed either: it
// waits, the edit open as it was, until that is stored or dropped.
TEST_F(AddressGridTest, APreviewLeavesAnAddressStillBeingTypedUnstored) {
    openWindow();
    const QStringList before = addressesOfRoute(1);
    const QModelIndex cell = DBGrid2()->model()->index(2, 0);
    const QString stored = cell.data(Qt::EditRole).toString();
    QLineEdit* editor = startTyping(DBGrid2(), 2, QStringLiteral("getippt@example.com"));
    ASSERT_NE(editor, nullptr);
    action("Testlauf1")->trigger();
    EXPECT_EQ(messages, QStringList(kPreviewRefusesAnOpenEdit));
    EXPECT_EQ(addressesOfRoute(1), before);
    EXPECT_EQ(DBGrid2()->indexWidget(cell), editor);
    EXPECT_EQ(editor->text(), QStringLiteral("getippt@example.com"));
    EXPECT_FALSE(control<QPlainTextEdit>("Protokoll")->toPlainText().contains("Datei: "));

    // Typed back to what the cell holds, the edit is no change: the preview runs.
    messages.clear();
    editor->selectAll();
    QTest::keyClicks(editor, stored);
    action("Testlauf1")->trigger();
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    EXPECT_TRUE(control<QPlainTextEdit>("Protokoll")->toPlainText().contains("Datei: "));
    EXPECT_EQ(addressesOfRoute(1), before);
}

// Alt, or Alt and a menu's letter, takes the keyboard to the menu bar. The
// entry being typed stays open and unstored, as with a menu opened by the
// mouse; left with Esc, the menu bar gives the keyboard back to it, so the
// letters typed next go on into the address and start no menu command. So
// it does while a message box or another window has the keyboard.
TEST_F(AddressGridTest, MenusAndOtherWindowsLeaveAnAddressStillBeingTypedOpen) {
    Tfmain& w = openWindow();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    const QStringList before = addressesOfRoute(1);
    const QModelIndex cell = DBGrid2()->model()->index(2, 0);
    QLineEdit* editor = startTyping(DBGrid2(), 2, QStringLiteral("getippt@example.com"));
    ASSERT_NE(editor, nullptr);
    ASSERT_EQ(QApplication::focusWidget(), editor);

    // Alt and the letter of "Formulare", the menu left with Esc twice.
    QTest::keyClick(editor, Qt::Key_F, Qt::AltModifier);
    QWidget* popup = QApplication::activePopupWidget();
    ASSERT_NE(popup, nullptr) << "the menu did not open";
    EXPECT_EQ(addressesOfRoute(1), before);
    QTest::keyClick(popup, Qt::Key_Escape);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_EQ(addressesOfRoute(1), before);
    EXPECT_EQ(DBGrid2()->indexWidget(cell), editor);
    EXPECT_EQ(QApplication::focusWidget(), editor);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("fd"));
    EXPECT_EQ(editor->text(), QStringLiteral("getippt@example.comfd"));
    EXPECT_FALSE(control<QPlainTextEdit>("Protokoll")->toPlainText().contains("Domain: "));

    // "Testlauf" chosen by keyboard refuses as it does from the mouse.
    QTest::keyClick(editor, Qt::Key_F, Qt::AltModifier);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    menu->setActiveAction(action("Testlauf1"));
    QTest::keyClick(menu, Qt::Key_Return);
    EXPECT_EQ(messages, QStringList(kPreviewRefusesAnOpenEdit));
    EXPECT_EQ(addressesOfRoute(1), before);
    EXPECT_EQ(DBGrid2()->indexWidget(cell), editor);
    EXPECT_EQ(editor->text(), QStringLiteral("getippt@example.comfd"));

    // Alt alone, pressed and released, and left with Esc.
    editor->setFocus();
    QTest::keyClick(editor, Qt::Key_Alt);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_EQ(addressesOfRoute(1), before);
    EXPECT_EQ(QApplication::focusWidget(), editor);

    // A message box, such as the one that refuses the preview, or another
    // window takes the keyboard from the window: the entry stays open and
    // has the keyboard again when the window comes back.
    QWidget other;
    other.setFocusPolicy(Qt::StrongFocus);
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    QCoreApplication::processEvents();
    EXPECT_NE(QApplication::focusWidget(), editor);
    EXPECT_EQ(addressesOfRoute(1), before);
    EXPECT_EQ(DBGrid2()->indexWidget(cell), editor);
    other.close();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    EXPECT_EQ(QApplication::focusWidget(), editor);

    // Enter stores the entry as typed.
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_TRUE(addressesOfRoute(1).contains(QStringLiteral("getippt@example.comfd")));
}

// On an X server: the offscreen screen keeps a closed menu the active window.
TEST_F(AddressGridTest, KeyboardMenusUsedBeforeLeaveATypedAddressOpenOnAnXServer) {
    // A menu chosen from by keyboard keeps its keyboard focus for its next
    // opening: opened again, by keyboard or mouse, it takes the keyboard
    // from an address being typed, which must stay open and unstored.
    Tfmain& w = openWindow();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    const QStringList before = addressesOfRoute(1);
    const auto formulare = [&](const std::function<void()>& open) {
        open();
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        EXPECT_NE(menu, nullptr) << "the menu did not open";
        return menu;
    };
    // "Testlauf", which has no letter: Alt+F, Down, Enter.
    QMenu* menu = formulare([&] { QTest::keyClick(w.focusWidget(), Qt::Key_F, Qt::AltModifier); });
    ASSERT_NE(menu, nullptr);
    QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Return);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return control<QLabel>("zaehler")->text().contains("geplant"); }));

    const QModelIndex cell = DBGrid2()->model()->index(2, 0);
    QLineEdit* editor = startTyping(DBGrid2(), 2, QStringLiteral("getippt@example.com"));
    ASSERT_NE(editor, nullptr);
    QMenuBar* bar = w.menuBar();
    const QPoint title = bar->actionGeometry(bar->actions().at(1)).center();
    for (const auto& [how, open] : std::vector<std::pair<const char*, std::function<void()>>>{
             {"Alt+F", [&] { QTest::keyClick(editor, Qt::Key_F, Qt::AltModifier); }},
             {"mouse", [&] { QTest::mouseClick(bar, Qt::LeftButton, {}, title); }}}) {
        SCOPED_TRACE(how);
        menu = formulare(open);
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(addressesOfRoute(1), before);
        EXPECT_EQ(DBGrid2()->indexWidget(cell), editor);
        // "Testlauf" again refuses while the address is open.
        messages.clear();
        menu->setActiveAction(action("Testlauf1"));
        QTest::keyClick(menu, Qt::Key_Return);
        EXPECT_EQ(messages, QStringList(kPreviewRefusesAnOpenEdit));
        EXPECT_EQ(addressesOfRoute(1), before);
        EXPECT_EQ(DBGrid2()->indexWidget(cell), editor);
        if (QApplication::focusWidget() != editor) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        }
        ASSERT_EQ(QApplication::focusWidget(), editor);
    }
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_TRUE(addressesOfRoute(1).contains(QStringLiteral("getippt@example.com")));
}

TEST_F(AddressGridTest, AnAddressStillBeingTypedIsStoredAndWrittenByTheExport) {
    // The menu item and the diskette button.
    for (const QString command : {"DomainExport1", "SpeedButton1"}) {
        SCOPED_TRACE(command.toStdString());
        openWindow();
        const QString typed = command.toLower() + QStringLiteral("@example.com");
        QLineEdit* editor = startTyping(DBGrid2(), 2, typed);
        ASSERT_NE(editor, nullptr);
        const QModelIndex cell = DBGrid2()->model()->index(2, 0);
        const QString target = dir.filePath(command + QStringLiteral(".txt"));
        const auto exportFile = [&](const std::optional<QString>& answer) {
            dialogs.saveAnswers.push_back(answer);
            if (command == "DomainExport1") {
                action(command)->trigger();
            } else {
                QTest::mouseClick(control<QToolButton>(command), Qt::LeftButton);
            }
        };
        if (command == "DomainExport1") {
            // Cancelled, the edit stays open and unstored.
            exportFile(std::nullopt);
            EXPECT_EQ(DBGrid2()->indexWidget(cell), editor);
            EXPECT_TRUE(addressesOfRoute(1).contains("carol@example.com"));
        }
        exportFile(target);
        EXPECT_EQ(addressesOfRoute(1), QStringList({"alice@example.com", "Bob@Example.com", typed,
                                                    "postmaster@example.com"}));
        EXPECT_EQ(fileBytes(target),
                  QByteArray("Bob@Example.com\r\nalice@example.com\r\n" + typed.toLatin1() +
                             "\r\npostmaster@example.com\r\n"));
        EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
        dropWindow();
    }
}

TEST_F(AddressGridTest, DownOnTheLastRowAppendsARowThatIsStoredWhenFilled) {
    openWindow();
    QAbstractItemModelTester tester(DBGrid2()->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    clickCell(DBGrid2(), 3);
    QTest::keyClick(DBGrid2(), Qt::Key_Down);
    ASSERT_EQ(shownAddresses().size(), 5);
    EXPECT_EQ(shownAddresses()[4], "");
    EXPECT_EQ(DBGrid2()->currentIndex().row(), 4);
    EXPECT_EQ(DBGrid2()->model()->headerData(4, Qt::Vertical).toString(), "*");
    EXPECT_EQ(tableRows().size(), 14) << "nothing stored before something is entered";
    // Down once more stays on the new row.
    QTest::keyClick(DBGrid2(), Qt::Key_Down);
    EXPECT_EQ(shownAddresses().size(), 5);

    typeIntoCell(DBGrid2(), 4, QStringLiteral("neu@example.com"));
    EXPECT_EQ(addressesOfRoute(1),
              QStringList({"alice@example.com", "Bob@Example.com", "carol@example.com",
                           "postmaster@example.com", "neu@example.com"}));
    EXPECT_EQ(shownAddresses().size(), 5);
    EXPECT_EQ(shownAddresses()[4], "neu@example.com");
    EXPECT_NE(DBGrid2()->model()->headerData(4, Qt::Vertical).toString(), "*");
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

// Only the plain keys append: Shift+Down selects, Ctrl+Insert copies, and
// what is typed next must edit the current address, not become a new one.
TEST_F(AddressGridTest, DownOrInsertWithAModifierAppendsNoRow) {
    openWindow();
    clickCell(DBGrid2(), 3);
    for (const Qt::KeyboardModifier modifier :
         {Qt::ShiftModifier, Qt::ControlModifier, Qt::AltModifier}) {
        for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Insert}) {
            SCOPED_TRACE(QKeySequence(int(modifier) | int(key)).toString().toStdString());
            DBGrid2()->setCurrentIndex(DBGrid2()->model()->index(3, 0));
            QTest::keyClick(DBGrid2(), key, modifier);
            EXPECT_EQ(shownAddresses().size(), 4);
        }
    }
    EXPECT_EQ(tableRows().size(), 14);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

TEST_F(AddressGridTest, AnAppendedRowLeftEmptyGoesAwayWithoutTrace) {
    openWindow();
    QAbstractItemModelTester tester(DBGrid2()->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    clickCell(DBGrid2(), 0);
    QTest::keyClick(DBGrid2(), Qt::Key_Insert);
    EXPECT_EQ(shownAddresses().size(), 5);
    EXPECT_EQ(DBGrid2()->currentIndex().row(), 4);
    QTest::keyClick(DBGrid2(), Qt::Key_Up);
    EXPECT_EQ(shownAddresses().size(), 4);
    EXPECT_EQ(DBGrid2()->currentIndex().row(), 3);

    QTest::keyClick(DBGrid2(), Qt::Key_Insert);
    QTest::keyClick(DBGrid2(), Qt::Key_Escape);
    EXPECT_EQ(shownAddresses().size(), 4);

    // Ctrl+Delete on it asks, then drops it.
    QTest::keyClick(DBGrid2(), Qt::Key_Insert);
    dialogs.confirmAnswers.push_back(true);
    QTest::keyClick(DBGrid2(), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(shownAddresses().size(), 4);

    // Confirming an empty cell, or one of blanks, stores nothing either;
    // loading a route drops it.
    QTest::keyClick(DBGrid2(), Qt::Key_Insert);
    typeIntoCell(DBGrid2(), 4, QString());
    EXPECT_EQ(shownAddresses().size(), 5);
    typeIntoCell(DBGrid2(), 4, QStringLiteral("   "));
    EXPECT_EQ(shownAddresses().size(), 5);
    EXPECT_EQ(tableRows().size(), 14);
    clickCell(Routen(), 1);
    EXPECT_EQ(shownAddresses().size(), 3);
    EXPECT_EQ(tableRows().size(), 14);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

TEST_F(AddressGridTest, ARouteWithoutAddressesTakesItsFirstAddress) {
    const int routeId = insertRoute(connection, QStringLiteral("leer.example"));
    openWindow();
    ASSERT_EQ(shownTexts(Routen())[2], "leer.example");
    clickCell(Routen(), 2);
    ASSERT_TRUE(shownAddresses().isEmpty());

    QTest::keyClick(DBGrid2(), Qt::Key_Down);
    ASSERT_EQ(shownAddresses().size(), 1);
    typeIntoCell(DBGrid2(), 0, QStringLiteral("erste@leer.example"));
    EXPECT_EQ(addressesOfRoute(routeId), QStringList({"erste@leer.example"}));
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

TEST_F(AddressGridTest, AnAddressTheDatabaseRefusesIsReportedOnce) {
    openWindow();
    QTest::keyClick(DBGrid2(), Qt::Key_Insert);
    typeIntoCell(DBGrid2(), 4, QString(256, QChar(u'x')));
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(tableRows().size(), 14);
    // What was typed stays in the unstored row, to be corrected there.
    ASSERT_EQ(shownAddresses().size(), 5);
    EXPECT_EQ(shownAddresses()[4], QString(256, QChar(u'x')));
    EXPECT_EQ(DBGrid2()->model()->headerData(4, Qt::Vertical).toString(), "*");
    typeIntoCell(DBGrid2(), 4, QStringLiteral("korrigiert@example.com"));
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(tableRows().size(), 15);
    EXPECT_EQ(shownAddresses()[4], "korrigiert@example.com");
    // A new row starts empty again.
    QTest::keyClick(DBGrid2(), Qt::Key_Insert);
    ASSERT_EQ(shownAddresses().size(), 6);
    EXPECT_EQ(shownAddresses()[5], "");
    QTest::keyClick(DBGrid2(), Qt::Key_Escape);
    // The window stays usable.
    clickCell(Routen(), 1);
    EXPECT_EQ(shownAddresses().size(), 3);
}

// On the mail server's MariaDB tables, whose collation holds "Bob@...",
// "bob@..." and "BOB@..." one text: the grid changes and deletes exactly the
// row it shows, never a twin.
TEST_F(AddressGridTest, OnMariaDbTheGridChangesTheRowItShowsNotItsTwin) {
    connection = createMariaDbDatabase(true);
    ProfileFile::writeString(paths.iniFile, "SQL", "Provider", connection);
    // Stored after Bob@Example.com, so each holds a higher key than it.
    execSql(connection, QStringLiteral("insert into hm_routeaddresses (routeaddressrouteid, "
                                       "routeaddressaddress) values (1, 'bob@example.com');"
                                       "insert into hm_routeaddresses (routeaddressrouteid, "
                                       "routeaddressaddress) values (1, 'BOB@example.com')"));
    openWindow();
    QAbstractItemModelTester tester(DBGrid2()->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_EQ(shownAddresses().size(), 6);
    auto expected = tableRows();
    ASSERT_EQ(expected.size(), 16);

    const int bob = int(shownAddresses().indexOf(QStringLiteral("bob@example.com")));
    ASSERT_GE(bob, 0);
    typeIntoCell(DBGrid2(), bob, QStringLiteral("robert@example.com"));
    expected[14].second = QStringLiteral("robert@example.com");
    EXPECT_EQ(tableRows(), expected);
    EXPECT_EQ(shownAddresses()[bob], "robert@example.com");

    const int upper = int(shownAddresses().indexOf(QStringLiteral("BOB@example.com")));
    ASSERT_GE(upper, 0);
    clickCell(DBGrid2(), upper);
    dialogs.confirmAnswers.push_back(true);
    QTest::keyClick(DBGrid2(), Qt::Key_Delete, Qt::ControlModifier);
    expected.removeAt(15);
    EXPECT_EQ(tableRows(), expected);
    EXPECT_FALSE(shownAddresses().contains(QStringLiteral("BOB@example.com")));
    EXPECT_TRUE(shownAddresses().contains(QStringLiteral("Bob@Example.com")));

    // Appended beside its twin, then changed: the new row, in route 1.
    QTest::keyClick(DBGrid2(), Qt::Key_Insert);
    const int added = int(shownAddresses().size()) - 1;
    typeIntoCell(DBGrid2(), added, QStringLiteral("bob@example.com"));
    expected.append({1, QStringLiteral("bob@example.com")});
    EXPECT_EQ(tableRows(), expected);
    typeIntoCell(DBGrid2(), added, QStringLiteral("bobby@example.com"));
    expected.last().second = QStringLiteral("bobby@example.com");
    EXPECT_EQ(tableRows(), expected);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}
