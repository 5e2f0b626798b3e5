#pragma once

#include "TestDatabases.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

// The database tests run alike on an SQLite file and on the PostgreSQL and
// MariaDB servers that the test command started.
enum class Backend { Sqlite, Postgres, MariaDb };

inline const char* backendText(Backend backend) {
    switch (backend) {
    case Backend::Sqlite:
        return "SQLite";
    case Backend::Postgres:
        return "PostgreSQL";
    case Backend::MariaDb:
        return "MariaDB";
    }
    return "?";
}

inline std::ostream& operator<<(std::ostream& out, Backend backend) {
    return out << backendText(backend);
}

inline std::string backendName(const testing::TestParamInfo<Backend>& info) {
    return backendText(info.param);
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
    }
    return {};
}
