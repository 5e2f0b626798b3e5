#include "RemoteCommand.h"

#include "platform/ProfileFile.h"

#include <QFileInfo>
#include <QProcess>

bool RemoteCommand::load(const QString& configFile, RemoteCommand* command, QString* error) {
    if (!QFileInfo(configFile).isFile()) {
        *error = QStringLiteral("Die Routen-Aktualisierung ist nicht eingerichtet: Datei %1 fehlt "
                                "(Abschnitt [Remote], Schlüssel Command: der Befehl, der "
                                "PowerShell auf dem Mailserver startet)")
                     .arg(configFile);
        return false;
    }
    const QString line =
        ProfileFile::readString(configFile, QStringLiteral("Remote"), QStringLiteral("Command"));
    QStringList words = QProcess::splitCommand(line);
    if (words.isEmpty() || words.first().isEmpty()) {
        *error = QStringLiteral("Die Routen-Aktualisierung ist nicht eingerichtet: In %1 steht im "
                                "Abschnitt [Remote] kein Befehl unter Command")
                     .arg(configFile);
        return false;
    }
    command->configFile = configFile;
    command->program = words.takeFirst();
    command->arguments = words;
    return true;
}
