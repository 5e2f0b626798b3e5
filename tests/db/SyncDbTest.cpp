// The synchronisation run on each database: rows and protocol file, byte for
// byte, on SQLite and on the PostgreSQL and MariaDB servers.

#include "DbBackendTest.h"
#include "ManualClock.h"
#include "MemoryWindowState.h"

#include "core/ActivityLog.h"
#include "core/RouteBrowsing.h"
#include "core/SyncRun.h"
#include "core/WindowState.h"
#include "core/WorkingList.h"
#include "db/AddressDataset.h"
#include "db/Database.h"
#include "db/RouteAddressDataset.h"
#include "db/RoutesDataset.h"
#include "platform/Clock.h"
#include "platform/TarveloError.h"
#include "platform/TextFile.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>

namespace {

using Rows = QList<QPair<qint64, QString>>;

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<fehlt>");
}

// The demo data: routes example.com (1), example.org (2), sub.example.com (3),
// mail.example.net (4), each with some addresses.
class SyncDbTest : public DbBackendTest {
protected:
    void SetUp() override {
        DbBackendTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        QDir().mkpath(protocolDir);
        database.setConnectionString(m_connection);
        database.open();
        routes.open();
        window.setDomain(QStringLiteral("*"));
        window.setEmailliste(listFile);
    }
    void TearDown() override {
        Address.close();
        RA2.close();
        routes.close();
        database.close();
    }
    void run() {
        SyncContext context{
            .window = window,
            .log = log,
            .Liste = Liste,
            .routes = routes,
            .RA2 = RA2,
            .exceptionFile = exceptionFile,
            .ProtokollDir = protocolDir,
            .clock = clock,
            .reloadAddresses = [this] { RouteBrowsing::loadAddresses(routes, Address); }};
        runSynchronisation(context);
    }

    const QString listFile = m_dir.filePath(QStringLiteral("adressen-\u00e4.txt"));
    const QString exceptionFile = m_dir.filePath(QStringLiteral("ausnahmen.txt"));
    const QString protocolDir = m_dir.filePath(QStringLiteral("protokoll")) + u'/';
    const QString protocolFile = protocolDir + QStringLiteral("hmail-20260107-090503.log");
    Database database;
    RoutesDataset routes{database};
    RouteAddressDataset RA2{database};
    AddressDataset Address{database};
    MemoryWindowState window;
    ManualClock clock{QDateTime(QDate(2026, 1, 7), QTime(9, 5, 3))};
    ActivityLog log{m_dir.filePath(QStringLiteral("tarvelo.log")), clock, window};
    WorkingList Liste;
};

TEST_P(SyncDbTest, ChangesTheRowsAndWritesTheProtocolByteForByte) {
    execSql(m_connection,
            QStringLiteral("INSERT INTO hm_routeaddresses (routeaddressrouteid, "
                           "routeaddressaddress) VALUES (2, '\u03a9mega@example.org')"));
    TextFile::replaceLines(exceptionFile, {QStringLiteral(">Mallory@")});
    TextFile::replaceLines(
        listFile, {"alice@example.com", "BOB@example.COM", "Zo\u00eb@Example.org",
                   "info@example.org", "new@sub.example.com", "grace@sub.example.com",
                   "heidi@sub.example.com", "ivan@mail.example.net", "judy@mail.example.net",
                   "mallory@mail.example.net", "oscar@mail.example.net", "x@example.com.au", ""});
    run();

    const QByteArray expected = "Datei: " + listFile.left(listFile.size() - 5).toUtf8() +
                                "\xe4.txt\r\n"
                                "Delete carol@example.com\r\n"
                                "Delete postmaster@example.com\r\n"
                                "Delete dave@example.org\r\n"
                                "Delete erin@example.org\r\n"
                                "Delete frank@sub.example.com\r\n"
                                "Delete mallory@mail.example.net\r\n"
                                "Delete ?mega@example.org\r\n"
                                "Insert 1 x@example.com.au\r\n"
                                "Insert 2 Zo\xeb@Example.org\r\n"
                                "Insert 3 new@sub.example.com\r\n";
    EXPECT_EQ(bytesOf(protocolFile), expected);
    EXPECT_EQ(window.zaehler(), QStringLiteral("11 Änderungen"));
    EXPECT_EQ(routeAddressRows(m_connection), Rows({{1, "alice@example.com"},
                                                    {1, "Bob@Example.com"},
                                                    {2, "info@example.org"},
                                                    {3, "grace@sub.example.com"},
                                                    {3, "heidi@sub.example.com"},
                                                    {4, "ivan@mail.example.net"},
                                                    {4, "judy@mail.example.net"},
                                                    {4, "oscar@mail.example.net"},
                                                    {1, "x@example.com.au"},
                                                    {2, "Zo\u00eb@Example.org"},
                                                    {3, "new@sub.example.com"}}));
    EXPECT_EQ(window.protokollLines().last(), QStringLiteral("09:05:03: Ende DBsync"));
    EXPECT_FALSE(RA2.isOpen());
    EXPECT_EQ(Address.routeId(), 1);

    // A second run finds nothing to do and says so in a protocol of one line,
    // ending in the same second: the first run's protocol stays as it was.
    run();
    EXPECT_EQ(bytesOf(protocolFile), expected);
    EXPECT_EQ(bytesOf(protocolDir + QStringLiteral("hmail-20260107-090504.log")),
              expected.left(expected.indexOf("\r\n") + 2));
    EXPECT_EQ(window.zaehler(), QStringLiteral("1 Änderungen"));
    EXPECT_EQ(routeAddressRows(m_connection).size(), 11);
}

TEST_P(SyncDbTest, DomainFilterTouchesOnlyItsRoute) {
    TextFile::replaceLines(exceptionFile, {});
    TextFile::replaceLines(listFile, {"alice@example.com", "new@example.org", "Neu@Example.com"});
    window.setDomain(QStringLiteral("@example.com"));
    run();
    EXPECT_EQ(
        bytesOf(protocolFile).split('\n').mid(1),
        QByteArrayList({"Delete bob@example.com\r", "Delete carol@example.com\r",
                        "Delete postmaster@example.com\r", "Insert 1 Neu@Example.com\r", ""}));
    const Rows rows = routeAddressRows(m_connection);
    EXPECT_EQ(rows.size(), 12);
    EXPECT_EQ(rows.first(), qMakePair(qint64(1), QStringLiteral("alice@example.com")));
    EXPECT_EQ(rows.last(), qMakePair(qint64(1), QStringLiteral("Neu@Example.com")));
}

// The mail server's keys are bigserial on PostgreSQL, and SQLite's integer
// is 64-bit: ids beyond 31 bits are read, compared and printed in full.
// MariaDB's keys are the mail server's int and mediumint, so there the ids go
// to the top of their range.
TEST_P(SyncDbTest, IdsBeyondThirtyOneBitsReachTheRightRows) {
    const bool mariaDb = serverOf(GetParam()) == Backend::MariaDb;
    const qint64 routeId = mariaDb ? 2147483647 : 2147483648;
    const qint64 staleRowId = mariaDb ? 8388000 : 4294967297;
    execSql(m_connection,
            QStringLiteral("INSERT INTO hm_routes (routeid, routedomainname, routedescription, "
                           "routetargetsmthost, routetargetsmtport, routenooftries, "
                           "routeminutesbetweentry, routealladdresses, routeuseauthentication, "
                           "routeauthenticationusername, routeauthenticationpassword, "
                           "routetreatsecurityaslocal, routeconnectionsecurity, "
                           "routetreatsenderaslocaldomain) VALUES (%1, 'big.example', '', "
                           "'localhost', 25, 4, 15, 0, 0, '', '', 0, 0, 0)")
                .arg(routeId));
    execSql(m_connection, QStringLiteral("INSERT INTO hm_routeaddresses (routeaddressid, "
                                         "routeaddressrouteid, routeaddressaddress) VALUES "
                                         "(%1, %2, 'stale@big.example')")
                              .arg(staleRowId)
                              .arg(routeId));
    if (serverOf(GetParam()) == Backend::Postgres) {
        execSql(m_connection,
                QStringLiteral("SELECT setval('hm_routeaddresses_routeaddressid_seq', "
                               "%1)")
                    .arg(staleRowId));
    }
    routes.open();
    Rows before = routeAddressRows(m_connection);
    QStringList list;
    for (const auto& row : before) {
        if (row.second != u"stale@big.example") {
            list.append(row.second);
        }
    }
    list.append(QStringLiteral("new@big.example"));
    TextFile::replaceLines(exceptionFile, {});
    TextFile::replaceLines(listFile, list);
    run();

    EXPECT_EQ(bytesOf(protocolFile).split('\n').mid(1),
              QByteArrayList({"Delete stale@big.example\r",
                              "Insert " + QByteArray::number(routeId) + " new@big.example\r", ""}));
    Rows expected = before;
    expected.removeOne(qMakePair(routeId, QStringLiteral("stale@big.example")));
    expected.append(qMakePair(routeId, QStringLiteral("new@big.example")));
    EXPECT_EQ(routeAddressRows(m_connection), expected);

    // The new row's id follows the stale one's: the wanted rows keep theirs.
    Database check;
    check.setConnectionString(m_connection);
    check.open();
    QSqlQuery query(check.handle());
    ASSERT_TRUE(query.exec(QStringLiteral("SELECT routeaddressid FROM hm_routeaddresses WHERE "
                                          "routeaddressaddress = 'new@big.example'")));
    ASSERT_TRUE(query.next());
    EXPECT_GT(query.value(0).toLongLong(), staleRowId);
}

// Routes that never loaded: the run refuses to walk them before it changes
// anything, however stale the table's rows are.
TEST_P(SyncDbTest, RoutesThatFailedToLoadRefuseTheRunBeforeAnyChange) {
    routes.close();
    TextFile::replaceLines(exceptionFile, {});
    TextFile::replaceLines(listFile, {"new@example.com"});
    const Rows before = routeAddressRows(m_connection);
    QString error;
    try {
        run();
    } catch (const TarveloError& e) {
        error = e.message();
    }
    EXPECT_EQ(error, QStringLiteral("Die Datenmenge ist nicht geöffnet"));
    EXPECT_EQ(routeAddressRows(m_connection), before);
    EXPECT_TRUE(window.syncEnabled());
    EXPECT_FALSE(RA2.isOpen());
    EXPECT_FALSE(QFile::exists(protocolFile));
}

TARVELO_DB_BACKENDS(SyncDbTest);

} // namespace
