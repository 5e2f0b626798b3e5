#pragma once

#include "TestDatabases.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

// The database tests run alike on an SQLite file and on the PostgreSQL and
// MariaDB servers that the test command started, each server also through
// ODBC ("Provider=MSDASQL" and the server's own ODBC driver), the road that
// SQL Server and Windows installations take.
enum class Backend { Sqlite, Postgres, MariaDb, PostgresOdbc, MariaDbOdbc };

inline const char* backendText(Backend backend) {
    switch (backend) {
    case Backend::Sqlite:
        return "SQLite";
    case Backend::Postgres:
        return "PostgreSQL";
    case Backend::MariaDb:
        return "MariaDB";
    case Backend::PostgresOdbc:
        return "PostgreSQL_ODBC";
    case Backend::MariaDbOdbc:
        return "MariaDB_ODBC";
    }
    return "?";
}

inline std::ostream& operator<<(std::ostream& out, Backend backend) {
    return out << backendText(backend);
}

inline std::string backendName(const testing::TestParamInfo<Backend>& info) {
    return backendText(info.param);
}

// The database system behind a backend: Sqlite, Postgres or MariaDb. Its
// collation, key types and texts are the system's, whichever driver asks.
inline Backend serverOf(Backend backend) {
    switch (backend) {
    case Backend::PostgresOdbc:
        return Backend::Postgres;
    case Backend::MariaDbOdbc:
        return Backend::MariaDb;
    default:
        return backend;
    }
}

inline bool throughOdbc(Backend backend) {
    return backend == Backend::PostgresOdbc || backend == Backend::MariaDbOdbc;
}

// Every backend, and those on a server.
inline const std::vector<Backend>& allBackends() {
    static const std::vector<Backend> all = {Backend::Sqlite, Backend::Postgres, Backend::MariaDb,
                                             Backend::PostgresOdbc, Backend::MariaDbOdbc};
    return all;
}
inline const std::vector<Backend>& serverBackends() {
    static const std::vector<Backend> servers = {Backend::Postgres, Backend::MariaDb,
                                                 Backend::PostgresOdbc, Backend::MariaDbOdbc};
    return servers;
}

// A fresh database on the backend; an SQLite file goes into dir.
inline QString createBackendDatabase(Backend backend, const QString& sqliteFile,
                                     bool withDemoData) {
    switch (backend) {
    case Backend::Sqlite:
        return createSqliteDatabase(sqliteFile, withDemoData);
    case Backend::Postgres:
        return createPostgresDatabase(withDemoData);
    case Backend::MariaDb:
        return createMariaDbDatabase(withDemoData);
    case Backend::PostgresOdbc:
        return odbcConnectionString(createPostgresDatabase(withDemoData));
    case Backend::MariaDbOdbc:
        return odbcConnectionString(createMariaDbDatabase(withDemoData));
    }
    return {};
}
