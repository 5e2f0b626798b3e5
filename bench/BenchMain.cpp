// tarvelo_bench: the shipped executable's synchronisation run, started
// unattended as a scheduler starts it, on generated installations (10,000
// routes, 2% changes each way):
//  - memory-backed SQLite (/dev/shm: the program's own cost) and PostgreSQL
//    (with TARVELO_TEST_PG or --pg) at 100,000 and 1,000,000 list entries
//    against as many rows: the run beside its statements alone, and its peak
//    memory, against the guards;
//  - disk-backed SQLite at 20,000 rows, where each commit waits for the disk:
//    the run with "/batch:1000" beside a set-based script doing the same job
//    in one transaction and beside its statements alone in one transaction,
//    and the run without "/batch:".
// Each step runs in a process of its own, so that a peak memory is that
// process's alone.
//
//   tarvelo_bench [--sizes 100000,1000000] [--pg-sizes 100000,1000000]
//                 [--disk-size 20000] [--dir DIR] [--disk-dir DIR]
//                 [--pg CONNECTION] [--no-pg] [--exe PROGRAM]

#include "BenchData.h"
#include "BenchDatabase.h"
#include "BenchExecutable.h"
#include "SetBasedScript.h"

#include "db/Database.h"
#include "db/RouteAddressStatements.h"
#include "db/RoutesDataset.h"
#include "db/SqlExec.h"
#include "platform/TarveloError.h"
#include "platform/TextFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QSqlQuery>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QVariant>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <time.h>

namespace {

constexpr int kRoutes = 10000;

void say(const QString& text) {
    std::printf("%s\n", text.toUtf8().constData());
    std::fflush(stdout);
}

// The processor time this process has used (user and system).
double processorSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// What the first touch of a page of fresh memory costs on this machine, in
// seconds: on some virtual machines it is ten times a bare machine's, and a
// run that holds its list, its table and their index touches thousands.
double measureNewPage() {
    constexpr size_t kPage = 4096;
    constexpr size_t kPages = 16384; // 64 MB
    QElapsedTimer timer;
    timer.start();
    const auto memory = std::make_unique_for_overwrite<char[]>(kPage * kPages);
    volatile char* bytes = memory.get();
    for (size_t i = 0; i < kPages; ++i) {
        bytes[i * kPage] = 1;
    }
    return double(timer.nsecsElapsed()) / 1e9 / double(kPages);
}

double secondsPerNewPage() {
    static const double seconds = measureNewPage();
    return seconds;
}

// Child: generates the installation, writes the list and the exception file
// and creates the database as it is before the run.
int generateChild(const QString& server, const QString& workDir, int entries) {
    BenchData data = generateBenchData(entries, kRoutes, 20240305u + unsigned(entries));
    TextFile::replaceLines(QDir(workDir).filePath("adressen.txt"), data.list);
    TextFile::replaceLines(QDir(workDir).filePath("ausnahmen.txt"), data.exceptions);
    BenchDatabase databases(server, workDir);
    databases.create("tarvelo_bench_before", data);
    say(QStringLiteral("RESULT %1 %2").arg(data.list.size()).arg(data.rows.size()));
    return 0;
}

// The run's two reads, alone: the routes and the table, every value fetched
// as text or number as any client must. Returns the characters fetched, so
// that nothing is left out.
qint64 readAsTheRunReads(QSqlDatabase db) {
    qint64 characters = 0;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    SqlExec::exec(query, RoutesDataset::queryLines().join(QStringLiteral("\r\n")));
    while (query.next()) {
        characters += query.value(0).toLongLong() > 0 ? query.value(1).toString().size() : 0;
    }
    SqlExec::exec(query, RouteAddressStatements::selectAll());
    while (query.next()) {
        characters += query.value(0).toLongLong() > 0 ? query.value(1).toString().size() : 0;
    }
    query.finish();
    return characters;
}

// Child: the statements a run made, alone, on a copy of the database as it
// was before the run: its two reads, then the DELETE and INSERT statements,
// found by comparing the table before and after the run (not timed) and
// executed in the run's order (deletions, then insertions), prepared and
// bound as the run's dataset does, each committed at once ("each") or all in
// one transaction ("one").
int statementsChild(const QString& before, const QString& after, const QString& target,
                    const QString& commits) {
    const QList<BenchDatabase::Row> old = BenchDatabase::tableRows(before);
    const QList<BenchDatabase::Row> now = BenchDatabase::tableRows(after);
    QHash<int, int> kept;
    int maxOld = 0;
    for (const auto& row : now) {
        kept.insert(row.id, 1);
    }
    QList<int> deleted;
    for (const auto& row : old) {
        maxOld = std::max(maxOld, row.id);
        if (!kept.contains(row.id)) {
            deleted.append(row.id);
        }
    }
    QList<BenchDatabase::Row> inserted;
    for (const auto& row : now) {
        if (row.id > maxOld) {
            inserted.append(row);
        }
    }

    Database database;
    database.setConnectionString(target);
    database.open();
    QSqlDatabase db = database.handle();
    QSqlQuery remove(db);
    QSqlQuery insert(db);
    SqlExec::prepare(remove, RouteAddressStatements::deleteById());
    SqlExec::prepare(insert, RouteAddressStatements::insert(database.server()));
    const bool oneTransaction = commits == QStringLiteral("one");
    const double cpuBefore = processorSeconds();
    QElapsedTimer timer;
    timer.start();
    if (readAsTheRunReads(db) == 0) {
        throw std::runtime_error("the reads fetched nothing");
    }
    const double readSeconds = double(timer.nsecsElapsed()) / 1e9;
    if (oneTransaction && !db.transaction()) {
        throw std::runtime_error("BEGIN failed");
    }
    for (const int id : deleted) {
        remove.addBindValue(id);
        SqlExec::execPrepared(remove);
        remove.finish();
    }
    for (const auto& row : inserted) {
        insert.addBindValue(row.routeId);
        insert.addBindValue(database.text(row.address));
        SqlExec::execPrepared(insert);
        insert.finish();
    }
    if (oneTransaction && !db.commit()) {
        throw std::runtime_error("COMMIT failed");
    }
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    const double cpuSeconds = processorSeconds() - cpuBefore;
    say(QStringLiteral("RESULT %1 %2 %3 %4")
            .arg(seconds, 0, 'f', 3)
            .arg(deleted.size() + inserted.size())
            .arg(cpuSeconds, 0, 'f', 3)
            .arg(readSeconds, 0, 'f', 3));
    return 0;
}

// Child: the set-based script on target (a copy of the database before the
// run) with the run's list and exception file; whether it left the same table
// as the run left in reference.
int scriptChild(const QString& target, const QString& workDir, const QString& reference) {
    Database database;
    database.setConnectionString(target);
    database.open();
    QSqlDatabase db = database.handle();
    const double cpuBefore = processorSeconds();
    QElapsedTimer timer;
    timer.start();
    runSetBasedScript(db, QDir(workDir).filePath(QStringLiteral("adressen.txt")),
                      QDir(workDir).filePath(QStringLiteral("ausnahmen.txt")));
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    const double cpuSeconds = processorSeconds() - cpuBefore;
    const QList<BenchDatabase::Row> mine = BenchDatabase::tableRows(target);
    const QList<BenchDatabase::Row> theirs = BenchDatabase::tableRows(reference);
    bool same = mine.size() == theirs.size();
    for (qsizetype i = 0; same && i < mine.size(); ++i) {
        same = mine[i].id == theirs[i].id && mine[i].routeId == theirs[i].routeId &&
               mine[i].address == theirs[i].address;
    }
    say(QStringLiteral("RESULT %1 %2 %3")
            .arg(seconds, 0, 'f', 3)
            .arg(cpuSeconds, 0, 'f', 3)
            .arg(same ? 1 : 0));
    return 0;
}

// Child: one run of the executable, started from this small process. Linux
// counts a process's memory at the moment it starts another program as that
// program's peak too; started from the benchmark, grown by then, the
// executable would be charged with the benchmark's memory.
int executableChild(const QStringList& arguments) {
    const BenchExecutable executable(arguments.at(0), arguments.at(1));
    const ExecutableRun run =
        executable.run(arguments.at(2), arguments.at(3), arguments.at(4), arguments.mid(5));
    say(QStringLiteral("RESULT %1 %2 %3 %4 %5")
            .arg(run.seconds, 0, 'f', 6)
            .arg(run.cpuSeconds, 0, 'f', 6)
            .arg(run.peakMegabytes, 0, 'f', 3)
            .arg(run.newPages)
            .arg(run.protocolFile));
    return 0;
}

// Child: whether two protocol files hold the same changes, line for line
// (their headers name the time of the run).
int sameProtocolChild(const QString& a, const QString& b) {
    const QStringList first = TextFile::readLines(a);
    const QStringList second = TextFile::readLines(b);
    const bool same = !first.isEmpty() && !second.isEmpty() && first.mid(1) == second.mid(1);
    say(QStringLiteral("RESULT %1").arg(same ? 1 : 0));
    return 0;
}

QStringList child(const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QCoreApplication::applicationFilePath(), QStringList{"--child"} + arguments);
    process.waitForFinished(-1);
    const QStringList lines = QString::fromUtf8(process.readAllStandardOutput()).split(u'\n');
    for (const QString& line : lines) {
        if (line.startsWith(QStringLiteral("RESULT "))) {
            return line.mid(7).split(u' ');
        }
    }
    throw std::runtime_error("a measuring process failed: " +
                             QStringList(arguments).join(u' ').toStdString());
}

// The shipped executable in an installation of its own below base.
BenchExecutable executableIn(const QString& program, const QString& base) {
    const QString home = QDir(base).absoluteFilePath(
        QStringLiteral("tarvelo-bench-exe-%1").arg(QCoreApplication::applicationPid()));
    return BenchExecutable(program, home);
}

QString ratio(double seconds, double baseSeconds) {
    return baseSeconds > 0 ? QString::number(seconds / baseSeconds, 'f', 2) : QStringLiteral("-");
}

QString metOrNot(bool met) {
    return met ? QStringLiteral("met") : QStringLiteral("NOT met");
}

// On a machine shared with others one time can be twice the program's own,
// and a run of half a second is easily caught by a slow spell: below a
// million entries each figure is the fastest of seven runs, at a million and
// more of two.
int repeatsFor(int size) {
    return size < 1000000 ? 7 : 2;
}

// The fastest of `repeats` runs of the executable with switches, each on a
// fresh copy of tarvelo_bench_before named copy (left as the last run left
// it: every run makes the same changes), or, without a copy, on
// tarvelo_bench_before itself (a dry run).
ExecutableRun quickestRun(BenchDatabase& databases, const BenchExecutable& executable,
                          const QString& workDir, const QString& copy, const QStringList& switches,
                          int repeats) {
    ExecutableRun best;
    for (int i = 0; i < repeats; ++i) {
        const QString connection = copy.isEmpty()
                                       ? databases.connectionString("tarvelo_bench_before")
                                       : databases.copy("tarvelo_bench_before", copy);
        const QStringList result = child(QStringList{"exe", executable.program(), executable.home(),
                                                     connection, workDir, QStringLiteral("*")} +
                                         switches);
        ExecutableRun run;
        run.seconds = result.at(0).toDouble();
        run.cpuSeconds = result.at(1).toDouble();
        run.peakMegabytes = result.at(2).toDouble();
        run.newPages = result.at(3).toLongLong();
        run.protocolFile = result.mid(4).join(u' ');
        if (i == 0 || run.seconds < best.seconds) {
            best = run;
        }
        // Each run's installation replaces the one before: the last run's
        // protocol file is the one left.
        best.protocolFile = run.protocolFile;
    }
    return best;
}

// The fastest of `repeats` runs of the statements that turned
// tarvelo_bench_before into after, each on a fresh copy: {seconds, changes, processor seconds}.
QStringList fastestStatements(BenchDatabase& databases, const QString& after,
                              const QString& commits, int repeats) {
    QStringList best;
    for (int i = 0; i < repeats; ++i) {
        const QString alone = databases.copy("tarvelo_bench_before", "tarvelo_bench_alone");
        const QStringList result =
            child({"statements", databases.connectionString("tarvelo_bench_before"), after, alone,
                   commits});
        if (i == 0 || result.at(0).toDouble() < best.at(0).toDouble()) {
            best = result;
        }
    }
    return best;
}

// The guards of the memory-backed and server runs: the executable within
// `ratio` times its statements alone, its peak under `megabytes`.
struct Guard {
    int entries;
    double ratio;
    double megabytes;
};
constexpr Guard kGuards[] = {{100000, 1.5, 60}, {1000000, 2.0, 250}};

// Appends the line of the guard for size, if there is one, to guardLines.
void measure(BenchDatabase& databases, const QString& server, const QString& workDir, int size,
             const BenchExecutable& executable, QStringList& guardLines) {
    const QStringList generated = child({"generate", server, workDir, QString::number(size)});
    // Round by round, the run, its dry run and its statements alone: a slow
    // spell of a shared machine then falls on all three alike instead of on
    // the one measured during it.
    ExecutableRun exe;
    ExecutableRun dry;
    QStringList statements;
    for (int i = 0; i < repeatsFor(size); ++i) {
        const ExecutableRun run =
            quickestRun(databases, executable, workDir, "tarvelo_bench_exe", {}, 1);
        // The same run planned only: start-up, reads, plan and protocol, no change.
        const ExecutableRun planned =
            quickestRun(databases, executable, workDir, QString(), {QStringLiteral("/dryrun")}, 1);
        const QStringList alone = fastestStatements(
            databases, databases.connectionString("tarvelo_bench_exe"), "each", 1);
        if (i == 0 || run.seconds < exe.seconds) {
            exe = run;
        }
        if (i == 0 || planned.seconds < dry.seconds) {
            dry = planned;
        }
        if (i == 0 || alone.at(0).toDouble() < statements.at(0).toDouble()) {
            statements = alone;
        }
    }
    for (const char* name : {"tarvelo_bench_before", "tarvelo_bench_exe", "tarvelo_bench_alone"}) {
        databases.drop(name);
    }

    const double aloneSeconds = statements.at(0).toDouble();
    const double aloneCpu = statements.at(2).toDouble();
    say(QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9 %10 %11 %12 %13 %14 %15")
            .arg(databases.backendName(), -10)
            .arg(generated.at(0), 8)
            .arg(generated.at(1), 8)
            .arg(statements.at(1), 7)
            .arg(exe.seconds, 8, 'f', 3)
            .arg(aloneSeconds, 8, 'f', 3)
            .arg(statements.at(3).toDouble(), 8, 'f', 3)
            .arg(ratio(exe.seconds, aloneSeconds), 6)
            .arg(exe.cpuSeconds, 8, 'f', 3)
            .arg(aloneCpu, 8, 'f', 3)
            .arg(ratio(exe.cpuSeconds, aloneCpu), 6)
            .arg(exe.peakMegabytes, 7, 'f', 1)
            .arg(dry.seconds, 7, 'f', 3)
            .arg(dry.cpuSeconds, 7, 'f', 3)
            .arg(dry.peakMegabytes, 7, 'f', 1));
    for (const Guard& guard : kGuards) {
        if (guard.entries == size) {
            const double r = aloneSeconds > 0 ? exe.seconds / aloneSeconds : 0;
            guardLines.append(
                QStringLiteral("  %1 at %2: ratio %3 within %4: %5; peak %6 MB under %7 MB: %8; "
                               "%9 new pages, %10 s of its time here")
                    .arg(databases.backendName(), -10)
                    .arg(size, 7)
                    .arg(r, 0, 'f', 2)
                    .arg(guard.ratio, 0, 'f', 1)
                    .arg(metOrNot(aloneSeconds > 0 && r <= guard.ratio), -7)
                    .arg(exe.peakMegabytes, 0, 'f', 1)
                    .arg(guard.megabytes, 0, 'f', 0)
                    .arg(metOrNot(exe.peakMegabytes < guard.megabytes))
                    .arg(exe.newPages)
                    .arg(double(exe.newPages) * secondsPerNewPage(), 0, 'f', 3));
        }
    }
}

// The fastest of `repeats` runs of the set-based script, each on a fresh copy
// of tarvelo_bench_before: {seconds, processor seconds}. It must leave the
// table the run left in reference.
QStringList fastestScript(BenchDatabase& databases, const QString& workDir,
                          const QString& reference, int repeats) {
    QStringList best;
    for (int i = 0; i < repeats; ++i) {
        const QString copy = databases.copy("tarvelo_bench_before", "tarvelo_bench_script");
        const QStringList result = child({"script", copy, workDir, reference});
        if (result.at(2) != "1") {
            throw std::runtime_error("the set-based script left another table than the run");
        }
        if (i == 0 || result.at(0).toDouble() < best.at(0).toDouble()) {
            best = result;
        }
    }
    return best;
}

// On the disk: "/batch:1000" beside a set-based script in one transaction
// doing the same job, and beside the run's statements alone; the run without
// "/batch:" for contrast.
void measureDisk(const QString& workDir, int size, const BenchExecutable& executable,
                 QStringList& guardLines) {
    BenchDatabase databases(QString(), workDir);
    const QStringList generated = child({"generate", QString(), workDir, QString::number(size)});
    const int repeats = 3;
    const ExecutableRun batch = quickestRun(databases, executable, workDir, "tarvelo_bench_batch",
                                            {QStringLiteral("/batch:1000")}, repeats);
    const QString batchProtocol = QDir(workDir).filePath("batch-protocol.log");
    QFile::remove(batchProtocol);
    QFile::copy(batch.protocolFile, batchProtocol);
    // Each change waits for the disk: once is enough.
    const ExecutableRun each =
        quickestRun(databases, executable, workDir, "tarvelo_bench_single", {}, 1);
    if (child({"sameprotocol", batchProtocol, each.protocolFile}).at(0) != "1") {
        throw std::runtime_error("the run with /batch:1000 made other changes than without it");
    }
    const ExecutableRun dry = quickestRun(databases, executable, workDir, QString(),
                                          {QStringLiteral("/dryrun")}, repeats);
    const QString reference = databases.connectionString("tarvelo_bench_batch");
    const QStringList script = fastestScript(databases, workDir, reference, repeats);
    const QStringList statements = fastestStatements(databases, reference, "one", repeats);
    for (const char* name : {"tarvelo_bench_before", "tarvelo_bench_batch", "tarvelo_bench_single",
                             "tarvelo_bench_script", "tarvelo_bench_alone"}) {
        databases.drop(name);
    }

    const double scriptSeconds = script.at(0).toDouble();
    say(QStringLiteral("Disk-backed SQLite in %1 (%2): %3 list entries, %4 rows, %5 changes.")
            .arg(workDir, QString::fromLatin1(QStorageInfo(workDir).fileSystemType()),
                 generated.at(0), generated.at(1), statements.at(1)));
    const auto line = [scriptSeconds](const QString& label, double seconds, double cpu) {
        say(QStringLiteral("%1 %2 %3 %4")
                .arg(label, -52)
                .arg(seconds, 9, 'f', 3)
                .arg(ratio(seconds, scriptSeconds), 7)
                .arg(cpu, 8, 'f', 3));
    };
    say(QStringLiteral("%1 %2 %3 %4").arg("", -52).arg("s", 9).arg("ratio", 7).arg("cpu s", 8));
    line(QStringLiteral("the executable, /batch:1000"), batch.seconds, batch.cpuSeconds);
    line(QStringLiteral("a set-based script in one transaction"), scriptSeconds,
         script.at(1).toDouble());
    line(QStringLiteral("the run's statements alone in one transaction"),
         statements.at(0).toDouble(), statements.at(2).toDouble());
    line(QStringLiteral("the executable, /dryrun (planned, no change)"), dry.seconds,
         dry.cpuSeconds);
    line(QStringLiteral("the executable without /batch (for contrast)"), each.seconds,
         each.cpuSeconds);
    say(QStringLiteral(
        "a set-based script: what an administrator would write instead, in one process "
        "already connected: BEGIN, the list and the exception lines loaded into temporary "
        "tables, the excepted entries marked, DELETE of the rows no entry names, INSERT ... "
        "SELECT of the new entries into their routes, COMMIT, on a copy of the same data; it "
        "left the same table as the run, row for row. The run's statements alone: its two "
        "reads (the routes and the table, fetched, nothing kept), then the same prepared "
        "DELETE ... WHERE routeaddressid = ? and INSERT statements the run made, in its "
        "order, between one BEGIN and one COMMIT, with nothing compared. The run "
        "without /batch made the same changes, line for line. Each time but the run without "
        "/batch is the fastest of three."));
    const double r = scriptSeconds > 0 ? batch.seconds / scriptSeconds : 0;
    guardLines.append(QStringLiteral("  SQLite disk at %1: /batch:1000 %2 times the set-based "
                                     "script, within 3.0: %3")
                          .arg(size)
                          .arg(r, 0, 'f', 2)
                          .arg(metOrNot(scriptSeconds > 0 && r <= 3.0)));
}

QString memoryDirectory() {
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    return shm.isDir() && shm.isWritable() ? shm.filePath() : QString();
}

QList<int> sizeList(const QString& text) {
    QList<int> sizes;
    for (const QString& s : text.split(u',', Qt::SkipEmptyParts)) {
        sizes.append(s.toInt());
    }
    return sizes;
}

int usage() {
    std::fprintf(stderr, "usage: tarvelo_bench [--sizes N,...] [--pg-sizes N,...] "
                         "[--disk-size N] [--dir DIR] [--disk-dir DIR] [--pg CONNECTION] "
                         "[--no-pg] [--exe PROGRAM]\n");
    return 2;
}

int parentMain(const QStringList& arguments) {
    QList<int> sizes = {100000, 1000000};
    QList<int> serverSizes = sizes;
    int diskSize = 20000;
    QString dir = memoryDirectory();
    QString diskDir = QDir::tempPath();
    QString server = qEnvironmentVariable("TARVELO_TEST_PG");
    QString program = BenchExecutable::find();
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        const QString value = i + 1 < arguments.size() ? arguments.at(i + 1) : QString();
        if (a == "--no-pg") {
            server.clear();
            continue;
        }
        if (i + 1 >= arguments.size()) {
            return usage();
        }
        ++i;
        if (a == "--sizes") {
            sizes = sizeList(value);
        } else if (a == "--pg-sizes") {
            serverSizes = sizeList(value);
        } else if (a == "--disk-size") {
            diskSize = value.toInt();
        } else if (a == "--dir") {
            dir = value;
        } else if (a == "--disk-dir") {
            diskDir = value;
        } else if (a == "--pg") {
            server = value;
        } else if (a == "--exe") {
            program = value;
        } else {
            return usage();
        }
    }
    if (program.isEmpty()) {
        std::fprintf(stderr, "tarvelo_bench: no executable: build the target tarvelo, or name "
                             "it with --exe\n");
        return 1;
    }
    if (dir.isEmpty()) {
        dir = QDir::tempPath();
    }
    const QString pattern = QStringLiteral("/tarvelo-bench-XXXXXX");
    QTemporaryDir scratch(dir + pattern);
    QTemporaryDir diskScratch(diskDir + pattern);
    if (!scratch.isValid() || !diskScratch.isValid()) {
        std::fprintf(stderr, "tarvelo_bench: no scratch directory\n");
        return 1;
    }
    // The installations of the executable: one on each storage, so that its
    // log and protocol are written where its database lies.
    const BenchExecutable executable = executableIn(program, dir);
    const BenchExecutable diskExecutable = executableIn(program, diskDir);
    const struct HomeRemover {
        QString paths[2];
        ~HomeRemover() {
            for (const QString& path : paths) {
                QDir(path).removeRecursively();
            }
        }
    } homeRemover{{executable.home(), diskExecutable.home()}};
    QStringList guardLines;

    say(QStringLiteral("The shipped executable %1, started without display with /file: as a "
                       "scheduler starts it; %2 routes, 2% of the rows stale and 2% of the list "
                       "new.")
            .arg(program)
            .arg(kRoutes));
    say(QStringLiteral("SQLite files in %1 (%2), PostgreSQL as named by TARVELO_TEST_PG or --pg.")
            .arg(scratch.path(),
                 QString::fromLatin1(QStorageInfo(scratch.path()).fileSystemType())));
    say(QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9 %10 %11 %12 %13 %14 %15")
            .arg("database", -10)
            .arg("entries", 8)
            .arg("rows", 8)
            .arg("changes", 7)
            .arg("exe s", 8)
            .arg("stmts s", 8)
            .arg("reads s", 8)
            .arg("ratio", 6)
            .arg("exe cpu", 8)
            .arg("stmt cpu", 8)
            .arg("ratio", 6)
            .arg("exe MB", 7)
            .arg("dry s", 7)
            .arg("dry cpu", 7)
            .arg("dry MB", 7));
    {
        BenchDatabase databases(QString(), scratch.path());
        for (const int size : sizes) {
            measure(databases, QString(), scratch.path(), size, executable, guardLines);
        }
    }
    if (!server.isEmpty()) {
        BenchDatabase databases(server, scratch.path());
        for (const int size : serverSizes) {
            measure(databases, server, scratch.path(), size, executable, guardLines);
        }
    } else {
        say(QStringLiteral(
            "(no PostgreSQL: set TARVELO_TEST_PG or use --pg, or run `make bench`)"));
    }
    say(QStringLiteral(
        "exe s: the executable from its start to its end (start-up, list, "
        "exceptions, table read, plan, changes with its protocol pane and file, "
        "the end); stmts s: the run's statements alone, on a copy of the same database "
        "and already connected: its two reads (the routes and the table, every value "
        "fetched, nothing kept), then the same DELETE and INSERT statements, each "
        "committed at once; reads s: the reads' part of it; ratio = exe s / "
        "stmts s; exe cpu, stmt cpu: the processor time of each process alone (user and "
        "system; a server's not counted), little changed by others' load, and their ratio; "
        "exe MB: the executable's peak resident memory; dry s, dry cpu, dry MB: the same "
        "with /dryrun (the plan and its protocol, no change), on the same "
        "data. Each time is the fastest of seven, from 1,000,000 entries on of two."));
    say(QString());
    if (diskSize > 0) {
        measureDisk(diskScratch.path(), diskSize, diskExecutable, guardLines);
        say(QString());
    }
    say(QStringLiteral("Targets (new pages: the memory the executable touched first, each page "
                       "costing %1 microseconds on this machine):")
            .arg(secondsPerNewPage() * 1e6, 0, 'f', 1));
    for (const QString& line : guardLines) {
        say(line);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    try {
        if (arguments.size() >= 2 && arguments.at(1) == QStringLiteral("--child")) {
            const QString mode = arguments.value(2);
            if (mode == QStringLiteral("generate") && arguments.size() == 6) {
                return generateChild(arguments.at(3), arguments.at(4), arguments.at(5).toInt());
            }
            if (mode == QStringLiteral("script") && arguments.size() == 6) {
                return scriptChild(arguments.at(3), arguments.at(4), arguments.at(5));
            }
            if (mode == QStringLiteral("exe") && arguments.size() >= 8) {
                return executableChild(arguments.mid(3));
            }
            if (mode == QStringLiteral("sameprotocol") && arguments.size() == 5) {
                return sameProtocolChild(arguments.at(3), arguments.at(4));
            }
            if (mode == QStringLiteral("statements") && arguments.size() == 7) {
                return statementsChild(arguments.at(3), arguments.at(4), arguments.at(5),
                                       arguments.at(6));
            }
            std::fprintf(stderr, "tarvelo_bench: unknown child arguments\n");
            return 2;
        }
        return parentMain(arguments);
    } catch (const TarveloError& e) {
        std::fprintf(stderr, "tarvelo_bench: %s\n", e.what());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tarvelo_bench: %s\n", e.what());
    }
    return 1;
}
