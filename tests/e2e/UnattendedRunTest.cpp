#include "ScratchInstall.h"
#include "Utf16.h"

#include "RemoteStandin.h"
#include "TestDatabases.h"
#include "core/Mtools.h"
#include "core/SyncRun.h"
#include "platform/Ansi.h"
#include "platform/ProfileFile.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

// The unattended road: the executable started by a scheduler with switches,
// on a machine without a display, against a real SQLite database.

namespace {

class UnattendedRun : public ::testing::Test {
protected:
    void SetUp() override {
        connection = install.useSqliteDatabase(true);
        install.writeNightlyFiles();
    }

    QStringList protocolFiles() const {
        return QDir(install.path("prot")).entryList({"hmail-*.log"}, QDir::Files, QDir::Name);
    }

    QStringList exampleComRows() const { return addressesOfRoute(connection, 1); }

    QStringList standInCalls() const {
        QFile file(install.path("standin.log"));
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        QStringList calls;
        for (const QString& line :
             QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)) {
            if (!line.startsWith("create ") && !line.startsWith("release ")) {
                calls.append(line);
            }
        }
        return calls;
    }

    QString standInLog() const { return "TARVELO_STANDIN_LOG=" + install.path("standin.log"); }

    ScratchInstall install;
    QString connection;
};

const QStringList kExampleComBefore = {"Bob@Example.com", "alice@example.com", "carol@example.com",
                                       "postmaster@example.com"};
const QStringList kExampleComAfter = {"Bob@Example.com", "alice@example.com", "dora@example.com",
                                      "postmaster@example.com"};

} // namespace

TEST_F(UnattendedRun, FileDomainAndRefreshDoTheWholeJob) {
    install.installStandIn();
    install.setIni("Hmail", "admin", Mtools::ScrambleText("Geheim 1!"));
    QFile ini(install.path("tarvelo.ini"));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray iniBefore = ini.readAll();
    ini.close();

    const auto result = install.run(
        {"/file:" + install.path("liste.txt"), "/domain:Example.COM", "/refresh"}, {standInLog()});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_EQ(result.standardError, "");

    // The protocol file and the log of this run, byte for byte: the golden
    // case whole_road_domain_refresh.
    EXPECT_EQ(exampleComRows(), kExampleComAfter);
    EXPECT_EQ(standInCalls(), QStringList({"authenticate Administrator Geheim 1!", "settings",
                                           "routes", "refresh"}));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_EQ(ini.readAll(), iniBefore) << "an unattended run never writes the configuration";
}

TEST_F(UnattendedRun, SwitchesInCapitalsWorkAndNearMissesAreIgnored) {
    install.setIni("ad", "emails", install.path("liste.txt"));
    auto result = install.run({"/dbsyncx", "dbsync", "/domain:"});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1) << "nothing asked for";
    EXPECT_EQ(exampleComRows(), kExampleComBefore);
    EXPECT_TRUE(install.logMessages().contains("3 Parameter sind zu verarbeiten"));
    EXPECT_FALSE(install.logMessages().contains("Datenbank-Synchronisation"));
    EXPECT_FALSE(install.logMessages().join('\n').contains("Verarbeite nur"))
        << "an empty domain switch is ignored";

    // The toolkit's own options are unknown parameters too: neither ending
    // the program nor taking the switch after them.
    result = install.run(
        {"-style", "/DBSYNC", "-platform", "bogus", "/DOMAIN:@EXAMPLE.com", "-reverse"});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_EQ(exampleComRows(), kExampleComAfter);
    const QStringList log = install.logMessages();
    EXPECT_TRUE(log.contains("6 Parameter sind zu verarbeiten"));
    EXPECT_TRUE(log.contains("Verarbeite nur @example.com"));
    EXPECT_TRUE(log.contains("Domain: @example.com"));
    EXPECT_EQ(log.last(), "Schliesse Programm");
}

// A crontab saved with CR LF leaves a CR on the last switch; a service
// manager may hand on the quotes it was given.
TEST_F(UnattendedRun, ASwitchWithATrailingControlCharacterOrQuotesStillCounts) {
    const auto result =
        install.run({"/file:\"" + install.path("liste.txt") + "\"", "/domain:example.com\r"});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_EQ(exampleComRows(), kExampleComAfter);
    const QStringList log = install.logMessages();
    EXPECT_TRUE(log.contains("Verarbeite nur @example.com"));
    EXPECT_TRUE(log.contains("Verarbeite: " + install.path("liste.txt")));
}

TEST_F(UnattendedRun, ExistingFileWithoutDbsyncStillRunsAndTheLastValuesWin) {
    install.writeFile("andere.txt", "x@example.org\r\n");
    const auto result = install.run({"/file:" + install.path("andere.txt"), "/domain:example.org",
                                     "/file:" + install.path("liste.txt"), "/domain:example.com"});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_EQ(exampleComRows(), kExampleComAfter);
    const QStringList log = install.logMessages();
    EXPECT_TRUE(log.contains("Domain: @example.com"));
    EXPECT_TRUE(log.contains("Verarbeite: " + install.path("liste.txt")));
}

TEST_F(UnattendedRun, FilePathKeepsItsCaseAndIsCutAt255Characters) {
    // This file system tells "Liste.TXT" from "liste.txt".
    install.writeFile("Liste.TXT", "dora@example.com\r\n");
    auto result = install.run({"/FILE:" + install.path("Liste.TXT"), "/domain:example.com"});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_TRUE(install.logMessages().contains("Verarbeite: " + install.path("Liste.TXT")));

    // A name that makes the path exactly 255 characters long; the switch
    // carries more, which is cut off before the file is looked for.
    const QString prefix = install.dir() + "/";
    ASSERT_LT(prefix.size(), 200);
    const QString name = QString(255 - prefix.size() - 4, 'l') + ".txt";
    install.writeFile(name, "alice@example.com\r\n");
    result = install.run({"/file:" + prefix + name + "-ueberlang.txt", "/domain:example.com"});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_TRUE(install.logMessages().contains("Verarbeite: " + prefix + name))
        << install.logMessages().join("\n").toStdString();
}

TEST_F(UnattendedRun, RefreshFailingAtEachCallIsReportedWithStatusOne) {
    install.installStandIn();
    for (const QString member : {"authenticate", "settings", "routes", "refresh"}) {
        SCOPED_TRACE(member.toStdString());
        QFile::remove(install.path("tarvelo.log"));
        const auto result =
            install.run({"/refresh"}, {standInLog(), "TARVELO_STANDIN_FAIL=" + member,
                                       "TARVELO_STANDIN_FAIL_DESC=Anmeldung abgelehnt. \r\n",
                                       "TARVELO_STANDIN_FAIL_CODE=0x80004005"});
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.standardError, "Anmeldung abgelehnt\n");
        const QStringList log = install.logMessages();
        EXPECT_EQ(log.last(), "Fehler: Anmeldung abgelehnt");
        EXPECT_FALSE(log.contains("Schliesse Programm"));
    }
}

TEST_F(UnattendedRun, RefreshWithoutRegisteredObjectIsReported) {
    const auto result = install.run({"/refresh"});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.standardError, "Ungültige Klassenzeichenfolge\n");
    EXPECT_FALSE(install.logMessages().contains("Schliesse Programm"));
}

TEST_F(UnattendedRun, FailingRunSkipsTheRefresh) {
    install.installStandIn();
    QFile::remove(install.path("ausnahmen.txt"));
    const auto result = install.run(
        {"/file:" + install.path("liste.txt"), "/domain:example.com", "/refresh"}, {standInLog()});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    const QString message =
        "Datei " + install.path("ausnahmen.txt") + " kann nicht geöffnet werden";
    EXPECT_EQ(result.standardError, message + "\n");
    const QStringList log = install.logMessages();
    EXPECT_EQ(log.last(), "Fehler: " + message);
    EXPECT_FALSE(log.contains("Hmailserver-Aktualisierung"));
    EXPECT_TRUE(standInCalls().isEmpty());
    EXPECT_EQ(exampleComRows(), kExampleComBefore);
}

// The route refresh through the shipped administration plugin, which runs it
// on the mail server's Windows host; a stand-in takes the place of the
// command that reaches that host.

namespace {

class UnattendedRemoteRefresh : public UnattendedRun {
protected:
    // Every file of the installation but those the stand-in keeps for the test.
    QStringList filesHolding(const QString& secret) const {
        QStringList found;
        QDirIterator it(install.dir(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            if (file.startsWith(remote.hostDir() + '/')) {
                continue;
            }
            QFile f(file);
            if (f.open(QIODevice::ReadOnly) && RemoteStandin::holdsSecret(f.readAll(), secret)) {
                found.append(file);
            }
        }
        return found;
    }

    RemoteStandin remote{install.path("automation")};
};

} // namespace

TEST_F(UnattendedRemoteRefresh, RefreshLogsInOnTheMailServerHostAndReloadsTheRoutes) {
    // Typographic quotes, blanks, $, backticks and 0xA0-0xFF, as far as the
    // configuration file can hold them.
    const QString password = QString::fromUtf8("‘Geh eim’ “$x” `a` ‚ \u00A0äÿ");
    install.setIni("Hmail", "admin", Mtools::ScrambleText(password));
    ASSERT_EQ(Mtools::ScrambleText(
                  ProfileFile::readString(install.path("tarvelo.ini"), "Hmail", "admin")),
              password);

    const auto result = install.run({"/refresh"});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_EQ(result.standardError, "");
    EXPECT_EQ(install.logMessages().mid(3),
              QStringList({"1 Parameter sind zu verarbeiten", "Hmailserver-Aktualisierung",
                           "Schliesse Programm"}));

    const auto calls = remote.calls();
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls[0].arguments, RemoteStandin::kArguments);
    RemoteStandin::expectRefreshScript(calls[0].input, "Administrator", password);
    RemoteStandin::expectSecretKept(calls[0], password);
    EXPECT_EQ(filesHolding(password), QStringList());
}

// The mail server may take its time to reload: the refresh's own time limit
// bounds the wait, not the bound on a run that makes no progress.
TEST(UnattendedSlowRefresh, ARefreshWithinItsTimeLimitOutlastsTheStallBound) {
    ScratchInstall install(ScratchInstall::Program::ShortWaits);
    install.useSqliteDatabase(true);
    const RemoteStandin remote{install.path("automation")};
    const QString slow = remote.hostDir() + "/langsam";
    install.writeFile(QDir(install.dir()).relativeFilePath(slow),
                      "#!/bin/sh\nsleep 5\nexec \"$(dirname \"$0\")/powershell-standin\" \"$@\"\n");
    QFile::setPermissions(slow, QFile::permissions(slow) | QFileDevice::ExeOwner);
    remote.setCommand(u'"' + slow + "\" " + RemoteStandin::kArguments.join(u' '), 30);
    const auto result = install.run({"/refresh"}, {"TARVELO_TEST_WATCHDOG_MS=2000"});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_EQ(remote.calls().size(), 1);
    EXPECT_EQ(install.logMessages().last(), "Schliesse Programm");
}

// A mail server object whose call never returns and never lets the window
// breathe (COM on Windows): the stall bound ends the run, and the message
// sends the administrator to the mail server, not to the database.
TEST(UnattendedHungRefresh, ARefreshThatNeverAnswersIsEndedAndNamedAsTheMailServer) {
    ScratchInstall install(ScratchInstall::Program::ShortWaits);
    install.useSqliteDatabase(true);
    install.installStandIn();
    const auto result = install.run(
        {"/refresh"}, {"TARVELO_STANDIN_HANG=refresh", "TARVELO_TEST_WATCHDOG_MS=1000"});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    const QString reason = " Sekunden nicht voran (keine Antwort des Mailservers auf die "
                           "Routen-Aktualisierung); das Programm wird beendet";
    EXPECT_TRUE(result.standardError.startsWith("Der Lauf kommt seit ") &&
                result.standardError.endsWith(reason + "\n"))
        << result.standardError.toStdString();
    const QString last = install.logMessages().last();
    EXPECT_TRUE(last.startsWith("Fehler: Der Lauf kommt seit ") && last.endsWith(reason))
        << last.toStdString();
}

TEST_F(UnattendedRemoteRefresh, ErrorOfTheMailServerIsReportedTrimmedWithStatusOne) {
    remote.answer(1, "Warnung: Verbindung langsam\r\n"
                     "You do not have access to this property / method. \r\n\r\n");
    const auto result = install.run({"/refresh"});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    const QString message = "You do not have access to this property / method";
    EXPECT_EQ(result.standardError, message + "\n");
    const QStringList log = install.logMessages();
    EXPECT_TRUE(log.contains("Hmailserver-Aktualisierung"));
    EXPECT_EQ(log.last(), "Fehler: " + message);
    EXPECT_FALSE(log.contains("Schliesse Programm"));
    EXPECT_EQ(remote.calls().size(), 1);
}

TEST_F(UnattendedRemoteRefresh, RefreshThatCannotReachTheHostIsAClearErrorAndNeverHangs) {
    const QString missingProgram = install.path("fehlt/ssh");
    struct Case {
        const char* what;
        std::function<void()> prepare;
        QString message;
    };
    const Case cases[] = {
        {"no configuration file", [&] { QFile::remove(remote.configFile()); },
         "Die Routen-Aktualisierung ist nicht eingerichtet: Datei " + remote.configFile() +
             " fehlt (Abschnitt [Remote], Schlüssel Command: der Befehl, der PowerShell auf dem "
             "Mailserver startet)"},
        {"empty command", [&] { remote.setCommand(""); },
         "Die Routen-Aktualisierung ist nicht eingerichtet: In " + remote.configFile() +
             " steht im Abschnitt [Remote] kein Befehl unter Command"},
        {"command that does not exist", [&] { remote.setCommand(missingProgram + " -T mailhost"); },
         "Der Befehl \"" + missingProgram +
             "\" kann nicht gestartet werden (nicht gefunden oder nicht ausführbar; eingetragen "
             "in " +
             remote.configFile() + ")"},
        {"command that never ends",
         [&] {
             remote.setCommand(remote.defaultCommand(), 2);
             remote.setFlag("hang");
         },
         "Zeitüberschreitung: Der Befehl \"" + remote.program() +
             "\" hat sich nach 2 Sekunden nicht beendet und wurde abgebrochen"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(install.path("tarvelo.log"));
        c.prepare();
        const auto result = install.run({"/refresh"});
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.standardError, c.message + "\n");
        const QStringList log = install.logMessages();
        EXPECT_EQ(log.last(), "Fehler: " + c.message);
        EXPECT_FALSE(log.contains("Schliesse Programm"));
    }
}

// A service manager's stop while the mail server is asked: the wait is given
// up as Escape gives it up, the command and what it started end with it (not
// left to refresh unseen), the log says so, and the program ends by the signal.
// Sent to the whole process group (systemd, timeout, Ctrl+C), the command ends
// by the stop too: that is said as the same stop, not as a failed command.
TEST_F(UnattendedRemoteRefresh, ASignalWhileTheMailServerIsAskedEndsTheCommandWithAWord) {
    remote.setCommand(remote.defaultCommand(), 60);
    remote.setFlag("hang");
    // Gone, or a zombie that waits for the system's first process.
    const auto ended = [](qint64 pid) {
        for (int i = 0; i < 40; ++i) {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
            if (!stat.open(QIODevice::ReadOnly)) {
                return true;
            }
            const QByteArray line = stat.readAll();
            if (line.mid(line.lastIndexOf(')') + 2, 1) == "Z") {
                return true;
            }
            QThread::msleep(50);
        }
        return false;
    };
    for (const bool wholeGroup : {false, true}) {
        SCOPED_TRACE(wholeGroup ? "the whole process group" : "the program alone");
        QFile::remove(install.path("tarvelo.log"));
        const qsizetype call = remote.calls().size();
        const auto run = install.start({"/refresh"});
        QElapsedTimer waited;
        waited.start();
        while ((remote.calls().size() <= call || remote.calls()[call].childPid == 0) &&
               waited.elapsed() < 20000) {
            QThread::msleep(50);
        }
        ASSERT_EQ(remote.calls().size(), call + 1);
        const qint64 command = remote.calls()[call].pid;
        const qint64 child = remote.calls()[call].childPid;
        ASSERT_GT(child, 0);
        ASSERT_EQ(::kill(pid_t(run->processId()), SIGTERM), 0);
        if (wholeGroup) {
            ASSERT_EQ(::kill(pid_t(command), SIGTERM), 0);
            ASSERT_EQ(::kill(pid_t(child), SIGTERM), 0);
        }
        ASSERT_TRUE(run->waitForFinished(20000));
        EXPECT_LT(waited.elapsed(), 20000);
        EXPECT_EQ(run->exitStatus(), QProcess::CrashExit) << "ended by the signal";
        const QStringList log = install.logMessages();
        ASSERT_GE(log.size(), 2);
        EXPECT_EQ(log[log.size() - 2], "Das Programm wird beendet (SIGTERM)");
        EXPECT_EQ(log.last(), "Fehler: Abgebrochen: Der Befehl \"" + remote.program() +
                                  "\" wurde beendet, bevor der Mailserver antwortete; ob er "
                                  "seine Routen neu geladen hat, ist offen");
        EXPECT_TRUE(ended(child)) << "the program the command started still runs";
    }
}

TEST_F(UnattendedRemoteRefresh, FullRoadSynchronisesThenRefreshesOnce) {
    install.setIni("Hmail", "admin", Mtools::ScrambleText("Geheim 1!"));
    const auto result =
        install.run({"/file:" + install.path("liste.txt"), "/domain:example.com", "/refresh"},
                    {"STANDIN_SNAPSHOT=" + install.path("hmailserver.db")});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_EQ(exampleComRows(), kExampleComAfter);
    EXPECT_EQ(protocolFiles().size(), 1);
    const QStringList log = install.logMessages();
    EXPECT_EQ(log.mid(log.indexOf("Ende DBsync")),
              QStringList({"Ende DBsync", "Hmailserver-Aktualisierung", "Schliesse Programm"}));

    const auto calls = remote.calls();
    ASSERT_EQ(calls.size(), 1);
    RemoteStandin::expectRefreshScript(calls[0].input, "Administrator", "Geheim 1!");
    // When the command started, the synchronisation had been made.
    install.writeFile("beim-refresh.db", calls[0].snapshot);
    const auto rowsThen =
        routeAddressRows("Provider=SQLite;Data Source=" + install.path("beim-refresh.db"));
    EXPECT_EQ(rowsThen, routeAddressRows(connection));
}

// Inputs that an unattended run meets in real installations: lists that are
// no files, a configured list that is gone, links at the protocol's name,
// exports in other encodings, a list far too large.

namespace {

// A listening socket at path, closed when it goes.
class BoundSocket {
public:
    explicit BoundSocket(const QString& path) : m_fd(::socket(AF_UNIX, SOCK_STREAM, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        if (m_fd < 0 || name.size() >= static_cast<qsizetype>(sizeof address.sun_path)) {
            throw std::runtime_error("cannot make a socket");
        }
        std::memcpy(address.sun_path, name.constData(), static_cast<size_t>(name.size()));
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_fd, 1) != 0) {
            throw std::runtime_error("cannot bind a socket");
        }
    }
    ~BoundSocket() { ::close(m_fd); }
    BoundSocket(const BoundSocket&) = delete;
    BoundSocket& operator=(const BoundSocket&) = delete;

private:
    int m_fd;
};

} // namespace

TEST_F(UnattendedRun, ListThatIsNoRegularFileCountsAsMissing) {
    // A FIFO without a writer would block the run for ever at its open; a
    // device or a socket is no list either.
    const QString fifo = install.path("liste.fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const BoundSocket socket(install.path("liste.sock"));
    install.installStandIn();
    for (const QString& list : {fifo, QStringLiteral("/dev/null"), QStringLiteral("/dev/zero"),
                                install.path("liste.sock")}) {
        SCOPED_TRACE(list.toStdString());
        QFile::remove(install.path("tarvelo.log"));
        const auto result =
            install.run({"/file:" + list, "/domain:example.com", "/refresh"}, {standInLog()});
        ASSERT_TRUE(result.finished) << "the run waited on the list";
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_EQ(result.standardError, "");
        EXPECT_EQ(install.logMessages().mid(3),
                  QStringList({"3 Parameter sind zu verarbeiten",
                               "Datei \"" + list + "\" nicht gefunden", "Programm beendet"}));
        EXPECT_EQ(exampleComRows(), kExampleComBefore);
        EXPECT_TRUE(standInCalls().isEmpty());
        EXPECT_TRUE(protocolFiles().isEmpty());
    }
}

TEST_F(UnattendedRun, DbsyncWithTheConfiguredListMissingEndsWithStatusTwo) {
    // The run itself ends silently after its two log lines, as it does when
    // started from the window; only the status tells the scheduler.
    const QString fifo = install.path("liste.fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QDir(install.dir()).mkpath("verzeichnis");
    for (const QString& list : {install.path("fehlt.txt"), QString(), install.path("verzeichnis"),
                                fifo, QStringLiteral("/dev/zero")}) {
        SCOPED_TRACE(list.toStdString());
        QFile::remove(install.path("tarvelo.log"));
        install.setIni("ad", "emails", list);
        const auto result = install.run({"/dbsync", "/domain:example.com"});
        ASSERT_TRUE(result.finished) << "the run waited on the list";
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_EQ(result.standardError, "");
        EXPECT_EQ(install.logMessages().mid(3),
                  QStringList({"2 Parameter sind zu verarbeiten", "Verarbeite nur @example.com",
                               "Datenbank-Synchronisation", "Domain: @example.com",
                               "Verarbeite: " + list, "Schliesse Programm"}));
        EXPECT_EQ(exampleComRows(), kExampleComBefore);
        EXPECT_TRUE(protocolFiles().isEmpty());
    }

    // The configured list present: the same switches end with status 0.
    install.setIni("ad", "emails", install.path("liste.txt"));
    const auto result = install.run({"/dbsync", "/domain:example.com"});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_EQ(exampleComRows(), kExampleComAfter);
}

TEST_F(UnattendedRun, AProtocolNameTakenByALinkOrAnEarlierFileIsPassedOver) {
    // The protocol's name comes from the clock: links for this second and
    // every second the run may take, and an earlier run's protocol after them
    // (the hour the clocks go back names a run like the one an hour before).
    const QByteArray secret = "root:x:0:0:nicht anfassen\n";
    install.writeFile("fremd.txt", secret);
    const QDateTime start = QDateTime::currentDateTime();
    QStringList planted;
    for (int s = 0; s <= 70; ++s) {
        const QDateTime at = start.addSecs(s);
        const QString name = protocolFileName(at.date(), at.time());
        ASSERT_TRUE(QFile::link(install.path("fremd.txt"), install.path("prot/" + name)));
        planted.append(name);
    }
    const QDateTime after = start.addSecs(71);
    const QString earlier = protocolFileName(after.date(), after.time());
    install.writeFile("prot/" + earlier, "Datei: frueher\r\n");

    const auto result = install.run({"/file:" + install.path("liste.txt"), "/domain:example.com"});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_EQ(install.readFile("fremd.txt"), secret);
    EXPECT_EQ(exampleComRows(), kExampleComAfter);
    for (const QString& name : planted) {
        EXPECT_TRUE(QFileInfo(install.path("prot/" + name)).isSymLink()) << name.toStdString();
    }
    EXPECT_EQ(install.readFile("prot/" + earlier), "Datei: frueher\r\n");

    const QDateTime next = start.addSecs(72);
    const QString written = protocolFileName(next.date(), next.time());
    EXPECT_EQ(install.readFile("prot/" + written),
              "Datei: " + install.path("liste.txt").toLocal8Bit() +
                  "\r\nDelete carol@example.com\r\nInsert 1 dora@example.com\r\n");
    EXPECT_EQ(QDir(install.path("prot"))
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System)
                  .size(),
              planted.size() + 2)
        << "no temporary file left behind";
}

// Installations for several mail servers may share one protocol folder
// (the package's /var/log/tarvelo/) and run at the same minute: runs that
// end in the same second each keep their own protocol, none replaced.
TEST(UnattendedShared, InstallationsSharingAProtocolFolderEachKeepTheirProtocol) {
    QTemporaryDir shared;
    ASSERT_TRUE(shared.isValid());
    std::vector<std::unique_ptr<ScratchInstall>> installs;
    for (int i = 0; i < 6; ++i) {
        auto install = std::make_unique<ScratchInstall>();
        install->useSqliteDatabase(true);
        install->writeNightlyFiles();
        install->setIni("Options", "Protokoll", shared.path() + u'/');
        installs.push_back(std::move(install));
    }
    std::vector<std::unique_ptr<QProcess>> runs;
    for (const auto& install : installs) {
        runs.push_back(install->start({"/file:" + install->path("liste.txt")}));
    }
    QByteArrayList expected;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        ASSERT_TRUE(runs[i]->waitForFinished(120'000));
        EXPECT_EQ(runs[i]->exitCode(), 0) << runs[i]->readAllStandardError().toStdString();
        expected.append("Datei: " + installs[i]->path("liste.txt").toLocal8Bit() + "\r\n");
    }
    QByteArrayList headers;
    const QDir folder(shared.path());
    for (const QString& name :
         folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System)) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        headers.append(file.readLine());
    }
    std::sort(expected.begin(), expected.end());
    std::sort(headers.begin(), headers.end());
    EXPECT_EQ(headers, expected);
}

TEST(UnattendedEncodings, ListAndExceptionsInEveryExportEncodingGiveTheSameRun) {
    // The list keeps alice and Bob, adds Jürgen and Zoë, and the exception
    // "müller@" keeps Müller out: the same rows and the same protocol,
    // whatever encoding the export system chose.
    const QString list =
        QStringLiteral("alice@example.com\r\nBOB@example.com\r\n"
                       "Jürgen@example.com\rmüller@example.com\nZoë@example.com\r\n");
    const QString exceptions = QStringLiteral("müller@\r\n");
    struct Case {
        const char* what;
        std::function<QByteArray(const QString&)> encode;
    };
    const Case cases[] = {
        {"UTF-16 LE", [](const QString& t) { return utf16WithMark(t, true); }},
        {"UTF-16 BE", [](const QString& t) { return utf16WithMark(t, false); }},
        {"UTF-8 with mark", [](const QString& t) { return "\xEF\xBB\xBF" + t.toUtf8(); }},
        {"UTF-8", [](const QString& t) { return t.toUtf8(); }},
        {"Windows-1252", [](const QString& t) { return Ansi::encode(t); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchInstall install;
        const QString connection = install.useSqliteDatabase(true);
        install.useProtocolDirectory();
        install.writeFile("liste.txt", c.encode(list));
        install.writeFile("ausnahmen.txt", c.encode(exceptions));

        const auto result =
            install.run({"/file:" + install.path("liste.txt"), "/domain:example.com"});
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
        QStringList rows;
        for (const auto& row : routeAddressRows(connection)) {
            if (row.first == 1) {
                rows.append(row.second);
            }
        }
        rows.sort();
        EXPECT_EQ(rows, QStringList({"Bob@Example.com", QStringLiteral("Jürgen@example.com"),
                                     QStringLiteral("Zoë@example.com"), "alice@example.com"}));
        const QStringList files =
            QDir(install.path("prot")).entryList({"hmail-*.log"}, QDir::Files);
        ASSERT_EQ(files.size(), 1);
        // The protocol is written in Windows-1252, as always.
        EXPECT_EQ(install.readFile("prot/" + files[0]),
                  "Datei: " + install.path("liste.txt").toLocal8Bit() +
                      "\r\nDelete carol@example.com\r\nDelete postmaster@example.com\r\n"
                      "Insert 1 J\xFCrgen@example.com\r\nInsert 1 Zo\xEB@example.com\r\n");
    }
}

// Two exports joined keep their marks at the start of a line: one is taken
// off. A second one, which a driver would drop or read as swapped bytes,
// names its line and changes nothing.
TEST(UnattendedEncodings, JoinedExportsLoseTheirMarksAndASecondMarkIsRefused) {
    ScratchInstall install;
    const QString connection = install.useSqliteDatabase(true);
    install.useProtocolDirectory();
    install.writeFile("ausnahmen.txt", "");
    const QByteArray mark = "\xEF\xBB\xBF";
    const QByteArray joined =
        mark + "alice@example.com\r\nBob@example.com\r\n" + mark + "Zo\xC3\xAB@example.com\r\n";
    const QStringList run = {"/file:" + install.path("liste.txt"), "/domain:example.com"};
    install.writeFile("liste.txt", joined + mark + mark + "neu@example.com\r\n");
    const auto before = routeAddressRows(connection);
    auto result = install.run(run);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(install.logMessages().last(),
              QStringLiteral("Fehler: Zeile 4 der Adressliste beginnt mit einer Byte-Order-Mark "
                             "(U+FEFF), die nicht jede Datenbank speichert: \"?neu@example.com\". "
                             "Es wurde nichts geändert"));
    EXPECT_EQ(routeAddressRows(connection), before);
    // The record of the run that failed names no change, only the failure.
    const QStringList records = QDir(install.path("prot")).entryList(QDir::Files);
    ASSERT_EQ(records.size(), 1);
    EXPECT_TRUE(records[0].endsWith("-fehler.log")) << records[0].toStdString();
    EXPECT_EQ(install.readFile("prot/" + records[0]),
              "Datei: " + install.path("liste.txt").toLocal8Bit() + "\r\n" +
                  Ansi::encode(install.logMessages().last()) + "\r\n");

    install.writeFile("liste.txt", joined);
    result = install.run(run);
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_EQ(
        addressesOfRoute(connection, 1),
        QStringList({"Bob@Example.com", QStringLiteral("Zoë@example.com"), "alice@example.com"}));
}

TEST_F(UnattendedRun, OversizedOrMixedListOrExceptionFileIsRefusedBeforeAnyChange) {
    // Each would take many times its size in memory (a gigabyte of line
    // breaks as list, an exception file of one endless line) or lose the
    // umlauts of its UTF-8 lines (one line in another encoding).
    struct Case {
        const char* what;
        const char* file;
        qint64 sparseSize; // a sparse file of this size, or else the bytes
        QByteArray bytes;
        const char* message; // after "Datei <path> "
    };
    const Case cases[] = {
        {"list over 1 GiB",
         "liste.txt",
         qint64(2) << 30,
         {},
         "ist größer als 1 GiB (2147483648 Bytes) und wird nicht gelesen"},
        {"list of empty lines", "liste.txt", 0, QByteArray(10'000'001, '\n'),
         "hat mehr als 10 Millionen Zeilen und wird nicht gelesen"},
        {"list of lone CR", "liste.txt", 0, QByteArray(10'000'000, '\r') + "x",
         "hat mehr als 10 Millionen Zeilen und wird nicht gelesen"},
        {"exception file over 16 MiB", "ausnahmen.txt", 0,
         ">newsletter@\r\n" + QByteArray((qint64(16) << 20) - 13, 'x'),
         "ist größer als 16 MiB (16777217 Bytes) und wird nicht gelesen"},
        {"list of UTF-8 and Windows-1252", "liste.txt", 0,
         "alice@example.com\r\nJ\xC3\xBCrgen@example.com\r\nm\xFCller@example.com\r\n",
         "enthält UTF-8 und Windows-1252 gemischt (Zeile 3 ist kein gültiger UTF-8-Text) und "
         "wird nicht gelesen"},
        {"exception file of UTF-8 and Windows-1252", "ausnahmen.txt", 0,
         "m\xFCller@\r\nj\xC3\xBCrgen@\r\n",
         "enthält UTF-8 und Windows-1252 gemischt (Zeile 1 ist kein gültiger UTF-8-Text) und "
         "wird nicht gelesen"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchInstall install;
        const QString connection = install.useSqliteDatabase(true);
        install.useProtocolDirectory();
        install.writeFile("liste.txt", "alice@example.com\r\n");
        install.writeFile("ausnahmen.txt", ">newsletter@\r\n");
        const QString file = install.path(QString::fromLatin1(c.file));
        if (c.sparseSize > 0) {
            ASSERT_TRUE(QFile::resize(file, c.sparseSize));
        } else {
            install.writeFile(QString::fromLatin1(c.file), c.bytes);
        }
        const auto before = routeAddressRows(connection);
        const auto result =
            install.run({"/file:" + install.path("liste.txt"), "/domain:example.com"});
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 1);
        const QString message = "Datei " + file + " " + QString::fromUtf8(c.message);
        EXPECT_EQ(result.standardError, message + "\n");
        EXPECT_EQ(install.logMessages().last(), "Fehler: " + message);
        EXPECT_EQ(routeAddressRows(connection), before);
        EXPECT_TRUE(QDir(install.path("prot")).isEmpty());
    }
}
