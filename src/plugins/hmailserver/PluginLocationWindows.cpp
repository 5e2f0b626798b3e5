#include "PluginLocation.h"

#include <QDir>
#include <QFileInfo>

#include <iterator>

#include <windows.h>

namespace {

// Any object of this library: the loader tells which file holds it.
const char marker = 0;

} // namespace

QString PluginLocation::loadedFrom() {
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                  GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCWSTR>(&marker), &module)) {
        return {};
    }
    wchar_t name[4 * MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(module, name, DWORD(std::size(name)));
    if (length == 0 || length >= std::size(name)) {
        return {};
    }
    const QString file = QDir::fromNativeSeparators(QString::fromWCharArray(name, int(length)));
    return QFileInfo(file).absolutePath();
}
