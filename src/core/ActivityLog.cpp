#include "core/ActivityLog.h"

#include "core/WindowState.h"
#include "platform/Clock.h"
#include "platform/OneLine.h"
#include "platform/Progress.h"
#include "platform/StopSignals.h"
#include "platform/TarveloError.h"
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

void ActivityLog::logStopSignal() {
    const QString signal = StopSignals::toTell();
    if (!signal.isEmpty()) {
        LogMessage(QStringLiteral("Das Programm wird beendet (%1)").arg(signal));
    }
}

void ActivityLog::LogMessage(const QString& text) {
    if (text.isEmpty()) {
        append(QString());
        return;
    }
    const QString message = OneLine::forLog(text);
    const QDateTime now = m_clock.now(); // the file and the pane show the same second
    append(fileStamp(now) + QStringLiteral(": ") + message);
    m_window.addProtokollLine(paneStamp(now) + QStringLiteral(": ") + message);
}

void ActivityLog::append(const QString& line) {
    try {
        TextFile::appendLine(m_logFile, line);
    } catch (const IoError& error) {
        // "Dateizugriff verweigert" alone would not say which file.
        throw IoError(error.code(),
                      QStringLiteral("In die Logdatei \"%1\" kann nicht geschrieben werden: %2")
                          .arg(m_logFile, error.message()));
    }
    Progress::note();
}
