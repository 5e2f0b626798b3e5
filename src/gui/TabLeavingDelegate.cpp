#include "gui/TabLeavingDelegate.h"

#include <QKeyEvent>

TabLeavingDelegate::TabLeavingDelegate(QObject* parent, std::function<void(QWidget*, bool)> leave)
    : QStyledItemDelegate(parent), m_leave(std::move(leave)) {}

bool TabLeavingDelegate::eventFilter(QObject* object, QEvent* event) {
    auto* editor = qobject_cast<QWidget*>(object);
    // The menu bar takes the focus for the keyboard (Alt, Alt+letter), so
    // does a menu once used by keyboard when it opens again; a message box
    // or another window takes the window's: all give it back. The entry
    // stays open and unstored, as for a menu opened the first time; a
    // message that asks to store it with Enter or drop it with Esc must not
    // have stored it already.
    if (editor != nullptr && event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::MenuBarFocusReason || reason == Qt::PopupFocusReason ||
            reason == Qt::ActiveWindowFocusReason) {
            return false;
        }
    }
    if (editor != nullptr && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool plain = !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        if (plain && (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)) {
            m_leave(editor,
                    key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier));
            return true;
        }
    }
    return QStyledItemDelegate::eventFilter(object, event);
}
