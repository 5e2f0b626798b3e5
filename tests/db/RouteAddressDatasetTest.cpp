#include "db/RouteAddressDataset.h"
#include "DbBackendTest.h"
#include "RowAddress.h"
#include "core/SyncPlan.h"
#include "core/WorkingList.h"
#include "db/Database.h"
#include "db/RouteAddressRows.h"
#include "db/RoutesDataset.h"
#include "platform/AsciiCase.h"
#include "platform/TarveloError.h"

#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {

using Rows = QList<QPair<qint64, QString>>;

using RouteAddressDatasetTest = OpenDbBackendTest;

// The addresses the dataset read, in its order.
QStringList all(const RouteAddressDataset& ra2) {
    QStringList seen;
    const RouteAddressRows& rows = ra2.rows();
    for (int i = 0; i < rows.size(); ++i) {
        seen.append(addressOf(rows, i));
    }
    return seen;
}

QStringList addressesOf(const Rows& rows) {
    QStringList addresses;
    for (const auto& row : rows) {
        addresses.append(row.second);
    }
    return addresses;
}

// The key of the row with exactly this address (a walk, for the tests only).
qint64 keyOf(const RouteAddressDataset& ra2, const QString& address) {
    const RouteAddressRows& rows = ra2.rows();
    for (int i = 0; i < rows.size(); ++i) {
        if (addressOf(rows, i) == address) {
            return rows.id(i);
        }
    }
    ADD_FAILURE() << "no row " << address.toStdString();
    return -1;
}

} // namespace

TEST_P(RouteAddressDatasetTest, ReadsTheWholeTableInIdOrder) {
    execSql(m_connection, QStringLiteral("insert into hm_routeaddresses "
                                         "(routeaddressrouteid, routeaddressaddress) "
                                         "values (99, 'orphan@nowhere.example')"));
    RouteAddressDataset ra2(m_database);
    EXPECT_FALSE(ra2.isOpen());
    EXPECT_THROW(ra2.deleteRow(1), DbError);
    EXPECT_THROW(ra2.insert(1, QStringLiteral("x@example.com")), DbError);
    ra2.open();
    EXPECT_TRUE(ra2.isOpen());
    EXPECT_EQ(all(ra2), addressesOf(routeAddressRows(m_connection)));
    EXPECT_EQ(ra2.rows().size(), 15);
    EXPECT_EQ(addressOf(ra2.rows(), 0), "alice@example.com");
    for (int i = 1; i < ra2.rows().size(); ++i) {
        EXPECT_LT(ra2.rows().id(i - 1), ra2.rows().id(i));
    }
    ra2.close();
    EXPECT_EQ(ra2.rows().size(), 0);
}

// A deletion names its row by key: the row's twins in other letter cases,
// accents or blanks, which a case-insensitive collation would take for it,
// stay.
TEST_P(RouteAddressDatasetTest, DeletesExactlyTheRowOfTheKeyAtOnce) {
    RouteAddressDataset seeder(m_database);
    seeder.open();
    for (const QString& twin :
         {QStringLiteral("BOB@example.com"), QStringLiteral("böb@example.com"),
          QStringLiteral("Bob@Example.com ")}) {
        seeder.insert(2, twin);
    }
    seeder.close();

    RouteAddressDataset ra2(m_database);
    ra2.open();
    Rows expected = routeAddressRows(m_connection);
    ra2.deleteRow(keyOf(ra2, QStringLiteral("Bob@Example.com")));
    expected.removeAt(1);
    EXPECT_EQ(routeAddressRows(m_connection), expected);
    // The rows read when opened stay as they were.
    EXPECT_EQ(all(ra2).size(), expected.size() + 1);
    // A key no row has any more deletes nothing.
    ra2.deleteRow(keyOf(ra2, QStringLiteral("Bob@Example.com")));
    EXPECT_EQ(routeAddressRows(m_connection), expected);
    ra2.close();
    ra2.open();
    EXPECT_EQ(all(ra2), addressesOf(expected));
}

TEST_P(RouteAddressDatasetTest, InsertStoresAtOnce) {
    RouteAddressDataset ra2(m_database);
    ra2.open();
    Rows expected = routeAddressRows(m_connection);
    ra2.insert(2, QStringLiteral("Neu@Example.org"));
    // Text beyond ASCII, the empty address and a 64-bit route id are stored
    // as they are.
    ra2.insert(3, QStringLiteral("jürgen.weiß@sub.example.com"));
    ra2.insert(3, QString());
    expected.append({2, QStringLiteral("Neu@Example.org")});
    expected.append({3, QStringLiteral("jürgen.weiß@sub.example.com")});
    expected.append({3, QStringLiteral("")});
    EXPECT_EQ(routeAddressRows(m_connection), expected);

    // Opened again, the table is read anew, inserted rows included.
    ra2.close();
    ra2.open();
    EXPECT_EQ(all(ra2), addressesOf(expected));
}

// A batch reaches the table with its commit, and a rolled back one never.
TEST_P(RouteAddressDatasetTest, ABatchIsStoredWholeOrNotAtAll) {
    RouteAddressDataset ra2(m_database);
    ra2.open();
    Rows expected = routeAddressRows(m_connection);
    ra2.beginBatch();
    ra2.insert(2, QStringLiteral("eins@example.org"));
    ra2.deleteRow(keyOf(ra2, QStringLiteral("alice@example.com")));
    ra2.commitBatch();
    expected.removeFirst();
    expected.append({2, QStringLiteral("eins@example.org")});
    EXPECT_EQ(routeAddressRows(m_connection), expected);

    ra2.beginBatch();
    ra2.insert(2, QStringLiteral("zwei@example.org"));
    ra2.deleteRow(keyOf(ra2, QStringLiteral("carol@example.com")));
    ra2.rollbackBatch();
    ra2.rollbackBatch(); // without a transaction: nothing
    EXPECT_EQ(routeAddressRows(m_connection), expected);

    // Closed in the middle of a batch: the batch goes.
    ra2.beginBatch();
    ra2.insert(2, QStringLiteral("drei@example.org"));
    ra2.close();
    EXPECT_EQ(routeAddressRows(m_connection), expected);
    // After a batch every change is stored at once again.
    ra2.open();
    ra2.insert(2, QStringLiteral("vier@example.org"));
    expected.append({2, QStringLiteral("vier@example.org")});
    EXPECT_EQ(routeAddressRows(m_connection), expected);
}

// The rows as the server gives them back, named by entries as the run names
// them: the whole value, the case of A to Z ignored and nothing else.
TEST_P(RouteAddressDatasetTest, EntriesNameTheRowsTheServerHoldsIgnoringOnlyAsciiCase) {
    RouteAddressDataset ra2(m_database);
    ra2.open();
    ra2.insert(2, QStringLiteral("DAVE@example.org"));
    ra2.insert(1, QStringLiteral("\u00c4X@example.com"));
    ra2.insert(1, QStringLiteral("\u00e4x@example.com"));
    ra2.insert(2, QString());
    ra2.insert(3, QStringLiteral("\u20acuro.\u0141\u00f3d\u017a@Example.com"));
    ra2.close();
    ra2.open();

    // The rows that entries name, and the entries that name none, as the
    // plan of a run over every route of an empty route list finds them.
    const auto named = [&](const QStringList& entries) {
        WorkingList list;
        list.assign(entries);
        QList<Route> routes;
        for (const QString& entry : entries) {
            const qsizetype at = entry.indexOf(u'@');
            if (at >= 0) {
                routes.append({qint64(routes.size() + 1), entry.mid(at + 1).toLower()});
            }
        }
        const SyncPlan plan = planSynchronisation(QStringLiteral("*"), list, routes, ra2.rows());
        QStringList deleted;
        QStringList inserted;
        for (const PlannedChange& change : plan.changes) {
            (change.kind == PlannedChange::Kind::Delete ? deleted : inserted)
                .append(change.address);
        }
        QStringList rows;
        for (int i = 0; i < ra2.rows().size(); ++i) {
            if (!deleted.contains(AsciiCase::lower(addressOf(ra2.rows(), i)))) {
                rows.append(addressOf(ra2.rows(), i));
            }
        }
        return qMakePair(rows, inserted);
    };
    using Named = QPair<QStringList, QStringList>;
    EXPECT_EQ(named({"BOB@EXAMPLE.COM", "Judy@Mail.Example.NET"}),
              Named({"Bob@Example.com", "judy@mail.example.net"}, {}));
    // Whole values only.
    EXPECT_EQ(named({"judy@mail.example", " judy@mail.example.net", "frank@sub.example.com "}),
              Named({}, {"judy@mail.example", " judy@mail.example.net", "frank@sub.example.com "}));
    // Every row of an address, in table order, and each entry of it.
    EXPECT_EQ(named({"Dave@Example.ORG", "nobody@example.org", "dave@example.org"}),
              Named({"dave@example.org", "DAVE@example.org"}, {"nobody@example.org"}));
    // Letters beyond A to Z keep their case, as the server stored them.
    EXPECT_EQ(named({"\u00c4X@EXAMPLE.COM"}), Named({"\u00c4X@example.com"}, {}));
    EXPECT_EQ(named({"\u00e4X@Example.com"}), Named({"\u00e4x@example.com"}, {}));
    EXPECT_EQ(named({"\u20acURO.\u0141\u00f3d\u017a@EXAMPLE.COM",
                     "\u20acuro.\u0142\u00f3d\u017a@example.com"}),
              Named({"\u20acuro.\u0141\u00f3d\u017a@Example.com"},
                    {"\u20acuro.\u0142\u00f3d\u017a@example.com"}));
    // An empty address is a value like any other.
    EXPECT_EQ(named({QString()}), Named({QString()}, {}));
    EXPECT_EQ(named({}), Named({}, {}));
}

TEST_P(RouteAddressDatasetTest, DatabaseErrorsCarryTheDriversText) {
    RouteAddressDataset ra2(m_database);
    ra2.open();
    execSql(m_connection, QStringLiteral("drop table hm_routeaddresses"));
    try {
        ra2.insert(1, QStringLiteral("x@example.com"));
        ADD_FAILURE() << "inserted without the table";
    } catch (const DbError& error) {
        EXPECT_FALSE(error.message().isEmpty());
    }
    ra2.close();
    try {
        ra2.open();
        ADD_FAILURE() << "opened without the table";
    } catch (const DbError& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("hm_routeaddresses")))
            << error.message().toStdString();
    }
    EXPECT_FALSE(ra2.isOpen());

    // A table that can be read but not changed (a view that cannot be): the
    // native drivers prepare the changes on the server, before the first;
    // ODBC drivers, also those Windows reaches every server with, may wait
    // for the first execution.
    if (m_database.handle().driverName() == QStringLiteral("QODBC")) {
        return;
    }
    execSql(m_connection, QStringLiteral("create table kept (routeaddressid integer, "
                                         "routeaddressrouteid integer, "
                                         "routeaddressaddress varchar(255))"));
    execSql(m_connection, QStringLiteral("create view hm_routeaddresses as select distinct "
                                         "routeaddressid, routeaddressrouteid, "
                                         "routeaddressaddress from kept"));
    try {
        ra2.open();
        ADD_FAILURE() << "opened a table that cannot be changed";
    } catch (const DbError& error) {
        EXPECT_TRUE(error.message().startsWith(
            QStringLiteral("Die Änderungen an der Tabelle hm_routeaddresses lassen sich nicht "
                           "vorbereiten; es wurde nichts geändert (")))
            << error.message().toStdString();
    }
    EXPECT_FALSE(ra2.isOpen());
}

// The table is read exactly as the driver gives it, whatever the column holds.
TEST_P(RouteAddressDatasetTest, ReadsEveryKindOfAddressAsTheDriverGivesIt) {
    const QString insert = routeAddressInsert();
    // The mail server's utf8 tables on MariaDB hold no character beyond the
    // first 65,536.
    const QString beyond = serverOf(GetParam()) == Backend::MariaDb
                               ? QStringLiteral("smile@example.com")
                               : QStringLiteral("\U0001F600@example.com");
    // Ø, Ù, Ú, Û and ヘ hold a UTF-16 unit whose low byte one driver took
    // for half of a surrogate pair, reading the address a letter short.
    const QStringList written = {QStringLiteral("rené@example.com"),
                                 QStringLiteral("日本@example.jp"),
                                 beyond,
                                 QString(),
                                 QStringLiteral("Ølaf.Ùrsula.Ú.Û@example.dk"),
                                 QStringLiteral("ヘテ@example.jp"),
                                 QStringLiteral("Ä@Ö.de"),
                                 QStringLiteral("tab\there@example.com"),
                                 QString(255, u'x')};
    for (const QString& address : written) {
        Database db;
        db.setConnectionString(m_connection);
        db.open();
        QSqlQuery query(db.handle());
        ASSERT_TRUE(query.prepare(insert));
        query.addBindValue(2);
        query.addBindValue(db.text(address));
        ASSERT_TRUE(query.exec()) << query.lastError().text().toStdString();
    }
    const bool sqlite = serverOf(GetParam()) == Backend::Sqlite;
    if (sqlite) {
        // SQLite keeps what it is given: a number as text, bytes as a BLOB,
        // bytes that are no UTF-8 as text all the same.
        execSql(m_connection, QStringLiteral("insert into hm_routeaddresses "
                                             "(routeaddressrouteid, routeaddressaddress) "
                                             "values (3, 42), (3, X'626cc3b6624062'), "
                                             "(3, CAST(X'6dfc6c6c657240c0af2ee0802e' AS TEXT)), "
                                             "(3, CAST(X'edb080f4908080ff40' AS TEXT)), "
                                             "(3, X'6dfc6c6c657240c0af')"));
    }
    RouteAddressDataset ra2(m_database);
    ra2.open();
    const Rows table = routeAddressRows(m_connection);
    EXPECT_EQ(all(ra2), addressesOf(table));
    for (const QString& address : written) {
        EXPECT_TRUE(all(ra2).contains(address.isNull() ? QStringLiteral("") : address))
            << address.toStdString();
    }
    if (sqlite) {
        EXPECT_TRUE(table.contains(qMakePair(qint64(3), QStringLiteral("blöb@b"))));
    }
}

TARVELO_DB_BACKENDS(RouteAddressDatasetTest);
