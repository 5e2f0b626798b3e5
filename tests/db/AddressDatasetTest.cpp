#include "db/AddressDataset.h"
#include "DbBackendTest.h"
#include "QStringPrinter.h"
#include "db/Database.h"
#include "db/RouteAddressStatements.h"
#include "platform/TarveloError.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <ostream>

namespace {

using Rows = QList<QPair<qint64, QString>>;

// One row of hm_routeaddresses, key included.
struct TableRow {
    qint64 id = 0;
    qint64 route = 0;
    QString address;
    bool operator==(const TableRow&) const = default;
};

void PrintTo(const TableRow& row, std::ostream* out) {
    *out << row.id << " route " << row.route << " \"" << row.address.toStdString() << '"';
}

using Table = QList<TableRow>;

QStringList routeQuery(qint64 routeId) {
    return {QStringLiteral("select routeaddressaddress from hm_routeaddresses"),
            QStringLiteral("where routeaddressrouteid = %1").arg(routeId),
            QStringLiteral("order by routeaddressaddress")};
}

QStringList shown(AddressDataset& address) {
    QStringList rows;
    address.first();
    while (!address.eof()) {
        rows.append(address.Addressrouteaddressaddress());
        address.next();
    }
    return rows;
}

// The text a row shows, read through the model as the grid reads it.
QString addressAt(const AddressDataset& address, int row) {
    return address.data(address.index(row, 0)).toString();
}

int rowShowing(const AddressDataset& address, const QString& text) {
    for (int row = 0; row < address.recordCount(); ++row) {
        if (addressAt(address, row) == text) {
            return row;
        }
    }
    return -1;
}

class AddressDatasetTest : public OpenDbBackendTest {
protected:
    void SetUp() override {
        OpenDbBackendTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        // Another session on the same database, for the test's own reads
        // and writes.
        m_other.setConnectionString(m_connection);
        m_other.open();
    }

    // Loads the addresses of a route as the route grid's click does.
    void load(AddressDataset& address, qint64 routeId) {
        address.close();
        address.setQuery(routeQuery(routeId), routeId);
        address.open();
    }

    QString errorOf(const std::function<void()>& action) {
        try {
            action();
        } catch (const DbError& error) {
            return error.message();
        }
        return QStringLiteral("<no error>");
    }

    // Appends as the grid does: text entered into the empty row for
    // appending. Returns the stored row, or -1 with the message the dataset
    // reported in *error; the empty row then goes again.
    int append(AddressDataset& address, const QString& text, QString* error = nullptr) {
        QString reported;
        address.setErrorSink([&reported](const QString& message) { reported = message; });
        const int row = address.appendPendingRow();
        const bool stored = row >= 0 && address.setData(address.index(row, 0), text);
        address.setErrorSink(nullptr);
        if (error != nullptr) {
            *error = reported;
        }
        if (!stored) {
            address.cancelPendingRow();
            return -1;
        }
        return row;
    }

    QString appendError(AddressDataset& address, const QString& text) {
        QString error;
        append(address, text, &error);
        return error;
    }

    // A statement through the other session; values are bound.
    QSqlQuery run(const QString& sql, const QVariantList& values = {}) {
        QSqlQuery query(m_other.openHandle());
        bool done = false;
        if (values.isEmpty()) {
            done = query.exec(sql);
        } else if (query.prepare(sql)) {
            for (const QVariant& value : values) {
                query.addBindValue(
                    value.typeId() == QMetaType::QString ? m_other.text(value.toString()) : value);
            }
            done = query.exec();
        }
        EXPECT_TRUE(done) << sql.toStdString() << ": " << query.lastError().text().toStdString();
        return query;
    }

    // The whole table in key order.
    Table table() {
        Table rows;
        QSqlQuery query = run(QStringLiteral("select routeaddressid, routeaddressrouteid, "
                                             "routeaddressaddress from hm_routeaddresses "
                                             "order by routeaddressid"));
        while (query.next()) {
            rows.append({query.value(0).toLongLong(), query.value(1).toLongLong(),
                         query.value(2).toString()});
        }
        return rows;
    }

    static void setAddressOf(Table& rows, qint64 id, const QString& address) {
        for (TableRow& row : rows) {
            if (row.id == id) {
                row.address = address;
                return;
            }
        }
        ADD_FAILURE() << "no row " << id;
    }

    static void removeRowOf(Table& rows, qint64 id) {
        EXPECT_EQ(rows.removeIf([id](const TableRow& row) { return row.id == id; }), 1)
            << "no row " << id;
    }

    // Stores a row through the other session and returns its key.
    qint64 storeRow(qint64 routeId, const QString& address) {
        run(QStringLiteral("insert into hm_routeaddresses (routeaddressrouteid, "
                           "routeaddressaddress) values (?, ?)"),
            {routeId, address});
        QSqlQuery query = run(QStringLiteral("select max(routeaddressid) from hm_routeaddresses"));
        return query.next() ? query.value(0).toLongLong() : -1;
    }

    // The key of the route's one row that holds exactly this text.
    qint64 idOf(qint64 routeId, const QString& address) {
        qint64 id = -1;
        int found = 0;
        for (const TableRow& row : table()) {
            if (row.route == routeId && row.address == address) {
                id = row.id;
                ++found;
            }
        }
        EXPECT_EQ(found, 1) << "rows of route " << routeId << " holding " << address.toStdString();
        return id;
    }

    // How many rows of the route the database holds equal to the text.
    qint64 countEqual(qint64 routeId, const QString& text) {
        QSqlQuery query = run(QStringLiteral("select count(*) from hm_routeaddresses where "
                                             "routeaddressrouteid = ? and routeaddressaddress = ?"),
                              {routeId, text});
        return query.next() ? query.value(0).toLongLong() : -1;
    }

    // The addresses the query text gives, in the database's own order.
    QStringList databaseOrder(const QStringList& lines) {
        QStringList rows;
        QSqlQuery query = run(lines.join(QStringLiteral("\r\n")));
        while (query.next()) {
            rows.append(query.value(0).toString());
        }
        return rows;
    }

    // The next keys the tables hand out.
    void setNextIds(qint64 routeId, qint64 rowId) {
        switch (serverOf(GetParam())) {
        case Backend::Sqlite:
            run(QStringLiteral("update sqlite_sequence set seq = ? where name = 'hm_routes'"),
                {routeId - 1});
            run(QStringLiteral("update sqlite_sequence set seq = ? "
                               "where name = 'hm_routeaddresses'"),
                {rowId - 1});
            break;
        case Backend::Postgres:
            run(QStringLiteral("alter sequence hm_routes_routeid_seq restart with %1")
                    .arg(routeId));
            run(QStringLiteral("alter sequence hm_routeaddresses_routeaddressid_seq "
                               "restart with %1")
                    .arg(rowId));
            break;
        case Backend::MariaDb:
            run(QStringLiteral("alter table hm_routes auto_increment = %1").arg(routeId));
            run(QStringLiteral("alter table hm_routeaddresses auto_increment = %1").arg(rowId));
            break;
        default:
            FAIL() << "no database system";
        }
    }

    Database m_other;
};

} // namespace

// The column holds 255 characters as the server counts them: SQL Server in
// UTF-16 units, where an emoji takes two, the others in characters. A
// server not known is held to the stricter count.
TEST(AddressColumn, IsMeasuredAsTheServerCountsIt) {
    using Server = ConnectionSettings::Server;
    const QString emoji = QStringLiteral("\U0001F600");
    const QList<Server> counting = {Server::Sqlite, Server::Postgres, Server::MySql};
    const QList<Server> inUnits = {Server::SqlServer, Server::OtherOdbc};
    struct Case {
        QString address;
        bool tooLongCounted;
        bool tooLongInUnits;
    };
    const QList<Case> cases = {
        {QString(255, u'a'), false, false},        {QString(256, u'a'), true, true},
        {emoji.repeated(127) + "a", false, false}, // 128 characters, 255 units
        {emoji.repeated(128), false, true},        // 128 characters, 256 units
        {emoji.repeated(255), false, true},        // 255 characters
        {emoji.repeated(255) + "a", true, true},   // 256 characters
        {QString(256, QChar(0xD800)), true, true}, // lone halves count one each
    };
    for (const Case& c : cases) {
        for (const Server server : counting) {
            EXPECT_EQ(RouteAddressStatements::tooLong(c.address, server), c.tooLongCounted)
                << c.address.size() << " units, server " << int(server);
        }
        for (const Server server : inUnits) {
            EXPECT_EQ(RouteAddressStatements::tooLong(c.address, server), c.tooLongInUnits)
                << c.address.size() << " units, server " << int(server);
        }
    }
}

TEST(AddressQuery, InitialTextLineByLine) {
    EXPECT_EQ(AddressDataset::initialQueryLines(),
              QStringList({"select routeaddressaddress from hm_routeaddresses",
                           "order by routeaddressaddress"}));
}

TEST_P(AddressDatasetTest, RunsItsQueryTextAsGiven) {
    AddressDataset address(m_database);
    EXPECT_EQ(address.routeId(), -1);
    EXPECT_FALSE(address.isOpen());
    EXPECT_TRUE(address.eof());
    EXPECT_EQ(address.Addressrouteaddressaddress(), "");

    // The initial query: every route's addresses, in the database's order
    // (MariaDB's collation orders regardless of case).
    address.open();
    ASSERT_EQ(address.rowCount(), 14);
    EXPECT_EQ(shown(address), databaseOrder(AddressDataset::initialQueryLines()));

    load(address, 1);
    EXPECT_EQ(address.routeId(), 1);
    EXPECT_EQ(address.currentRow(), 0);
    const QStringList route1 = shown(address);
    EXPECT_EQ(route1, databaseOrder(routeQuery(1)));
    QStringList sorted = route1;
    sorted.sort(Qt::CaseInsensitive);
    EXPECT_EQ(sorted, QStringList({"alice@example.com", "Bob@Example.com", "carol@example.com",
                                   "postmaster@example.com"}));
    // Afterwards the dataset stands at its end.
    EXPECT_TRUE(address.eof());
    EXPECT_EQ(address.Addressrouteaddressaddress(), "");
    EXPECT_EQ(address.currentRow(), 4);
    address.next();
    EXPECT_EQ(address.currentRow(), 4);

    // A route without addresses (route 0 when there are no routes).
    load(address, 0);
    EXPECT_TRUE(address.isOpen());
    EXPECT_EQ(address.rowCount(), 0);
    EXPECT_EQ(address.currentRow(), -1);
    EXPECT_TRUE(address.eof());
    address.first();
    EXPECT_TRUE(address.eof());

    // Closed, it refuses to move; its field reads empty.
    address.close();
    EXPECT_FALSE(address.isOpen());
    EXPECT_EQ(address.rowCount(), 0);
    EXPECT_EQ(errorOf([&] { address.first(); }), "Die Datenmenge ist nicht geöffnet");
    EXPECT_EQ(errorOf([&] { address.next(); }), "Die Datenmenge ist nicht geöffnet");
    EXPECT_EQ(address.Addressrouteaddressaddress(), "");
}

TEST_P(AddressDatasetTest, QueryErrorsCarryTheDriversTextAndLeaveItClosed) {
    AddressDataset address(m_database);
    address.setQuery({QStringLiteral("select routeaddressaddress from hm_nichtda")}, 1);
    const QString message = errorOf([&] { address.open(); });
    EXPECT_TRUE(message.contains(QStringLiteral("hm_nichtda"))) << message.toStdString();
    EXPECT_FALSE(address.isOpen());

    // Rows without their key cannot be written back.
    address.setQuery({QStringLiteral("delete from hm_routeaddresses")}, 1);
    EXPECT_EQ(errorOf([&] { address.open(); }),
              "Die Abfrage der Adressen muss mit \"select\" beginnen");
    EXPECT_FALSE(address.isOpen());
    EXPECT_EQ(table().size(), 14);

    Database closed;
    AddressDataset unconnected(closed);
    EXPECT_EQ(errorOf([&] { unconnected.open(); }),
              "Die Verbindung zur Datenbank ist nicht geöffnet");
}

TEST_P(AddressDatasetTest, EditsReachTheDatabaseAtOnce) {
    AddressDataset address(m_database);
    load(address, 2); // dave, erin, info @example.org
    Rows expected = routeAddressRows(m_connection);

    QSignalSpy changed(&address, &QAbstractItemModel::dataChanged);
    address.setAddress(1, QStringLiteral("Erin.Neu@example.org"));
    EXPECT_EQ(changed.size(), 1);
    EXPECT_EQ(addressAt(address, 1), "Erin.Neu@example.org");
    const int erin =
        int(expected.indexOf(qMakePair(qint64(2), QStringLiteral("erin@example.org"))));
    ASSERT_GE(erin, 0);
    expected[erin].second = QStringLiteral("Erin.Neu@example.org");
    EXPECT_EQ(routeAddressRows(m_connection), expected);

    // Emptied, or left with blanks only, an address would stay in the table
    // as a row no mail matches: refused, kept.
    for (const QString& emptied : {QString(), QStringLiteral("   "), QStringLiteral(" \t")}) {
        EXPECT_EQ(errorOf([&] { address.setAddress(1, emptied); }),
                  "Eine Adresse kann nicht geleert werden: \"Erin.Neu@example.org\" bleibt "
                  "stehen (Löschen mit Strg+Entf)");
    }
    EXPECT_EQ(addressAt(address, 1), "Erin.Neu@example.org");
    EXPECT_EQ(changed.size(), 1);
    EXPECT_EQ(routeAddressRows(m_connection), expected);

    QSignalSpy appended(&address, &QAbstractItemModel::rowsInserted);
    EXPECT_EQ(append(address, QStringLiteral("neu@example.org")), 3);
    EXPECT_EQ(appended.size(), 1);
    EXPECT_EQ(address.currentRow(), 3);
    EXPECT_EQ(address.Addressrouteaddressaddress(), "neu@example.org");
    expected.append({2, QStringLiteral("neu@example.org")});
    EXPECT_EQ(routeAddressRows(m_connection), expected);
    // It carries its new key: an edit reaches the stored row.
    address.setAddress(3, QStringLiteral("neu2@example.org"));
    expected.last().second = QStringLiteral("neu2@example.org");
    EXPECT_EQ(routeAddressRows(m_connection), expected);

    QSignalSpy removed(&address, &QAbstractItemModel::rowsRemoved);
    address.setCurrentRow(0);
    address.deleteRow(0); // dave
    EXPECT_EQ(removed.size(), 1);
    EXPECT_EQ(address.rowCount(), 3);
    EXPECT_EQ(address.Addressrouteaddressaddress(), "Erin.Neu@example.org");
    expected.removeOne(qMakePair(qint64(2), QStringLiteral("dave@example.org")));
    EXPECT_EQ(routeAddressRows(m_connection), expected);

    // Loaded again, the database's order holds.
    load(address, 2);
    EXPECT_EQ(shown(address),
              QStringList({"Erin.Neu@example.org", "info@example.org", "neu2@example.org"}));
}

TEST_P(AddressDatasetTest, OnlyOneOfEqualRowsChangesAndOnlyInTheLoadedRoute) {
    // The same address twice in route 2 and once in route 3.
    storeRow(3, QStringLiteral("same@example.org"));
    storeRow(2, QStringLiteral("same@example.org"));
    storeRow(2, QStringLiteral("same@example.org"));
    AddressDataset address(m_database);
    load(address, 2);
    ASSERT_EQ(addressAt(address, 3), "same@example.org");
    ASSERT_EQ(addressAt(address, 4), "same@example.org");
    Table expected = table();
    address.setAddress(4, QStringLiteral("other@example.org"));
    // One of route 2's two rows changed, the other and route 3's row stayed.
    const qint64 changed = idOf(2, QStringLiteral("other@example.org"));
    const qint64 twin = idOf(2, QStringLiteral("same@example.org"));
    EXPECT_NE(changed, twin);
    setAddressOf(expected, changed, QStringLiteral("other@example.org"));
    EXPECT_EQ(table(), expected);

    removeRowOf(expected, twin);
    address.deleteRow(3);
    EXPECT_EQ(table(), expected);
    EXPECT_EQ(expected.size(), 16);
}

// Addresses that MariaDB's (and SQL Server's) collation holds equal: the
// grid changes exactly the row it shows, never its twin.
TEST_P(AddressDatasetTest, EditsAndDeletionsReachTheRowShownBesideItsCollationTwin) {
    struct Twins {
        QString other;
        QString shown;
    };
    const QList<Twins> cases = {
        {QStringLiteral("Bob@twins.example"), QStringLiteral("bob@twins.example")},
        {QStringLiteral("rene@twins.example"), QStringLiteral("ren\u00e9@twins.example")},
        {QStringLiteral("trail@twins.example "), QStringLiteral("trail@twins.example")},
    };
    const bool caseAndAccentBlind = serverOf(GetParam()) == Backend::MariaDb;
    AddressDataset address(m_database);
    QAbstractItemModelTester tester(&address,
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    int n = 0;
    for (const Twins& twins : cases) {
        // The twin stored first holds the lower key, and the other way round.
        for (const bool otherFirst : {true, false}) {
            SCOPED_TRACE(twins.shown.toStdString() + (otherFirst ? " after" : " before") +
                         " its twin");
            const qint64 route =
                insertRoute(m_connection, QStringLiteral("twins%1.example").arg(++n));
            if (otherFirst) {
                storeRow(route, twins.other);
                storeRow(route, twins.shown);
            } else {
                storeRow(route, twins.shown);
                storeRow(route, twins.other);
            }
            EXPECT_EQ(countEqual(route, twins.shown), caseAndAccentBlind ? 2 : 1);

            load(address, route);
            ASSERT_EQ(address.rowCount(), 2);
            const int row = rowShowing(address, twins.shown);
            ASSERT_GE(row, 0);
            const qint64 id = idOf(route, twins.shown);
            const Table original = table();

            Table expected = original;
            const QString changed = QStringLiteral("neu%1@twins.example").arg(n);
            address.setAddress(row, changed);
            setAddressOf(expected, id, changed);
            EXPECT_EQ(table(), expected);
            EXPECT_EQ(addressAt(address, 1 - row), twins.other);

            // Back again, and then deleted.
            address.setAddress(row, twins.shown);
            EXPECT_EQ(table(), original);
            address.deleteRow(row);
            expected = original;
            removeRowOf(expected, id);
            EXPECT_EQ(table(), expected);
            ASSERT_EQ(address.rowCount(), 1);
            EXPECT_EQ(addressAt(address, 0), twins.other);

            // Appended beside its twin: the loaded route's row, found by its
            // own key afterwards.
            const int added = append(address, twins.shown);
            ASSERT_EQ(added, 1);
            const TableRow stored = table().last();
            EXPECT_EQ(stored.route, route);
            EXPECT_EQ(stored.address, twins.shown);
            address.setAddress(added, changed);
            expected.append({stored.id, route, changed});
            EXPECT_EQ(table(), expected);
            address.deleteRow(added);
            expected.removeLast();
            EXPECT_EQ(table(), expected);
        }
    }
}

// The mail server's keys are bigserial on PostgreSQL, and SQLite's integer
// is 64-bit; MariaDB's keys are the mail server's int and mediumint(9), so
// there the ids go to the top of their range.
TEST_P(AddressDatasetTest, KeysBeyondThirtyTwoBitsReachTheirRows) {
    const bool mariaDb = serverOf(GetParam()) == Backend::MariaDb;
    // Cut to 32 bits, these would be route 2 and row 1 (alice@example.com).
    const qint64 routeId = mariaDb ? 2147483647 : 4294967298;
    const qint64 rowId = mariaDb ? 8388600 : 4294967297;
    setNextIds(routeId, rowId);
    const qint64 route = insertRoute(m_connection, QStringLiteral("hoch.example"));
    ASSERT_EQ(route, routeId);
    ASSERT_EQ(storeRow(route, QStringLiteral("hoch@hoch.example")), rowId);

    AddressDataset address(m_database);
    load(address, route);
    EXPECT_EQ(address.routeId(), routeId);
    // Only the route's own row, not route 2's.
    ASSERT_EQ(address.rowCount(), 1);
    EXPECT_EQ(addressAt(address, 0), "hoch@hoch.example");

    Table expected = table();
    address.setAddress(0, QStringLiteral("neu@hoch.example"));
    setAddressOf(expected, rowId, QStringLiteral("neu@hoch.example"));
    EXPECT_EQ(table(), expected);

    // An appended row: the loaded route's id in full, the next key.
    ASSERT_EQ(append(address, QStringLiteral("dazu@hoch.example")), 1);
    expected.append({rowId + 1, routeId, QStringLiteral("dazu@hoch.example")});
    EXPECT_EQ(table(), expected);
    address.setAddress(1, QStringLiteral("Dazu@hoch.example"));
    setAddressOf(expected, rowId + 1, QStringLiteral("Dazu@hoch.example"));
    EXPECT_EQ(table(), expected);

    address.deleteRow(0);
    removeRowOf(expected, rowId);
    EXPECT_EQ(table(), expected);
    address.deleteRow(0);
    removeRowOf(expected, rowId + 1);
    EXPECT_EQ(table(), expected);
    EXPECT_EQ(expected.first(), (TableRow{1, 1, QStringLiteral("alice@example.com")}));
    EXPECT_EQ(expected.size(), 14);
}

TEST_P(AddressDatasetTest, ChangesThatCannotBeMadeRaiseAndChangeNothing) {
    AddressDataset address(m_database);
    load(address, 2);
    // Gone meanwhile through another connection.
    run(QStringLiteral("delete from hm_routeaddresses where routeaddressaddress = ?"),
        {QStringLiteral("erin@example.org")});
    const Rows before = routeAddressRows(m_connection);
    EXPECT_EQ(errorOf([&] { address.setAddress(1, QStringLiteral("x@example.org")); }),
              "Die zu ändernde Zeile wurde nicht gefunden");
    EXPECT_EQ(errorOf([&] { address.deleteRow(1); }),
              "Die zu löschende Zeile wurde nicht gefunden");
    EXPECT_EQ(addressAt(address, 1), "erin@example.org");
    EXPECT_EQ(address.rowCount(), 3);

    // Longer than the column.
    EXPECT_EQ(errorOf([&] { address.setAddress(0, QString(256, u'a')); }),
              "Die Adresse ist länger als 255 Zeichen");
    EXPECT_EQ(appendError(address, QString(256, u'a')), "Die Adresse ist länger als 255 Zeichen");
    EXPECT_EQ(routeAddressRows(m_connection), before);
    // A line break, as a paste of two lines brings it into the cell editor:
    // the grid shows one line, the export would write two.
    for (const QString broken : {"x@example.org\r\ny@example.org", "x@example.org\n", "\rx@o"}) {
        EXPECT_EQ(errorOf([&] { address.setAddress(0, broken); }),
                  "Die Adresse enthält einen Zeilenumbruch");
        EXPECT_EQ(appendError(address, broken), "Die Adresse enthält einen Zeilenumbruch");
    }
    EXPECT_EQ(routeAddressRows(m_connection), before);
    // A leading byte-order mark: SQLite would drop it or swap the address's
    // bytes, the other drivers drop it when the row is read again.
    for (const char* mark : {"FEFF", "FFFE"}) {
        const QString marked = QChar(char16_t(QString::fromLatin1(mark).toUShort(nullptr, 16))) +
                               QStringLiteral("x@example.org");
        const QString message = QStringLiteral("Die Adresse beginnt mit einer Byte-Order-Mark "
                                               "(U+%1), die nicht jede Datenbank speichert")
                                    .arg(QLatin1String(mark));
        EXPECT_EQ(errorOf([&] { address.setAddress(0, marked); }), message);
        EXPECT_EQ(appendError(address, marked), message);
        const QString within = QStringLiteral("x") + marked;
        if (within.contains(QChar(0xFFFE))) {
            const QString refused = QStringLiteral("Die Adresse enthält das Zeichen U+FFFE, das "
                                                   "nicht jede Datenbank speichert");
            EXPECT_EQ(errorOf([&] { address.setAddress(0, within); }), refused);
            EXPECT_EQ(appendError(address, within), refused);
        }
    }
    EXPECT_EQ(routeAddressRows(m_connection), before);
    // A character beyond the basic plane, which MariaDB's utf8 column cannot
    // hold: a server that is not strict would store '?' in its place.
    if (serverOf(GetParam()) == Backend::MariaDb) {
        QSqlQuery lax(m_database.openHandle());
        ASSERT_TRUE(lax.exec(QStringLiteral("SET SESSION sql_mode = ''")));
        const QString beyond = QStringLiteral("x\U0001F600@example.org");
        const QString refused = QStringLiteral("Die Adresse enthält ein Zeichen, das die Tabelle "
                                               "hm_routeaddresses (utf8) nicht speichern kann");
        EXPECT_EQ(errorOf([&] { address.setAddress(0, beyond); }), refused);
        EXPECT_EQ(appendError(address, beyond), refused);
        EXPECT_EQ(routeAddressRows(m_connection), before);
    }
    // 255 characters fit.
    EXPECT_EQ(append(address, QString(255, u'a')), 3);
    EXPECT_EQ(routeAddressRows(m_connection).last().second, QString(255, u'a'));
    // So do 200 emoji and "@example.org", 412 UTF-16 units but 212
    // characters, where the column holds them at all.
    if (serverOf(GetParam()) != Backend::MariaDb) {
        const QString wide = QStringLiteral("\U0001F600").repeated(200) + "@example.org";
        address.setAddress(0, wide);
        const Rows rows = routeAddressRows(m_connection);
        EXPECT_TRUE(std::any_of(rows.cbegin(), rows.cend(),
                                [&](const auto& row) { return row.second == wide; }));
    }

    // Rows outside the dataset, and a closed dataset.
    EXPECT_EQ(errorOf([&] { address.deleteRow(9); }), "Es gibt keinen Datensatz 10");
    address.close();
    EXPECT_EQ(append(address, QStringLiteral("y@example.org")), -1)
        << "a closed dataset takes no row";
    EXPECT_EQ(errorOf([&] { address.deleteRow(0); }), "Die Datenmenge ist nicht geöffnet");

    // The query over all routes names no route to append to.
    AddressDataset all(m_database);
    all.open();
    EXPECT_EQ(appendError(all, QStringLiteral("y@example.org")),
              "Keine Route geladen: die Adresse gehört zu keiner Route");
    EXPECT_EQ(all.rowCount(), 14);
}

TEST_P(AddressDatasetTest, AnEditToTheTextTheRowHoldsAlreadyIsNoError) {
    // Another session made the same change first: the row is there, and
    // MySQL reports it unchanged.
    AddressDataset address(m_database);
    load(address, 2);
    const int dave = rowShowing(address, QStringLiteral("dave@example.org"));
    ASSERT_GE(dave, 0);
    run(QStringLiteral("update hm_routeaddresses set routeaddressaddress = ? "
                       "where routeaddressid = ?"),
        {QStringLiteral("david@example.org"), idOf(2, QStringLiteral("dave@example.org"))});
    Table expected = table();
    EXPECT_EQ(errorOf([&] { address.setAddress(dave, QStringLiteral("david@example.org")); }),
              "<no error>");
    EXPECT_EQ(addressAt(address, dave), "david@example.org");
    EXPECT_EQ(table(), expected);
}

TEST_P(AddressDatasetTest, EditsInTheQueryOverAllRoutesReachTheRowShown) {
    storeRow(1, QStringLiteral("bob@example.com")); // Bob@Example.com's twin
    AddressDataset address(m_database);
    address.open();
    const int bob = rowShowing(address, QStringLiteral("Bob@Example.com"));
    ASSERT_GE(bob, 0);
    const qint64 id = idOf(1, QStringLiteral("Bob@Example.com"));
    Table expected = table();
    address.setAddress(bob, QStringLiteral("robert@example.com"));
    setAddressOf(expected, id, QStringLiteral("robert@example.com"));
    EXPECT_EQ(table(), expected);
    EXPECT_EQ(expected.at(1), (TableRow{2, 1, QStringLiteral("robert@example.com")}));
    address.deleteRow(bob);
    removeRowOf(expected, id);
    EXPECT_EQ(table(), expected);
    EXPECT_EQ(expected.size(), 14);
    EXPECT_EQ(expected.last().address, "bob@example.com");
}

TARVELO_DB_BACKENDS(AddressDatasetTest);
