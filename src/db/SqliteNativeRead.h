#pragma once

#include <QSqlDatabase>

class RouteAddressRows;

// Reads the rows of the table hm_routeaddresses straight through the SQLite
// library the QSQLITE driver itself uses, on the driver's own connection:
// the same rows as through QSqlQuery, without a QVariant per value, which at
// a million rows costs more than the reading.
//
// Only when the driver is QSQLITE and its library is the system's shared
// libsqlite3 that is already loaded for it; otherwise (another driver, or a
// driver with an SQLite of its own) nothing is read and it returns false, and
// the caller reads through Qt.
namespace SqliteNativeRead {
// Raises DbError with SQLite's text when the read fails.
bool routeAddresses(const QSqlDatabase& db, const char* sql, RouteAddressRows& rows);
} // namespace SqliteNativeRead
