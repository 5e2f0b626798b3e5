#include "RemoteRun.h"

#include "platform/Ansi.h"

#include <QProcess>
#include <QStringDecoder>

namespace {

// How long a killed command may take to be gone.
constexpr int kKillWaitMs = 5000;

bool isBlankLine(QStringView line) {
    for (const QChar c : line) {
        if (c.unicode() > u' ' && c.unicode() != 0x7F) {
            return false;
        }
    }
    return true;
}

QString seconds(int ms) {
    return QString::number((ms + 999) / 1000);
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

RemoteRun::Outcome RemoteRun::run(const RemoteCommand& command, const QByteArray& input,
                                  int timeoutMs) {
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

    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(kKillWaitMs);
        outcome.errorDescription = QStringLiteral("Zeitüberschreitung: Der Befehl \"%1\" hat "
                                                  "sich nach %2 Sekunden nicht beendet und wurde "
                                                  "abgebrochen")
                                       .arg(command.program, seconds(timeoutMs));
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
