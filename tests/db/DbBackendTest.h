#pragma once

#include "TestDatabases.h"
#include "TestEnvironment.h"
#include "db/Database.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <ostream>

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

// Each test gets a fresh database holding the demo data of schema/demo.sql:
// routes 1 example.com, 2 example.org, 3 sub.example.com, 4 mail.example.net.
class DbBackendTest : public testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        ensureCoreApplication();
        ASSERT_TRUE(m_dir.isValid());
        m_connection = freshDatabase(true);
    }

    QString freshDatabase(bool withDemoData) {
        return createBackendDatabase(
            GetParam(), m_dir.filePath(QStringLiteral("hm%1.db").arg(++m_files)), withDemoData);
    }

    QTemporaryDir m_dir;
    QString m_connection;
    int m_files = 0;
};

// The same, with the connection `database` open on that fresh database.
class OpenDbBackendTest : public DbBackendTest {
protected:
    void SetUp() override {
        DbBackendTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        m_database.setConnectionString(m_connection);
        m_database.open();
    }
    Database m_database;
};

#define TARVELO_DB_BACKENDS(Suite)                                                                 \
    INSTANTIATE_TEST_SUITE_P(                                                                      \
        Backends, Suite, testing::Values(Backend::Sqlite, Backend::Postgres, Backend::MariaDb),    \
        backendName)
