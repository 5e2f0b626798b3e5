#include "core/ErrorReporter.h"

#include "core/ActivityLog.h"
#include "platform/StandardError.h"
#include "platform/StopSignals.h"
#include "platform/TarveloError.h"

#include <exception>
#include <new>

ErrorReporter::ErrorReporter(MessageBox messageBox) : m_messageBox(std::move(messageBox)) {}

void ErrorReporter::report(const QString& message) {
    m_reported = true;
    // The log keeps every error, also those a user clicked away. The log's
    // own failure is told once, whoever reports it again.
    if (!m_messageBox && message != m_logFailure) {
        StandardError::writeLine(message);
    }
    if (m_log) {
        try {
            // A stop asked for from outside that an error overtook (a change
            // that waited for another session's lock): the log says both.
            m_log->logStopSignal();
            m_log->LogMessage(QStringLiteral("Fehler: ") + message);
        } catch (const TarveloError& logError) {
            // The log itself failed; standard error is all that is left.
            if (m_logFailure.isEmpty()) {
                m_logFailure = logError.message();
                if (m_messageBox || m_logFailure != message) {
                    StandardError::writeLine(m_logFailure);
                }
            }
        }
    }
    if (m_messageBox) {
        m_messageBox(message);
    }
    // Asked from outside to end (a stop whose record could not be written):
    // the error is told, now the process ends by that signal.
    StopSignals::endIfReceived();
}

bool ErrorReporter::guard(const std::function<void()>& handler) {
    try {
        handler();
        return true;
    } catch (const TarveloError& error) {
        report(error.message());
    } catch (const std::exception& error) {
        report(messageOf(error));
    }
    return false;
}

QString ErrorReporter::messageOf(const std::exception& error) {
    if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) {
        // A list too large for the machine's memory, said in German.
        return QStringLiteral("Zu wenig Arbeitsspeicher");
    }
    return QString::fromLocal8Bit(error.what());
}
