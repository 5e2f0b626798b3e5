#include "gui/ProtocolPane.h"

#include "platform/OneLine.h"

#include <QPlainTextEdit>
#include <QTextDocument>

namespace {

// A word this long fills dozens of the pane's lines anyway; see showPending().
constexpr qsizetype kLongestWord = 1000;

bool holdsLongWord(const QString& line) {
    if (line.size() <= kLongestWord) {
        return false;
    }
    qsizetype run = 0;
    for (const QChar c : line) {
        run = c.isSpace() ? 0 : run + 1;
        if (run > kLongestWord) {
            return true;
        }
    }
    return false;
}

// One entry, one line of the memo. Besides the control characters, the text
// document takes the two characters it marks frames with for line breaks.
QString oneLine(const QString& line) {
    QString text = OneLine::forProtocol(line);
    for (QChar& c : text) {
        if (c == QChar(0xFDD0) || c == QChar(0xFDD1)) {
            c = u'?';
        }
    }
    return text;
}

} // namespace

ProtocolPane::ProtocolPane(QPlainTextEdit* memo) : QObject(memo), m_memo(memo) {
    // After the user typed into the memo, its text is what the pane holds.
    connect(m_memo, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_writing) {
            m_holdsLine = !m_memo->document()->isEmpty();
        }
    });
}

void ProtocolPane::clear() {
    m_writing = true;
    m_memo->clear();
    m_writing = false;
    m_pending.clear();
    m_holdsLine = false;
    if (m_breakAnywhere) {
        m_memo->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        m_breakAnywhere = false;
    }
}

void ProtocolPane::addLine(const QString& line) {
    m_pending.append(oneLine(line));
    if (!m_holding) {
        showPending();
    }
}

void ProtocolPane::hold() {
    m_holding = true;
}

void ProtocolPane::release() {
    showPending();
    m_holding = false;
}

void ProtocolPane::showPending() {
    if (m_pending.isEmpty()) {
        return;
    }
    // Wrapping at word boundaries looks for the end of the word again on
    // every line it breaks: a word of a million characters (a list entry
    // without blanks) would take minutes. Such a word is broken anywhere;
    // the pane's ordinary lines wrap at words again once it is cleared.
    if (!m_breakAnywhere) {
        for (const QString& line : std::as_const(m_pending)) {
            if (holdsLongWord(line)) {
                m_memo->setWordWrapMode(QTextOption::WrapAnywhere);
                m_breakAnywhere = true;
                break;
            }
        }
    }
    QString text = m_pending.join(u'\n');
    // A memo whose only line is empty counts as empty and would take the
    // next line into that one.
    if (m_holdsLine && m_memo->document()->isEmpty()) {
        text.prepend(u'\n');
    }
    m_writing = true;
    // The program's own additions are not the user's to undo, and an undo
    // record of every protocol line would double what the pane holds.
    QTextDocument* document = m_memo->document();
    document->setUndoRedoEnabled(false);
    m_memo->appendPlainText(text);
    document->setUndoRedoEnabled(true);
    m_writing = false;
    m_holdsLine = true;
    m_pending.clear();
}
