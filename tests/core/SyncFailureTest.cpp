#include "FileSizeLimit.h"
#include "SyncTestBed.h"

#include "QStringPrinter.h"
#include "core/RouteBrowsing.h"
#include "platform/TarveloError.h"
#include "platform/TextFile.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <optional>

namespace {

// Routes b.org (3) and example.com (1); the pane and the counter hold
// earlier text.
class SyncFailureTest : public ::testing::Test {
protected:
    void SetUp() override {
        bed.window.addProtokollLine(QStringLiteral("früher"));
        bed.window.setZaehler(QStringLiteral("vorher"));
        bed.window.setDomain(QStringLiteral("*"));
        bed.ProtokollDir = bed.protocolDir;
    }
    void seed(const QList<TableRow>& rows) { bed.seed({{1, "example.com"}, {3, "b.org"}}, rows); }
    // The error the run raised, if any.
    std::optional<QString> runFailure() {
        try {
            bed.run();
        } catch (const TarveloError& e) {
            return e.message();
        }
        return std::nullopt;
    }
    QString header() const { return QStringLiteral("Datei: ") + bed.listFile; }
    QStringList twoLogLines() const {
        return {QStringLiteral("07:08:09: Domain: *"),
                QStringLiteral("07:08:09: Verarbeite: ") + bed.window.emailliste()};
    }
    // Start button, routes grid and RA2 as they are between runs.
    void expectControlsGivenBack() {
        EXPECT_TRUE(bed.window.syncEnabled());
        EXPECT_FALSE(bed.routes.controlsDisabled());
        EXPECT_FALSE(bed.RA2.isOpen());
    }
    QStringList protocolFiles() const {
        return QDir(bed.protocolDir).entryList(QDir::Files | QDir::Hidden);
    }

    SyncTestBed bed;
};

TEST_F(SyncFailureTest, MissingExceptionFileStopsBeforeAnythingIsDisabledOrChanged) {
    seed({{3, "stale@b.org"}});
    bed.writeList({"new@b.org"});
    bed.Liste.assign({"voriger Lauf"});
    QFile::remove(bed.exceptionFile);
    EXPECT_EQ(runFailure(), "Datei " + bed.exceptionFile + " kann nicht geöffnet werden");
    EXPECT_EQ(bed.window.protokollLines(), QStringList{"früher"} + twoLogLines());
    EXPECT_TRUE(bed.window.buttonHistory.isEmpty());
    expectControlsGivenBack();
    EXPECT_EQ(bed.rows(), QList<TableRow>({{3, "stale@b.org"}}));
    EXPECT_EQ(bed.window.zaehler(), "vorher");
    EXPECT_EQ(bed.Liste.lines(), QStringList({"voriger Lauf"}));
    EXPECT_TRUE(protocolFiles().isEmpty());
}

TEST_F(SyncFailureTest, MissingListFileEndsSilentlyAfterTheTwoLogLines) {
    seed({{3, "stale@b.org"}});
    bed.Liste.assign({"voriger Lauf"});
    const QString directory = bed.dir.path();
    for (const QString& name : {bed.listFile, QString(), directory}) {
        SCOPED_TRACE(name.toStdString());
        bed.window.clearProtokoll();
        bed.window.buttonHistory.clear();
        bed.window.setEmailliste(name);
        EXPECT_EQ(runFailure(), std::nullopt);
        EXPECT_EQ(bed.window.protokollLines(), twoLogLines());
        EXPECT_EQ(bed.window.buttonHistory, QList<bool>({false, true}));
        expectControlsGivenBack();
        EXPECT_EQ(bed.rows(), QList<TableRow>({{3, "stale@b.org"}}));
        EXPECT_EQ(bed.window.zaehler(), "vorher");
        EXPECT_EQ(bed.Liste.lines(), QStringList({"voriger Lauf"}));
    }
    EXPECT_TRUE(protocolFiles().isEmpty());
    EXPECT_EQ(bed.logFileLines().size(), 6);
}

TEST_F(SyncFailureTest, DatabaseErrorInTheDeletePassKeepsWhatWasDone) {
    seed({{3, "a@b.org"}, {3, "x@b.org"}, {3, "z@b.org"}});
    execOn(bed.database, "CREATE TRIGGER fail_delete BEFORE DELETE ON hm_routeaddresses "
                         "WHEN old.routeaddressaddress = 'x@b.org' "
                         "BEGIN SELECT RAISE(ABORT, 'boom'); END");
    bed.writeList({"n@b.org"});
    const std::optional<QString> failure = runFailure();
    ASSERT_TRUE(failure.has_value());
    EXPECT_TRUE(failure->contains("boom")) << failure->toStdString();
    EXPECT_EQ(bed.rows(), QList<TableRow>({{3, "x@b.org"}, {3, "z@b.org"}}));
    // The line of the failed change is there: it goes before the change.
    EXPECT_EQ(bed.window.protokollLines(),
              QStringList({header(), "Delete a@b.org", "Delete x@b.org"}));
    EXPECT_EQ(bed.window.zaehler(), "vorher");
    EXPECT_EQ(bed.window.buttonHistory, QList<bool>({false, true}));
    expectControlsGivenBack();
    EXPECT_TRUE(protocolFiles().isEmpty());
    EXPECT_FALSE(bed.logFileLines().join('\n').contains("Ende DBsync"));
}

TEST_F(SyncFailureTest, DatabaseErrorInTheInsertPassKeepsWhatWasDone) {
    seed({{3, "stale@b.org"}});
    execOn(bed.database, "CREATE TRIGGER fail_insert BEFORE INSERT ON hm_routeaddresses "
                         "WHEN new.routeaddressaddress = 'bad@b.org' "
                         "BEGIN SELECT RAISE(ABORT, 'boom'); END");
    bed.writeList({"good1@b.org", "bad@b.org", "good2@b.org"});
    const std::optional<QString> failure = runFailure();
    ASSERT_TRUE(failure.has_value());
    EXPECT_TRUE(failure->contains("boom")) << failure->toStdString();
    EXPECT_EQ(bed.rows(), QList<TableRow>({{3, "good1@b.org"}}));
    EXPECT_EQ(bed.window.protokollLines(),
              QStringList(
                  {header(), "Delete stale@b.org", "Insert 3 good1@b.org", "Insert 3 bad@b.org"}));
    EXPECT_EQ(bed.window.zaehler(), "vorher");
    expectControlsGivenBack();
    EXPECT_TRUE(protocolFiles().isEmpty());
    EXPECT_FALSE(bed.logFileLines().join('\n').contains("Ende DBsync"));
}

TEST_F(SyncFailureTest, TableThatCannotBeReadEndsTheRunAfterTheHeader) {
    seed({});
    execOn(bed.database, "DROP TABLE hm_routeaddresses");
    bed.writeList({"n@b.org"});
    const std::optional<QString> failure = runFailure();
    ASSERT_TRUE(failure.has_value());
    EXPECT_TRUE(failure->contains("hm_routeaddresses")) << failure->toStdString();
    EXPECT_EQ(bed.window.protokollLines(), QStringList({header()}));
    expectControlsGivenBack();
}

// The list and the table are read side by side; when both fail, the list's
// failure is the one reported, and before the header, as when the list is
// read first.
TEST_F(SyncFailureTest, DamagedListIsReportedBeforeATableThatCannotBeRead) {
    seed({});
    execOn(bed.database, "DROP TABLE hm_routeaddresses");
    bed.writeList({"n@b.org"});
    QFile list(bed.listFile);
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write("\xEF\xBB\xBFn@b.org\r\n\xFF\xFE@b.org\r\n");
    list.close();
    const QStringList before = bed.window.protokollLines();
    EXPECT_EQ(runFailure(), "Datei " + bed.listFile +
                                " beginnt mit der Kennung für UTF-8, ist aber kein gültiger "
                                "UTF-8-Text");
    EXPECT_EQ(bed.window.protokollLines(), before + twoLogLines());
    expectControlsGivenBack();
}

TEST_F(SyncFailureTest, ProtocolDirectoryThatDoesNotExistFailsAfterTheDatabaseWork) {
    seed({{3, "stale@b.org"}});
    bed.writeList({"new@b.org"});
    bed.ProtokollDir = bed.dir.filePath("fehlt") + "/";
    EXPECT_EQ(runFailure(),
              "Datei " + bed.ProtokollDir + "hmail-20240305-070809.log kann nicht erstellt werden");
    EXPECT_EQ(bed.rows(), QList<TableRow>({{3, "new@b.org"}}));
    EXPECT_EQ(bed.window.protokollLines(),
              QStringList({header(), "Delete stale@b.org", "Insert 3 new@b.org"}));
    EXPECT_EQ(bed.window.zaehler(), "vorher");
    expectControlsGivenBack();
    // The address grid was re-queried for the first route before.
    EXPECT_EQ(bed.routes.currentRow(), 0);
    EXPECT_TRUE(bed.Address.isOpen());
    EXPECT_EQ(bed.Address.queryLines(), RouteBrowsing::addressQuery(3));
    EXPECT_FALSE(bed.logFileLines().join('\n').contains("Ende DBsync"));
    EXPECT_FALSE(QDir(bed.ProtokollDir).exists());
}

TEST_F(SyncFailureTest, ProtocolThatCannotBeWrittenLeavesTheOldFileWhole) {
    seed({{3, "stale@b.org"}});
    bed.writeList({"new@b.org"});
    const QString file = bed.protocolDir + "hmail-20240305-070809.log";
    TextFile::replaceLines(file, {"alt"});
    // The disk fills up once the database work is done, right before the
    // protocol is written.
    std::optional<FileSizeLimit> limit;
    SyncContext context = bed.context();
    context.reloadAddresses = [&] {
        RouteBrowsing::loadAddresses(bed.routes, bed.Address);
        limit.emplace(20);
    };
    std::optional<QString> failure;
    try {
        runSynchronisation(context);
    } catch (const TarveloError& e) {
        failure = e.message();
    }
    limit.reset();
    EXPECT_EQ(failure, "Datei " + file + " kann nicht erstellt werden");
    EXPECT_EQ(fileBytes(file), "alt\r\n");
    EXPECT_EQ(protocolFiles(), QStringList({"hmail-20240305-070809.log"}));
    EXPECT_EQ(bed.rows(), QList<TableRow>({{3, "new@b.org"}}));
    EXPECT_EQ(bed.window.zaehler(), "vorher");
    expectControlsGivenBack();
}

} // namespace
