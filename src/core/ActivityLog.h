#pragma once

#include <QDateTime>
#include <QString>

class Clock;
class WindowState;

// `LogMessage`: appends "date time: message" to the log file beside the
// executable and "time: message" to the protocol pane. An empty message
// writes an empty line to the file only. Control characters inside the
// message become blanks, so every entry is one line. The file is opened and
// closed on every call; a failure raises IoError, its message naming the
// log file, before the pane gets the line.
class ActivityLog {
public:
    ActivityLog(QString logFile, const Clock& clock, WindowState& window);

    void LogMessage(const QString& message);
    // "Das Programm wird beendet (SIGTERM)" once a stop was asked for from
    // outside, and only once, whoever tells the run's end.
    void logStopSignal();

    // "dd.MM.yyyy HH:mm:ss", the time left out at exactly midnight.
    static QString fileStamp(const QDateTime& moment);
    static QString paneStamp(const QDateTime& moment);

private:
    void append(const QString& line);

    QString m_logFile;
    const Clock& m_clock;
    WindowState& m_window;
};
