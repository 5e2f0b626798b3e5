#pragma once

class Database;

// The database server's own advisory lock for "one synchronisation at a
// time", held by the session: pg_try_advisory_lock on PostgreSQL, GET_LOCK on
// MySQL and MariaDB, sp_getapplock on SQL Server, one per database. SQLite and
// an unknown system behind ODBC have none.
namespace ServerLock {
// Whether the server behind database offers such a lock.
bool offered(const Database& database);
// One try, without waiting: true when this session now holds the lock.
// Raises DbError with the driver's text when the server cannot be asked.
bool tryLock(Database& database);
// Lets it go; the end of the session would as well.
void unlock(Database& database) noexcept;
} // namespace ServerLock
