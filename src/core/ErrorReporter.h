#pragma once

#include <QString>

#include <exception>
#include <functional>

class ActivityLog;

// The one place where an error that ended a handler is reported: in the log
// as "Fehler: " and the message, and in a message box captioned "Tarvelo"
// when there is a screen, else on standard error, because nobody could click
// a box away.
class ErrorReporter {
public:
    using MessageBox = std::function<void(const QString& message)>;

    // Without a message box the reporter works as on a machine without screen.
    explicit ErrorReporter(MessageBox messageBox = {});

    void setLog(ActivityLog* log) { m_log = log; }

    void report(const QString& message);
    bool errorReported() const { return m_reported; }

    // Runs a handler; an error it raises ends it and is reported here.
    // Returns false when the handler ended by an error.
    bool guard(const std::function<void()>& handler);

    // The words for an error that is no TarveloError.
    static QString messageOf(const std::exception& error);

private:
    MessageBox m_messageBox;
    ActivityLog* m_log = nullptr;
    bool m_reported = false;
    // What standard error has told about the log that cannot be written.
    QString m_logFailure;
};
