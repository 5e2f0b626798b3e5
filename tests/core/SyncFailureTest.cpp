#include "FileSizeLimit.h"
#include "SyncTestBed.h"

#include "QStringPrinter.h"
#include "core/RouteBrowsing.h"
#include "core/RunRecord.h"
#include "platform/TarveloError.h"
#include "platform/TextFile.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <optional>

namespace {

RunGuards batched(int batch) {
    RunGuards guards;
    guards.batch = batch;
    return guards;
}

RunGuards dryRun() {
    RunGuards guards;
    guards.dryRun = true;
    return guards;
}

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
    // The error the run raised, if any; the run keeps its record.
    std::optional<QString> runFailure(RunGuards guards = {}) {
        SyncContext context = bed.context();
        context.guards = guards;
        context.guards.record = &record;
        try {
            runSynchronisation(context);
        } catch (const TarveloError& e) {
            return e.message();
        }
        return std::nullopt;
    }
    // The record a failed or stopped run left, line by line.
    // The newest record of that kind: runs of one test all end at the fake
    // clock's second, and each keeps its own record, a second further on.
    QString recordPath(const QString& kind) const {
        const QStringList names =
            QDir(bed.protocolDir)
                .entryList({"hmail-20240305-*-" + kind + ".log"}, QDir::Files, QDir::Name);
        return names.isEmpty() ? QString() : bed.protocolDir + names.constLast();
    }
    QStringList recordLines(const QString& kind) const {
        const QString path = recordPath(kind);
        return path.isEmpty() ? QStringList{"<fehlt>"} : TextFile::readLines(path);
    }
    QString header() const { return QStringLiteral("Datei: ") + bed.listFile; }
    QStringList twoLogLines() const {
        return {QStringLiteral("07:08:09: Domain: *"),
                QStringLiteral("07:08:09: Verarbeite: ") + bed.window.emailliste()};
    }
    // Start button, routes grid and RA2 as they are between runs.
    void expectControlsGivenBack() {
        EXPECT_TRUE(bed.window.syncEnabled());
        EXPECT_TRUE(bed.routesGridFollows());
        EXPECT_FALSE(bed.RA2.isOpen());
    }
    QStringList protocolFiles() const {
        return QDir(bed.protocolDir).entryList(QDir::Files | QDir::Hidden);
    }

    SyncTestBed bed;
    RunRecord record;
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
    EXPECT_EQ(recordLines("fehler"),
              QStringList({header(), "Delete a@b.org", "Delete x@b.org", "Fehler: " + *failure}));
    EXPECT_EQ(bed.window.zaehler(), "vorher");
    EXPECT_EQ(bed.window.buttonHistory, QList<bool>({false, true}));
    expectControlsGivenBack();
    EXPECT_EQ(protocolFiles(), QStringList({"hmail-20240305-070809-fehler.log"}));
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
    EXPECT_EQ(recordLines("fehler"),
              bed.window.protokollLines() + QStringList{"Fehler: " + *failure});
    EXPECT_EQ(bed.window.zaehler(), "vorher");
    expectControlsGivenBack();
    EXPECT_EQ(protocolFiles(), QStringList({"hmail-20240305-070809-fehler.log"}));
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
    EXPECT_EQ(recordLines("fehler"), QStringList({header(), "Fehler: " + *failure}));
    expectControlsGivenBack();
}

// Reading that fails after the first rows (a damaged page): a run on the
// rows read so far would insert again what stands behind the failure, and
// keep the stale rows there.
TEST_F(SyncFailureTest, ATableWhoseReadingFailsPartWayChangesNothing) {
    seed({{3, "a@b.org"}, {3, "c@b.org"}, {3, "n@b.org"}});
    execOn(bed.database, "ALTER TABLE hm_routeaddresses RENAME TO stored");
    execOn(bed.database, "CREATE VIEW hm_routeaddresses AS SELECT routeaddressid, "
                         "routeaddressrouteid, CASE WHEN routeaddressid = 2 THEN "
                         "CAST(abs(-9223372036854775808) AS TEXT) ELSE routeaddressaddress END "
                         "AS routeaddressaddress FROM stored");
    bed.writeList({"a@b.org", "n@b.org"});
    const std::optional<QString> failure = runFailure();
    ASSERT_TRUE(failure.has_value());
    EXPECT_TRUE(failure->contains("integer overflow")) << failure->toStdString();
    EXPECT_EQ(bed.window.protokollLines(), QStringList({header()}));
    EXPECT_EQ(recordLines("fehler"), QStringList({header(), "Fehler: " + *failure}));
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

// The protocol is the only trace of what a run deletes: a folder that cannot
// take it stops the run before its first change, and no record is looked for
// where none can be.
TEST_F(SyncFailureTest, ProtocolFolderThatCannotTakeTheFileStopsBeforeAnyChange) {
    const QString aFile = bed.dir.filePath("datei");
    TextFile::replaceLines(aFile, {"kein Ordner"});
    // A prefix that leaves the protocol's name, or only its stopped record's,
    // too long for the folder: the message names the one that is.
    const QString stoppedOnly = bed.dir.filePath(QString(226, u'p'));
    const QString folders[] = {bed.dir.filePath("fehlt") + "/", aFile + "/",
                               bed.dir.filePath("fehlt/lauf-"),
                               bed.dir.filePath(QString(240, u'p')), stoppedOnly};
    for (const QString& folder : folders) {
        const QString name = folder == stoppedOnly
                                 ? QStringLiteral("hmail-20240305-070809-abbruch.log")
                                 : QStringLiteral("hmail-20240305-070809.log");
        seed({{3, "stale@b.org"}});
        bed.writeList({"new@b.org"});
        bed.ProtokollDir = folder;
        const QStringList logBefore = bed.logFileLines();
        EXPECT_EQ(runFailure(), "Datei " + folder + name +
                                    " kann nicht erstellt werden. Es wurde nichts geändert")
            << folder.toStdString();
        EXPECT_EQ(bed.rows(), QList<TableRow>({{3, "stale@b.org"}})) << folder.toStdString();
        EXPECT_EQ(bed.window.protokollLines().mid(bed.window.protokollLines().size() - 1),
                  QStringList({header()}));
        EXPECT_EQ(bed.logFileLines().size(), logBefore.size() + 2) << "no line of a lost record";
        EXPECT_EQ(bed.window.zaehler(), "vorher");
        expectControlsGivenBack();
    }
    EXPECT_FALSE(QDir(bed.dir.filePath("fehlt")).exists());
    EXPECT_EQ(TextFile::readLines(aFile), QStringList({"kein Ordner"}));
}

// A dry run changes nothing either way: it plans, shows its lines and fails
// only where it would write its preview.
TEST_F(SyncFailureTest, DryRunIntoAMissingProtocolFolderFailsAtItsPreview) {
    seed({{3, "stale@b.org"}});
    bed.writeList({"new@b.org"});
    bed.ProtokollDir = bed.dir.filePath("fehlt") + "/";
    EXPECT_EQ(runFailure(dryRun()),
              "Datei " + bed.ProtokollDir +
                  "hmail-20240305-070809-test.log kann nicht erstellt werden");
    EXPECT_EQ(bed.rows(), QList<TableRow>({{3, "stale@b.org"}}));
    EXPECT_EQ(bed.window.protokollLines().mid(bed.window.protokollLines().size() - 3),
              QStringList({header(), "Delete stale@b.org", "Insert 3 new@b.org"}));
    expectControlsGivenBack();
    EXPECT_FALSE(QDir(bed.ProtokollDir).exists());
}

TEST_F(SyncFailureTest, ProtocolThatCannotBeWrittenLeavesNoPartOfItAndTheEarlierOneWhole) {
    seed({{3, "stale@b.org"}});
    bed.writeList({"new@b.org"});
    const QString earlier = bed.protocolDir + "hmail-20240305-070809.log";
    TextFile::replaceLines(earlier, {"alt"});
    const QString file = bed.protocolDir + "hmail-20240305-070810.log";
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
    EXPECT_EQ(fileBytes(earlier), "alt\r\n");
    EXPECT_EQ(protocolFiles(), QStringList({"hmail-20240305-070809.log"}));
    EXPECT_EQ(bed.rows(), QList<TableRow>({{3, "new@b.org"}}));
    EXPECT_EQ(bed.window.zaehler(), "vorher");
    expectControlsGivenBack();
}

// In transactions of two: a failure rolls back its own transaction and
// nothing else; the pane and the record hold exactly what was committed, then
// the change that failed.
TEST_F(SyncFailureTest, AFailureInsideABatchLeavesExactlyTheCommittedBatches) {
    seed({{3, "s1@b.org"}, {3, "s2@b.org"}, {3, "s3@b.org"}});
    execOn(bed.database, "CREATE TRIGGER fail_insert BEFORE INSERT ON hm_routeaddresses "
                         "WHEN new.routeaddressaddress = 'bad@b.org' "
                         "BEGIN SELECT RAISE(ABORT, 'boom'); END");
    bed.writeList({"good1@b.org", "bad@b.org", "good2@b.org"});
    const std::optional<QString> failure = runFailure(batched(2));
    ASSERT_TRUE(failure.has_value());
    // Delete s1, s2 | delete s3, insert good1 | insert bad: the second batch
    // went through, the third failed at its first change.
    EXPECT_EQ(bed.rows(), QList<TableRow>({{3, "good1@b.org"}}));
    const QStringList expected = {header(),          "Delete s1@b.org",      "Delete s2@b.org",
                                  "Delete s3@b.org", "Insert 3 good1@b.org", "Insert 3 bad@b.org"};
    EXPECT_EQ(bed.window.protokollLines(), expected);
    EXPECT_EQ(recordLines("fehler"), expected + QStringList{"Fehler: " + *failure});

    // The failure in the middle of a batch: the batch's first change goes too.
    seed({{3, "s1@b.org"}, {3, "s2@b.org"}});
    bed.writeList({"good1@b.org", "bad@b.org", "good2@b.org"});
    QFile::remove(bed.protocolDir + "hmail-20240305-070809-fehler.log");
    ASSERT_TRUE(runFailure(batched(3)).has_value());
    EXPECT_EQ(bed.rows(), QList<TableRow>({{3, "good1@b.org"}}));
    EXPECT_EQ(recordLines("fehler"),
              QStringList({header(), "Delete s1@b.org", "Delete s2@b.org", "Insert 3 good1@b.org",
                           "Insert 3 bad@b.org", "Fehler: " + *failure}));
    ASSERT_TRUE(runFailure(batched(4)).has_value());
    EXPECT_EQ(bed.rows(), QList<TableRow>({{3, "good1@b.org"}}));
    EXPECT_EQ(recordLines("fehler"),
              QStringList({header(), "Insert 3 bad@b.org", "Fehler: " + *failure}));
    expectControlsGivenBack();
}

// A transaction that fails at its commit fails as a whole: the record holds
// the committed transactions and the error, and names no one change of the
// failed one. A driver's message of several lines is one line of the record.
TEST_F(SyncFailureTest, ACommitThatFailsNamesNoChangeAndKeepsItsMessageOnOneLine) {
    seed({{3, "s1@b.org"}});
    // A deferred foreign key that the insertion of bad@b.org breaks: only
    // the commit of its transaction fails.
    execOn(bed.database, "PRAGMA foreign_keys = ON");
    execOn(bed.database, "CREATE TABLE parent (id INTEGER PRIMARY KEY)");
    execOn(bed.database, "CREATE TABLE child (parent INTEGER REFERENCES parent (id) "
                         "DEFERRABLE INITIALLY DEFERRED)");
    execOn(bed.database, "CREATE TRIGGER orphan AFTER INSERT ON hm_routeaddresses "
                         "WHEN new.routeaddressaddress = 'bad@b.org' "
                         "BEGIN INSERT INTO child VALUES (42); END");
    bed.writeList({"good1@b.org", "good2@b.org", "bad@b.org", "good3@b.org"});
    const std::optional<QString> failure = runFailure(batched(2));
    ASSERT_TRUE(failure.has_value());
    EXPECT_TRUE(failure->contains("FOREIGN KEY")) << failure->toStdString();
    // Delete s1, insert good1 | insert good2, insert bad: the second fails.
    EXPECT_EQ(bed.rows(), QList<TableRow>({{3, "good1@b.org"}}));
    const QStringList committed = {header(), "Delete s1@b.org", "Insert 3 good1@b.org"};
    EXPECT_EQ(bed.window.protokollLines(), committed);
    EXPECT_EQ(recordLines("fehler"), committed + QStringList{"Fehler: " + *failure});

    seed({{3, "s1@b.org"}});
    execOn(bed.database, "DROP TRIGGER orphan");
    execOn(bed.database, "CREATE TRIGGER fail_insert BEFORE INSERT ON hm_routeaddresses "
                         "WHEN new.routeaddressaddress = 'bad@b.org' "
                         "BEGIN SELECT RAISE(ABORT, 'boom\nsecond line'); END");
    const std::optional<QString> twoLines = runFailure();
    ASSERT_TRUE(twoLines.has_value());
    ASSERT_TRUE(twoLines->contains("boom\nsecond line")) << twoLines->toStdString();
    const QString path = recordPath("fehler");
    EXPECT_EQ(recordLines("fehler").constLast(),
              "Fehler: " + QString(*twoLines).replace(u'\n', u' '));
    EXPECT_FALSE(fileBytes(path).replace("\r\n", "").contains('\n'));
}

// Stopped after the change in hand: the table, the pane and the record agree.
// The run asks before its first change and after each.
TEST_F(SyncFailureTest, AStopEndsTheRunAfterTheChangeInHand) {
    for (const int batch : {0, 1, 2, 1000}) {
        SCOPED_TRACE(batch);
        seed({{3, "s1@b.org"}, {3, "s2@b.org"}, {3, "keep@b.org"}});
        bed.writeList({"keep@b.org", "n1@b.org", "n2@b.org"});
        for (const char* kind : {"abbruch", "fehler"}) {
            QFile::remove(bed.protocolDir + "hmail-20240305-070809-" + QString::fromLatin1(kind) +
                          ".log");
        }
        bed.window.stopAfter = 4;
        bed.window.stopQuestions = 0;
        EXPECT_EQ(runFailure(batched(batch)), std::nullopt);
        bed.window.stopAfter = -1;
        const QStringList made = {header(), "Delete s1@b.org", "Delete s2@b.org",
                                  "Insert 3 n1@b.org"};
        EXPECT_EQ(bed.rows(), QList<TableRow>({{3, "keep@b.org"}, {3, "n1@b.org"}}));
        EXPECT_EQ(bed.window.protokollLines().mid(0, 4), made);
        EXPECT_EQ(bed.window.protokollLines().value(4),
                  "07:08:09: Synchronisation abgebrochen: 3 von 4 Änderungen gemacht");
        EXPECT_EQ(recordLines("abbruch"),
                  made + QStringList{"Abgebrochen nach 3 von 4 geplanten Änderungen"});
        EXPECT_EQ(recordLines("fehler"), QStringList{"<fehlt>"});
        EXPECT_FALSE(QFile::exists(bed.protocolDir + "hmail-20240305-070809.log"));
        EXPECT_EQ(bed.window.zaehler(), "3 Änderungen, abgebrochen");
        expectControlsGivenBack();
        EXPECT_EQ(bed.routes.currentRow(), 0);
    }

    // Asked for while the run still planned: no change at all.
    const QList<TableRow> table = {{3, "s1@b.org"}, {3, "keep@b.org"}};
    seed(table);
    QFile::remove(bed.protocolDir + "hmail-20240305-070809-abbruch.log");
    bed.window.stopAfter = 1;
    bed.window.stopQuestions = 0;
    EXPECT_EQ(runFailure(), std::nullopt);
    bed.window.stopAfter = -1;
    EXPECT_EQ(bed.rows(), table);
    EXPECT_EQ(recordLines("abbruch"),
              QStringList({header(), "Abgebrochen nach 0 von 3 geplanten Änderungen"}));
    EXPECT_EQ(bed.window.zaehler(), "0 Änderungen, abgebrochen");

    // Pressed while the plan is made: the window hears it at its next
    // breath, which comes before the first change.
    seed(table);
    QFile::remove(bed.protocolDir + "hmail-20240305-070809-abbruch.log");
    bool pressed = false;
    bed.window.onBreath = [&] {
        if (pressed) {
            bed.window.stopAfter = 0;
        } else if (bed.RA2.isOpen()) {
            pressed = true;
        }
    };
    EXPECT_EQ(runFailure(), std::nullopt);
    bed.window.onBreath = nullptr;
    bed.window.stopAfter = -1;
    EXPECT_TRUE(pressed);
    EXPECT_EQ(bed.rows(), table);
    EXPECT_EQ(recordLines("abbruch"),
              QStringList({header(), "Abgebrochen nach 0 von 3 geplanten Änderungen"}));
}

// A dry run changes nothing, and its lines are those of the real run that
// follows it; batches change nothing in what a run does.
TEST_F(SyncFailureTest, DryRunAndBatchesGiveTheLinesOfThePlainRun) {
    const QList<TableRow> table = {{3, "s1@b.org"}, {1, "s2@example.com"}, {3, "Keep@b.org"}};
    const QStringList list = {"keep@B.org", "n2@example.com", "n1@b.org", "n1@B.ORG", "x@nowhere"};
    seed(table);
    bed.writeList(list);
    EXPECT_EQ(runFailure(dryRun()), std::nullopt);
    EXPECT_EQ(bed.rows(), table);
    const QStringList planned = bed.window.protokollLines();
    EXPECT_EQ(bed.window.zaehler(), "4 Änderungen geplant");
    EXPECT_EQ(TextFile::readLines(bed.protocolDir + "hmail-20240305-070809-test.log"),
              planned.mid(0, 5));
    EXPECT_EQ(protocolFiles(), QStringList({"hmail-20240305-070809-test.log"}));

    QList<QList<TableRow>> outcomes;
    for (const int batch : {0, 1, 2, 1000}) {
        SCOPED_TRACE(batch);
        seed(table);
        EXPECT_EQ(runFailure(batched(batch)), std::nullopt);
        EXPECT_EQ(bed.window.protokollLines().mid(0, 5), planned.mid(0, 5));
        EXPECT_EQ(TextFile::readLines(bed.protocolDir + "hmail-20240305-070809.log"),
                  planned.mid(0, 5));
        EXPECT_EQ(bed.window.zaehler(), "5 Änderungen");
        outcomes.append(bed.rows());
    }
    EXPECT_EQ(outcomes.at(0),
              QList<TableRow>({{3, "Keep@b.org"}, {3, "n1@b.org"}, {1, "n2@example.com"}}));
    EXPECT_EQ(outcomes.count(outcomes.at(0)), 4);
}

// An entry the mail server's column cannot hold ends the run before any
// change, named by its line.
TEST_F(SyncFailureTest, AnEntryLongerThanTheColumnEndsTheRunBeforeAnyChange) {
    seed({{3, "stale@b.org"}});
    const QString fits = QString(249, u'f') + "@b.org";    // 255 characters
    const QString tooLong = QString(250, u'l') + "@b.org"; // 256
    bed.writeList({fits, "-", tooLong});
    // A dry run tells the same, and leaves no record: it changed nothing.
    const std::optional<QString> foretold = runFailure(dryRun());
    EXPECT_TRUE(foretold.has_value());
    EXPECT_EQ(protocolFiles(), QStringList());
    const std::optional<QString> failure = runFailure();
    EXPECT_EQ(failure, foretold);
    EXPECT_EQ(failure, "Zeile 3 der Adressliste ist länger als 255 Zeichen und passt nicht in "
                       "die Tabelle hm_routeaddresses: \"" +
                           QString(40, u'l') + "...\". Es wurde nichts geändert");
    EXPECT_EQ(bed.rows(), QList<TableRow>({{3, "stale@b.org"}}));
    // The list sorted by "Ausnahme hinzufügen": still the line in the file.
    bed.writeList({"zz@b.org", tooLong});
    bed.Liste.setSorted(true);
    EXPECT_EQ(runFailure(), "Zeile 2 der Adressliste ist länger als 255 Zeichen und passt nicht "
                            "in die Tabelle hm_routeaddresses: \"" +
                                QString(40, u'l') + "...\". Es wurde nichts geändert");
    bed.Liste.setSorted(false);
    bed.writeList({fits, "-", tooLong});
    // A long line that is excepted, or already in the table, is no insertion.
    bed.writeExceptions({QString(250, u'l')});
    EXPECT_EQ(runFailure(), std::nullopt);
    EXPECT_EQ(bed.rows(), QList<TableRow>({{3, fits}}));

    // The column counts characters: 200 emoji and "@b.org" are 206 of them,
    // though 406 UTF-16 units. A list with emoji comes as UTF-8.
    const QString wide = QStringLiteral("\U0001F600").repeated(200) + "@b.org";
    {
        QFile list(bed.listFile);
        ASSERT_TRUE(list.open(QIODevice::WriteOnly | QIODevice::Truncate));
        list.write((fits + "\r\n" + wide + "\r\n").toUtf8());
    }
    EXPECT_EQ(runFailure(), std::nullopt);
    EXPECT_EQ(bed.rows(), QList<TableRow>({{3, fits}, {3, wide}}));
    bed.writeList({fits});
    EXPECT_EQ(runFailure(), std::nullopt);
    // The message shows the first 40 units, but never half a character.
    const QString cutInAPair =
        QString(39, u'l') + QStringLiteral("\U0001F600") + QString(250, u'm') + "@b.org";
    {
        QFile list(bed.listFile);
        ASSERT_TRUE(list.open(QIODevice::WriteOnly | QIODevice::Truncate));
        list.write((fits + "\r\n" + cutInAPair + "\r\n").toUtf8());
    }
    EXPECT_EQ(runFailure(), "Zeile 2 der Adressliste ist länger als 255 Zeichen und passt nicht "
                            "in die Tabelle hm_routeaddresses: \"" +
                                QString(39, u'l') + "...\". Es wurde nichts geändert");
    EXPECT_EQ(bed.rows(), QList<TableRow>({{3, fits}}));

    // Nor can every driver store a NUL character: one driver cuts the
    // address there, another refuses it in the middle of the run.
    const QString nul = QStringLiteral("nu") + QChar(u'\0') + QStringLiteral("l@b.org");
    bed.writeList({"-", nul});
    EXPECT_EQ(runFailure(),
              "Zeile 2 der Adressliste enthält ein Nullzeichen (NUL): \"nu l@b.org\". "
              "Es wurde nichts geändert");
    EXPECT_EQ(bed.rows(), QList<TableRow>({{3, fits}}));
    // An entry with a NUL in its domain names no row and no route: the row
    // it meant would go. A list in UTF-16 without its mark is all such entries.
    bed.writeList({QString(fits).replace("@b.org", QStringLiteral("@b.o") + QChar(u'\0') + "rg")});
    EXPECT_EQ(runFailure(), "Zeile 1 der Adressliste enthält ein Nullzeichen (NUL): \"" +
                                QString(40, u'f') + "\". Es wurde nichts geändert");
    EXPECT_EQ(bed.rows(), QList<TableRow>({{3, fits}}));
    // A second byte-order mark at the start of a line, where exports were
    // joined (a reading takes one off): one driver would store the address
    // without it, another swap its bytes, night after night.
    const auto writeUtf8 = [&](const QString& second) {
        QFile list(bed.listFile);
        ASSERT_TRUE(list.open(QIODevice::WriteOnly));
        list.write((fits + "\r\n" + second + "\r\n").toUtf8());
    };
    for (const char16_t mark : {u'\uFEFF', u'\uFFFE'}) {
        writeUtf8(QString(2, QChar(mark)) + "neu@b.org");
        EXPECT_EQ(runFailure(), QStringLiteral("Zeile 2 der Adressliste beginnt mit einer "
                                               "Byte-Order-Mark (U+%1), die nicht jede Datenbank "
                                               "speichert: \"%2neu@b.org\". Es wurde nichts "
                                               "geändert")
                                    .arg(QString::number(mark, 16).toUpper(),
                                         QString(mark == u'\uFEFF' ? 1 : 2, QChar(mark))));
    }
    // U+FFFE and U+FFFF are no characters: SQLite reads them back as U+FFFD.
    for (const char16_t nonCharacter : {u'\uFFFE', u'\uFFFF'}) {
        writeUtf8(QStringLiteral("ne") + QChar(nonCharacter) + "u@b.org");
        EXPECT_EQ(runFailure(), QStringLiteral("Zeile 2 der Adressliste enthält das Zeichen "
                                               "U+%1, das nicht jede Datenbank speichert: "
                                               "\"ne%2u@b.org\". Es wurde nichts geändert")
                                    .arg(QString::number(nonCharacter, 16).toUpper())
                                    .arg(QChar(nonCharacter)));
    }
    // Within the address it is stored as it stands.
    writeUtf8(QStringLiteral("neu\uFEFF@b.org"));
    EXPECT_EQ(runFailure(), std::nullopt);
    EXPECT_EQ(bed.rows(), QList<TableRow>({{3, fits}, {3, QStringLiteral("neu\uFEFF@b.org")}}));
    seed({{3, fits}});
    // An exception line that can match nothing would let its entries in.
    bed.writeList({fits});
    bed.writeExceptions({"-", QStringLiteral("f") + QChar(u'\0')});
    EXPECT_EQ(runFailure(), "Zeile 2 der Ausnahmenliste enthält ein Nullzeichen (NUL): \"f \". "
                            "Es wurde nichts geändert");
    EXPECT_EQ(bed.rows(), QList<TableRow>({{3, fits}}));
}

} // namespace
