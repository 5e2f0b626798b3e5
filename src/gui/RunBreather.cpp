#include "gui/RunBreather.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

namespace {

bool isUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::NonClientAreaMouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::Gesture:
    case QEvent::NativeGesture:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::ToolTip:
    case QEvent::WhatsThis:
        return true;
    default:
        return false;
    }
}

} // namespace

RunBreather::RunBreather(QWidget* window, std::chrono::milliseconds interval)
    : QObject(window), m_window(window), m_interval(interval.count()) {}

RunBreather::~RunBreather() {
    if (m_depth > 0) {
        qApp->removeEventFilter(this);
        QGuiApplication::restoreOverrideCursor();
    }
}

void RunBreather::begin() {
    if (m_depth++ > 0) {
        return;
    }
    // Disabling the Start button hands the focus on to the next control.
    m_focus = m_window->focusWidget();
    m_stopRequested = false;
    qApp->installEventFilter(this);
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    m_sinceBreath.invalidate(); // the first breath is taken at once
}

void RunBreather::breathe() {
    if (m_depth == 0) {
        return;
    }
    if (m_interval > 0 && m_sinceBreath.isValid()) {
        // The clock is read at every 16th call only: a call stands for one
        // row or entry, and reading the clock would cost as much as a step.
        if ((++m_calls & 15u) != 0 || !m_sinceBreath.hasExpired(m_interval)) {
            return;
        }
    }
    breatheNow();
}

void RunBreather::waiting() {
    if (m_depth == 0) {
        return;
    }
    if (m_interval > 0 && m_sinceBreath.isValid() && !m_sinceBreath.hasExpired(m_interval)) {
        return;
    }
    breatheNow();
}

void RunBreather::breatheNow() {
    emit aboutToBreathe();
    QCoreApplication::processEvents();
    m_sinceBreath.start();
    emit breathed();
}

void RunBreather::end() {
    if (m_depth == 0 || --m_depth > 0) {
        return;
    }
    emit aboutToBreathe();
    if (m_focus && m_focus->isEnabled() && m_focus->isVisible()) {
        m_focus->setFocus(Qt::OtherFocusReason);
    }
    m_focus.clear();
    // Input made during the run may still wait, here or in the window
    // system: it is fetched and swallowed now, before the filter goes. On
    // Windows a message fetched by one pass reaches the widgets only at the
    // next: a click made while a call into the mail server's object held the
    // thread would otherwise be carried out after the filter has gone.
    QGuiApplication::sync();
    QCoreApplication::processEvents();
    qApp->removeEventFilter(this);
    QGuiApplication::restoreOverrideCursor();
}

bool RunBreather::isCloseRequest(const QObject* watched, const QEvent* event) const {
    return event->type() == QEvent::Close &&
           (watched == m_window || watched == m_window->windowHandle());
}

bool RunBreather::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        static_cast<const QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        m_stopRequested = true;
    }
    if (isUserInput(event->type())) {
        return true;
    }
    if (isCloseRequest(watched, event)) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
