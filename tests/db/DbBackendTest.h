#pragma once

#include "TestBackend.h"
#include "TestDatabases.h"
#include "TestEnvironment.h"
#include "db/Database.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <ostream>

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
    INSTANTIATE_TEST_SUITE_P(Backends, Suite, testing::ValuesIn(allBackends()), backendName)
