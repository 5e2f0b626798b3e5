#include "db/AddressDataset.h"
#include "DbBackendTest.h"
#include "db/Database.h"
#include "platform/TarveloError.h"

#include <QSignalSpy>

namespace {

using Rows = QList<QPair<qint64, QString>>;

QStringList routeQuery(int routeId) {
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

class AddressDatasetTest : public OpenDbBackendTest {
protected:
    // Loads the addresses of a route as the route grid's click does.
    void load(AddressDataset& address, int routeId) {
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
};

} // namespace

TEST(AddressQuery, InitialTextLineByLine) {
    EXPECT_EQ(AddressDataset::initialQueryLines(),
              QStringList({"select routeaddressaddress from hm_routeaddresses",
                           "order by routeaddressaddress"}));
}

TEST_P(AddressDatasetTest, RunsItsQueryTextAsGiven) {
    AddressDataset address(m_database);
    EXPECT_EQ(address.queryLines(), AddressDataset::initialQueryLines());
    EXPECT_FALSE(address.isOpen());
    EXPECT_TRUE(address.eof());
    EXPECT_EQ(address.Addressrouteaddressaddress(), "");

    // The initial query: every route's addresses, in the database's order.
    address.open();
    EXPECT_EQ(address.rowCount(), 14);
    EXPECT_EQ(address.addressAt(0), "Bob@Example.com");
    EXPECT_EQ(address.addressAt(1), "alice@example.com");

    load(address, 1);
    EXPECT_EQ(address.queryLines(), routeQuery(1));
    EXPECT_EQ(address.currentRow(), 0);
    EXPECT_EQ(shown(address), QStringList({"Bob@Example.com", "alice@example.com",
                                           "carol@example.com", "postmaster@example.com"}));
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

    address.close();
    EXPECT_FALSE(address.isOpen());
    EXPECT_EQ(address.rowCount(), 0);
}

TEST_P(AddressDatasetTest, QueryErrorsCarryTheDriversTextAndLeaveItClosed) {
    AddressDataset address(m_database);
    address.setQuery({QStringLiteral("select routeaddressaddress from hm_nichtda")}, 1);
    const QString message = errorOf([&] { address.open(); });
    EXPECT_TRUE(message.contains(QStringLiteral("hm_nichtda"))) << message.toStdString();
    EXPECT_FALSE(address.isOpen());

    Database closed;
    AddressDataset unconnected(closed);
    EXPECT_EQ(errorOf([&] { unconnected.open(); }),
              "Die Verbindung zur Datenbank ist nicht geöffnet");
}

TEST_P(AddressDatasetTest, EditsReachTheDatabaseAtOnce) {
    AddressDataset address(m_database);
    load(address, 2); // dave, erin, info @example.org
    Rows expected = routeAddressRows(m_connection);

    QSignalSpy changed(&address, &AddressDataset::rowChanged);
    address.setAddress(1, QStringLiteral("Erin.Neu@example.org"));
    EXPECT_EQ(changed.size(), 1);
    EXPECT_EQ(address.addressAt(1), "Erin.Neu@example.org");
    const int erin = int(expected.indexOf(qMakePair(qint64(2), QStringLiteral("erin@example.org"))));
    ASSERT_GE(erin, 0);
    expected[erin].second = QStringLiteral("Erin.Neu@example.org");
    EXPECT_EQ(routeAddressRows(m_connection), expected);

    QSignalSpy appended(&address, &AddressDataset::rowAppended);
    EXPECT_EQ(address.appendRow(QStringLiteral("neu@example.org")), 3);
    EXPECT_EQ(appended.size(), 1);
    EXPECT_EQ(address.currentRow(), 3);
    EXPECT_EQ(address.Addressrouteaddressaddress(), "neu@example.org");
    expected.append({2, QStringLiteral("neu@example.org")});
    EXPECT_EQ(routeAddressRows(m_connection), expected);

    QSignalSpy removed(&address, &AddressDataset::rowRemoved);
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
              QStringList({"Erin.Neu@example.org", "info@example.org", "neu@example.org"}));
}

TEST_P(AddressDatasetTest, OnlyOneOfEqualRowsChangesAndOnlyInTheLoadedRoute) {
    // The same address twice in route 2 and once in route 3.
    execSql(
        m_connection,
        QStringLiteral("insert into hm_routeaddresses (routeaddressrouteid, routeaddressaddress) "
                       "values (3, 'same@example.org');"
                       "insert into hm_routeaddresses (routeaddressrouteid, routeaddressaddress) "
                       "values (2, 'same@example.org');"
                       "insert into hm_routeaddresses (routeaddressrouteid, routeaddressaddress) "
                       "values (2, 'same@example.org');"));
    AddressDataset address(m_database);
    load(address, 2);
    ASSERT_EQ(address.addressAt(3), "same@example.org");
    ASSERT_EQ(address.addressAt(4), "same@example.org");
    address.setAddress(4, QStringLiteral("other@example.org"));
    Rows rows = routeAddressRows(m_connection);
    EXPECT_EQ(rows.count({3, QStringLiteral("same@example.org")}), 1);
    EXPECT_EQ(rows.count({2, QStringLiteral("same@example.org")}), 1);
    EXPECT_EQ(rows.count({2, QStringLiteral("other@example.org")}), 1);

    address.deleteRow(3);
    rows = routeAddressRows(m_connection);
    EXPECT_EQ(rows.count({3, QStringLiteral("same@example.org")}), 1);
    EXPECT_EQ(rows.count({2, QStringLiteral("same@example.org")}), 0);
    EXPECT_EQ(rows.size(), 16);
}

TEST_P(AddressDatasetTest, ChangesThatCannotBeMadeRaiseAndChangeNothing) {
    AddressDataset address(m_database);
    load(address, 2);
    // Gone meanwhile through another connection.
    execSql(m_connection, QStringLiteral("delete from hm_routeaddresses "
                                         "where routeaddressaddress = 'erin@example.org'"));
    const Rows before = routeAddressRows(m_connection);
    EXPECT_EQ(errorOf([&] { address.setAddress(1, QStringLiteral("x@example.org")); }),
              "Die zu ändernde Zeile wurde nicht gefunden");
    EXPECT_EQ(errorOf([&] { address.deleteRow(1); }),
              "Die zu löschende Zeile wurde nicht gefunden");
    EXPECT_EQ(address.addressAt(1), "erin@example.org");
    EXPECT_EQ(address.rowCount(), 3);

    // Longer than the column.
    EXPECT_EQ(errorOf([&] { address.setAddress(0, QString(256, u'a')); }),
              "Die Adresse ist länger als 255 Zeichen");
    EXPECT_EQ(errorOf([&] { address.appendRow(QString(256, u'a')); }),
              "Die Adresse ist länger als 255 Zeichen");
    EXPECT_EQ(routeAddressRows(m_connection), before);
    // 255 characters fit.
    address.appendRow(QString(255, u'a'));
    EXPECT_EQ(routeAddressRows(m_connection).last().second, QString(255, u'a'));

    // Rows outside the dataset, and a closed dataset.
    EXPECT_EQ(errorOf([&] { address.deleteRow(9); }), "Es gibt keinen Datensatz 10");
    address.close();
    EXPECT_EQ(errorOf([&] { address.appendRow(QStringLiteral("y@example.org")); }),
              "Die Datenmenge ist nicht geöffnet");

    // The query over all routes names no route to append to.
    AddressDataset all(m_database);
    all.open();
    EXPECT_EQ(errorOf([&] { all.appendRow(QStringLiteral("y@example.org")); }),
              "Keine Route geladen: die Adresse gehört zu keiner Route");
}

TEST_P(AddressDatasetTest, EditsInTheQueryOverAllRoutesFindTheRowByAddress) {
    AddressDataset address(m_database);
    address.open();
    ASSERT_EQ(address.addressAt(0), "Bob@Example.com");
    address.setAddress(0, QStringLiteral("bob@example.com"));
    EXPECT_EQ(routeAddressRows(m_connection).at(1),
              qMakePair(qint64(1), QStringLiteral("bob@example.com")));
    address.deleteRow(0);
    EXPECT_EQ(routeAddressRows(m_connection).size(), 13);
}

TARVELO_DB_BACKENDS(AddressDatasetTest);
