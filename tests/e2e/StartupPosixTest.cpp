#include "ScratchInstall.h"
#include "SilentListener.h"
#include "TestBackend.h"

#include "TestDatabases.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <stdexcept>

#include <sys/stat.h>
#include <unistd.h>

// Starts whose faults are made the POSIX way: a file-size limit for a full
// disk, X11 displays that answer or not.
// The log's disk fills up during a scheduled run: every line in the log is
// whole, the line that did not fit is not there in part.
TEST(Startup, ALogOnAFullDiskKeepsWholeLines) {
    ScratchInstall install;
    install.useSqliteDatabase();
    install.writeFile("liste.txt", "alice@example.com\r\n");
    // Room for the blank line, "Start des Programms" and part of the next.
    const QByteArray before = "01.12.2026 10:00:00: Programm wird geschlossen\r\n";
    install.writeFile("tarvelo.log", before);
    const qint64 room = 2 + 42 + 20;
    install.limitFileSize(before.size() + room);

    const auto result = install.run({"/file:" + install.path("liste.txt")});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    const QByteArray log = install.readFile("tarvelo.log");
    EXPECT_LE(log.size(), before.size() + room);
    EXPECT_TRUE(log.startsWith(before));
    EXPECT_TRUE(log.endsWith("\r\n")) << log.toStdString();
    EXPECT_EQ(install.logMessages(),
              QStringList({"Programm wird geschlossen", "", "Start des Programms"}));
    // Standard error says what could not be written, and where, once and
    // before anything else.
    const QString failure = "In die Logdatei \"" + install.path("tarvelo.log") +
                            "\" kann nicht geschrieben werden: E/A-Fehler 112";
    EXPECT_TRUE(result.standardError.startsWith(failure)) << result.standardError.toStdString();
    EXPECT_EQ(result.standardError.count("E/A-Fehler 112"), 1)
        << result.standardError.toStdString();
}

// Under a file size limit (ulimit -f, LimitFSIZE=) the file that reaches it
// fails as on a full disk, with an error the log tells; the program is not
// ended without a word, and no half-written protocol stays behind.
TEST(Startup, AFileSizeLimitIsReportedAsAFullDisk) {
    // More protocol lines than the limit takes.
    QByteArray newAddresses;
    for (int i = 0; i < 300; ++i) {
        newAddresses += "neu" + QByteArray::number(i) + "@example.com\r\n";
    }
    {
        // A log already at the limit: not even the start's line fits.
        ScratchInstall install;
        install.useSqliteDatabase();
        install.writeFile("liste.txt", "alice@example.com\r\n");
        install.writeFile("tarvelo.log", QByteArray(4094, 'x') + "\r\n");
        install.limitFileSize(4096);
        const auto result = install.run({"/file:" + install.path("liste.txt")});
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_TRUE(result.standardError.contains(" kann nicht geschrieben werden: E/A-Fehler 112"))
            << result.standardError.toStdString();
        EXPECT_EQ(install.readFile("tarvelo.log").size(), 4096);
    }
    {
        // A preview whose protocol grows beyond the limit.
        ScratchInstall install;
        install.useSqliteDatabase();
        install.writeNightlyFiles();
        install.writeFile("liste.txt", newAddresses);
        install.limitFileSize(4096);
        const auto result =
            install.run({"/file:" + install.path("liste.txt"), "/domain:example.com", "/dryrun"});
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 1) << result.standardError.toStdString();
        const QStringList log = install.logMessages();
        ASSERT_FALSE(log.isEmpty());
        EXPECT_TRUE(log.last().startsWith("Fehler: ")) << log.last().toStdString();
        EXPECT_EQ(QDir(install.path("prot")).entryList(QDir::Files | QDir::Hidden), QStringList());
    }
    {
        // A run whose changes are made, but whose protocol and record no
        // longer fit: the record's lines are on standard error instead. The
        // table on a server, which the limit does not reach.
        ScratchInstall install;
        install.writeNightlyFiles();
        const QString database = createBackendDatabase(Backend::Postgres, QString(), true);
        install.setIni("SQL", "Provider", database);
        install.writeFile("liste.txt", newAddresses);
        install.limitFileSize(4096);
        const auto result =
            install.run({"/file:" + install.path("liste.txt"), "/domain:example.com"});
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 1) << result.standardError.toStdString();
        EXPECT_EQ(addressesOfRoute(database, 1).size(), 300);
        const QStringList shown = result.standardError.split('\n');
        const qsizetype heading =
            shown.indexOf(QRegularExpression("Datei .*-fehler\\.log kann nicht erstellt werden\\. "
                                             "Ihr Inhalt:"));
        ASSERT_GE(heading, 0) << result.standardError.toStdString();
        // The header, the deletions of the four others and the 300 insertions,
        // then the error that failed the run: the protocol's own file.
        const QStringList record = shown.mid(heading + 1, 306);
        ASSERT_EQ(record.size(), 306) << result.standardError.toStdString();
        EXPECT_TRUE(record.first().startsWith("Datei: ")) << record.first().toStdString();
        EXPECT_EQ(record.filter(QRegularExpression("^Delete ")).size(), 4);
        EXPECT_EQ(record.filter(QRegularExpression("^Insert 1 neu\\d+@example\\.com$")).size(),
                  300);
        EXPECT_TRUE(record.last().startsWith("Fehler: Datei ")) << record.last().toStdString();
        EXPECT_EQ(QDir(install.path("prot")).entryList(QDir::Files | QDir::Hidden), QStringList());
    }
}

// A FIFO nobody reads from or writes to (a log collector that died) in place
// of the log or the configuration file never holds the scheduler's run: it
// ends at once with its error.
TEST(Startup, AFifoWithoutItsPartnerNeverHoldsTheRun) {
    {
        ScratchInstall install;
        install.useSqliteDatabase();
        install.writeFile("liste.txt", "alice@example.com\r\n");
        ASSERT_EQ(::mkfifo(QFile::encodeName(install.path("tarvelo.log")).constData(), 0600), 0);
        const auto result = install.run({"/file:" + install.path("liste.txt")});
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_TRUE(result.standardError.contains("In die Logdatei \"" +
                                                  install.path("tarvelo.log") +
                                                  "\" kann nicht geschrieben werden: Niemand liest "
                                                  "aus der Pipe"))
            << result.standardError.toStdString();
    }
    {
        ScratchInstall install;
        ASSERT_EQ(::mkfifo(QFile::encodeName(install.path("tarvelo.ini")).constData(), 0600), 0);
        const auto result = install.run({"/dbsync"});
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 1);
        const QString message = "Die Konfigurationsdatei \"" + install.path("tarvelo.ini") +
                                "\" ist keine reguläre Datei; ohne ihre Verbindungszeichenfolge "
                                "(Abschnitt [SQL], Eintrag Provider) wird keine Datenbank geöffnet";
        EXPECT_TRUE(result.standardError.contains(message)) << result.standardError.toStdString();
        EXPECT_TRUE(install.logMessages().contains("Fehler: " + message));
    }
}

// An executable in a directory whose name is not valid UTF-8 (a folder copied
// from an old share) cannot be named by the toolkit: the program says so and
// ends, and makes no files at the root of the file system instead.
TEST(Startup, AProgramDirectoryNamedInAnotherEncodingIsRefused) {
    ScratchInstall install;
    install.useSqliteDatabase();
    install.writeFile("liste.txt", "alice@example.com\r\n");
    const QByteArray dir = QFile::encodeName(install.dir()) + "/Pr\xf6gramme";
    ASSERT_EQ(::mkdir(dir.constData(), 0700), 0);
    // The scratch directory cannot remove what it cannot name.
    struct RemoveAtEnd {
        QByteArray dir;
        ~RemoveAtEnd() {
            ::unlink((dir + "/tarvelo").constData());
            ::rmdir(dir.constData());
        }
    } removeAtEnd{dir};
    // Started through a link with a plain name, as from /usr/local/bin.
    const QByteArray link = QFile::encodeName(install.path("tarvelo"));
    ASSERT_EQ(::rename(link.constData(), (dir + "/tarvelo").constData()), 0);
    ASSERT_EQ(::symlink((dir + "/tarvelo").constData(), link.constData()), 0);
    const bool rootLogBefore = QFileInfo::exists("/.log");

    const auto result = install.run({"/file:" + install.path("liste.txt")});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.standardError.contains(
        "Das Verzeichnis des Programms ist nicht zu finden (aufgerufen als \"" +
        install.path("tarvelo") + "\"; ist ein Verzeichnisname kein gültiges UTF-8?)"))
        << result.standardError.toStdString();
    EXPECT_FALSE(result.standardError.contains("\"/.ini\"")) << result.standardError.toStdString();
    EXPECT_EQ(QFileInfo::exists("/.log"), rootLogBefore);
}

// A display that cannot be used is no display: the scheduler's run goes on
// without a screen, with the statuses of a run without one, and says why.

namespace {

// A display number that no X server on this machine answers to, far from
// where the servers of other tests running meanwhile look for one
// (xvfb-run from 99 up, Xvfb -displayfd from 0 up).
QString deadDisplay() {
    for (int n = 4711; n < 4800; ++n) {
        if (!QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)) &&
            !QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(n))) {
            return QStringLiteral(":%1").arg(n);
        }
    }
    throw std::runtime_error("no free display number");
}

// A real X server of its own (Xvfb) for as long as it lives.
class VirtualDisplay {
public:
    VirtualDisplay() {
        m_server.setProgram(QStringLiteral("Xvfb"));
        m_server.setArguments(
            {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1024x768x24"});
        m_server.start();
        if (!m_server.waitForStarted(10000)) {
            throw std::runtime_error("Xvfb cannot be started (scripts/install-deps installs it)");
        }
        while (!m_server.canReadLine() && m_server.waitForReadyRead(20000)) {
        }
        const QByteArray number = m_server.readLine().trimmed();
        if (number.isEmpty()) {
            throw std::runtime_error("Xvfb named no display");
        }
        m_display = ":" + QString::fromLatin1(number);
    }
    ~VirtualDisplay() {
        m_server.terminate();
        if (!m_server.waitForFinished(5000)) {
            m_server.kill();
            m_server.waitForFinished(5000);
        }
    }
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    QString display() const { return m_display; }

private:
    QProcess m_server;
    QString m_display;
};

} // namespace

TEST(Startup, UnusableDisplayIsNoDisplay) {
    const QString dead = deadDisplay();
    // An X display that takes connections and never answers, like a frozen
    // server or a forwarded display whose far end sleeps.
    const SilentListener silentServer(6050, 6099);
    const QString silent = QStringLiteral("127.0.0.1:%1").arg(silentServer.port() - 6000);
    struct Case {
        const char* what;
        QStringList environment;
        QString why;
    };
    const Case cases[] = {
        {"DISPLAY without a server",
         {"DISPLAY=" + dead},
         "DISPLAY=" + dead + "; Qt-Plattform xcb startet nicht"},
        {"DISPLAY whose server never answers",
         {"DISPLAY=" + silent},
         "DISPLAY=" + silent + "; Qt-Plattform xcb startet nicht"},
        {"xcb chosen without a display",
         {"QT_QPA_PLATFORM=xcb"},
         "kein DISPLAY gesetzt; Qt-Plattform xcb startet nicht"},
        {"xcb chosen, DISPLAY without a server",
         {"QT_QPA_PLATFORM=xcb", "DISPLAY=" + dead},
         "DISPLAY=" + dead + "; Qt-Plattform xcb startet nicht"},
        {"Wayland display without a compositor",
         {"WAYLAND_DISPLAY=tarvelo-fehlt", "XDG_RUNTIME_DIR=" + QDir::tempPath()},
         "WAYLAND_DISPLAY=tarvelo-fehlt; Qt-Plattform wayland startet nicht"},
        {"DISPLAY and Wayland display, neither usable",
         {"DISPLAY=" + dead, "WAYLAND_DISPLAY=tarvelo-fehlt",
          "XDG_RUNTIME_DIR=" + QDir::tempPath()},
         "DISPLAY=" + dead +
             ", WAYLAND_DISPLAY=tarvelo-fehlt; Qt-Plattformen xcb, wayland starten nicht"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchInstall install;
        const QString connection = install.useSqliteDatabase(true);
        install.writeFile("ausnahmen.txt", "");
        install.writeFile("liste.txt", "alice@example.com\r\nBob@example.com\r\n");
        install.installStandIn();
        const QString standInLog = "TARVELO_STANDIN_LOG=" + install.path("standin.log");

        auto result =
            install.run({"/file:" + install.path("liste.txt"), "/domain:example.com", "/refresh"},
                        c.environment + QStringList({standInLog}));
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
        EXPECT_EQ(result.standardError, "Tarvelo: Der Bildschirm ist nicht nutzbar (" + c.why +
                                            "), es geht ohne Bildschirm weiter.\n");
        const QStringList log = install.logMessages();
        EXPECT_TRUE(log.contains("Ende DBsync"));
        EXPECT_EQ(log.last(), "Schliesse Programm");
        QStringList rows;
        for (const auto& row : routeAddressRows(connection)) {
            if (row.first == 1) {
                rows.append(row.second);
            }
        }
        EXPECT_EQ(rows, QStringList({"alice@example.com", "Bob@Example.com"}));

        // The statuses of a run without screen: an error is 1, nothing to do
        // is 1 with the note that the window needs a screen.
        result = install.run({"/refresh"},
                             c.environment + QStringList({
                                                 "TARVELO_STANDIN_FAIL=authenticate",
                                                 "TARVELO_STANDIN_FAIL_DESC=Anmeldung abgelehnt",
                                             }));
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_TRUE(result.standardError.endsWith(" weiter.\nAnmeldung abgelehnt\n"))
            << result.standardError.toStdString();
        EXPECT_EQ(install.logMessages().last(), "Fehler: Anmeldung abgelehnt");
        result = install.run({}, c.environment);
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_TRUE(result.standardError.contains("braucht einen Bildschirm"));
    }
}

TEST(Startup, UsableDisplayIsUsed) {
    // With a real display the unattended switches still end by themselves,
    // and nothing claims the display were unusable.
    const VirtualDisplay screen;
    ScratchInstall install;
    install.useSqliteDatabase(true);
    install.installStandIn();
    const auto result =
        install.run({"/refresh"}, {"DISPLAY=" + screen.display(),
                                   "TARVELO_STANDIN_LOG=" + install.path("standin.log")});
    ASSERT_TRUE(result.finished) << "a message box waits on the screen";
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_FALSE(result.standardError.contains("Bildschirm")) << result.standardError.toStdString();
    EXPECT_TRUE(install.readFile("standin.log").contains("refresh"));
    EXPECT_EQ(install.logMessages().last(), "Schliesse Programm");

    // A missing list ends the program by itself there too, and its status
    // tells the scheduler, as without a screen.
    const auto missing =
        install.run({"/file:" + install.path("fehlt.txt")}, {"DISPLAY=" + screen.display()});
    ASSERT_TRUE(missing.finished) << "a message box waits on the screen";
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_EQ(install.logMessages().last(), "Programm beendet");
}
