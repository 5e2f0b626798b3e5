// tarvelo_bench: the synchronisation run on generated installations of
// growing size, on SQLite and (with TARVELO_TEST_PG or --pg) on PostgreSQL.
// Each measurement runs in a process of its own, so that the peak memory
// printed is that run's alone. Beside the core's run, the shipped executable
// makes the same run unattended, as a scheduler starts it.
//
//   tarvelo_bench [--sizes 10000,100000,1000000] [--dir DIR] [--pg CONNECTION] [--no-pg]
//                 [--exe PROGRAM]

#include "BenchData.h"
#include "BenchDatabase.h"
#include "BenchExecutable.h"
#include "BenchWindow.h"
#include "MemoryWindowState.h"

#include "core/ActivityLog.h"
#include "core/RouteBrowsing.h"
#include "core/SyncRun.h"
#include "core/WindowState.h"
#include "core/WorkingList.h"
#include "db/AddressDataset.h"
#include "db/Database.h"
#include "db/RouteAddressDataset.h"
#include "db/RoutesDataset.h"
#include "platform/AsciiCase.h"
#include "platform/Clock.h"
#include "platform/TarveloError.h"
#include "platform/TextFile.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <sys/resource.h>

namespace {

double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

void say(const QString& text) {
    std::printf("%s\n", text.toUtf8().constData());
    std::fflush(stdout);
}

// Child: one synchronisation run through the core, as the window starts it.
int runChild(const QString& connection, const QString& workDir, const QString& filter) {
    Database database;
    database.setConnectionString(connection);
    database.open();
    RoutesDataset routes(database);
    routes.open();
    RouteAddressDataset RA2(database);
    AddressDataset Address(database);
    MemoryWindowState window;
    window.setDomain(filter);
    window.setEmailliste(QDir(workDir).filePath("adressen.txt"));
    ActivityLog log(QDir(workDir).filePath("tarvelo.log"), Clock::system(), window);
    WorkingList Liste;
    QDir().mkpath(QDir(workDir).filePath("protokoll"));
    SyncContext context{.window = window,
                        .log = log,
                        .Liste = Liste,
                        .routes = routes,
                        .RA2 = RA2,
                        .exceptionFile = QDir(workDir).filePath("ausnahmen.txt"),
                        .ProtokollDir = QDir(workDir).filePath("protokoll") + u'/',
                        .clock = Clock::system(),
                        .reloadAddresses = [&] { RouteBrowsing::loadAddresses(routes, Address); }};
    QElapsedTimer timer;
    timer.start();
    runSynchronisation(context);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    const int changes = window.zaehler().section(u' ', 0, 0).toInt() - 1;
    say(QStringLiteral("RESULT %1 %2 %3")
            .arg(changes)
            .arg(seconds, 0, 'f', 3)
            .arg(peakMegabytes(), 0, 'f', 1));
    return 0;
}

// Child: the DELETE and INSERT statements the run made, alone, on a copy of
// the database as it was before the run. Found by comparing the table before
// and after the run (not timed); executed one by one, autocommit, prepared
// exactly as the dataset prepares them.
int statementsChild(const QString& before, const QString& after, const QString& target) {
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
    const bool returning = db.driverName() == QStringLiteral("QPSQL");
    QSqlQuery remove(db);
    QSqlQuery insert(db);
    remove.prepare(QStringLiteral("DELETE FROM hm_routeaddresses WHERE routeaddressid = ?"));
    insert.prepare(QStringLiteral("INSERT INTO hm_routeaddresses "
                                  "(routeaddressrouteid, routeaddressaddress) VALUES (?, ?)") +
                   (returning ? QStringLiteral(" RETURNING routeaddressid") : QString()));
    QElapsedTimer timer;
    timer.start();
    for (const int id : deleted) {
        remove.addBindValue(id);
        if (!remove.exec()) {
            throw std::runtime_error("DELETE failed");
        }
        remove.finish();
    }
    for (const auto& row : inserted) {
        insert.addBindValue(row.routeId);
        insert.addBindValue(row.address);
        if (!insert.exec()) {
            throw std::runtime_error("INSERT failed");
        }
        if (returning) {
            insert.next();
        } else {
            insert.lastInsertId();
        }
        insert.finish();
    }
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    say(QStringLiteral("RESULT %1 %2")
            .arg(seconds, 0, 'f', 3)
            .arg(deleted.size() + inserted.size()));
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

struct Case {
    int entries;
    QString filter;
};

// Child: generates the installation, writes the list and the exception file
// and creates the database as it is before the run.
int generateChild(const QString& server, const QString& workDir, int entries, int routeCount) {
    BenchData data = generateBenchData(entries, routeCount, 20240305u + unsigned(entries));
    TextFile::replaceLines(QDir(workDir).filePath("adressen.txt"), data.list);
    TextFile::replaceLines(QDir(workDir).filePath("ausnahmen.txt"), data.exceptions);
    BenchDatabase databases(server, workDir);
    databases.create("tarvelo_bench_before", data);
    say(QStringLiteral("RESULT %1 %2").arg(data.list.size()).arg(data.rows.size()));
    return 0;
}

// The protocol file of the core's run in workDir.
QString coreProtocolFile(const QString& workDir) {
    const QDir directory(QDir(workDir).filePath("protokoll"));
    const QStringList files =
        directory.entryList({QStringLiteral("hmail-*.log")}, QDir::Files, QDir::Name);
    if (files.size() != 1) {
        throw std::runtime_error("the core's run left no protocol file");
    }
    return directory.filePath(files.constFirst());
}

// Child: whether two protocol files hold the same changes, line for line
// (their headers name different list files).
int sameProtocolChild(const QString& a, const QString& b) {
    const QStringList first = TextFile::readLines(a);
    const QStringList second = TextFile::readLines(b);
    const bool same = !first.isEmpty() && !second.isEmpty() && first.mid(1) == second.mid(1);
    say(QStringLiteral("RESULT %1").arg(same ? 1 : 0));
    return 0;
}

// Child: one entry of a megabyte added to the list of workDir.
int longEntryChild(const QString& workDir) {
    const QString listFile = QDir(workDir).filePath("adressen.txt");
    QStringList lines = TextFile::readLines(listFile);
    const QString domain = lines.constFirst().mid(lines.constFirst().indexOf(u'@'));
    lines.append(QString(1000 * 1000, u'x') + domain);
    TextFile::replaceLines(listFile, lines);
    say(QStringLiteral("RESULT %1").arg(lines.size()));
    return 0;
}

QString ratio(double seconds, double aloneSeconds) {
    return aloneSeconds > 0 ? QString::number(seconds / aloneSeconds, 'f', 2) : QStringLiteral("-");
}

void measure(BenchDatabase& databases, const QString& server, const QString& workDir,
             const QString& storage, const Case& c, const BenchExecutable* executable) {
    const int routeCount = std::max(10, c.entries / 100);
    // Each step in a process of its own: a child starts with the peak memory
    // of its parent, so the parent stays small.
    const QStringList generated = child(
        {"generate", server, workDir, QString::number(c.entries), QString::number(routeCount)});
    const QString entries = generated.at(0);
    const QString rows = generated.at(1);
    const QString before = databases.connectionString("tarvelo_bench_before");

    QDir(QDir(workDir).filePath("protokoll")).removeRecursively();
    const QString run = databases.copy("tarvelo_bench_before", "tarvelo_bench_run");
    const QStringList result = child({"run", run, workDir, c.filter});
    const QString alone = databases.copy("tarvelo_bench_before", "tarvelo_bench_alone");
    const QStringList statements = child({"statements", before, run, alone});
    const double aloneSeconds = statements.at(0).toDouble();
    QString exeSeconds = QStringLiteral("-");
    QString exeMegabytes = QStringLiteral("-");
    QString exeRatio = QStringLiteral("-");
    if (executable != nullptr) {
        const QString copy = databases.copy("tarvelo_bench_before", "tarvelo_bench_exe");
        const ExecutableRun exe = executable->run(copy, workDir, c.filter);
        // The same installation: the same changes, line for line.
        if (child({"sameprotocol", coreProtocolFile(workDir), exe.protocolFile}).at(0) != "1") {
            throw std::runtime_error("the executable's protocol differs from the core's");
        }
        exeSeconds = QString::number(exe.seconds, 'f', 3);
        exeMegabytes = QString::number(exe.peakMegabytes, 'f', 1);
        exeRatio = ratio(exe.seconds, aloneSeconds);
    }
    for (const char* name : {"tarvelo_bench_before", "tarvelo_bench_run", "tarvelo_bench_alone",
                             "tarvelo_bench_exe"}) {
        databases.drop(name);
    }

    const double runSeconds = result.at(1).toDouble();
    say(QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9 %10 %11 %12 %13 %14")
            .arg(databases.backendName(), -10)
            .arg(storage, -8)
            .arg(c.filter, -10)
            .arg(entries, 9)
            .arg(rows, 9)
            .arg(routeCount, 7)
            .arg(result.at(0), 8)
            .arg(result.at(1), 9)
            .arg(result.at(2), 9)
            .arg(statements.at(0), 9)
            .arg(ratio(runSeconds, aloneSeconds), 7)
            .arg(exeSeconds, 9)
            .arg(exeMegabytes, 9)
            .arg(exeRatio, 9));
}

// The run through the real main window without screen, against the run
// through the core alone, on one installation: the list as generated, then
// with one entry of a megabyte added (a protocol line of that length).
void measureWindow(BenchDatabase& databases, const QString& workDir, int entries) {
    const int routeCount = std::max(10, entries / 100);
    QString listEntries = child({"generate", QString(), workDir, QString::number(entries),
                                 QString::number(routeCount)})
                              .at(0);
    say(QStringLiteral("Through the main window (no screen) against the core alone, SQLite %1:")
            .arg(databases.connectionString("tarvelo_bench_before").contains("/dev/shm")
                     ? QStringLiteral("memory")
                     : QStringLiteral("disk")));
    say(QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8")
            .arg("list", -14)
            .arg("entries", 9)
            .arg("changes", 8)
            .arg("core s", 9)
            .arg("window s", 9)
            .arg("peak MB", 9)
            .arg("breaths", 8)
            .arg("in them s", 10));
    for (const bool longEntry : {false, true}) {
        if (longEntry) {
            // In a process of its own: the list would stay in this one's peak.
            listEntries = child({"longentry", workDir}).at(0);
        }
        const QString core = databases.copy("tarvelo_bench_before", "tarvelo_bench_core");
        const QStringList coreResult = child({"run", core, workDir, "*"});
        const QString window = databases.copy("tarvelo_bench_before", "tarvelo_bench_window");
        const QStringList result = child({"window", window, workDir});
        databases.drop("tarvelo_bench_core");
        databases.drop("tarvelo_bench_window");
        say(QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8")
                .arg(longEntry ? QStringLiteral("+1 MB entry") : QStringLiteral("as generated"),
                     -14)
                .arg(listEntries, 9)
                .arg(result.at(0), 8)
                .arg(coreResult.at(1), 9)
                .arg(result.at(1), 9)
                .arg(result.at(2), 9)
                .arg(result.at(3), 8)
                .arg(result.at(4), 10));
    }
    databases.drop("tarvelo_bench_before");
    say(QStringLiteral("window s: the same run started from the window's Start handler, its "
                       "protocol in the pane, the window breathing at most every 100 ms; in them "
                       "s: the time the breaths took."));
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

QList<Case> casesFor(const QList<int>& sizes) {
    QList<Case> cases;
    for (const int size : sizes) {
        cases.append({size, QStringLiteral("*")});
        if (size == 100000) {
            cases.append({size, QStringLiteral("@dom10.de")});
        }
    }
    return cases;
}

int parentMain(const QStringList& arguments) {
    QList<int> sizes = {10000, 100000, 1000000};
    QList<int> diskSizes = {10000};
    QString dir = memoryDirectory();
    QString server = qEnvironmentVariable("TARVELO_TEST_PG");
    QString program = BenchExecutable::find();
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        const QString value = i + 1 < arguments.size() ? arguments.at(i + 1) : QString();
        if (a == "--sizes") {
            sizes = sizeList(value);
            ++i;
        } else if (a == "--disk-sizes") {
            diskSizes = sizeList(value);
            ++i;
        } else if (a == "--dir") {
            dir = value;
            ++i;
        } else if (a == "--pg") {
            server = value;
            ++i;
        } else if (a == "--no-pg") {
            server.clear();
        } else if (a == "--exe") {
            program = value;
            ++i;
        } else {
            std::fprintf(stderr, "usage: tarvelo_bench [--sizes N,...] [--disk-sizes N,...] "
                                 "[--dir DIR] [--pg CONNECTION] [--no-pg] [--exe PROGRAM]\n");
            return 2;
        }
    }
    const QString pattern = QStringLiteral("/tarvelo-bench-XXXXXX");
    QTemporaryDir scratch((dir.isEmpty() ? QDir::tempPath() : dir) + pattern);
    QTemporaryDir diskScratch(QDir::tempPath() + pattern);
    if (!scratch.isValid() || !diskScratch.isValid()) {
        std::fprintf(stderr, "tarvelo_bench: no scratch directory\n");
        return 1;
    }
    // The executable's installation: the program lower-cases the path after
    // "/file:", so the whole path is written in lower case.
    const QString home =
        QDir(dir.isEmpty() ? QDir::tempPath() : dir)
            .absoluteFilePath(
                QStringLiteral("tarvelo-bench-exe-%1").arg(QCoreApplication::applicationPid()));
    const struct HomeRemover {
        QString path;
        ~HomeRemover() { QDir(path).removeRecursively(); }
    } homeRemover{home};
    std::optional<BenchExecutable> executable;
    if (program.isEmpty()) {
        say(QStringLiteral("(no executable: build the target tarvelo, or name it with --exe)"));
    } else if (home != AsciiCase::lower(home)) {
        say(QStringLiteral("(no executable run: %1 is not written in lower case)").arg(home));
    } else {
        executable.emplace(program, home);
    }
    const BenchExecutable* exe = executable ? &*executable : nullptr;
    say(QStringLiteral("Synchronisation run. SQLite files in %1 (the memory-backed /dev/shm when "
                       "there is one: the program's own cost) and in %2 (disk: every change "
                       "is its own transaction and waits for the disk).")
            .arg(scratch.path(), diskScratch.path()));
    say(QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9 %10 %11 %12 %13 %14")
            .arg("database", -10)
            .arg("storage", -8)
            .arg("filter", -10)
            .arg("entries", 9)
            .arg("rows", 9)
            .arg("routes", 7)
            .arg("changes", 8)
            .arg("run s", 9)
            .arg("peak MB", 9)
            .arg("stmts s", 9)
            .arg("ratio", 7)
            .arg("exe s", 9)
            .arg("exe MB", 9)
            .arg("exe ratio", 9));
    {
        BenchDatabase databases(QString(), scratch.path());
        const QString storage = scratch.path().startsWith(QStringLiteral("/dev/shm"))
                                    ? QStringLiteral("memory")
                                    : QStringLiteral("disk");
        for (const Case& c : casesFor(sizes)) {
            measure(databases, QString(), scratch.path(), storage, c, exe);
        }
        if (!sizes.isEmpty()) {
            measureWindow(databases, scratch.path(),
                          std::min(100000, *std::max_element(sizes.begin(), sizes.end())));
        }
    }
    {
        BenchDatabase databases(QString(), diskScratch.path());
        for (const Case& c : casesFor(diskSizes)) {
            measure(databases, QString(), diskScratch.path(), QStringLiteral("disk"), c, exe);
        }
    }
    if (!server.isEmpty()) {
        BenchDatabase databases(server, scratch.path());
        for (const Case& c : casesFor(sizes)) {
            measure(databases, server, scratch.path(), QStringLiteral("server"), c, exe);
        }
    } else {
        say(QStringLiteral(
            "(no PostgreSQL: set TARVELO_TEST_PG or use --pg, or run `make bench`)"));
    }
    say(QStringLiteral("run s: the run alone through the core (list, exceptions, table read, both "
                       "passes, protocol); stmts s: its DELETE and INSERT statements alone, on a "
                       "copy of the same database; ratio = run s / stmts s. exe s, exe MB: the "
                       "shipped executable, started without display with /file: (and /domain: "
                       "for a filter other than *) on another copy, from its start to its end "
                       "(start-up, the run with its protocol pane, the end), and its peak "
                       "memory; exe ratio = exe s / stmts s."));
    say(QStringLiteral("Targets: 100,000 entries under 60 MB peak, 1,000,000 under 250 MB; the "
                       "run no more than 1.5 times its statements alone."));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // The run through the window needs the widgets, on the platform without
    // screen.
    if (argc == 5 && QByteArray(argv[1]) == "--child" && QByteArray(argv[2]) == "window") {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // The toolkit's notes about the missing screen would only clutter
        // the figures.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtCriticalMsg || type == QtFatalMsg) {
                std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
            }
        });
        QApplication app(argc, argv);
        try {
            return BenchWindow::runChild(QString::fromLocal8Bit(argv[3]),
                                         QString::fromLocal8Bit(argv[4]));
        } catch (const std::exception& e) {
            std::fprintf(stderr, "tarvelo_bench: %s\n", e.what());
        }
        return 1;
    }
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    try {
        if (arguments.size() >= 2 && arguments.at(1) == QStringLiteral("--child")) {
            const QString mode = arguments.value(2);
            if (mode == QStringLiteral("run") && arguments.size() == 6) {
                return runChild(arguments.at(3), arguments.at(4), arguments.at(5));
            }
            if (mode == QStringLiteral("generate") && arguments.size() == 7) {
                return generateChild(arguments.at(3), arguments.at(4), arguments.at(5).toInt(),
                                     arguments.at(6).toInt());
            }
            if (mode == QStringLiteral("sameprotocol") && arguments.size() == 5) {
                return sameProtocolChild(arguments.at(3), arguments.at(4));
            }
            if (mode == QStringLiteral("longentry") && arguments.size() == 4) {
                return longEntryChild(arguments.at(3));
            }
            if (mode == QStringLiteral("statements") && arguments.size() == 6) {
                return statementsChild(arguments.at(3), arguments.at(4), arguments.at(5));
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
