#pragma once

#include <QString>
#include <QStringList>

// The command that runs PowerShell on the mail server's host and reads its
// commands from standard input, as the administrator wrote it in section
// [Remote], key Command, of the plugin's configuration file, e.g.
//   Command=ssh -T -o BatchMode=yes administrator@mailhost powershell -NoProfile -Command -
// It is split into arguments like a command line and started directly, never
// through a shell.
struct RemoteCommand {
    QString configFile;
    QString program;
    QStringList arguments;

    // The command configured in configFile. False, with the German message in
    // *error, when the file is missing or names no command.
    static bool load(const QString& configFile, RemoteCommand* command, QString* error);
};
