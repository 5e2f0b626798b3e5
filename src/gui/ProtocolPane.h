#pragma once

#include <QObject>
#include <QStringList>

class QPlainTextEdit;

// The protocol pane `Protokoll`: a memo that holds one line per entry. Its
// lines are counted beside the text control, so that counting them never
// walks or lays out the text again. While a run works, the lines it adds wait
// and are shown in one step when the window next repaints: adding them one by
// one would cost the run more than its own work.
class ProtocolPane : public QObject {
public:
    // Becomes a child of the memo it looks after.
    explicit ProtocolPane(QPlainTextEdit* memo);

    int lineCount() const;
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
    QStringList m_pending;   // added, not yet shown
    mutable int m_shown = 0; // how many lines the memo shows
    bool m_holding = false;
    bool m_writing = false;        // the memo changes because of us
    mutable bool m_edited = false; // the user changed the memo's text
    bool m_breakAnywhere = false;  // see showPending()
};
