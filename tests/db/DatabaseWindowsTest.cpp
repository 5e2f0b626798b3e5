#include "TestDatabases.h"
#include "TestEnvironment.h"
#include "db/Database.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSqlQuery>

// The mail server's database on a share (Data Source=\\server\share\hm.db):
// the test command serves one under the name TARVELO_TEST_UNC_SHARE gives.
TEST(Database, SqliteFileOnAShareOpens) {
    ensureCoreApplication();
    const QString share = qEnvironmentVariable("TARVELO_TEST_UNC_SHARE");
    ASSERT_FALSE(share.isEmpty()) << "TARVELO_TEST_UNC_SHARE names no share: scripts/check-windows "
                                     "serves one";
    const QString path = share + QStringLiteral("\\Mail Daten #1.db");
    QFile::remove(path);
    createSqliteDatabase(path, true);
    Database database;
    database.setConnectionString(QStringLiteral("Provider=SQLite;Data Source=") + path);
    database.open();
    QSqlQuery query(database.openHandle());
    ASSERT_TRUE(query.exec(QStringLiteral("select count(*) from hm_routes")));
    ASSERT_TRUE(query.next());
    EXPECT_EQ(query.value(0).toInt(), 4);
}
