#include "db/RouteAddressDataset.h"
#include "DbBackendTest.h"
#include "core/EntryIndex.h"
#include "core/ListCoverage.h"
#include "db/Database.h"
#include "db/RouteAddressRows.h"
#include "db/SqlExec.h"
#include "db/SqliteNativeRead.h"
#include "platform/TarveloError.h"

#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>

#include <functional>
#include <vector>

namespace {

using Rows = QList<QPair<qint64, QString>>;

using RouteAddressDatasetTest = OpenDbBackendTest;

// The rows from the current one to the end.
Rows rest(RouteAddressDataset& ra2) {
    Rows seen;
    while (!ra2.eof()) {
        seen.append({ra2.routeaddressrouteid(), ra2.routeaddressaddress()});
        ra2.next();
    }
    return seen;
}

Rows all(RouteAddressDataset& ra2) {
    ra2.first();
    return rest(ra2);
}

// Moves to the row with exactly this address (a walk, for the tests only).
void moveTo(RouteAddressDataset& ra2, const QString& address) {
    ra2.first();
    while (!ra2.eof() && ra2.routeaddressaddress() != address) {
        ra2.next();
    }
    ASSERT_FALSE(ra2.eof()) << address.toStdString();
}

} // namespace

TEST_P(RouteAddressDatasetTest, ReadsTheWholeTableInIdOrder) {
    execSql(m_connection, QStringLiteral("insert into hm_routeaddresses "
                                         "(routeaddressrouteid, routeaddressaddress) "
                                         "values (99, 'orphan@nowhere.example')"));
    RouteAddressDataset ra2(m_database);
    EXPECT_TRUE(ra2.eof());
    ra2.open();
    EXPECT_TRUE(ra2.isOpen());
    EXPECT_EQ(ra2.recordCount(), 15);
    // The current row after opening is the first.
    EXPECT_EQ(ra2.routeaddressaddress(), "alice@example.com");
    const Rows table = routeAddressRows(m_connection);
    EXPECT_EQ(rest(ra2), table);
    EXPECT_EQ(table.last(), qMakePair(qint64(99), QStringLiteral("orphan@nowhere.example")));
    EXPECT_TRUE(ra2.eof());
    EXPECT_EQ(ra2.routeaddressrouteid(), 0);
    EXPECT_EQ(ra2.routeaddressaddress(), "");
    ra2.next();
    EXPECT_TRUE(ra2.eof());

    ra2.close();
    EXPECT_FALSE(ra2.isOpen());
    EXPECT_TRUE(ra2.eof());
    EXPECT_EQ(ra2.recordCount(), 0);
    EXPECT_EQ(ra2.routeaddressrouteid(), 0);
    EXPECT_EQ(ra2.routeaddressaddress(), "");
    // A closed dataset refuses every move and change, as the original layer
    // did: a run whose dataset never opened ends before it changes anything.
    for (const auto& refused : std::initializer_list<std::function<void()>>{
             [&] { ra2.first(); }, [&] { ra2.next(); },
             [&] { ra2.insert(1, QStringLiteral("x@example.com")); },
             [&] { ra2.deleteCurrent(); }}) {
        try {
            refused();
            ADD_FAILURE() << "a closed dataset moved or changed";
        } catch (const DbError& error) {
            EXPECT_EQ(error.message(), "Die Datenmenge ist nicht geöffnet");
        }
    }
    EXPECT_EQ(routeAddressRows(m_connection), table);
}

TEST_P(RouteAddressDatasetTest, DeletingMakesTheNextRowCurrentAndReachesTheDatabase) {
    RouteAddressDataset ra2(m_database);
    ra2.open();
    Rows expected = routeAddressRows(m_connection);

    // Two consecutive rows, without stepping between them.
    moveTo(ra2, QStringLiteral("Bob@Example.com"));
    ra2.deleteCurrent();
    EXPECT_EQ(ra2.routeaddressaddress(), "carol@example.com");
    expected.removeAt(1);
    EXPECT_EQ(routeAddressRows(m_connection), expected);
    ra2.deleteCurrent();
    EXPECT_EQ(ra2.routeaddressaddress(), "postmaster@example.com");
    expected.removeAt(1);
    EXPECT_EQ(routeAddressRows(m_connection), expected);
    EXPECT_EQ(ra2.recordCount(), 12);

    // The last row: end of data afterwards.
    moveTo(ra2, QStringLiteral("oscar@mail.example.net"));
    ra2.deleteCurrent();
    EXPECT_TRUE(ra2.eof());
    EXPECT_EQ(ra2.routeaddressaddress(), "");
    EXPECT_THROW(ra2.deleteCurrent(), DbError);
    expected.removeLast();
    EXPECT_EQ(routeAddressRows(m_connection), expected);

    // Walking again skips the deleted rows.
    EXPECT_EQ(all(ra2), expected);

    // Everything, row by row, as the delete pass does.
    ra2.first();
    while (!ra2.eof()) {
        ra2.deleteCurrent();
    }
    EXPECT_EQ(ra2.recordCount(), 0);
    EXPECT_TRUE(routeAddressRows(m_connection).isEmpty());
    ra2.first();
    EXPECT_TRUE(ra2.eof());
}

TEST_P(RouteAddressDatasetTest, InsertStoresAtOnceAndMakesTheRowCurrent) {
    RouteAddressDataset ra2(m_database);
    ra2.open();
    Rows expected = routeAddressRows(m_connection);
    ra2.insert(2, QStringLiteral("Neu@Example.org"));
    EXPECT_FALSE(ra2.eof());
    EXPECT_EQ(ra2.routeaddressrouteid(), 2);
    EXPECT_EQ(ra2.routeaddressaddress(), "Neu@Example.org");
    expected.append({2, QStringLiteral("Neu@Example.org")});
    EXPECT_EQ(routeAddressRows(m_connection), expected);
    EXPECT_EQ(ra2.recordCount(), 15);

    // Text beyond ASCII is stored as it is.
    ra2.insert(3, QStringLiteral("jürgen.weiß@sub.example.com"));
    expected.append({3, QStringLiteral("jürgen.weiß@sub.example.com")});
    EXPECT_EQ(routeAddressRows(m_connection), expected);
    EXPECT_EQ(all(ra2), expected);

    // The inserted row knows its key: deleting it removes exactly that row.
    moveTo(ra2, QStringLiteral("Neu@Example.org"));
    ra2.deleteCurrent();
    expected.removeAt(expected.size() - 2);
    EXPECT_EQ(routeAddressRows(m_connection), expected);
    EXPECT_EQ(ra2.routeaddressaddress(), "jürgen.weiß@sub.example.com");

    // Opened again, the table is read anew, inserted rows included.
    ra2.close();
    ra2.open();
    EXPECT_EQ(all(ra2), expected);
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

    const auto named = [&](const QStringList& entries) {
        EntryIndex index(entries);
        index.build();
        ListCoverage coverage(index, ra2.rows());
        coverage.start({});
        QStringList rows;
        for (ra2.first(); !ra2.eof(); ra2.next()) {
            if (coverage.names(ra2.currentRow())) {
                rows.append(ra2.routeaddressaddress());
            }
        }
        coverage.finish();
        QStringList unnamed;
        for (const int entry : coverage.unnamed()) {
            unnamed.append(entries.at(entry));
        }
        return qMakePair(rows, unnamed);
    };
    using Named = QPair<QStringList, QStringList>;
    EXPECT_EQ(named({"BOB@EXAMPLE.COM", "Judy@Mail.Example.NET"}),
              Named({"Bob@Example.com", "judy@mail.example.net"}, {}));
    // Whole values only; "-" stands for an excepted entry.
    EXPECT_EQ(
        named({"judy@mail.example", " judy@mail.example.net", "frank@sub.example.com ", "-"}),
        Named({}, {"judy@mail.example", " judy@mail.example.net", "frank@sub.example.com ", "-"}));
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

// Many mixed changes against a plain list that plays the table: walking and
// the table itself always agree.
TEST_P(RouteAddressDatasetTest, WalkingAndTheTableAgreeThroughManyChanges) {
    RouteAddressDataset ra2(m_database);
    ra2.open();
    Rows model = routeAddressRows(m_connection);
    QRandomGenerator random(4711);
    const QStringList names = {"a@x.de", "A@X.DE",      "b@x.de",     "B@x.de",
                               "c@y.de", "\u00e4@x.de", "\u00c4@x.de"};
    for (int step = 0; step < 150; ++step) {
        if (random.bounded(2) == 0 || model.isEmpty()) {
            const QString address = names.at(random.bounded(names.size()));
            const int route = random.bounded(1, 5);
            ra2.insert(route, address);
            model.append({route, address});
            ASSERT_EQ(ra2.routeaddressaddress(), address);
            ASSERT_EQ(ra2.currentRow(), ra2.rows().size() - 1);
        } else {
            const int index = random.bounded(int(model.size()));
            ra2.first();
            for (int i = 0; i < index; ++i) {
                ra2.next();
            }
            ra2.deleteCurrent();
            model.removeAt(index);
            if (index < model.size()) {
                ASSERT_EQ(ra2.routeaddressaddress(), model.at(index).second);
                ASSERT_FALSE(ra2.rows().isDeleted(ra2.currentRow()));
            } else {
                ASSERT_TRUE(ra2.eof());
                ASSERT_EQ(ra2.currentRow(), ra2.rows().size());
            }
        }
        ASSERT_EQ(ra2.recordCount(), model.size());
    }
    EXPECT_EQ(all(ra2), model);
    EXPECT_EQ(routeAddressRows(m_connection), model);
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
}

// On SQLite the table is read through the driver's own library, past
// QSqlQuery: it must give exactly what the driver gives, whatever the column
// holds, and fail with the driver's words.
TEST_P(RouteAddressDatasetTest, ReadsEveryKindOfAddressAsTheDriverGivesIt) {
    const QString insert = routeAddressInsert();
    // The mail server's utf8 tables on MariaDB hold no character beyond the
    // first 65,536.
    const QString beyond = serverOf(GetParam()) == Backend::MariaDb
                               ? QStringLiteral("smile@example.com")
                               : QStringLiteral("\U0001F600@example.com");
    for (const QString& address :
         {QStringLiteral("rené@example.com"), QStringLiteral("日本@example.jp"), beyond, QString(),
          QStringLiteral("Ä@Ö.de"), QStringLiteral("tab\there@example.com"), QString(255, u'x')}) {
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
    EXPECT_EQ(all(ra2), table);
    EXPECT_TRUE(table.contains(qMakePair(qint64(2), beyond)));
    if (sqlite) {
        EXPECT_TRUE(table.contains(qMakePair(qint64(3), QStringLiteral("blöb@b"))));
    }

    // Only SQLite is read past QSqlQuery, and only with the driver's library.
    RouteAddressRows rows;
    EXPECT_EQ(SqliteNativeRead::routeAddresses(m_database.handle(),
                                               "select routeaddressid, routeaddressrouteid, "
                                               "routeaddressaddress from hm_routeaddresses",
                                               rows),
              sqlite);
    EXPECT_EQ(rows.size(), sqlite ? table.size() : 0);
    if (sqlite) {
        const char* missing = "select routeaddressid from hm_nosuchtable";
        QSqlQuery query(m_database.handle());
        EXPECT_FALSE(query.exec(QString::fromLatin1(missing)));
        try {
            SqliteNativeRead::routeAddresses(m_database.handle(), missing, rows);
            ADD_FAILURE() << "read a missing table";
        } catch (const DbError& error) {
            EXPECT_EQ(error.message(), SqlExec::driverText(query.lastError()));
        }
    }
}

TARVELO_DB_BACKENDS(RouteAddressDatasetTest);
