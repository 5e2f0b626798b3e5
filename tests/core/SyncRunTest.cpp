#include "SyncTestBed.h"

#include "QStringPrinter.h"
#include "platform/TarveloError.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

const QString kEnd = QStringLiteral("07:08:09: Ende DBsync");

// Routes b.org (3), example.com (1), example.com.au (2), in that order.
class SyncRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        window().addProtokollLine(QStringLiteral("früher"));
        window().setZaehler(QStringLiteral("vorher"));
    }
    void seed(const QList<TableRow>& rows) {
        bed.seed({{1, "example.com"}, {2, "example.com.au"}, {3, "b.org"}}, rows);
    }
    RecordingWindowState& window() { return bed.window; }
    QString header() const { return QStringLiteral("Datei: ") + bed.listFile; }
    // Runs and returns the pane's lines.
    QStringList run(const QString& domain) {
        window().setDomain(domain);
        bed.run();
        return window().protokollLines();
    }

    SyncTestBed bed;
};

TEST_F(SyncRunTest, EmptyDomainOnlySaysSoInTheCounter) {
    seed({{1, "stale@example.com"}});
    bed.writeList({"new@example.com"});
    EXPECT_EQ(run(""), QStringList({"früher"}));
    EXPECT_EQ(window().zaehler(), "keine Domain angegeben");
    EXPECT_TRUE(window().buttonHistory.isEmpty());
    EXPECT_TRUE(window().syncEnabled());
    EXPECT_FALSE(QFile::exists(bed.logFile));
    EXPECT_EQ(bed.rows(), QList<TableRow>({{1, "stale@example.com"}}));
    EXPECT_EQ(bed.Liste.count(), 0);
}

TEST_F(SyncRunTest, StarDeletesStaleRowsOfEveryRouteAndInsertsIntoTheRouteOfTheDomain) {
    seed({{1, "old@example.com"},
          {3, "keep@b.org"},
          {2, "Old2@Example.com.au"},
          {77, "orphan@nowhere.org"}});
    bed.writeList({"keep@b.org", "New@Example.COM", "new@b.org", "x@unknown.org", "plain"});
    EXPECT_EQ(run("*"), QStringList({header(), "Delete old@example.com",
                                     "Delete old2@example.com.au", "Delete orphan@nowhere.org",
                                     "Insert 3 new@b.org", "Insert 1 New@Example.COM", kEnd}));
    EXPECT_EQ(bed.rows(),
              QList<TableRow>({{3, "keep@b.org"}, {3, "new@b.org"}, {1, "New@Example.COM"}}));
    EXPECT_EQ(window().zaehler(), "6 Änderungen");
    EXPECT_EQ(window().buttonHistory, QList<bool>({false, true}));
    EXPECT_TRUE(bed.routesGridFollows());
    EXPECT_FALSE(bed.RA2.isOpen());
    EXPECT_EQ(bed.logFileLines(), QStringList({"05.03.2024 07:08:09: Domain: *",
                                               "05.03.2024 07:08:09: Verarbeite: " + bed.listFile,
                                               "05.03.2024 07:08:09: Ende DBsync"}));
    // The first route is current again and the address grid shows it.
    EXPECT_EQ(bed.routes.currentRow(), 0);
    EXPECT_EQ(bed.Address.routeId(), 3);
    EXPECT_EQ(bed.shownAddresses(), QStringList({"keep@b.org", "new@b.org"}));
}

TEST_F(SyncRunTest, DomainFilterDeletesByContainmentButInsertsByEquality) {
    seed({{2, "stale@example.com.au"}, {3, "stale@b.org"}, {1, "stale@example.com"}});
    bed.writeList({"new@example.com", "new@example.com.au", "new@b.org", "new@xexample.com"});
    // "@example.com" occurs in addresses of example.com.au as well: their
    // stale rows go, and their entries go to the route example.com; the "@"
    // belongs to the filter, so xexample.com is none of its domains.
    EXPECT_EQ(run("@example.com"),
              QStringList({header(), "Delete stale@example.com.au", "Delete stale@example.com",
                           "Insert 1 new@example.com", "Insert 1 new@example.com.au", kEnd}));
    EXPECT_EQ(
        bed.rows(),
        QList<TableRow>({{3, "stale@b.org"}, {1, "new@example.com"}, {1, "new@example.com.au"}}));

    // Without "@" the filter equals no route: it deletes, but inserts nothing.
    seed({{3, "stale@b.org"}, {1, "stale@example.com"}});
    bed.writeList({"new@b.org"});
    EXPECT_EQ(run("b.org"), QStringList({header(), "Delete stale@b.org", kEnd}));
    EXPECT_EQ(bed.rows(), QList<TableRow>({{1, "stale@example.com"}}));
}

TEST_F(SyncRunTest, FilterWithACapitalLetterMatchesNothing) {
    seed({{1, "stale@example.com"}});
    bed.writeList({"new@example.com"});
    bed.ProtokollDir = bed.protocolDir;
    EXPECT_EQ(run("@Example.com"), QStringList({header(), kEnd}));
    EXPECT_EQ(window().zaehler(), "1 Änderungen");
    EXPECT_EQ(bed.rows(), QList<TableRow>({{1, "stale@example.com"}}));
    // A run without changes still writes its protocol: the header alone.
    EXPECT_EQ(fileBytes(bed.protocolDir + "hmail-20240305-070809.log"),
              ("Datei: " + bed.listFile + "\r\n").toUtf8());
}

TEST_F(SyncRunTest, RowsTheListNamesInAnyCaseOrUnderAnyRouteStay) {
    seed({{1, "A@Example.COM"}, {3, "x@example.com"}, {99, "y@b.org"}});
    bed.writeList({"a@example.com", "x@example.com", "Y@B.org"});
    EXPECT_EQ(run("*"), QStringList({header(), kEnd}));
    EXPECT_EQ(bed.rows(),
              QList<TableRow>({{1, "A@Example.COM"}, {3, "x@example.com"}, {99, "y@b.org"}}));
}

TEST_F(SyncRunTest, RepeatedLinesAreInsertedOnce) {
    seed({});
    bed.writeList({"n@b.org", "N@B.ORG", "n@b.org", "m@b.org"});
    EXPECT_EQ(run("@b.org"), QStringList({header(), "Insert 3 n@b.org", "Insert 3 m@b.org", kEnd}));
    EXPECT_EQ(bed.rows(), QList<TableRow>({{3, "n@b.org"}, {3, "m@b.org"}}));
}

TEST_F(SyncRunTest, EmptyLinesAreNeverInsertedAndKeepOnlyAnEmptyAddress) {
    seed({{3, ""}, {3, "a@b.org"}});
    bed.writeList({"", "a@b.org", ""});
    EXPECT_EQ(run("*"), QStringList({header(), kEnd}));
    EXPECT_EQ(bed.rows(), QList<TableRow>({{3, ""}, {3, "a@b.org"}}));

    bed.writeList({"a@b.org"});
    EXPECT_EQ(run("*"), QStringList({header(), "Delete ", kEnd}));
    EXPECT_EQ(bed.rows(), QList<TableRow>({{3, "a@b.org"}}));
}

TEST_F(SyncRunTest, ConsecutiveStaleRowsAreAllDeleted) {
    // A row that begins with the filter is within it as well.
    seed({{3, "@b.org"},
          {3, "s1@b.org"},
          {3, "s2@b.org"},
          {3, "s3@b.org"},
          {3, "keep@b.org"},
          {3, "s4@b.org"},
          {3, "s5@b.org"}});
    bed.writeList({"keep@b.org"});
    EXPECT_EQ(run("@b.org"),
              QStringList({header(), "Delete @b.org", "Delete s1@b.org", "Delete s2@b.org",
                           "Delete s3@b.org", "Delete s4@b.org", "Delete s5@b.org", kEnd}));
    EXPECT_EQ(bed.rows(), QList<TableRow>({{3, "keep@b.org"}}));
    EXPECT_EQ(window().zaehler(), "7 Änderungen");
}

TEST_F(SyncRunTest, EntryHoldingSeveralRoutesDomainsGoesToTheFirstRouteInNameOrder) {
    seed({});
    bed.writeList({"a@example.com@b.org", "x@example.com.au", "y@example.com"});
    // b.org comes before example.com; "@example.com" occurs in
    // "x@example.com.au", and example.com comes before example.com.au.
    EXPECT_EQ(run("*"), QStringList({header(), "Insert 3 a@example.com@b.org",
                                     "Insert 1 x@example.com.au", "Insert 1 y@example.com", kEnd}));

    // Of two routes whose names differ only in case, the first in name order
    // takes the entry, with a filter as with "*"; only A to Z are lower-cased,
    // so MÜLLER.de names no route müller.de.
    bed.seed({{5, "Example.com"}, {3, "example.com"}, {4, "müller.de"}}, {});
    bed.writeList({"a@example.com", "b@MÜLLER.de"});
    EXPECT_EQ(run("@example.com"), QStringList({header(), "Insert 5 a@example.com", kEnd}));
    bed.seed({{5, "Example.com"}, {3, "example.com"}, {4, "müller.de"}}, {});
    EXPECT_EQ(run("*"), QStringList({header(), "Insert 5 a@example.com", kEnd}));
}

TEST_F(SyncRunTest, ExceptedEntriesBecomeDashesAndTheirRowsGoUnderTheFilter) {
    seed({{1, "boss@example.com"}, {3, "Spam@b.org"}, {3, "-"}, {1, "spamalot@example.com"}});
    bed.writeExceptions({"SPAM", ">Boss@", ""});
    bed.writeList({"spam@b.org", "Boss@example.com", "ok@example.com", "-", "spamalot@example.com",
                   "xboss@example.com"});
    EXPECT_EQ(run("@example.com"),
              QStringList({header(), "Delete boss@example.com", "Delete spamalot@example.com",
                           "Insert 1 ok@example.com", "Insert 1 xboss@example.com", kEnd}));
    EXPECT_EQ(bed.Liste.lines(),
              QStringList({"-", "-", "ok@example.com", "-", "-", "xboss@example.com"}));
    // Outside the filter the excepted row stays; the row "-" matches the list.
    EXPECT_EQ(bed.rows(),
              QList<TableRow>(
                  {{3, "Spam@b.org"}, {3, "-"}, {1, "ok@example.com"}, {1, "xboss@example.com"}}));
}

TEST_F(SyncRunTest, SortedListInsertsInAlphabeticalOrderUnsortedInFileOrder) {
    const QStringList list = {"c@b.org", "A@b.org", "x@example.com", "b@b.org"};
    seed({});
    bed.writeList(list);
    EXPECT_EQ(run("*"), QStringList({header(), "Insert 3 c@b.org", "Insert 3 A@b.org",
                                     "Insert 3 b@b.org", "Insert 1 x@example.com", kEnd}));
    EXPECT_EQ(bed.Liste.lines(), list);

    seed({});
    bed.Liste.setSorted(true);
    EXPECT_EQ(run("*"), QStringList({header(), "Insert 3 A@b.org", "Insert 3 b@b.org",
                                     "Insert 3 c@b.org", "Insert 1 x@example.com", kEnd}));
    EXPECT_EQ(bed.Liste.lines(), QStringList({"A@b.org", "b@b.org", "c@b.org", "x@example.com"}));

    // Route by route in name order, each route's entries in the list's order.
    QStringList interleaved;
    QStringList expected = {header()};
    for (int i = 19; i >= 0; --i) {
        interleaved << QStringLiteral("u%1@example.com").arg(i)
                    << QStringLiteral("u%1@b.org").arg(i);
        expected.insert(1 + 19 - i, QStringLiteral("Insert 3 u%1@b.org").arg(i));
        expected.append(QStringLiteral("Insert 1 u%1@example.com").arg(i));
    }
    expected.append(kEnd);
    seed({});
    bed.Liste.setSorted(false);
    bed.writeList(interleaved);
    EXPECT_EQ(run("*"), expected);
}

TEST(SyncProtocolFileName, PadsMonthDayAndTimeButNotTheYear) {
    EXPECT_EQ(protocolFileName(QDate(2024, 3, 5), QTime(7, 8, 9)), "hmail-20240305-070809.log");
    EXPECT_EQ(protocolFileName(QDate(2024, 12, 31), QTime(23, 59, 59)),
              "hmail-20241231-235959.log");
    EXPECT_EQ(protocolFileName(QDate(999, 1, 2), QTime(0, 0, 0)), "hmail-9990102-000000.log");
}

TEST_F(SyncRunTest, TwoRunsInOneSecondKeepBothProtocols) {
    seed({{3, "stale@b.org"}});
    bed.writeList({"new@b.org"});
    bed.ProtokollDir = bed.protocolDir;
    run("*");
    const QString file = bed.protocolDir + "hmail-20240305-070809.log";
    EXPECT_EQ(
        fileBytes(file),
        ("Datei: " + bed.listFile + "\r\nDelete stale@b.org\r\nInsert 3 new@b.org\r\n").toUtf8());
    const QByteArray first = fileBytes(file);
    run("*");
    EXPECT_EQ(fileBytes(file), first);
    EXPECT_EQ(fileBytes(bed.protocolDir + "hmail-20240305-070810.log"),
              ("Datei: " + bed.listFile + "\r\n").toUtf8());
    EXPECT_EQ(QDir(bed.protocolDir).entryList(QDir::Files),
              QStringList({"hmail-20240305-070809.log", "hmail-20240305-070810.log"}));
}

TEST_F(SyncRunTest, EveryProtocolLineIsOneLineOfThePaneAndOfTheFile) {
    // Addresses of the table holding line breaks and other controls; list
    // entries holding the Unicode line and paragraph separators; a list file
    // whose name holds a line break.
    seed({{1, "a\r\nb@example.com"},
          {1, "c\nd@example.com"},
          {1, "e\rf@example.com"},
          {1, QStringLiteral("g\u0085h\u2028i\u2029j@example.com")},
          {1, QStringLiteral("k\tl\u001bm\u007fn\u009fo@example.com")}});
    bed.listFile = QFileInfo(bed.listFile).absolutePath() + QStringLiteral("/liste\u2028neu.txt");
    window().setEmailliste(bed.listFile);
    QFile list(bed.listFile);
    ASSERT_TRUE(list.open(QIODevice::WriteOnly | QIODevice::Truncate));
    list.write(QStringLiteral("zeile\u2028neu@b.org\r\nabsatz\u2029neu@b.org\r\n").toUtf8());
    list.close();
    bed.ProtokollDir = bed.protocolDir;

    const QStringList protocol = {header().replace(QChar(0x2028), u'?'),
                                  "Delete a??b@example.com",
                                  "Delete c?d@example.com",
                                  "Delete e?f@example.com",
                                  "Delete g?h?i?j@example.com",
                                  "Delete k?l?m?n?o@example.com",
                                  "Insert 3 zeile?neu@b.org",
                                  "Insert 3 absatz?neu@b.org"};
    EXPECT_EQ(run("*"), protocol + QStringList({kEnd}));
    EXPECT_EQ(fileBytes(bed.protocolDir + "hmail-20240305-070809.log"),
              (protocol.join("\r\n") + "\r\n").toUtf8());
    EXPECT_EQ(window().zaehler(), "8 Änderungen");
    // The table keeps the entries as the list holds them.
    EXPECT_EQ(bed.rows(), QList<TableRow>({{3, QStringLiteral("zeile\u2028neu@b.org")},
                                           {3, QStringLiteral("absatz\u2029neu@b.org")}}));
}

TEST_F(SyncRunTest, TheWindowHearsWhenTheRunBeginsWhileItWorksAndWhenItEnds) {
    seed({{3, "stale@b.org"}});
    bed.writeList({"new@b.org"});
    run("");
    EXPECT_TRUE(window().runHistory.isEmpty());

    run("*");
    EXPECT_EQ(window().runHistory,
              QStringList({"begonnen", "Start aus", "arbeitet", "Start an", "beendet"}));
    // At least once per table row and per entry the run visits.
    EXPECT_GE(window().workingCalls, 2);

    // On every way out: a list file that is missing, an exception file that
    // cannot be read.
    window().runHistory.clear();
    QFile::remove(bed.listFile);
    SyncContext withoutList = bed.context();
    runSynchronisation(withoutList);
    // Told by the run, for the scheduler's exit status.
    EXPECT_TRUE(withoutList.listMissing);
    EXPECT_EQ(window().runHistory, QStringList({"begonnen", "Start aus", "Start an", "beendet"}));
    window().runHistory.clear();
    QFile::remove(bed.exceptionFile);
    EXPECT_THROW(run("*"), TarveloError);
    EXPECT_EQ(window().runHistory, QStringList({"begonnen", "beendet"}));
}

} // namespace
