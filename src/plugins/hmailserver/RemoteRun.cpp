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
// Of standard output and standard error only the end is kept: the last line
// of standard error is the message, the confirmation is the script's last
// line, and a command that writes on and on must not fill the memory.
constexpr qsizetype kKeptBytes = 64 * 1024;
// The longest message taken from standard error: a message box or a log line
// of megabytes would hold the window for minutes.
constexpr qsizetype kLongestMessage = 1000;

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

QString RemoteRun::shortened(const QString& message) {
    if (message.size() <= kLongestMessage) {
        return message;
    }
    return message.left(kLongestMessage) + QStringLiteral(" …");
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

bool holdsText(QByteArrayView bytes) {
    return std::any_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) > ' ' && c != 0x7F; });
}

// What the command has written on its standard output and standard error;
// of each only the end is kept: from the start of a line where a line with
// text begins in it, else the end of the one long line.
struct Written {
    QByteArray output;
    QByteArray errors;
};

void keepEnd(QByteArray& kept, const QByteArray& more) {
    kept += more;
    if (kept.size() > kKeptBytes) {
        kept = kept.right(kKeptBytes);
        const qsizetype lineEnd = kept.indexOf('\n');
        if (lineEnd >= 0 && holdsText(QByteArrayView(kept).sliced(lineEnd + 1))) {
            kept.remove(0, lineEnd + 1);
        }
    }
}

void keepEndOfWritten(QProcess& process, Written& written) {
    keepEnd(written.output, process.readAllStandardOutput());
    keepEnd(written.errors, process.readAllStandardError());
}

bool holdsLine(const QByteArray& output, const QByteArray& line) {
    const QList<QByteArray> lines = output.split('\n');
    return std::any_of(lines.begin(), lines.end(),
                       [&](const QByteArray& l) { return l.trimmed() == line; });
}

// Waits for the end of process for at most timeoutMs, calling whileWaiting
// (when set) between short waits, until it gives the wait up; keeps the end
// of what it writes meanwhile.
End awaitEnd(QProcess& process, int timeoutMs, const std::function<bool()>& whileWaiting,
             Written& written) {
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
        const bool finished = process.waitForFinished(int(std::min<qint64>(left, kWaitSliceMs)));
        keepEndOfWritten(process, written);
        if (finished) {
            return End::Finished;
        }
        if (whileWaiting && !whileWaiting()) {
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
                                  const QByteArray& confirmation,
                                  const std::function<bool()>& whileWaiting) {
    Outcome outcome;
    // Declared before the process, whose end may still deliver output.
    Written written;
    QProcess process;
    process.setProgram(command.program);
    process.setArguments(command.arguments);
    // Taken in as it arrives, a pipe's worth at a time: waiting for the end
    // reads whatever the command writes meanwhile, and a command that writes
    // fast would otherwise fill the memory within one wait.
    QObject::connect(&process, &QProcess::readyReadStandardOutput, [&process, &written] {
        keepEnd(written.output, process.readAllStandardOutput());
    });
    QObject::connect(&process, &QProcess::readyReadStandardError, [&process, &written] {
        keepEnd(written.errors, process.readAllStandardError());
    });
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

    End end = awaitEnd(process, command.timeoutSeconds * 1000, whileWaiting, written);
    const bool endedWell = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    // A service manager's stop, a time limit or Ctrl+C reach the whole
    // process group: the command ended by the same stop that reached us.
    if (end == End::Finished && !endedWell && whileWaiting && !whileWaiting()) {
        end = End::Stopped;
    }
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
                           "sich nach %2 nicht beendet und wurde "
                           "abgebrochen")
                .arg(command.program,
                     command.timeoutSeconds == 1
                         ? QStringLiteral("1 Sekunde")
                         : QStringLiteral("%1 Sekunden").arg(command.timeoutSeconds));
        return outcome;
    }
    keepEndOfWritten(process, written);
    if (endedWell && holdsLine(written.output, confirmation)) {
        outcome.succeeded = true;
        return outcome;
    }
    outcome.errorDescription = lastNonEmptyLine(decodeOutput(written.errors));
    if (endedWell) {
        // What it said on standard error (cmd.exe: "'try' is not recognized
        // ...") tells why best.
        if (outcome.errorDescription.isEmpty()) {
            outcome.errorDescription =
                QStringLiteral("Der Befehl \"%1\" endete mit Status 0, ohne zu bestätigen, dass "
                               "der Mailserver seine Routen neu geladen hat (Command in %2 muss "
                               "PowerShell mit \"-Command -\" starten, das das Skript von der "
                               "Standardeingabe liest)")
                    .arg(command.program, command.configFile);
        }
        return outcome;
    }
    if (outcome.errorDescription.isEmpty()) {
        outcome.errorDescription =
            process.exitStatus() == QProcess::NormalExit
                ? QStringLiteral("Der Befehl \"%1\" endete mit Status %2 ohne Fehlermeldung")
                      .arg(command.program, QString::number(process.exitCode()))
                : QStringLiteral("Der Befehl \"%1\" wurde abgebrochen").arg(command.program);
    }
    return outcome;
}
