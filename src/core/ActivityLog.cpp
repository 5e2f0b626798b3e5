#include "core/ActivityLog.h"

#include "core/WindowState.h"
#include "platform/Clock.h"
#include "platform/OneLine.h"
#include "platform/Progress.h"
#include "platform/TextFile.h"

#include <QDateTime>

ActivityLog::ActivityLog(QString logFile, const Clock& clock, WindowState& window)
    : m_logFile(std::move(logFile)), m_clock(clock), m_window(window) {}

QString ActivityLog::fileStamp(const QDateTime& moment) {
    const QTime t = moment.time();
    if (t.hour() == 0 && t.minute() == 0 && t.second() == 0) {
        return moment.toString(QStringLiteral("dd.MM.yyyy"));
    }
    return moment.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
}

QString ActivityLog::paneStamp(const QDateTime& moment) {
    return moment.toString(QStringLiteral("HH:mm:ss"));
}

void ActivityLog::LogMessage(const QString& text) {
    if (text.isEmpty()) {
        TextFile::appendLine(m_logFile, QString());
        Progress::note();
        return;
    }
    const QString message = OneLine::forLog(text);
    const QDateTime now = m_clock.now(); // the file and the pane show the same second
    TextFile::appendLine(m_logFile, fileStamp(now) + QStringLiteral(": ") + message);
    Progress::note();
    m_window.addProtokollLine(paneStamp(now) + QStringLiteral(": ") + message);
}
