#include "DbBackendTest.h"
#include "db/AddressDataset.h"
#include "db/AddressModel.h"
#include "db/Database.h"
#include "db/RoutesDataset.h"
#include "db/RoutesModel.h"

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

using Mode = QAbstractItemModelTester::FailureReportingMode;

} // namespace

TEST_P(ModelsTest, RoutesModelShowsTheDomainNamesAndFollowsTheDataset) {
    RoutesDataset routes(m_database);
    RoutesModel model(routes);
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

TEST_P(ModelsTest, AddressModelWritesEditsAppendsAndRemovals) {
    AddressDataset address(m_database);
    AddressModel model(address);
    QAbstractItemModelTester tester(&model, Mode::Fatal);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "routeaddressaddress");
    address.setQuery({QStringLiteral("select routeaddressaddress from hm_routeaddresses"),
                      QStringLiteral("where routeaddressrouteid = 3"),
                      QStringLiteral("order by routeaddressaddress")},
                     3);
    address.open();
    EXPECT_EQ(column(model), QStringList({"frank@sub.example.com", "grace@sub.example.com",
                                          "heidi@sub.example.com"}));
    EXPECT_TRUE(model.flags(model.index(0, 0)).testFlag(Qt::ItemIsEditable));

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    ASSERT_TRUE(model.setData(model.index(1, 0), QStringLiteral("Grace@Sub.Example.com")));
    EXPECT_EQ(changed.size(), 1);
    EXPECT_EQ(model.data(model.index(1, 0)).toString(), "Grace@Sub.Example.com");

    ASSERT_TRUE(model.appendAddress(QStringLiteral("ivy@sub.example.com")));
    EXPECT_EQ(model.rowCount(), 4);
    ASSERT_TRUE(model.removeRows(0, 2));
    EXPECT_EQ(column(model), QStringList({"heidi@sub.example.com", "ivy@sub.example.com"}));

    QStringList route3;
    for (const auto& [route, text] : routeAddressRows(m_connection)) {
        if (route == 3) {
            route3.append(text);
        }
    }
    EXPECT_EQ(route3, QStringList({"heidi@sub.example.com", "ivy@sub.example.com"}));
}

TEST_P(ModelsTest, ErrorsGoToTheSinkAndTheCallFails) {
    AddressDataset address(m_database);
    AddressModel model(address);
    QAbstractItemModelTester tester(&model, Mode::Fatal);
    QStringList messages;
    model.setErrorSink([&](const QString& message) { messages.append(message); });
    address.setQuery({QStringLiteral("select routeaddressaddress from hm_routeaddresses"),
                      QStringLiteral("where routeaddressrouteid = 2"),
                      QStringLiteral("order by routeaddressaddress")},
                     2);
    address.open();
    execSql(m_connection, QStringLiteral("delete from hm_routeaddresses"));

    EXPECT_FALSE(model.setData(model.index(0, 0), QStringLiteral("x@example.org")));
    EXPECT_FALSE(model.removeRows(0, 1));
    EXPECT_FALSE(model.appendAddress(QString(300, u'x')));
    EXPECT_EQ(messages, QStringList({"Die zu ändernde Zeile wurde nicht gefunden",
                                     "Die zu löschende Zeile wurde nicht gefunden",
                                     "Die Adresse ist länger als 255 Zeichen"}));
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.data(model.index(0, 0)).toString(), "dave@example.org");

    RoutesDataset routes(m_database);
    RoutesModel routesModel(routes);
    QStringList routeMessages;
    routesModel.setErrorSink([&](const QString& message) { routeMessages.append(message); });
    routes.open();
    execSql(m_connection, QStringLiteral("drop table hm_routes"));
    EXPECT_FALSE(routesModel.removeRows(0, 1));
    ASSERT_EQ(routeMessages.size(), 1);
    EXPECT_TRUE(routeMessages.first().contains(QStringLiteral("hm_routes")))
        << routeMessages.first().toStdString();
    EXPECT_EQ(routesModel.rowCount(), 4);
}

TARVELO_DB_BACKENDS(ModelsTest);
