#include "db/ServerOdbc.h"

#include <windows.h>

#include <odbcinst.h>

#include <cwchar>
#include <iterator>

namespace {

// The ODBC drivers the machine has, as the driver manager lists them.
QStringList installedDrivers() {
    wchar_t names[16384];
    WORD length = 0;
    if (!::SQLGetInstalledDriversW(names, WORD(std::size(names)), &length)) {
        return {};
    }
    QStringList drivers;
    for (const wchar_t* name = names; *name != L'\0'; name += wcslen(name) + 1) {
        drivers.append(QString::fromWCharArray(name));
    }
    return drivers;
}

} // namespace

ConnectionSettings ServerOdbc::forThisPlatform(const ConnectionSettings& parsed) {
    return throughOdbc(parsed, installedDrivers());
}
