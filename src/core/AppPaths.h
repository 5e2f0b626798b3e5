#pragma once

#include <QString>

// The files kept beside the executable: its name with ".ini", ".log" and
// ".lock" (held while a synchronisation runs), the exception list
// "ausnahmen.txt" and the automation plugins' directory "automation" in its
// directory, each with the platform's separators.
struct AppPaths {
    QString executable;
    QString iniFile;
    QString logFile;
    QString lockFile;
    QString exceptionFile;
    QString directory; // with its trailing separator
    QString automationDirectory;

    static AppPaths forExecutable(const QString& executablePath);
    // For the running program (QCoreApplication::applicationFilePath()).
    // Raises TarveloError when the program's own path cannot be told.
    static AppPaths current();
};
