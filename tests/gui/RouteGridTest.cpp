#include "GuiTestBed.h"

#include <QAction>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QToolButton>

namespace {

using RouteGridTest = GuiTestBed;

const QStringList kExampleCom{"Bob@Example.com", "alice@example.com", "carol@example.com",
                              "postmaster@example.com"};
const QStringList kExampleOrg{"dave@example.org", "erin@example.org", "info@example.org"};
const QStringList kMailExampleNet{"ivan@mail.example.net", "judy@mail.example.net",
                                  "mallory@mail.example.net", "oscar@mail.example.net"};
const QStringList kSubExampleCom{"frank@sub.example.com", "grace@sub.example.com",
                                 "heidi@sub.example.com"};

} // namespace

TEST_F(RouteGridTest, ShowingTheWindowLoadsTheFirstRoute) {
    Tfmain& w = openWindow();
    EXPECT_EQ(w.domain(), "*");
    EXPECT_EQ(w.session().routesDataset().currentRow(), 0);
    EXPECT_EQ(Routen()->currentIndex().row(), 0);
    EXPECT_EQ(shownAddresses(), kExampleCom);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

TEST_F(RouteGridTest, LeftClickOnARouteLoadsItsAddressesArrowKeysDoNot) {
    Tfmain& w = openWindow();
    clickCell(Routen(), 2);
    EXPECT_EQ(w.session().routesDataset().routesroutedomainname(), "mail.example.net");
    EXPECT_EQ(shownAddresses(), kMailExampleNet);

    // The keyboard moves the current route and nothing else.
    QTest::keyClick(Routen(), Qt::Key_Down);
    EXPECT_EQ(Routen()->currentIndex().row(), 3);
    EXPECT_EQ(w.session().routesDataset().routesroutedomainname(), "sub.example.com");
    EXPECT_EQ(shownAddresses(), kMailExampleNet);
    QTest::keyClick(Routen(), Qt::Key_Up);
    QTest::keyClick(Routen(), Qt::Key_Up);
    EXPECT_EQ(w.session().routesDataset().routesroutedomainname(), "example.org");
    EXPECT_EQ(shownAddresses(), kMailExampleNet);
    QTest::keyClick(Routen(), Qt::Key_Tab);
    EXPECT_EQ(shownAddresses(), kMailExampleNet);

    // The next click loads the clicked route.
    clickCell(Routen(), 3);
    EXPECT_EQ(shownAddresses(), kSubExampleCom);
    clickCell(Routen(), 1);
    EXPECT_EQ(shownAddresses(), kExampleOrg);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(RouteGridTest, OtherButtonsAndClicksBesideTheDataCellsLoadNothing) {
    Tfmain& w = openWindow();
    clickCell(Routen(), 2, Qt::RightButton);
    clickCell(Routen(), 3, Qt::MiddleButton);
    EXPECT_EQ(w.session().routesDataset().currentRow(), 0);
    EXPECT_EQ(shownAddresses(), kExampleCom);

    // The title row, the row indicator and the empty space below the rows.
    QHeaderView* title = Routen()->horizontalHeader();
    QTest::mouseClick(title->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(title->sectionViewportPosition(0) + 20, title->height() / 2));
    QHeaderView* indicator = Routen()->verticalHeader();
    QTest::mouseClick(indicator->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(indicator->width() / 2, indicator->sectionViewportPosition(2) + 5));
    QTest::mouseClick(Routen()->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(40, Routen()->viewport()->height() - 10));
    EXPECT_EQ(shownAddresses(), kExampleCom);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(RouteGridTest, ExportNamesAndWritesTheLoadedRouteAfterTheKeyboardMovedOn) {
    Tfmain& w = openWindow();
    clickCell(Routen(), 0);
    QTest::keyClick(Routen(), Qt::Key_Down);
    ASSERT_EQ(w.session().routesDataset().routesroutedomainname(), "example.org");

    const QString target = dir.filePath("export.txt");
    writeFile(target, "alter Inhalt, viel laenger als der neue\r\n");
    dialogs.saveAnswers.push_back(target);
    // The grid follows the export's walk once, to its end, not row by row.
    QSignalSpy moves(DBGrid2()->model(), SIGNAL(currentRowChanged(int)));
    action("DomainExport1")->trigger();
    EXPECT_EQ(dialogs.saveProposals, QStringList({"example.com.txt"}));
    const QByteArray written = "Bob@Example.com\r\nalice@example.com\r\ncarol@example.com\r\n"
                               "postmaster@example.com\r\n";
    EXPECT_EQ(fileBytes(target), written);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(moves.size(), 1);
    EXPECT_TRUE(w.session().addressDataset().eof());
    EXPECT_EQ(DBGrid2()->currentIndex().row(), 3); // the last address

    // The diskette does the same; cancelling its dialog writes nothing.
    dialogs.saveAnswers.push_back(std::nullopt);
    QTest::mouseClick(control<QToolButton>("SpeedButton1"), Qt::LeftButton);
    EXPECT_EQ(dialogs.saveProposals, QStringList({"example.com.txt", "example.com.txt"}));
    EXPECT_EQ(fileBytes(target), written);
}
