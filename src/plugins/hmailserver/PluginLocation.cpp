#include "PluginLocation.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

namespace {

// Any object of this library: the loader tells which file holds it.
const char marker = 0;

} // namespace

QString PluginLocation::directory() {
    Dl_info info{};
    if (dladdr(&marker, &info) != 0 && info.dli_fname != nullptr && *info.dli_fname != '\0') {
        return QFileInfo(QFile::decodeName(info.dli_fname)).absolutePath();
    }
    return QCoreApplication::applicationDirPath() + QStringLiteral("/automation");
}

QString PluginLocation::configFile() {
    return directory() + QStringLiteral("/hmailserver.ini");
}
