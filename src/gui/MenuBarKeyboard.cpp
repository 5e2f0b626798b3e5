#include "gui/MenuBarKeyboard.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QEvent>
#include <QMenuBar>
#include <QShortcut>

namespace {

void openContextMenuOfFocus() {
    QWidget* focus = QApplication::focusWidget();
    if (focus == nullptr) {
        return;
    }
    const QPoint pos = focus->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
    QContextMenuEvent event(QContextMenuEvent::Keyboard, pos, focus->mapToGlobal(pos));
    QApplication::sendEvent(focus, &event);
}

} // namespace

MenuBarKeyboard::MenuBarKeyboard(QMenuBar* bar) : QObject(bar), m_bar(bar) {
    bar->installEventFilter(this);
    connect(new QShortcut(QKeySequence(Qt::Key_F10), bar->window()), &QShortcut::activated, this,
            [this] {
                if (!m_bar->actions().isEmpty()) {
                    m_bar->setActiveAction(m_bar->actions().constFirst());
                }
            });
    connect(new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), bar->window()),
            &QShortcut::activated, this, &openContextMenuOfFocus);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now != nullptr && now != m_bar && now->window() == m_bar->window()) {
            m_control = now;
        }
    });
}

bool MenuBarKeyboard::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_bar && event->type() == QEvent::Shortcut &&
        m_bar->window()->focusWidget() == m_bar && m_control != nullptr) {
        m_control->setFocus(Qt::MenuBarFocusReason);
    }
    return QObject::eventFilter(watched, event);
}
