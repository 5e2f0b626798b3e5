#include "core/AppPaths.h"

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
    return forExecutable(QCoreApplication::applicationFilePath());
}
