#include "RemoteCommand.h"

#include "platform/ProfileFile.h"

#include <QFileInfo>
#include <QProcess>

namespace {
// An hour: a refresh that takes longer has stopped answering.
constexpr int kLongestTimeoutSeconds = 3600;
} // namespace

bool RemoteCommand::load(const QString& configFile, RemoteCommand* command, QString* error) {
    const QFileInfo file(configFile);
    if (file.exists() && !file.isFile()) {
        // Never opened: a FIFO would wait for a writer.
        *error = QStringLiteral("Die Routen-Aktualisierung ist nicht eingerichtet: %1 ist keine "
                                "reguläre Datei")
                     .arg(configFile);
        return false;
    }
    if (!file.isFile()) {
        *error = QStringLiteral("Die Routen-Aktualisierung ist nicht eingerichtet: Datei %1 fehlt "
                                "(Abschnitt [Remote], Schlüssel Command: der Befehl, der "
                                "PowerShell auf dem Mailserver startet)")
                     .arg(configFile);
        return false;
    }
    // Read as empty, a file this user may not read would be reported as one
    // without a command.
    if (ProfileFile::unreadable(configFile)) {
        *error = QStringLiteral("Die Routen-Aktualisierung ist nicht eingerichtet: Datei %1 kann "
                                "nicht gelesen werden")
                     .arg(configFile);
        return false;
    }
    const QString line =
        ProfileFile::readString(configFile, QStringLiteral("Remote"), QStringLiteral("Command"));
    QStringList words = QProcess::splitCommand(line);
    // A profile value in one pair of quotation marks loses them when read.
    // That suits a whole command written in quotes, but where the marks
    // enclose the first and the last word ("/opt/mein ssh" host "pwsh"), or
    // one program whose path has a blank, they belong to the command line.
    const QString asWritten =
        ProfileFile::readAsWritten(configFile, QStringLiteral("Remote"), QStringLiteral("Command"));
    if (asWritten != line && asWritten.startsWith(u'"')) {
        const QStringList writtenWords = QProcess::splitCommand(asWritten);
        if (writtenWords.size() > 1 ||
            (writtenWords.size() == 1 && QFileInfo::exists(writtenWords.first()))) {
            words = writtenWords;
        }
    }
    if (words.isEmpty() || words.first().isEmpty()) {
        *error = QStringLiteral("Die Routen-Aktualisierung ist nicht eingerichtet: In %1 steht im "
                                "Abschnitt [Remote] kein Befehl unter Command")
                     .arg(configFile);
        return false;
    }
    const QString timeout =
        ProfileFile::readString(configFile, QStringLiteral("Remote"), QStringLiteral("Timeout"));
    int seconds = 60;
    if (!timeout.isEmpty()) {
        bool ok = false;
        seconds = timeout.toInt(&ok);
        if (!ok || seconds < 1 || seconds > kLongestTimeoutSeconds) {
            *error = QStringLiteral("Die Routen-Aktualisierung ist nicht eingerichtet: In %1 steht "
                                    "im Abschnitt [Remote] unter Timeout \"%2\" statt einer Zahl "
                                    "von Sekunden von 1 bis %3")
                         .arg(configFile, timeout, QString::number(kLongestTimeoutSeconds));
            return false;
        }
    }
    command->configFile = configFile;
    command->program = words.takeFirst();
    command->arguments = words;
    command->timeoutSeconds = seconds;
    return true;
}
