#pragma once

#include <QString>
#include <QStringList>

// What the program's operations read and write of the main window: its edit
// fields, the counter label, the protocol pane, the Start button and the
// address grid's reload. The window implements it with its controls; tests,
// the benchmark and the core's own checks use MemoryWindowState.
class WindowState {
public:
    virtual ~WindowState() = default;

    virtual QString emailliste() const = 0;
    virtual void setEmailliste(const QString& text) = 0;
    virtual QString domain() const = 0;
    virtual void setDomain(const QString& text) = 0;
    virtual QString zaehler() const = 0;
    virtual void setZaehler(const QString& caption) = 0;

    // The protocol pane `Protokoll`, line by line.
    virtual QStringList protokollLines() const = 0;
    virtual int protokollLineCount() const = 0;
    virtual void clearProtokoll() = 0;
    virtual void addProtokollLine(const QString& line) = 0;

    // The Start button `btsync`.
    virtual void setSyncEnabled(bool enabled) = 0;
    virtual bool syncEnabled() const = 0;

    // Ends the message loop once the running handler has returned.
    virtual void requestTermination() = 0;

    // A synchronisation run works on the one user-interface thread for as
    // long as it takes. It tells the window when it begins, calls
    // runWorking() often while it works (cheap: the window decides when to
    // repaint), and tells it on every way out when it has ended. A window
    // uses them to stay painted and to ignore input meanwhile; the defaults
    // do nothing.
    virtual void runStarted() {}
    virtual void runWorking() {}
    virtual void runEnded() {}
};

// Brackets a run for the window: runStarted() now, runEnded() on every way
// out of the scope, an error on its way out included.
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

// The window state held in memory, without controls.
class MemoryWindowState : public WindowState {
public:
    QString emailliste() const override { return m_emailliste; }
    void setEmailliste(const QString& text) override { m_emailliste = text; }
    QString domain() const override { return m_domain; }
    void setDomain(const QString& text) override { m_domain = text; }
    QString zaehler() const override { return m_zaehler; }
    void setZaehler(const QString& caption) override { m_zaehler = caption; }
    QStringList protokollLines() const override { return m_protokoll; }
    int protokollLineCount() const override { return m_protokoll.size(); }
    void clearProtokoll() override { m_protokoll.clear(); }
    void addProtokollLine(const QString& line) override { m_protokoll.append(line); }
    void setSyncEnabled(bool enabled) override { m_syncEnabled = enabled; }
    bool syncEnabled() const override { return m_syncEnabled; }
    void requestTermination() override { m_terminationRequested = true; }
    bool terminationRequested() const { return m_terminationRequested; }

private:
    QString m_emailliste;
    QString m_domain;
    QString m_zaehler = QStringLiteral("...");
    QStringList m_protokoll;
    bool m_syncEnabled = true;
    bool m_terminationRequested = false;
};
