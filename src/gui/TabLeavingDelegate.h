#pragma once

#include <QStyledItemDelegate>

#include <functional>

// A grid's cell editor that hands Tab and Shift+Tab to the window: they
// leave the grid for the next control, as they do without an editor, instead
// of opening the editor of the next cell. `leave` gets the editor and whether
// the keyboard goes backwards. The menu bar, a menu, a message box or
// another window taking the keyboard leaves the editor open.
class TabLeavingDelegate : public QStyledItemDelegate {
public:
    TabLeavingDelegate(QObject* parent, std::function<void(QWidget*, bool)> leave);

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    std::function<void(QWidget*, bool)> m_leave;
};
