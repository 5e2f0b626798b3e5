#include "db/RoutesDataset.h"
#include "DbBackendTest.h"
#include "db/Database.h"
#include "platform/TarveloError.h"

#include <QSignalSpy>

namespace {

class RoutesDatasetTest : public DbBackendTest {
protected:
    void openDatabase(const QString& connection) {
        m_database.setConnectionString(connection);
        m_database.open();
    }
    Database m_database;
};

QList<QPair<qint64, QString>> walk(RoutesDataset& routes) {
    QList<QPair<qint64, QString>> seen;
    routes.first();
    while (!routes.eof()) {
        seen.append({routes.routesrouteid(), routes.routesroutedomainname()});
        routes.next();
    }
    return seen;
}

} // namespace

TEST(RoutesQuery, IsTheGivenTextLineByLine) {
    EXPECT_EQ(RoutesDataset::queryLines(),
              QStringList({"select ", "  routeid,", "  routedomainname", "", "from hm_routes",
                           "order by routedomainname"}));
}

TEST_P(RoutesDatasetTest, ReadsTheRoutesInDomainNameOrder) {
    openDatabase(m_connection);
    RoutesDataset routes(m_database);
    EXPECT_FALSE(routes.isOpen());
    routes.open();
    EXPECT_TRUE(routes.isOpen());
    ASSERT_EQ(routes.rowCount(), 4);
    EXPECT_EQ(routes.currentRow(), 0);
    const QList<QPair<qint64, QString>> expected = {
        {1, "example.com"}, {2, "example.org"}, {4, "mail.example.net"}, {3, "sub.example.com"}};
    EXPECT_EQ(walk(routes), expected);
    EXPECT_EQ(routes.rows().at(2).routeid, 4);
    EXPECT_EQ(routes.rows().at(2).routedomainname, "mail.example.net");

    // Read once: rows added later do not appear until opened again.
    insertRoute(m_connection, QStringLiteral("aaa.example"));
    EXPECT_EQ(routes.rowCount(), 4);
    routes.open();
    EXPECT_EQ(routes.rowCount(), 5);
    routes.first();
    EXPECT_EQ(routes.routesroutedomainname(), "aaa.example");
}

TEST_P(RoutesDatasetTest, FieldsWithoutACurrentRowAreZeroAndEmpty) {
    openDatabase(m_connection);
    RoutesDataset routes(m_database);
    // Closed.
    EXPECT_TRUE(routes.eof());
    EXPECT_EQ(routes.routesrouteid(), 0);
    EXPECT_EQ(routes.routesroutedomainname(), "");

    routes.open();
    routes.setCurrentRow(3);
    EXPECT_FALSE(routes.eof());
    EXPECT_EQ(routes.routesrouteid(), 3);
    routes.next();
    EXPECT_TRUE(routes.eof());
    EXPECT_EQ(routes.routesrouteid(), 0);
    EXPECT_EQ(routes.routesroutedomainname(), "");
    routes.next(); // stays past the end
    EXPECT_TRUE(routes.eof());
    EXPECT_EQ(routes.currentRow(), 4);
    routes.first();
    EXPECT_EQ(routes.routesroutedomainname(), "example.com");

    routes.close();
    EXPECT_FALSE(routes.isOpen());
    EXPECT_EQ(routes.rowCount(), 0);
    EXPECT_EQ(routes.routesrouteid(), 0);
    EXPECT_EQ(routes.routesroutedomainname(), "");
    // Routes that never loaded refuse to move: a run ends at its first walk.
    EXPECT_THROW(routes.first(), DbError);
    EXPECT_THROW(routes.next(), DbError);
    EXPECT_THROW(routes.deleteCurrent(), DbError);

    // No routes at all.
    openDatabase(freshDatabase(false));
    routes.open();
    EXPECT_EQ(routes.rowCount(), 0);
    EXPECT_EQ(routes.currentRow(), -1);
    EXPECT_TRUE(routes.eof());
    routes.first();
    EXPECT_TRUE(routes.eof());
    EXPECT_EQ(routes.routesrouteid(), 0);
    EXPECT_EQ(routes.routesroutedomainname(), "");
    EXPECT_THROW(routes.deleteCurrent(), DbError);
}

TEST_P(RoutesDatasetTest, DeletingARouteReachesTheDatabaseAtOnce) {
    openDatabase(m_connection);
    RoutesDataset routes(m_database);
    routes.open();
    routes.setCurrentRow(1); // example.org
    QSignalSpy removed(&routes, &QAbstractItemModel::rowsRemoved);
    routes.deleteCurrent();
    EXPECT_EQ(removed.size(), 1);
    EXPECT_EQ(routes.rowCount(), 3);
    EXPECT_EQ(routes.routesroutedomainname(), "mail.example.net");
    const QList<QPair<qint64, QString>> left = {
        {1, "example.com"}, {3, "sub.example.com"}, {4, "mail.example.net"}};
    EXPECT_EQ(routeRows(m_connection), left);

    // The last row deleted: the one before becomes current.
    routes.setCurrentRow(2);
    routes.deleteCurrent();
    EXPECT_EQ(routes.routesroutedomainname(), "mail.example.net");
    EXPECT_EQ(routeRows(m_connection).size(), 2);
}

TEST_P(RoutesDatasetTest, ControlsFollowTheCurrentRowOnlyWhileEnabled) {
    openDatabase(m_connection);
    RoutesDataset routes(m_database);
    routes.open();
    QSignalSpy moved(&routes, &RoutesDataset::currentRowChanged);
    routes.next();
    ASSERT_EQ(moved.size(), 1);
    EXPECT_EQ(moved.takeFirst().at(0).toInt(), 1);

    routes.disableControls();
    routes.disableControls();
    routes.first();
    routes.next();
    routes.next();
    routes.enableControls();
    EXPECT_EQ(moved.size(), 0);
    routes.enableControls();
    ASSERT_EQ(moved.size(), 1);
    EXPECT_EQ(moved.takeFirst().at(0).toInt(), 2);
    // More enabling than disabling does no harm: the grid goes on following.
    routes.enableControls();
    routes.next();
    ASSERT_EQ(moved.size(), 1);
    EXPECT_EQ(moved.takeFirst().at(0).toInt(), 3);
}

TEST_P(RoutesDatasetTest, DatabaseErrorsCarryTheDriversText) {
    RoutesDataset routes(m_database);
    try {
        routes.open();
        ADD_FAILURE() << "opened without a connection";
    } catch (const DbError& error) {
        EXPECT_EQ(error.message(), "Die Verbindung zur Datenbank ist nicht geöffnet");
    }
    openDatabase(m_connection);
    execSql(m_connection, QStringLiteral("drop table hm_routes"));
    try {
        routes.open();
        ADD_FAILURE() << "opened without the table";
    } catch (const DbError& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("hm_routes")))
            << error.message().toStdString();
    }
    EXPECT_FALSE(routes.isOpen());
}

TARVELO_DB_BACKENDS(RoutesDatasetTest);
