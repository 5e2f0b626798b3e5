#include "RemoteRun.h"

#include "platform/Ansi.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStringDecoder>

#include <algorithm>

#ifdef Q_OS_LINUX
#include <QDir>
#include <QFile>
#include <QMultiHash>

#include <csignal>
#include <sys/types.h>
#endif

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

#ifdef Q_OS_LINUX
// Every process below root, from the parent links the system lists.
QList<pid_t> descendantsOf(pid_t root) {
    QMultiHash<pid_t, pid_t> children;
    const QStringList entries =
        QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool isProcess = false;
        const pid_t pid = static_cast<pid_t>(entry.toInt(&isProcess));
        QFile stat(QStringLiteral("/proc/") + entry + QStringLiteral("/stat"));
        if (!isProcess || !stat.open(QIODevice::ReadOnly)) {
            continue;
        }
        // "pid (name) state ppid ...": the name may hold blanks and parentheses.
        const QByteArray line = stat.readAll();
        const qsizetype nameEnd = line.lastIndexOf(')');
        const QList<QByteArray> fields = line.mid(nameEnd + 2).split(' ');
        if (nameEnd >= 0 && fields.size() > 1) {
            children.insert(static_cast<pid_t>(fields[1].toInt()), pid);
        }
    }
    QList<pid_t> found;
    for (QList<pid_t> parents{root}; !parents.isEmpty();) {
        const QList<pid_t> below = children.values(parents.takeFirst());
        found += below;
        parents += below;
    }
    return found;
}
#endif

// Ends the command and what it started: a script that runs ssh would
// otherwise leave ssh to make, or hold open, the refresh reported as given up.
void endCommand(QProcess& process) {
#ifdef Q_OS_LINUX
    const auto pid = static_cast<pid_t>(process.processId());
    if (pid > 0) {
        ::kill(pid, SIGSTOP); // starts nothing more while its own are ended
        for (const pid_t descendant : descendantsOf(pid)) {
            ::kill(descendant, SIGKILL);
        }
    }
#endif
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
        outcome.errorDescription = QStringLiteral("Zeitüberschreitung: Der Befehl \"%1\" hat "
                                                  "sich nach %2 Sekunden nicht beendet und wurde "
                                                  "abgebrochen")
                                       .arg(command.program)
                                       .arg(command.timeoutSeconds);
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
                      .arg(command.program)
                      .arg(process.exitCode())
                : QStringLiteral("Der Befehl \"%1\" wurde abgebrochen").arg(command.program);
    }
    return outcome;
}
