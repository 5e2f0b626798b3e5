#include "DbBackendTest.h"
#include "QStringPrinter.h"
#include "db/AddressDataset.h"
#include "db/Database.h"
#include "db/RoutesDataset.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

namespace {

using ModelsTest = OpenDbBackendTest;

QStringList column(const QAbstractItemModel& model) {
    QStringList cells;
    for (int row = 0; row < model.rowCount(); ++row) {
        cells.append(model.data(model.index(row, 0)).toString());
    }
    return cells;
}

QStringList routeQuery(qint64 routeId) {
    return {QStringLiteral("select routeaddressaddress from hm_routeaddresses"),
            QStringLiteral("where routeaddressrouteid = %1").arg(routeId),
            QStringLiteral("order by routeaddressaddress")};
}

QStringList addressesOfRoute(const QString& connection, qint64 routeId) {
    QStringList addresses;
    for (const auto& [route, text] : routeAddressRows(connection)) {
        if (route == routeId) {
            addresses.append(text);
        }
    }
    return addresses;
}

using Mode = QAbstractItemModelTester::FailureReportingMode;

} // namespace

TEST_P(ModelsTest, TheRoutesDatasetIsTheGridsModelOfTheDomainNames) {
    RoutesDataset routes(m_database);
    RoutesDataset& model = routes;
    QAbstractItemModelTester tester(&model, Mode::Fatal);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.columnCount(), 1);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "routedomainname");

    routes.open();
    EXPECT_EQ(column(model),
              QStringList({"example.com", "example.org", "mail.example.net", "sub.example.com"}));
    EXPECT_FALSE(model.flags(model.index(0, 0)).testFlag(Qt::ItemIsEditable));
    EXPECT_FALSE(model.setData(model.index(0, 0), QStringLiteral("x")));

    // Removing a row deletes the route.
    ASSERT_TRUE(model.removeRows(1, 1));
    EXPECT_EQ(column(model), QStringList({"example.com", "mail.example.net", "sub.example.com"}));
    EXPECT_EQ(routeRows(m_connection).size(), 3);

    routes.close();
    EXPECT_EQ(model.rowCount(), 0);
}

TEST_P(ModelsTest, TheAddressDatasetIsTheGridsModel) {
    AddressDataset address(m_database);
    QAbstractItemModelTester tester(&address, Mode::Fatal);
    EXPECT_EQ(address.headerData(0, Qt::Horizontal).toString(), "routeaddressaddress");
    EXPECT_EQ(address.columnCount(), 1);
    address.setQuery(routeQuery(3), 3);
    address.open();
    EXPECT_EQ(column(address), QStringList({"frank@sub.example.com", "grace@sub.example.com",
                                            "heidi@sub.example.com"}));
    EXPECT_EQ(address.headerData(2, Qt::Vertical).toString(), "3");
    EXPECT_TRUE(address.flags(address.index(0, 0)).testFlag(Qt::ItemIsEditable));

    QSignalSpy changed(&address, &QAbstractItemModel::dataChanged);
    ASSERT_TRUE(address.setData(address.index(1, 0), QStringLiteral("Grace@Sub.Example.com")));
    EXPECT_EQ(changed.size(), 1);
    EXPECT_EQ(address.data(address.index(1, 0)).toString(), "Grace@Sub.Example.com");
    EXPECT_FALSE(address.setData(address.index(1, 0), QStringLiteral("x"), Qt::DisplayRole));

    ASSERT_TRUE(address.removeRows(0, 2));
    EXPECT_EQ(column(address), QStringList({"heidi@sub.example.com"}));
    EXPECT_FALSE(address.removeRows(0, 2));
    EXPECT_EQ(addressesOfRoute(m_connection, 3), QStringList({"heidi@sub.example.com"}));
}

// Appending in the grid: an empty row after the last, in the model only,
// stored for the loaded route once text is entered into it.
TEST_P(ModelsTest, ThePendingRowIsStoredForTheLoadedRouteOnceFilled) {
    AddressDataset address(m_database);
    QAbstractItemModelTester tester(&address, Mode::Fatal);
    EXPECT_EQ(address.appendPendingRow(), -1) << "a closed dataset takes no row";
    EXPECT_EQ(address.rowCount(), 0);

    address.setQuery(routeQuery(3), 3);
    address.open();
    const auto before = routeAddressRows(m_connection);
    ASSERT_EQ(address.appendPendingRow(), 3);
    EXPECT_EQ(address.appendPendingRow(), 3) << "one pending row at most";
    EXPECT_EQ(address.rowCount(), 4);
    EXPECT_EQ(address.recordCount(), 3);
    EXPECT_TRUE(address.isPendingRow(3));
    EXPECT_FALSE(address.isPendingRow(2));
    EXPECT_EQ(address.headerData(3, Qt::Vertical).toString(), "*");
    EXPECT_EQ(address.data(address.index(3, 0)).toString(), "");
    EXPECT_TRUE(address.flags(address.index(3, 0)).testFlag(Qt::ItemIsEditable));
    // The cursor walks the stored rows only.
    int walked = 0;
    for (address.first(); !address.eof(); address.next()) {
        ++walked;
    }
    EXPECT_EQ(walked, 3);
    address.setCurrentRow(3);
    EXPECT_EQ(address.Addressrouteaddressaddress(), "");

    // Nothing entered: nothing stored, the row stays.
    EXPECT_FALSE(address.setData(address.index(3, 0), QString()));
    EXPECT_TRUE(address.isPendingRow(address.recordCount()));
    EXPECT_EQ(routeAddressRows(m_connection), before);

    QSignalSpy current(&address, &AddressDataset::currentRowChanged);
    ASSERT_TRUE(address.setData(address.index(3, 0), QStringLiteral("ivy@sub.example.com")));
    EXPECT_FALSE(address.isPendingRow(address.recordCount()));
    EXPECT_EQ(address.rowCount(), 4);
    EXPECT_EQ(address.headerData(3, Qt::Vertical).toString(), "4");
    EXPECT_EQ(address.currentRow(), 3);
    EXPECT_EQ(address.Addressrouteaddressaddress(), "ivy@sub.example.com");
    EXPECT_EQ(current.size(), 1);
    auto expected = before;
    expected.append({3, QStringLiteral("ivy@sub.example.com")});
    EXPECT_EQ(routeAddressRows(m_connection), expected);

    // The next one is appended the same way; its empty row follows it.
    ASSERT_EQ(address.appendPendingRow(), 4);
    ASSERT_TRUE(address.setData(address.index(4, 0), QStringLiteral("judy@sub.example.com")));
    EXPECT_EQ(address.appendPendingRow(), 5);
    EXPECT_EQ(address.rowCount(), 6);
    EXPECT_TRUE(address.isPendingRow(5));
    address.cancelPendingRow();
    EXPECT_EQ(address.rowCount(), 5);
    address.cancelPendingRow();
    EXPECT_EQ(address.rowCount(), 5);

    // Removing rows up to the pending one deletes the stored ones and drops
    // the pending one.
    address.appendPendingRow();
    ASSERT_TRUE(address.removeRows(4, 2));
    EXPECT_EQ(address.rowCount(), 4);
    EXPECT_FALSE(address.isPendingRow(address.recordCount()));
    EXPECT_EQ(routeAddressRows(m_connection), expected);

    // Loading or closing drops it.
    address.appendPendingRow();
    address.close();
    address.open();
    EXPECT_EQ(address.rowCount(), 4);
    EXPECT_FALSE(address.isPendingRow(address.recordCount()));
    EXPECT_EQ(column(address), QStringList({"frank@sub.example.com", "grace@sub.example.com",
                                            "heidi@sub.example.com", "ivy@sub.example.com"}));
}

TEST_P(ModelsTest, ErrorsGoToTheSinkAndTheCallFails) {
    AddressDataset address(m_database);
    QAbstractItemModelTester tester(&address, Mode::Fatal);
    QStringList messages;
    address.setErrorSink([&](const QString& message) { messages.append(message); });
    address.setQuery(routeQuery(2), 2);
    address.open();
    execSql(m_connection, QStringLiteral("delete from hm_routeaddresses"));

    EXPECT_FALSE(address.setData(address.index(0, 0), QStringLiteral("x@example.org")));
    EXPECT_FALSE(address.removeRows(0, 1));
    const int pending = address.appendPendingRow();
    EXPECT_FALSE(address.setData(address.index(pending, 0), QString(300, u'x')));
    EXPECT_EQ(messages, QStringList({"Die zu ändernde Zeile wurde nicht gefunden",
                                     "Die zu löschende Zeile wurde nicht gefunden",
                                     "Die Adresse ist länger als 255 Zeichen"}));
    EXPECT_EQ(address.rowCount(), 4);
    EXPECT_TRUE(address.isPendingRow(3));
    EXPECT_EQ(address.data(address.index(0, 0)).toString(), "dave@example.org");
    EXPECT_TRUE(routeAddressRows(m_connection).isEmpty());

    RoutesDataset routes(m_database);
    QStringList routeMessages;
    routes.setErrorSink([&](const QString& message) { routeMessages.append(message); });
    routes.open();
    execSql(m_connection, QStringLiteral("drop table hm_routes"));
    EXPECT_FALSE(routes.removeRows(0, 1));
    ASSERT_EQ(routeMessages.size(), 1);
    EXPECT_TRUE(routeMessages.first().contains(QStringLiteral("hm_routes")))
        << routeMessages.first().toStdString();
    EXPECT_EQ(routes.rowCount(), 4);
}

TARVELO_DB_BACKENDS(ModelsTest);
