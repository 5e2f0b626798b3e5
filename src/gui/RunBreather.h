#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

#include <chrono>

class QWidget;

// A synchronisation run or a route refresh works on the one user-interface
// thread for as long as it takes. Meanwhile the window breathes: at most
// every 100 ms it repaints and handles its timers, so the disabled Start
// button, the busy cursor and the growing protocol show; and it takes no
// input. Clicks, keys, wheel turns, menu commands and close requests made
// meanwhile are swallowed, and whatever of them is still queued when the
// work ends is swallowed too before the window takes input again: nothing is
// replayed, a click on Start during a run or a refresh starts nothing.
// Escape alone is heard: it asks a run to stop. Afterwards the keyboard
// focus is where it was before.
class RunBreather : public QObject {
    Q_OBJECT
public:
    // Breathes at most once an interval while a run works; 0 at every call.
    RunBreather(QWidget* window, std::chrono::milliseconds interval);
    ~RunBreather() override;

    void begin();
    // Cheap enough for every row and entry the run visits.
    void breathe();
    // Between waits for something outside the program, each some tens of
    // milliseconds: breathes whenever the interval has passed.
    void waiting();
    void end();
    // Whether a run or a refresh is at work.
    bool working() const { return m_depth > 0; }
    // Whether Escape was pressed since the run began.
    bool stopRequested() const { return m_stopRequested; }

signals:
    // Right before the window repaints: what the run made is to be shown.
    void aboutToBreathe();
    // After each breath taken while the run still works.
    void breathed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void breatheNow();
    bool isCloseRequest(const QObject* watched, const QEvent* event) const;

    QWidget* m_window;
    int m_depth = 0;
    qint64 m_interval;
    QElapsedTimer m_sinceBreath;
    unsigned m_calls = 0;
    QPointer<QWidget> m_focus;
    bool m_stopRequested = false;
};
