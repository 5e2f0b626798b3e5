#include "gui/MenuBarKeyboard.h"

#include <QApplication>
#include <QEvent>
#include <QMenuBar>

MenuBarKeyboard::MenuBarKeyboard(QMenuBar* bar) : QObject(bar), m_bar(bar) {
    bar->installEventFilter(this);
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
