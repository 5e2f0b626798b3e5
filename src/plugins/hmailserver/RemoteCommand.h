#pragma once

#include <QString>
#include <QStringList>

// The command that runs PowerShell on the mail server's host and reads its
// commands from standard input, as the administrator wrote it in section
// [Remote], key Command, of the plugin's configuration file, e.g.
//   Command=ssh -T -o BatchMode=yes administrator@mailhost powershell -NoProfile -Command -
// It is split into arguments like a command line and started directly, never
// through a shell. Key Timeout, when given, is how many seconds the command
// may take before it is ended (1 to 3600; 60 without the key).
struct RemoteCommand {
    QString configFile;
    QString program;
    QStringList arguments;
    int timeoutSeconds = 60;

    // The command configured in configFile. False, with the German message in
    // *error, when the file is missing, names no command or holds a timeout
    // that is no number of seconds from 1 to 3600.
    static bool load(const QString& configFile, RemoteCommand* command, QString* error);
};
