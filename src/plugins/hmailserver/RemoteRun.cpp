#include "RemoteRun.h"

#include "ProcessTree.h"
#include "platform/Ansi.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStringDecoder>

#include <algorithm>

namespace {

// How long a killed command may take to be gone.
constexpr int kKillWaitMs = 5000;
// The wait between two calls of the caller's hook.
constexpr int kWaitSliceMs = 50;

bool isBlankLine(QStringView line) {
    for (const QChar c : line) {
        if (c.unicode() > u' ' && c.unicode() != 0x7F) {
            return false;
        }
    }
    return true;
}

} // namespace

QString RemoteRun::lastNonEmptyLine(const QString& text) {
    QStringList lines = text.split(QChar(u'\n'));
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        // A lone CR ends a line too; CR LF leaves a CR at the end.
        const QStringList parts = it->split(QChar(u'\r'));
        for (auto part = parts.crbegin(); part != parts.crend(); ++part) {
            if (!isBlankLine(*part)) {
                return *part;
            }
        }
    }
    return {};
}

QString RemoteRun::decodeOutput(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (utf8.hasError()) {
        return Ansi::decode(bytes);
    }
    return text;
}

namespace {

enum class End { Finished, TimedOut, Stopped };

// Waits for the end of process for at most timeoutMs, calling whileWaiting
// between short waits, until it gives the wait up.
End awaitEnd(QProcess& process, int timeoutMs, const std::function<bool()>& whileWaiting) {
    if (!whileWaiting) {
        return process.waitForFinished(timeoutMs) ? End::Finished : End::TimedOut;
    }
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (process.state() == QProcess::NotRunning) {
            return End::Finished; // it ended while the hook ran
        }
        const qint64 left = timeoutMs - waited.elapsed();
        if (left <= 0) {
            return End::TimedOut;
        }
        if (process.waitForFinished(int(std::min<qint64>(left, kWaitSliceMs)))) {
            return End::Finished;
        }
        if (!whileWaiting()) {
            return End::Stopped;
        }
    }
}

// Ends the command and what it started: a script that runs ssh would
// otherwise leave ssh to make, or hold open, the refresh reported as given up.
void endCommand(QProcess& process) {
    ProcessTree::stopAndKillDescendants(process.processId());
    process.kill();
    process.waitForFinished(kKillWaitMs);
}

} // namespace

RemoteRun::Outcome RemoteRun::run(const RemoteCommand& command, const QByteArray& input,
                                  const std::function<bool()>& whileWaiting) {
    Outcome outcome;
    QProcess process;
    process.setProgram(command.program);
    process.setArguments(command.arguments);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(QIODevice::ReadWrite);
    if (!process.waitForStarted()) {
        outcome.errorDescription =
            QStringLiteral("Der Befehl \"%1\" kann nicht gestartet werden (nicht gefunden oder "
                           "nicht ausführbar; eingetragen in %2)")
                .arg(command.program, command.configFile);
        return outcome;
    }
    // Written while the end is awaited; a command that ends without reading
    // it does no harm.
    process.write(input);
    process.closeWriteChannel();

    const End end = awaitEnd(process, command.timeoutSeconds * 1000, whileWaiting);
    if (end == End::Stopped) {
        endCommand(process);
        outcome.errorDescription =
            QStringLiteral("Abgebrochen: Der Befehl \"%1\" wurde beendet, bevor der Mailserver "
                           "antwortete; ob er seine Routen neu geladen hat, ist offen")
                .arg(command.program);
        return outcome;
    }
    if (end == End::TimedOut) {
        endCommand(process);
        outcome.errorDescription =
            QStringLiteral("Zeitüberschreitung: Der Befehl \"%1\" hat "
                           "sich nach %2 Sekunden nicht beendet und wurde "
                           "abgebrochen")
                .arg(command.program, QString::number(command.timeoutSeconds));
        return outcome;
    }
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0) {
        outcome.succeeded = true;
        return outcome;
    }
    outcome.errorDescription = lastNonEmptyLine(decodeOutput(process.readAllStandardError()));
    if (outcome.errorDescription.isEmpty()) {
        outcome.errorDescription =
            process.exitStatus() == QProcess::NormalExit
                ? QStringLiteral("Der Befehl \"%1\" endete mit Status %2 ohne Fehlermeldung")
                      .arg(command.program, QString::number(process.exitCode()))
                : QStringLiteral("Der Befehl \"%1\" wurde abgebrochen").arg(command.program);
    }
    return outcome;
}
