#include "ScratchInstall.h"

#include "TestBackend.h"
#include "TestDatabases.h"
#include "db/Database.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>

// The unattended road through the real executable against each database the
// mail server keeps its tables in: the same rows, protocol and log lines on
// every one, and a lock held by another session ends the run with the
// driver's error instead of a wait without end.

namespace {

class ServerRun : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        connection = createBackendDatabase(GetParam(), install.path("hmailserver.db"), true);
        install.setIni("SQL", "Provider", connection);
        install.setIni("Options", "Protokoll", install.path("prot/"));
        QDir(install.dir()).mkpath("prot");
        install.writeFile("ausnahmen.txt", ">newsletter@\r\n");
        install.writeFile("liste.txt",
                          "alice@example.com\r\nBOB@example.com\r\ndora@example.com\r\n"
                          "newsletter@example.com\r\n");
    }

    // The protocol files, without the record of a failed run.
    QStringList protocolFiles() const {
        QStringList files =
            QDir(install.path("prot")).entryList({"hmail-*.log"}, QDir::Files, QDir::Name);
        files.removeIf([](const QString& name) { return name.endsWith("-fehler.log"); });
        return files;
    }

    QStringList exampleComRows() const { return addressesOfRoute(connection, 1); }

    ScratchInstall install;
    QString connection;
};

TEST_P(ServerRun, UnattendedRoadGivesTheSameOutcomeOnEveryServer) {
    const auto result = install.run({"/file:" + install.path("liste.txt"), "/domain:example.com"});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_EQ(result.standardError, "");

    EXPECT_EQ(exampleComRows(),
              QStringList({"Bob@Example.com", "alice@example.com", "dora@example.com"}));
    const QStringList files = protocolFiles();
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(install.readFile("prot/" + files[0]),
              "Datei: " + install.path("liste.txt").toLocal8Bit() +
                  "\r\nDelete carol@example.com\r\nDelete postmaster@example.com\r\n"
                  "Insert 1 dora@example.com\r\n");
    EXPECT_EQ(install.logMessages(),
              QStringList({"", "Start des Programms", "Datenbank geöffnet",
                           "2 Parameter sind zu verarbeiten", "Verarbeite nur @example.com",
                           "Datenbank-Synchronisation", "Domain: @example.com",
                           "Verarbeite: " + install.path("liste.txt"), "Ende DBsync",
                           "Schliesse Programm"}));
}

// Another session holds what the run needs: the run waits for it no longer
// than its bound, then ends with the driver's text; what it changed before
// stays changed, and the scheduler sees status 1.
TEST_P(ServerRun, ALockHeldByAnotherSessionEndsTheRunWithTheDriversError) {
    Database holder;
    holder.setConnectionString(connection);
    holder.open();
    QSqlDatabase db = holder.handle();
    QSqlQuery lock(db);
    const bool sqlite = GetParam() == Backend::Sqlite;
    if (sqlite) {
        // The writer's lock of the whole file: the run's first delete waits.
        ASSERT_TRUE(lock.exec("BEGIN IMMEDIATE")) << lock.lastError().text().toStdString();
        ASSERT_TRUE(lock.exec("DELETE FROM hm_routes WHERE routeid = 0"));
    } else {
        // The row of the second stale address, by its key (a scan would
        // lock every row it passes): the first delete goes through, the
        // second waits for the row.
        ASSERT_TRUE(lock.exec("SELECT routeaddressid FROM hm_routeaddresses WHERE "
                              "routeaddressaddress = 'postmaster@example.com'"));
        ASSERT_TRUE(lock.next());
        const qint64 id = lock.value(0).toLongLong();
        lock.finish();
        ASSERT_TRUE(db.transaction());
        ASSERT_TRUE(lock.exec(QStringLiteral("SELECT routeaddressid FROM hm_routeaddresses WHERE "
                                             "routeaddressid = %1 FOR UPDATE")
                                  .arg(id)))
            << lock.lastError().text().toStdString();
    }

    const auto result = install.run({"/file:" + install.path("liste.txt"), "/domain:example.com"});
    ASSERT_TRUE(result.finished) << "the run must end by itself";
    EXPECT_EQ(result.exitCode, 1);
    const QStringList log = install.logMessages();
    ASSERT_FALSE(log.isEmpty());
    EXPECT_TRUE(log.last().startsWith("Fehler: ")) << log.last().toStdString();
    // The lock's bound and the statement's run out together; either text
    // is the driver's own.
    const QStringList driverTexts[] = {
        {"database is locked"},
        {"due to lock timeout", "due to statement timeout"},
        {"Lock wait timeout exceeded", "max_statement_time exceeded"}};
    const QStringList& expected = driverTexts[int(GetParam())];
    EXPECT_TRUE(std::any_of(expected.begin(), expected.end(), [&](const QString& t) {
        return result.standardError.contains(t);
    })) << result.standardError.toStdString();
    EXPECT_FALSE(log.contains("Ende DBsync"));
    EXPECT_TRUE(protocolFiles().isEmpty()) << "no protocol file after a failed run";
    const QStringList records =
        QDir(install.path("prot")).entryList({"hmail-*-fehler.log"}, QDir::Files);
    ASSERT_EQ(records.size(), 1);
    const QByteArray record = install.readFile("prot/" + records[0]);
    EXPECT_TRUE(record.contains(sqlite ? "\r\nDelete carol@example.com\r\nFehler: "
                                       : "\r\nDelete postmaster@example.com\r\nFehler: "))
        << record.toStdString();

    lock.finish();
    if (sqlite) {
        lock.exec("ROLLBACK");
    } else {
        db.rollback();
    }
    const QStringList rows = exampleComRows();
    EXPECT_TRUE(rows.contains("postmaster@example.com"));
    EXPECT_FALSE(rows.contains("dora@example.com"));
    if (sqlite) {
        EXPECT_TRUE(rows.contains("carol@example.com")) << "nothing was written";
    } else {
        EXPECT_FALSE(rows.contains("carol@example.com")) << "the change before the lock stays";
    }
}

INSTANTIATE_TEST_SUITE_P(Servers, ServerRun,
                         ::testing::Values(Backend::Sqlite, Backend::Postgres, Backend::MariaDb),
                         backendName);

// A SQL Server address that accepts the connection and never answers: the
// driver gives up after its login time-out, and the program ends with the
// driver's text instead of hanging at start.
// A listening socket on 127.0.0.1 that nobody accepts from: the kernel
// completes each connection, and no byte ever comes back.
class SilentListener {
public:
    SilentListener() {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(m_fd, 8) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw std::runtime_error("cannot listen on 127.0.0.1");
        }
        m_port = ntohs(address.sin_port);
    }
    ~SilentListener() { ::close(m_fd); }
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;
    int port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

TEST(ServerRunSqlServer, AServerThatNeverAnswersEndsInAnError) {
    SilentListener silent;
    ScratchInstall install;
    install.setIni("SQL", "Provider",
                   QStringLiteral("Provider=SQLOLEDB.1;Password=x;User ID=sa;Initial "
                                  "Catalog=hmailserver;Data Source=127.0.0.1,%1")
                       .arg(silent.port()));
    install.writeFile("ausnahmen.txt", "");
    install.writeFile("liste.txt", "alice@example.com\r\n");
    QElapsedTimer clock;
    clock.start();
    const auto result = install.run({"/file:" + install.path("liste.txt"), "/domain:example.com"});
    const qint64 seconds = clock.elapsed() / 1000;
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_LT(seconds, 20) << "the login time-out bounds the wait";
    EXPECT_TRUE(result.standardError.contains("[FreeTDS]")) << result.standardError.toStdString();
    EXPECT_FALSE(install.logMessages().contains("Datenbank geöffnet"));
}

// PostgreSQL's message for a refused connection runs over two lines; the log
// keeps it as one entry, and every line of the log starts with its date.
TEST(ServerRunRefused, AMultiLineDriverMessageIsOneLogLine) {
    ScratchInstall install;
    install.setIni("SQL", "Provider",
                   "Provider=PostgreSQL;Data Source=127.0.0.1;Port=1;Initial Catalog=hm;"
                   "User ID=hm;Password=x");
    install.writeFile("ausnahmen.txt", "");
    install.writeFile("liste.txt", "alice@example.com\r\n");
    const auto result = install.run({"/file:" + install.path("liste.txt"), "/domain:example.com"});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.standardError.contains("\n\t")) << "the driver's own text spans lines";
    const QStringList log = install.logMessages();
    const auto error = std::find_if(log.begin(), log.end(),
                                    [](const QString& m) { return m.startsWith("Fehler: "); });
    ASSERT_NE(error, log.end());
    EXPECT_TRUE(error->contains("Connection refused  Is the server running"))
        << error->toStdString();
    for (const QString& message : log) {
        EXPECT_FALSE(message.startsWith("<?>"))
            << "a log line without its date: " << message.toStdString();
    }
}

} // namespace
