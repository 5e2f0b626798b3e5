#include "core/AppPaths.h"

#include "platform/TarveloError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

AppPaths AppPaths::forExecutable(const QString& executablePath) {
    const QFileInfo info(executablePath);
    AppPaths paths;
    paths.executable = executablePath;
    paths.directory = info.path();
    if (!paths.directory.endsWith(u'/')) {
        paths.directory += u'/';
    }
    // The name's suffix replaced; a name without one gets the extension added.
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString base = paths.directory + (dot > 0 ? name.left(dot) : name);
    paths.iniFile = base + QStringLiteral(".ini");
    paths.logFile = base + QStringLiteral(".log");
    paths.lockFile = base + QStringLiteral(".lock");
    paths.exceptionFile = paths.directory + QStringLiteral("ausnahmen.txt");
    paths.automationDirectory = paths.directory + QStringLiteral("automation");
    // Messages name these files as the platform writes paths ("C:\Tarvelo\").
    for (QString* path : {&paths.executable, &paths.iniFile, &paths.logFile, &paths.lockFile,
                          &paths.exceptionFile, &paths.directory, &paths.automationDirectory}) {
        *path = QDir::toNativeSeparators(*path);
    }
    return paths;
}

AppPaths AppPaths::current() {
    const QString executable = QCoreApplication::applicationFilePath();
    // The toolkit names no executable when it cannot find it under a name of
    // its own (a directory whose name is not valid UTF-8): its files would
    // be looked for, and made, at the root of the file system.
    if (executable.isEmpty()) {
        const QStringList arguments = QCoreApplication::arguments();
        throw TarveloError(
            QStringLiteral("Das Verzeichnis des Programms ist nicht zu finden (aufgerufen als "
                           "\"%1\"; ist ein Verzeichnisname kein gültiges UTF-8?). Ohne seine "
                           "Konfigurationsdatei, sein Log und ausnahmen.txt beendet sich Tarvelo; "
                           "bitte das Verzeichnis umbenennen")
                .arg(arguments.isEmpty() ? QString() : arguments.constFirst()));
    }
    return forExecutable(executable);
}
