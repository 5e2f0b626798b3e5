#pragma once

#include <QObject>
#include <QPointer>

class QMenuBar;
class QWidget;

// The menus by keyboard as on Windows: F10 opens the first menu, Shift+F10
// the focused control's context menu, as the Menu key does.
//
// Left, the menu bar gives the keyboard back to the control that had it
// before. Opened by a menu's letter while it already holds the keyboard
// (Alt+D, Esc, Alt+F), it takes itself for that control and keeps the
// keyboard: letters typed next would run menu commands ("fd" a real run).
// So the keyboard goes to the window's last control first, and the menu
// bar remembers that one.
class MenuBarKeyboard : public QObject {
public:
    explicit MenuBarKeyboard(QMenuBar* bar);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QMenuBar* m_bar;
    QPointer<QWidget> m_control; // the window's last control with the keyboard
};
