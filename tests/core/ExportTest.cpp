#include "core/RouteBrowsing.h"

#include "ExportTestBed.h"
#include "QStringPrinter.h"
#include "SyncTestBed.h"
#include "platform/TarveloError.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <optional>

namespace {

TEST_F(ExportTest, LoadingARouteSetsTheThreeQueryLinesAndShowsItsAddressesSorted) {
    EXPECT_EQ(RouteBrowsing::addressQuery(1),
              QStringList({"select routeaddressaddress from hm_routeaddresses",
                           "where routeaddressrouteid = 1", "order by routeaddressaddress"}));
    load(1);
    EXPECT_EQ(bed.Address.routeId(), 1);
    // In the code points' order: capitals before small letters.
    EXPECT_EQ(bed.shownAddresses(), QStringList({"M\u00fcller@example.com", "alpha@example.com",
                                                 "zeta@example.com", "\u03a9mega@example.com"}));

    // Without routes the rows of route 0 are selected: none.
    bed.seed({}, {{0, "null@route.org"}, {1, "a@b.org"}});
    RouteBrowsing::loadAddresses(bed.routes, bed.Address);
    EXPECT_EQ(bed.Address.routeId(), 0);
    EXPECT_EQ(bed.shownAddresses(), QStringList({"null@route.org"}));
}

TEST_F(ExportTest, TheProposedNameIsTheLoadedRoutesDomainWithTxt) {
    // Before any route is loaded: the current route.
    bed.routes.setCurrentRow(2);
    EXPECT_EQ(RouteBrowsing::exportFileName(bed.routes, bed.Address), "leer.org.txt");
    load(1);
    EXPECT_EQ(RouteBrowsing::exportFileName(bed.routes, bed.Address), "example.com.txt");
    // Another current route without its addresses loaded: the file is still
    // named after the addresses it gets.
    bed.routes.setCurrentRow(0);
    EXPECT_EQ(RouteBrowsing::exportFileName(bed.routes, bed.Address), "example.com.txt");
    load(0);
    EXPECT_EQ(RouteBrowsing::exportFileName(bed.routes, bed.Address), "b.org.txt");
    // The loaded route deleted: the grid still shows its addresses, and the
    // file keeps its name.
    ASSERT_TRUE(bed.routes.removeRows(0, 1));
    ASSERT_EQ(bed.routes.routesroutedomainname(), "example.com");
    EXPECT_EQ(RouteBrowsing::exportFileName(bed.routes, bed.Address), "b.org.txt");
    // No routes at all: the rows of route 0, and the empty name.
    bed.seed({}, {});
    RouteBrowsing::loadAddresses(bed.routes, bed.Address);
    EXPECT_EQ(RouteBrowsing::exportFileName(bed.routes, bed.Address), ".txt");
}

TEST_F(ExportTest, ARouteNameNoFileNameCanHoldIsProposedWithUnderscores) {
    // The save dialog keeps only what follows a quotation mark, and a slash
    // leads into another folder: the first two would write "example.org.txt"
    // here and "foo.txt" two folders up.
    const QList<QPair<QString, QString>> names = {
        {"alt\"example.org", "alt_example.org.txt"},
        {"../../etc/foo", ".._.._etc_foo.txt"},
        {"a\\b:c*d?e<f>g|h", "a_b_c_d_e_f_g_h.txt"},
        {"tab\there\x1f", "tab_here_.txt"},
        {"..", "...txt"},
        {"m\u00fcller-gro\u00df.de", "m\u00fcller-gro\u00df.de.txt"},
        {"xn--mller-kva.example.com", "xn--mller-kva.example.com.txt"},
    };
    for (const auto& [route, proposed] : names) {
        bed.seed({{7, route}}, {});
        load(0);
        EXPECT_EQ(RouteBrowsing::exportFileName(bed.routes, bed.Address), proposed)
            << route.toStdString();
    }
}

TEST_F(ExportTest, WritesTheLoadedAddressesInGridOrderWithCrLfInTheCodePage) {
    load(1);
    ASSERT_TRUE(RouteBrowsing::runExportCommand(bed.routes, bed.Address, [&](const QString& name) {
        EXPECT_EQ(name, "example.com.txt");
        return std::optional<QString>(target());
    }));
    EXPECT_EQ(fileBytes(target()), QByteArray("M\xfcller@example.com\r\nalpha@example.com\r\n"
                                              "zeta@example.com\r\n?mega@example.com\r\n"));
    EXPECT_TRUE(bed.Address.eof());
}

TEST_F(ExportTest, AnEmptyRouteGivesAZeroByteFileOverwritingTheOldOne) {
    QFile old(target());
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("alter Inhalt\r\n");
    old.close();
    load(2);
    RouteBrowsing::exportAddresses(bed.Address, target());
    EXPECT_TRUE(QFile::exists(target()));
    EXPECT_EQ(fileBytes(target()), QByteArray());
}

TEST_F(ExportTest, AfterTheKeyboardMovedOnTheFileIsNamedAfterTheAddressesItHolds) {
    load(0);
    bed.routes.setCurrentRow(1);
    std::optional<QString> proposed;
    RouteBrowsing::runExportCommand(bed.routes, bed.Address, [&](const QString& name) {
        proposed = name;
        return std::optional<QString>(target());
    });
    EXPECT_EQ(proposed, "b.org.txt");
    EXPECT_EQ(fileBytes(target()), QByteArray("a@b.org\r\n"));
}

TEST_F(ExportTest, CancellingWritesNothing) {
    QFile old(target());
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("alter Inhalt\r\n");
    old.close();
    load(1);
    EXPECT_FALSE(RouteBrowsing::runExportCommand(
        bed.routes, bed.Address, [](const QString&) { return std::optional<QString>(); }));
    EXPECT_EQ(fileBytes(target()), QByteArray("alter Inhalt\r\n"));
}

TEST_F(ExportTest, AddressesNeverLoadedAreAnErrorBeforeAnyFileIsMade) {
    try {
        RouteBrowsing::exportAddresses(bed.Address, target());
        FAIL() << "no error";
    } catch (const DbError& e) {
        EXPECT_EQ(e.message(), "Die Datenmenge ist nicht geöffnet");
    }
    EXPECT_FALSE(QFile::exists(target()));
}

} // namespace
