#include "ScratchInstall.h"

#include "TestBackend.h"
#include "TestDatabases.h"
#include "core/RunLock.h"
#include "db/Database.h"
#include "platform/Ansi.h"
#include "platform/LineBreaks.h"
#include "platform/TarveloError.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <memory>
#include <optional>
#include <utility>

// What keeps an unattended run trustworthy when nobody watches: one run at a
// time, a record of a run that fails, a bound on a run that stopped making
// progress, the deletion guard and the dry run.

namespace {

// example.com holds alice, Bob, carol and postmaster; this list keeps alice
// and Bob, adds dora and excepts the newsletter.
const QByteArray kList = "alice@example.com\r\nBOB@example.com\r\ndora@example.com\r\n"
                         "newsletter@example.com\r\n";

// The list and `count` new addresses neu0@example.com, neu1@example.com, ...
QByteArray listWithNew(int count) {
    QByteArray list = kList;
    for (int i = 0; i < count; ++i) {
        list += "neu" + QByteArray::number(i) + "@example.com\r\n";
    }
    return list;
}

// The program whose waits for a lock and for a stalled run the test sets.
constexpr ScratchInstall::Program kShortWaits = ScratchInstall::Program::ShortWaits;

class Scheduled {
public:
    explicit Scheduled(Backend backend = Backend::Sqlite,
                       ScratchInstall::Program program = ScratchInstall::Program::Shipped)
        : install(program) {
        connection = createBackendDatabase(backend, install.path("hmailserver.db"), true);
        install.setIni("SQL", "Provider", connection);
        install.useProtocolDirectory();
        install.writeFile("ausnahmen.txt", ">newsletter@\r\n");
        install.writeFile("liste.txt", kList);
    }

    // Each statement whole: a trigger's body holds ';' of its own.
    void execute(const QStringList& statements) const {
        Database database;
        database.setConnectionString(connection);
        database.open();
        QSqlQuery query(database.handle());
        for (const QString& statement : statements) {
            ASSERT_TRUE(query.exec(statement)) << query.lastError().text().toStdString();
        }
    }

    QStringList args(const QStringList& more = {}) const {
        return QStringList({"/file:" + install.path("liste.txt"), "/domain:example.com"}) + more;
    }

    QStringList protocolFiles() const {
        return QDir(install.path("prot")).entryList({"hmail-*"}, QDir::Files, QDir::Name);
    }
    QStringList fileLines(const QString& name) const {
        return LineBreaks::split(Ansi::decode(install.readFile("prot/" + name)));
    }

    QStringList exampleComRows() const { return addressesOfRoute(connection, 1); }

    // A run long enough to be caught in the middle (PostgreSQL): every insert
    // takes `seconds` on the server, and the list adds `count` addresses
    // neu0@example.com, neu1@example.com, ...
    void slowInserts(const char* seconds, int count) const {
        execute({QStringLiteral("CREATE FUNCTION pause() RETURNS trigger AS $$ BEGIN PERFORM "
                                "pg_sleep(%1); RETURN NEW; END $$ LANGUAGE plpgsql")
                     .arg(QLatin1String(seconds)),
                 "CREATE TRIGGER pause BEFORE INSERT ON hm_routeaddresses FOR EACH ROW "
                 "EXECUTE FUNCTION pause()"});
        install.writeFile("liste.txt", listWithNew(count));
    }
    // Whether the run has inserted its second new address within 20 seconds.
    bool insertedTwo() const {
        QElapsedTimer waited;
        waited.start();
        while (!exampleComRows().contains("neu1@example.com") && waited.elapsed() < 20000) {
            QThread::msleep(20);
        }
        return exampleComRows().contains("neu1@example.com");
    }

    std::unique_ptr<QProcess> start(const QStringList& arguments,
                                    const QStringList& environment = {}) const {
        return install.start(arguments, environment);
    }

    ScratchInstall install;
    QString connection;
};

const QStringList kExampleComBefore = {"Bob@Example.com", "alice@example.com", "carol@example.com",
                                       "postmaster@example.com"};
const QStringList kExampleComAfter = {"Bob@Example.com", "alice@example.com", "dora@example.com"};

int finish(QProcess& process) {
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished(5000);
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// Every address at most once: two runs at once would insert each new one twice.
bool noAddressTwice(const QString& connection) {
    QStringList seen;
    for (const auto& row : routeAddressRows(connection)) {
        seen.append(row.second.toLower());
    }
    const qsizetype all = seen.size();
    seen.removeDuplicates();
    return seen.size() == all;
}

// Whether some protocol file of the installation holds the line.
bool someProtocolHolds(const Scheduled& s, const QString& line) {
    for (const QString& name : s.protocolFiles()) {
        if (s.fileLines(name).contains(line)) {
            return true;
        }
    }
    return false;
}

// A run of the same installation under way: the test holds its lock through
// the program's own lock.
class HeldRun {
public:
    explicit HeldRun(const Scheduled& s) {
        m_database.setConnectionString(s.connection);
        m_database.open();
        m_lock.emplace(s.install.path("tarvelo.lock"), m_database, RunLock::defaultWait());
    }

private:
    Database m_database;
    std::optional<RunLock> m_lock;
};

} // namespace

// A run already holds the lock (here the test, through the program's own
// lock): the next one ends with the lock error before it changes anything.
TEST(GuardedRun, ARunThatCannotGetTheLockChangesNothing) {
    Scheduled s(Backend::Sqlite, kShortWaits);
    const HeldRun other(s);

    const auto result = s.install.run(s.args(), {"TARVELO_TEST_LOCK_WAIT_MS=500"});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.standardError.contains(
        "Eine andere Synchronisation läuft bereits: die Sperrdatei \"" +
        s.install.path("tarvelo.lock") + "\" wurde in 0 Sekunden nicht frei"))
        << result.standardError.toStdString();
    EXPECT_EQ(s.exampleComRows(), kExampleComBefore);
    EXPECT_TRUE(s.protocolFiles().isEmpty());
    EXPECT_FALSE(s.install.logMessages().contains("Ende DBsync"));
}

// The lock file is named whole in the error, also below a folder whose name
// holds a per cent sign and a digit.
TEST(GuardedRun, TheLockErrorNamesTheLockFileAsItIs) {
    const QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/tarvelo-100%1-XXXXXX"));
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("tarvelo.lock"));
    Database database;
    const RunLock held(path, database, RunLock::defaultWait());
    try {
        const RunLock second(path, database, std::chrono::milliseconds(200));
        ADD_FAILURE() << "a second run took the lock";
    } catch (const TarveloError& error) {
        EXPECT_EQ(error.message(), "Eine andere Synchronisation läuft bereits: die Sperrdatei \"" +
                                       path +
                                       "\" wurde in 0 Sekunden nicht frei. Dieser Lauf hat "
                                       "nichts geändert");
    }
}

// Stopped from outside while it waits for another run's lock: the wait is
// given up, the log says so, and the program ends by the signal at once.
TEST(GuardedRun, ASignalWhileWaitingForTheLockEndsTheWaitWithAWord) {
    Scheduled s(Backend::Sqlite, kShortWaits);
    const HeldRun other(s);
    const auto run = s.start(s.args(), {"TARVELO_TEST_LOCK_WAIT_MS=60000"});
    QElapsedTimer waited;
    waited.start();
    while (!s.install.logMessages().join('\n').contains("Verarbeite: ") &&
           waited.elapsed() < 20000) {
        QThread::msleep(50);
    }
    QThread::msleep(300);
    ASSERT_EQ(::kill(pid_t(run->processId()), SIGTERM), 0);
    ASSERT_TRUE(run->waitForFinished(20000));
    EXPECT_EQ(run->exitStatus(), QProcess::CrashExit) << "ended by the signal";
    const QStringList log = s.install.logMessages();
    ASSERT_FALSE(log.isEmpty());
    EXPECT_EQ(log.last(), "Fehler: Eine andere Synchronisation läuft bereits: das Warten auf die "
                          "Sperrdatei \"" +
                              s.install.path("tarvelo.lock") +
                              "\" wurde abgebrochen. Dieser Lauf hat nichts geändert");
    EXPECT_EQ(s.exampleComRows(), kExampleComBefore);
}

// A lock file that cannot be one (a directory in its place) ends the run
// before any change, in plain words.
TEST(GuardedRun, ALockFileThatCannotBeMadeIsNamedAndChangesNothing) {
    Scheduled s(Backend::Sqlite, kShortWaits);
    ASSERT_TRUE(QDir(s.install.dir()).mkdir("tarvelo.lock"));
    const auto result = s.install.run(s.args());
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.standardError.contains("Die Sperrdatei \"" + s.install.path("tarvelo.lock") +
                                              "\" kann nicht angelegt werden: sie ist ein "
                                              "Verzeichnis"))
        << result.standardError.toStdString();
    EXPECT_EQ(s.exampleComRows(), kExampleComBefore);
}

// Two scheduled runs started together on one directory: the second waits for
// the first (or, with a short wait, gives up); no address lands twice.
TEST(GuardedRun, TwoRunsStartedTogetherNeverInsertTwice) {
    Scheduled s(Backend::Sqlite, kShortWaits);
    s.install.writeFile("liste.txt", listWithNew(2000));
    for (const char* wait : {"TARVELO_TEST_LOCK_WAIT_MS=30000", "TARVELO_TEST_LOCK_WAIT_MS=1"}) {
        const auto first = s.start(s.args(), {wait});
        const auto second = s.start(s.args(), {wait});
        const int a = finish(*first);
        const int b = finish(*second);
        const QString errors =
            QString::fromLocal8Bit(first->readAllStandardError() + second->readAllStandardError());
        EXPECT_TRUE((a == 0 || a == 1) && (b == 0 || b == 1) && (a == 0 || b == 0))
            << wait << " " << a << " " << b << " " << errors.toStdString();
        if (a == 1 || b == 1) {
            EXPECT_TRUE(errors.contains("Eine andere Synchronisation läuft bereits"))
                << errors.toStdString();
        }
        EXPECT_TRUE(noAddressTwice(s.connection)) << wait;
        EXPECT_EQ(routeAddressRows(s.connection).size(), 2013) << wait;
        if (QByteArray(wait).endsWith("=30000")) {
            // The run that waited ends right after the one that made the
            // changes: its protocol must not take the name, and the place, of
            // theirs.
            EXPECT_TRUE(someProtocolHolds(s, "Insert 1 neu1999@example.com"))
                << s.protocolFiles().join(' ').toStdString();
        }
    }
}

// Two runs started together that both fail: the one that waited fails at once,
// on the address that stopped the first, and must not put its record in the
// place of the first one's, which names the changes that run made.
TEST(GuardedRun, TwoRunsThatFailTogetherKeepEachItsRecord) {
    Scheduled s(Backend::Sqlite, kShortWaits);
    s.install.writeFile("liste.txt", listWithNew(2000));
    s.execute({"CREATE TRIGGER refuse BEFORE INSERT ON hm_routeaddresses WHEN "
               "new.routeaddressaddress = 'neu1999@example.com' "
               "BEGIN SELECT RAISE(ABORT, 'geschuetzte Adresse'); END"});
    const auto first = s.start(s.args(), {"TARVELO_TEST_LOCK_WAIT_MS=30000"});
    const auto second = s.start(s.args(), {"TARVELO_TEST_LOCK_WAIT_MS=30000"});
    EXPECT_EQ(finish(*first), 1);
    EXPECT_EQ(finish(*second), 1);
    EXPECT_TRUE(someProtocolHolds(s, "Insert 1 neu1998@example.com"))
        << s.protocolFiles().join(' ').toStdString();
}

// Runs from two machines (two directories, two lock files) against one
// server: the server's own lock keeps the second out.
class ServerLock : public ::testing::TestWithParam<Backend> {};

// The lock is one per database: a run on another database of the same
// server (a second mail server's) keeps nobody out. A lock let go is free at
// once, though the session that held it stays open (the window's, between
// two runs).
TEST_P(ServerLock, ARunFromAnotherDirectoryIsKeptOutByTheServersLock) {
    enum class Held { SameDatabase, AnotherDatabase, LetGo };
    for (const Held held : {Held::SameDatabase, Held::AnotherDatabase, Held::LetGo}) {
        SCOPED_TRACE(held == Held::SameDatabase      ? "same database"
                     : held == Held::AnotherDatabase ? "another database of the server"
                                                     : "let go, its session open");
        Scheduled s(GetParam(), kShortWaits);
        QTemporaryDir otherMachine;
        Database other;
        other.setConnectionString(held == Held::AnotherDatabase
                                      ? createBackendDatabase(GetParam(), QString(), true)
                                      : s.connection);
        other.open();
        std::optional<RunLock> lock;
        lock.emplace(otherMachine.filePath("tarvelo.lock"), other, RunLock::defaultWait());
        if (held == Held::LetGo) {
            lock.reset();
            ASSERT_TRUE(other.isOpen());
        }

        const auto result = s.install.run(s.args(), {"TARVELO_TEST_LOCK_WAIT_MS=500"});
        ASSERT_TRUE(result.finished);
        if (held != Held::SameDatabase) {
            EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
            EXPECT_EQ(s.exampleComRows(), kExampleComAfter);
            continue;
        }
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_TRUE(result.standardError.contains(
            "Eine andere Synchronisation läuft bereits: die Sperre in der Datenbank"))
            << result.standardError.toStdString();
        EXPECT_EQ(s.exampleComRows(), kExampleComBefore);
        EXPECT_TRUE(s.protocolFiles().isEmpty());
    }
}

TEST_P(ServerLock, TwoDirectoriesStartedTogetherNeverInsertTwice) {
    Scheduled s(GetParam());
    ScratchInstall second;
    second.setIni("SQL", "Provider", s.connection);
    second.writeFile("ausnahmen.txt", ">newsletter@\r\n");
    second.writeFile("liste.txt", kList);
    const QByteArray list = listWithNew(500);
    s.install.writeFile("liste.txt", list);
    second.writeFile("liste.txt", list);

    const auto a = s.start(s.args());
    const auto b = second.start({"/file:" + second.path("liste.txt"), "/domain:example.com"});
    EXPECT_EQ(finish(*a), 0);
    EXPECT_EQ(finish(*b), 0) << "the second waits for the first, then finds nothing to do";
    EXPECT_TRUE(noAddressTwice(s.connection));
    EXPECT_EQ(routeAddressRows(s.connection).size(), 513);
}

INSTANTIATE_TEST_SUITE_P(Servers, ServerLock, ::testing::ValuesIn(serverBackends()), backendName);

// A change that the database refuses: no protocol file (a script may take it
// for the sign of success), but the record of what reached the database, the
// failed change's line, and the error.
TEST(GuardedRun, AFailedDeleteOrInsertLeavesTheRecordOfTheChangesMade) {
    struct Case {
        const char* trigger;
        QStringList recorded;
        QStringList rowsAfter;
    } cases[] = {
        {"CREATE TRIGGER keep BEFORE DELETE ON hm_routeaddresses WHEN "
         "old.routeaddressaddress = 'postmaster@example.com' "
         "BEGIN SELECT RAISE(ABORT, 'geschuetzte Adresse'); END",
         {"Delete carol@example.com", "Delete postmaster@example.com"},
         {"Bob@Example.com", "alice@example.com", "postmaster@example.com"}},
        {"CREATE TRIGGER refuse BEFORE INSERT ON hm_routeaddresses WHEN "
         "new.routeaddressaddress = 'dora@example.com' "
         "BEGIN SELECT RAISE(ABORT, 'geschuetzte Adresse'); END",
         {"Delete carol@example.com", "Delete postmaster@example.com", "Insert 1 dora@example.com"},
         {"Bob@Example.com", "alice@example.com"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.trigger);
        Scheduled s;
        s.execute({QString::fromLatin1(c.trigger)});
        const auto result = s.install.run(s.args());
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(s.exampleComRows(), c.rowsAfter);
        const QStringList files = s.protocolFiles();
        ASSERT_EQ(files.size(), 1) << files.join(' ').toStdString();
        EXPECT_TRUE(files[0].endsWith("-fehler.log")) << files[0].toStdString();
        const QStringList lines = s.fileLines(files[0]);
        ASSERT_EQ(lines.size(), c.recorded.size() + 2) << lines.join('|').toStdString();
        EXPECT_EQ(lines.first(), "Datei: " + s.install.path("liste.txt"));
        EXPECT_EQ(lines.mid(1, c.recorded.size()), c.recorded);
        // The database's own text stands apart, after what failed.
        EXPECT_TRUE(lines.last().startsWith("Fehler: ")) << lines.last().toStdString();
        EXPECT_TRUE(lines.last().endsWith(" (geschuetzte Adresse)")) << lines.last().toStdString();
        EXPECT_EQ(s.install.logMessages().last(), lines.last());
    }

    // Without a protocol directory there is no record either: no file lands
    // in the working directory, for a scheduled task the system's own.
    Scheduled s;
    s.install.setIni("Options", "Protokoll", QString());
    s.execute({QString::fromLatin1(cases[1].trigger)});
    const auto result = s.install.run(s.args());
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(s.exampleComRows(), cases[1].rowsAfter);
    const QStringList stray = QDir(s.install.dir()).entryList({"hmail-*"}, QDir::Files);
    EXPECT_TRUE(stray.isEmpty()) << stray.join(' ').toStdString();
    EXPECT_TRUE(s.install.logMessages().last().endsWith(" (geschuetzte Adresse)"))
        << s.install.logMessages().last().toStdString();
}

// Memory that runs out while the run changes the table (an address space
// limit, as `ulimit -v` or LimitAS= sets one) ends it with status 1 and a
// word, never a crash, and with a record that names every change the table
// shows. The limit is narrowed down from "nothing loads" and "the run fits"
// until it strikes after the first change.
TEST(GuardedRun, MemoryRunningOutWhileTheTableChangesLeavesTheRecord) {
    qint64 nothingChanged = qint64{16} << 20;
    qint64 runFits = qint64{4} << 30;
    bool struck = false;
    while (!struck && runFits - nothingChanged > 64 * 1024) {
        const qint64 limit = (nothingChanged + runFits) / 2;
        SCOPED_TRACE(limit);
        Scheduled s;
        s.install.writeFile("liste.txt", listWithNew(20000));
        s.install.limitAddressSpace(limit);
        const auto result = s.install.run(s.args({"/batch:500"}));
        ASSERT_TRUE(result.finished);
        const QStringList rows = s.exampleComRows();
        if (rows == kExampleComBefore) {
            nothingChanged = limit;
            continue;
        }
        if (result.exitCode == 0) {
            runFits = limit;
            continue;
        }
        struck = true;
        EXPECT_EQ(result.exitCode, 1) << result.standardError.toStdString();
        const QStringList files = s.protocolFiles();
        ASSERT_EQ(files.size(), 1) << files.join(' ').toStdString();
        EXPECT_TRUE(files[0].endsWith("-fehler.log")) << files[0].toStdString();
        const QStringList lines = s.fileLines(files[0]);
        const QSet<QString> recorded(lines.cbegin(), lines.cend());
        const QSet<QString> before(kExampleComBefore.cbegin(), kExampleComBefore.cend());
        const QSet<QString> after(rows.cbegin(), rows.cend());
        for (const QString& gone : before - after) {
            EXPECT_TRUE(recorded.contains("Delete " + gone.toLower())) << gone.toStdString();
        }
        int unrecorded = 0;
        for (const QString& added : after - before) {
            unrecorded += recorded.contains("Insert 1 " + added) ? 0 : 1;
        }
        EXPECT_EQ(unrecorded, 0) << "of " << rows.size() << " rows";
        EXPECT_TRUE(lines.last().startsWith("Fehler: ")) << lines.last().toStdString();
        EXPECT_EQ(s.install.logMessages().last(), lines.last());
        EXPECT_TRUE(result.standardError.contains(lines.last().mid(8)))
            << result.standardError.toStdString();
    }
    EXPECT_TRUE(struck) << "no limit between " << nothingChanged << " and " << runFits;
}

// The server ends the run's connection in the middle of the run (here the
// run's own backend is told to terminate by a trigger): the message says that
// the connection went with the change in hand, whose fate the program cannot
// know, and what the server said, as the record does, not the start-up.
TEST(GuardedRun, AConnectionEndedInTheMiddleOfTheRunIsReportedWithTheDriversText) {
    Scheduled s(Backend::Postgres);
    s.execute({"CREATE FUNCTION quit() RETURNS trigger AS $$ BEGIN "
               "PERFORM pg_terminate_backend(pg_backend_pid()); RETURN NEW; END $$ "
               "LANGUAGE plpgsql",
               "CREATE TRIGGER quit BEFORE INSERT ON hm_routeaddresses FOR EACH ROW "
               "WHEN (new.routeaddressaddress = 'dora@example.com') EXECUTE FUNCTION quit()"});

    const auto result = s.install.run(s.args());
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    const QString failed = "Die Verbindung zur Datenbank ist abgebrochen; ob die Änderung "
                           "gespeichert wurde, ist offen (FATAL:  terminating connection due to "
                           "administrator command";
    EXPECT_TRUE(result.standardError.startsWith(failed)) << result.standardError.toStdString();
    const QStringList files = s.protocolFiles();
    ASSERT_EQ(files.size(), 1) << files.join(' ').toStdString();
    const QStringList lines = s.fileLines(files[0]);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.mid(lines.size() - 2, 1), QStringList({"Insert 1 dora@example.com"}));
    EXPECT_TRUE(lines.last().startsWith("Fehler: " + failed)) << lines.last().toStdString();
    EXPECT_EQ(s.install.logMessages().last(), lines.last());
}

// A service manager's stop, a shutdown or a dropped session in the middle of
// the changes: the run stops after the change in hand, its record lists
// exactly what reached the table, the log says why, and the program then
// ends by the signal it was sent.
TEST(GuardedRun, ASignalToEndStopsTheRunAfterTheChangeInHandAndLeavesItsRecord) {
    for (const auto& [signal, name] :
         {std::pair{SIGTERM, "SIGTERM"}, std::pair{SIGHUP, "SIGHUP"}}) {
        SCOPED_TRACE(name);
        Scheduled s(Backend::Postgres);
        s.slowInserts("0.2", 40);
        const auto run = s.start(s.args());
        ASSERT_TRUE(s.insertedTwo()) << "the run never inserted";
        ASSERT_EQ(::kill(pid_t(run->processId()), signal), 0);
        ASSERT_TRUE(run->waitForFinished(20000));
        EXPECT_EQ(run->exitStatus(), QProcess::CrashExit) << "ended by the signal";

        const QStringList files = s.protocolFiles();
        ASSERT_EQ(files.size(), 1) << files.join(' ').toStdString();
        EXPECT_TRUE(files[0].endsWith("-abbruch.log")) << files[0].toStdString();
        QStringList lines = s.fileLines(files[0]);
        ASSERT_GE(lines.size(), 3);
        const QString closing = lines.takeLast();
        const qsizetype made = lines.size() - 1;
        EXPECT_EQ(closing,
                  QStringLiteral("Abgebrochen nach %1 von 43 geplanten Änderungen").arg(made));
        EXPECT_LT(made, 43);
        QStringList inserted;
        for (const QString& row : s.exampleComRows()) {
            if (!kExampleComBefore.contains(row)) {
                inserted.append("Insert 1 " + row);
            }
        }
        const QStringList recorded = lines.mid(3); // the header, two deletions
        EXPECT_EQ(QSet<QString>(inserted.begin(), inserted.end()),
                  QSet<QString>(recorded.begin(), recorded.end()));
        const QStringList log = s.install.logMessages();
        ASSERT_GE(log.size(), 2);
        EXPECT_EQ(log.mid(log.size() - 2),
                  QStringList({QStringLiteral("Das Programm wird beendet (%1)").arg(name),
                               QStringLiteral("Synchronisation abgebrochen: %1 von 43 Änderungen "
                                              "gemacht")
                                   .arg(made)}));
    }
}

// A stop that comes while the change in hand is still under way on the
// server (neu2's insert, slowed by a trigger). Should that change then fail
// (as a lock not freed in time), the record is the failure's and the log says
// the stop came before the error; is it the last change, the run's work is
// done, its protocol the whole one, and the log says the stop after it.
TEST(GuardedRun, AStopDuringAChangeThatFailsOrIsTheLastIsLogged) {
    for (const bool fails : {true, false}) {
        SCOPED_TRACE(fails ? "the change fails" : "the last change");
        Scheduled s(Backend::Postgres);
        s.execute({QStringLiteral("CREATE FUNCTION slow() RETURNS trigger AS $$ BEGIN PERFORM "
                                  "pg_sleep(0.3); IF NEW.routeaddressaddress = "
                                  "'neu2@example.com' THEN PERFORM pg_sleep(3); %1 END IF; "
                                  "RETURN NEW; END $$ LANGUAGE plpgsql")
                       .arg(fails ? "RAISE EXCEPTION 'geschuetzte Adresse';" : ""),
                   "CREATE TRIGGER slow BEFORE INSERT ON hm_routeaddresses FOR EACH ROW "
                   "EXECUTE FUNCTION slow()"});
        s.install.writeFile("liste.txt", listWithNew(fails ? 5 : 3));
        const auto run = s.start(s.args());
        ASSERT_TRUE(s.insertedTwo()) << "the run never inserted";
        QThread::msleep(600); // the insert of neu2 waits on the server
        ASSERT_EQ(::kill(pid_t(run->processId()), SIGTERM), 0);
        ASSERT_TRUE(run->waitForFinished(20000));
        EXPECT_EQ(run->exitStatus(), QProcess::CrashExit) << "ended by the signal";

        EXPECT_EQ(s.exampleComRows().contains("neu2@example.com"), !fails);
        const QStringList files = s.protocolFiles();
        ASSERT_EQ(files.size(), 1) << files.join(' ').toStdString();
        EXPECT_TRUE(QRegularExpression(fails ? "^hmail-\\d{8}-\\d{6}-fehler\\.log$"
                                             : "^hmail-\\d{8}-\\d{6}\\.log$")
                        .match(files[0])
                        .hasMatch())
            << files[0].toStdString();
        const QStringList lines = s.fileLines(files[0]);
        ASSERT_GE(lines.size(), 3);
        EXPECT_EQ(lines.at(lines.size() - (fails ? 2 : 1)), "Insert 1 neu2@example.com");
        const QStringList log = s.install.logMessages();
        ASSERT_GE(log.size(), 2);
        EXPECT_EQ(log.filter("wird beendet").size(), 1) << log.join('\n').toStdString();
        if (fails) {
            EXPECT_EQ(log.at(log.size() - 2), "Das Programm wird beendet (SIGTERM)");
            EXPECT_TRUE(log.last().startsWith("Fehler: ")) << log.last().toStdString();
            EXPECT_TRUE(log.last().contains("geschuetzte Adresse")) << log.last().toStdString();
            EXPECT_TRUE(lines.last().startsWith("Fehler: ")) << lines.last().toStdString();
        } else {
            EXPECT_EQ(log.mid(log.size() - 2),
                      QStringList({"Ende DBsync", "Das Programm wird beendet (SIGTERM)"}));
        }
    }
}

// A dry run stopped from outside leaves no protocol that could pass for a
// preview, and its log names the signal, as a stopped run's does.
TEST(GuardedRun, ASignalToEndStopsADryRunAndTheLogSaysWhy) {
    Scheduled s(Backend::Postgres);
    // Its read of the table waits behind another session's lock: the signal
    // comes while it plans.
    Database holder;
    holder.setConnectionString(s.connection);
    holder.open();
    QSqlQuery hold(holder.handle());
    ASSERT_TRUE(hold.exec("BEGIN"));
    ASSERT_TRUE(hold.exec("LOCK TABLE hm_routeaddresses IN ACCESS EXCLUSIVE MODE"));
    const auto run = s.start(s.args({"/dryrun"}));
    QElapsedTimer waited;
    waited.start();
    while (!s.install.logMessages().contains("Testlauf: die Datenbank wird nicht geändert") &&
           waited.elapsed() < 20000) {
        QThread::msleep(20);
    }
    QThread::msleep(200);
    ASSERT_EQ(::kill(pid_t(run->processId()), SIGTERM), 0);
    ASSERT_TRUE(hold.exec("ROLLBACK"));
    ASSERT_TRUE(run->waitForFinished(20000));
    EXPECT_EQ(run->exitStatus(), QProcess::CrashExit) << "ended by the signal";
    EXPECT_TRUE(s.protocolFiles().isEmpty()) << s.protocolFiles().join(' ').toStdString();
    const QStringList log = s.install.logMessages();
    ASSERT_GE(log.size(), 2);
    EXPECT_EQ(log.mid(log.size() - 2),
              QStringList({"Das Programm wird beendet (SIGTERM)",
                           "Testlauf abgebrochen: es wurde nichts geändert"}));
    EXPECT_EQ(s.exampleComRows(), kExampleComBefore);
}

// Standard error read by a logger that has gone away: the error still
// reaches the log, and the status says it.
TEST(GuardedRun, AnErrorReachesTheLogWhenNobodyReadsStandardError) {
    Scheduled s;
    QFile::remove(s.install.path("ausnahmen.txt"));
    s.install.loseStandardErrorReader();
    EXPECT_EQ(s.install.run(s.args()).exitCode, 1);
    EXPECT_EQ(s.install.logMessages().last(),
              "Fehler: Datei " + s.install.path("ausnahmen.txt") + " kann nicht geöffnet werden");
    EXPECT_EQ(s.exampleComRows(), kExampleComBefore);
}

// A run held as a whole (Ctrl+Z, SIGSTOP, a paused machine) for longer than
// the watchdog's bound is no stalled run: once let go it goes on to its end.
TEST(GuardedRun, ARunHeldAsAWholeGoesOnWhenLetGo) {
    Scheduled s(Backend::Postgres, kShortWaits);
    s.slowInserts("0.1", 30);
    const auto run = s.start(s.args(), {"TARVELO_TEST_WATCHDOG_MS=2000"});
    ASSERT_TRUE(s.insertedTwo()) << "the run never inserted";
    ASSERT_EQ(::kill(pid_t(run->processId()), SIGSTOP), 0);
    QThread::msleep(4000);
    ASSERT_EQ(::kill(pid_t(run->processId()), SIGCONT), 0);
    EXPECT_EQ(finish(*run), 0) << run->readAllStandardError().toStdString();
    EXPECT_TRUE(s.exampleComRows().contains("neu29@example.com"));
    const QStringList log = s.install.logMessages();
    EXPECT_TRUE(log.contains("Ende DBsync"));
    EXPECT_TRUE(log.filter(QRegularExpression("^Fehler")).isEmpty())
        << log.join('\n').toStdString();
}

// A PostgreSQL backend that stops answering while the program waits for it
// (here while it waits for what another session holds): the watchdog ends
// the program, the log says why, and the record holds the changes so far.
// At start-up, while the routes are read, it watches already. A stop asked
// for meanwhile (the service manager's SIGTERM) waits for it, and the log
// says that it came.
TEST(GuardedRun, AServerThatStopsAnsweringIsEndedByTheWatchdog) {
    const struct {
        const char* held;
        QStringList recorded;
        bool stopAsked;
    } cases[] = {
        {"SELECT 1 FROM hm_routeaddresses WHERE routeaddressaddress = 'postmaster@example.com' "
         "FOR UPDATE",
         {"Delete carol@example.com", "Delete postmaster@example.com"},
         true},
        {"LOCK TABLE hm_routes IN ACCESS EXCLUSIVE MODE", {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.held);
        Scheduled s(Backend::Postgres, kShortWaits);
        Database holder;
        holder.setConnectionString(s.connection);
        holder.open();
        QSqlDatabase db = holder.handle();
        QSqlQuery query(db);
        ASSERT_TRUE(db.transaction());
        ASSERT_TRUE(query.exec(c.held)) << query.lastError().text().toStdString();
        query.finish();

        const auto run = s.start(s.args(), {"TARVELO_TEST_WATCHDOG_MS=4000"});
        qint64 backend = 0;
        QElapsedTimer waited;
        waited.start();
        // Watched from a connection of its own: inside the holder's
        // transaction the server would show the sessions as they were when it
        // began.
        Database observer;
        observer.setConnectionString(s.connection);
        observer.open();
        QSqlQuery find(observer.handle());
        while (backend == 0 && waited.elapsed() < 20000) {
            QThread::msleep(100);
            if (find.exec("SELECT pid FROM pg_stat_activity WHERE datname = current_database() "
                          "AND pid <> pg_backend_pid() AND wait_event_type = 'Lock'") &&
                find.next()) {
                backend = find.value(0).toLongLong();
            }
            find.finish();
        }
        ASSERT_NE(backend, 0) << "the program never waited";
        ASSERT_EQ(::kill(pid_t(backend), SIGSTOP), 0);
        db.rollback();
        if (c.stopAsked) {
            QThread::msleep(300); // the program now waits for the stopped backend
            ASSERT_EQ(::kill(pid_t(run->processId()), SIGTERM), 0);
        }

        const int status = finish(*run);
        ::kill(pid_t(backend), SIGCONT);
        EXPECT_EQ(status, 1);
        const QString errors = QString::fromLocal8Bit(run->readAllStandardError());
        EXPECT_TRUE(errors.contains("nicht voran")) << errors.toStdString();
        const QStringList log = s.install.logMessages();
        EXPECT_TRUE(log.last().startsWith("Fehler: Der Lauf kommt seit"))
            << log.last().toStdString();
        EXPECT_EQ(log.at(log.size() - 2) == "Das Programm wird beendet (SIGTERM)", c.stopAsked)
            << log.join('\n').toStdString();
        const QStringList files = s.protocolFiles();
        if (c.recorded.isEmpty()) {
            EXPECT_TRUE(files.isEmpty()) << files.join(' ').toStdString();
            EXPECT_EQ(s.exampleComRows(), kExampleComBefore);
            continue;
        }
        ASSERT_EQ(files.size(), 1);
        EXPECT_TRUE(files[0].endsWith("-fehler.log"));
        const QStringList lines = s.fileLines(files[0]);
        ASSERT_EQ(lines.size(), c.recorded.size() + 2) << lines.join('|').toStdString();
        EXPECT_EQ(lines.mid(1, c.recorded.size()), c.recorded);
        EXPECT_TRUE(lines.last().startsWith("Fehler: Der Lauf kommt seit"));
        EXPECT_FALSE(s.exampleComRows().contains("carol@example.com"));
    }
}

// "/maxdelete:" counts the deletions before the first one: beyond the limit
// nothing changes; at it or below, the run is the normal one. The list
// below would delete 3 of the 4 rows of @example.com. Only deletions count
// against the limit, insertions never; a dry run is refused as the real run
// would be, so its preview never promises a run that is then stopped.
TEST(GuardedRun, TheDeletionGuardStopsARunBeyondItsLimitBeforeAnyChange) {
    const char* const aliceOnly = "alice@example.com\r\n";
    const char* const withANewcomer = "alice@example.com\r\nzoe@example.com\r\n";
    const struct {
        const char* limit;
        const char* list;
        bool dryRun;
        int status;
        const char* message;
    } cases[] = {
        {"2", aliceOnly, false, 1,
         "Der Lauf würde 3 Adressen löschen, erlaubt sind höchstens 2 (/maxdelete:2). Es wurde "
         "nichts geändert"},
        {"3", aliceOnly, false, 0, ""},
        {"4", aliceOnly, false, 0, ""},
        {"3", withANewcomer, false, 0, ""},
        {"74%", aliceOnly, false, 1,
         "Der Lauf würde 3 von 4 Adressen der Domain löschen, erlaubt sind höchstens 74 % "
         "(/maxdelete:74%). Es wurde nichts geändert"},
        {"75%", aliceOnly, false, 0, ""},
        {"75%", withANewcomer, false, 0, ""},
        {"100%", aliceOnly, false, 0, ""},
        {"abc", aliceOnly, false, 1, "Ungültiger Wert \"abc\" für /maxdelete:"},
        {"101%", aliceOnly, false, 1, "Ungültiger Wert \"101%\" für /maxdelete:"},
        {"2", aliceOnly, true, 1,
         "Der Lauf würde 3 Adressen löschen, erlaubt sind höchstens 2 (/maxdelete:2). Es wurde "
         "nichts geändert"},
        {"3", withANewcomer, true, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.limit) + (c.list == aliceOnly ? " alice" : " alice, zoe") +
                     (c.dryRun ? " /dryrun" : ""));
        Scheduled s;
        s.install.writeFile("liste.txt", c.list);
        QStringList switches({QStringLiteral("/maxdelete:") + c.limit});
        if (c.dryRun) {
            switches.append("/dryrun");
        }
        const auto result = s.install.run(s.args(switches));
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, c.status) << result.standardError.toStdString();
        if (c.status == 0) {
            if (c.dryRun) {
                EXPECT_EQ(s.exampleComRows(), kExampleComBefore);
                ASSERT_EQ(s.protocolFiles().size(), 1);
                EXPECT_TRUE(s.protocolFiles()[0].endsWith("-test.log"));
            } else if (c.list == aliceOnly) {
                EXPECT_EQ(s.exampleComRows(), QStringList({"alice@example.com"}));
            } else {
                EXPECT_EQ(s.exampleComRows(),
                          QStringList({"alice@example.com", "zoe@example.com"}));
            }
            continue;
        }
        EXPECT_TRUE(result.standardError.contains(QString::fromUtf8(c.message)))
            << result.standardError.toStdString();
        EXPECT_EQ(s.exampleComRows(), kExampleComBefore);
        EXPECT_FALSE(s.install.logMessages().contains("Ende DBsync"));
        if (c.dryRun) {
            EXPECT_TRUE(s.protocolFiles().filter("-test.log").isEmpty());
        }
    }
}

// "/dryrun" leaves the database file as it was, byte for byte, and its
// protocol is the one the real run then writes.
TEST(GuardedRun, ADryRunChangesNothingAndForetellsTheRealRun) {
    Scheduled s;
    const QByteArray before = s.install.readFile("hmailserver.db");
    auto result = s.install.run(s.args({"/dryrun", "/refresh"}));
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_EQ(s.install.readFile("hmailserver.db"), before);
    QStringList files = s.protocolFiles();
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(files[0].endsWith("-test.log")) << files[0].toStdString();
    const QStringList foretold = s.fileLines(files[0]);
    EXPECT_EQ(foretold,
              QStringList({"Datei: " + s.install.path("liste.txt"), "Delete carol@example.com",
                           "Delete postmaster@example.com", "Insert 1 dora@example.com"}));
    QStringList log = s.install.logMessages();
    EXPECT_TRUE(log.contains("Testlauf: die Datenbank wird nicht geändert"));
    EXPECT_FALSE(log.contains("Hmailserver-Aktualisierung")) << "a dry run refreshes nothing";
    EXPECT_EQ(log.last(), "Schliesse Programm");

    QFile::remove(s.install.path("prot/" + files[0]));
    result = s.install.run(s.args());
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0);
    files = s.protocolFiles();
    ASSERT_EQ(files.size(), 1);
    EXPECT_FALSE(files[0].endsWith("-test.log"));
    EXPECT_EQ(s.fileLines(files[0]), foretold);
    EXPECT_EQ(s.exampleComRows(), kExampleComAfter);
}

// "/batch:" stores the same changes as a run without it, in transactions;
// a value out of range ends the run before any change.
TEST(GuardedRun, BatchedCommitsGiveTheRunWithoutThem) {
    const struct {
        const char* value;
        int status;
    } cases[] = {{"1", 0},      {"2", 0}, {"1000", 0}, {"100000", 0}, {"0", 1},
                 {"100001", 1}, {"", 1},  {"-5", 1},   {"1e3", 1},    {"zehn", 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        Scheduled s;
        const auto result = s.install.run(s.args({QStringLiteral("/BATCH:") + c.value}));
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, c.status) << result.standardError.toStdString();
        if (c.status != 0) {
            EXPECT_TRUE(result.standardError.contains(
                QStringLiteral("Ungültiger Wert \"%1\" für /batch: erwartet wird eine Anzahl "
                               "von Änderungen je Transaktion von 1 bis 100000")
                    .arg(QString::fromLatin1(c.value))))
                << result.standardError.toStdString();
            EXPECT_EQ(s.exampleComRows(), kExampleComBefore);
            EXPECT_TRUE(s.protocolFiles().isEmpty());
            continue;
        }
        EXPECT_EQ(s.exampleComRows(), kExampleComAfter);
        const QStringList files = s.protocolFiles();
        ASSERT_EQ(files.size(), 1);
        EXPECT_EQ(s.fileLines(files[0]),
                  QStringList({"Datei: " + s.install.path("liste.txt"), "Delete carol@example.com",
                               "Delete postmaster@example.com", "Insert 1 dora@example.com"}));
    }
}
