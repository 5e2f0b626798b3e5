#pragma once

#include <QString>
#include <QStringList>

// What the program's operations read and write of the main window: its edit
// fields, the counter label, the protocol pane and the Start button. The
// window implements it with its controls.
class WindowState {
public:
    virtual ~WindowState() = default;

    virtual QString emailliste() const = 0;
    virtual void setEmailliste(const QString& text) = 0;
    virtual QString domain() const = 0;
    virtual void setDomain(const QString& text) = 0;
    virtual void setZaehler(const QString& caption) = 0;

    // The protocol pane `Protokoll`, line by line.
    virtual void clearProtokoll() = 0;
    virtual void addProtokollLine(const QString& line) = 0;

    // The Start button `btsync`.
    virtual void setSyncEnabled(bool enabled) = 0;

    // Ends the message loop once the running handler has returned.
    virtual void requestTermination() = 0;

    // A synchronisation run or a route refresh works on the one
    // user-interface thread for as long as it takes. It tells the window when
    // it begins, calls runWorking() often while it works (cheap: the window
    // decides when to repaint) or runWaiting() between its waits for
    // something outside the program (another run's lock, the mail server's
    // answer; the window breathes at once if a breath is due), and tells it
    // on every way out when it has ended. A window uses them to stay painted
    // and to ignore input meanwhile; the defaults do nothing.
    virtual void runStarted() {}
    virtual void runWorking() {}
    virtual void runWaiting() {}
    virtual void runEnded() {}
    // Whether the user asked to stop the run in hand (asked after each
    // change it makes).
    virtual bool stopRequested() const { return false; }
};

// Brackets a run or a refresh for the window: runStarted() now, runEnded() on
// every way out of the scope, an error on its way out included.
class WindowRunScope {
public:
    explicit WindowRunScope(WindowState& window) : m_window(window) { m_window.runStarted(); }
    ~WindowRunScope() {
        try {
            m_window.runEnded();
        } catch (...) {
            // Runs while an error may be on its way out: it must not throw.
        }
    }
    WindowRunScope(const WindowRunScope&) = delete;
    WindowRunScope& operator=(const WindowRunScope&) = delete;

private:
    WindowState& m_window;
};
