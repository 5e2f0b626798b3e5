#include "PluginLocation.h"

#include <QCoreApplication>

QString PluginLocation::directory() {
    const QString loaded = loadedFrom();
    if (!loaded.isEmpty()) {
        return loaded;
    }
    return QCoreApplication::applicationDirPath() + QStringLiteral("/automation");
}

QString PluginLocation::configFile() {
    return directory() + QStringLiteral("/hmailserver.ini");
}
