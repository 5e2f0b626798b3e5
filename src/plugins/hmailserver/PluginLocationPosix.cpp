#include "PluginLocation.h"

#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

namespace {

// Any object of this library: the loader tells which file holds it.
const char marker = 0;

} // namespace

QString PluginLocation::loadedFrom() {
    Dl_info info{};
    if (dladdr(&marker, &info) != 0 && info.dli_fname != nullptr && *info.dli_fname != '\0') {
        return QFileInfo(QFile::decodeName(info.dli_fname)).absolutePath();
    }
    return {};
}
