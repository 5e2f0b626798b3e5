#pragma once

#include <QObject>
#include <QStringList>

class QPlainTextEdit;

// The protocol pane `Protokoll`: a memo that holds one line per entry. While
// a run works, the lines it adds wait and are shown in one step when the
// window next repaints: adding them one by one would cost the run more than
// its own work.
class ProtocolPane : public QObject {
public:
    // Becomes a child of the memo it looks after.
    explicit ProtocolPane(QPlainTextEdit* memo);

    void clear();
    // A control character inside the line is shown as '?': one entry, one
    // line of the memo.
    void addLine(const QString& line);

    // From hold() to release(), added lines wait for showPending().
    void hold();
    void showPending();
    void release();

private:
    QPlainTextEdit* m_memo;
    QStringList m_pending; // added, not yet shown
    // The memo holds a line: also when its text is empty, after an empty
    // line was added.
    bool m_holdsLine = false;
    bool m_holding = false;
    bool m_writing = false;       // the memo changes because of us
    bool m_breakAnywhere = false; // see showPending()
};
