#include "db/SqliteNativeRead.h"

// The Windows program reads the table through Qt: the native read finds
// the driver's SQLite library with dlfcn, which Windows does not have.
bool SqliteNativeRead::routeAddresses(const QSqlDatabase&, const char*, RouteAddressRows&) {
    return false;
}
