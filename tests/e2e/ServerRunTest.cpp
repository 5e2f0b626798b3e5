#include "ScratchInstall.h"
#include "SilentListener.h"

#include "ConnectionKey.h"
#include "TestBackend.h"
#include "TestDatabases.h"
#include "db/ConnectionString.h"
#include "db/Database.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <random>
#include <thread>
#include <vector>

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
        install.useProtocolDirectory();
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
    const bool sqlite = serverOf(GetParam()) == Backend::Sqlite;
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
    const QStringList& expected = driverTexts[int(serverOf(GetParam()))];
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

INSTANTIATE_TEST_SUITE_P(Servers, ServerRun, ::testing::ValuesIn(allBackends()), backendName);

// A transaction of "/batch:" that the server refuses, at its insert
// (MariaDB) or only at its commit (a deferred trigger on PostgreSQL): the
// transactions before it stay, the record lists exactly them, and standard
// error holds the error alone, no warning of the server's in English.
class ServerBatch : public ServerRun {};

TEST_P(ServerBatch, ARefusedTransactionLeavesTheRecordsChangesAndOnlyTheError) {
    Database trigger;
    trigger.setConnectionString(connection);
    trigger.open();
    QSqlQuery sql(trigger.handle());
    const QStringList statements =
        serverOf(GetParam()) == Backend::Postgres
            ? QStringList{"CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                          "IF new.routeaddressaddress = 'dora@example.com' THEN RAISE EXCEPTION "
                          "'geschützte Adresse'; END IF; RETURN new; END $$",
                          "CREATE CONSTRAINT TRIGGER refuse AFTER INSERT ON hm_routeaddresses "
                          "DEFERRABLE INITIALLY DEFERRED FOR EACH ROW EXECUTE FUNCTION refuse()"}
            : QStringList{"CREATE TRIGGER refuse BEFORE INSERT ON hm_routeaddresses FOR EACH ROW "
                          "BEGIN IF new.routeaddressaddress = 'dora@example.com' THEN SIGNAL "
                          "SQLSTATE '45000' SET MESSAGE_TEXT = 'geschützte Adresse'; END IF; END"};
    for (const QString& statement : statements) {
        ASSERT_TRUE(sql.exec(statement)) << sql.lastError().text().toStdString();
    }

    // Delete carol, delete postmaster | insert dora: the second is refused.
    const auto result =
        install.run({"/file:" + install.path("liste.txt"), "/domain:example.com", "/batch:2"});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    // The server's refusal, one line even where its text spans several.
    EXPECT_TRUE(result.standardError.contains("geschützte Adresse") &&
                result.standardError.count(u'\n') == 1)
        << result.standardError.toStdString();
    EXPECT_FALSE(result.standardError.contains("WARNING")) << result.standardError.toStdString();
    EXPECT_EQ(exampleComRows(), QStringList({"Bob@Example.com", "alice@example.com"}));
    const QStringList records =
        QDir(install.path("prot")).entryList({"hmail-*-fehler.log"}, QDir::Files);
    ASSERT_EQ(records.size(), 1);
    const QByteArray record = install.readFile("prot/" + records[0]);
    // A refused insert is named before the error; a refused commit names
    // no one change of its transaction.
    const QByteArray failed = serverOf(GetParam()) == Backend::Postgres
                                  ? QByteArray()
                                  : QByteArray("Insert 1 dora@example.com\r\n");
    EXPECT_TRUE(record.contains("\r\nDelete carol@example.com\r\nDelete "
                                "postmaster@example.com\r\n" +
                                failed + "Fehler: "))
        << record.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Servers, ServerBatch, ::testing::ValuesIn(serverBackends()), backendName);

// A relay on 127.0.0.1 in front of the test server that loses the server's
// answer to one statement, as a network that fails at the wrong moment
// does: once the program has sent `marker` (with `thenCommit`, the COMMIT
// after it), that statement still reaches the server, which carries it out,
// but nothing comes back; with `cut`, a moment later both ends are closed,
// else the connection stays silent.
class AnswerLosingRelay {
public:
    AnswerLosingRelay(int serverPort, QByteArray marker, bool thenCommit, bool cut)
        : m_serverPort(serverPort), m_marker(std::move(marker)), m_thenCommit(thenCommit),
          m_cut(cut) {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = loopback(0);
        socklen_t length = sizeof address;
        if (m_listener < 0 ||
            ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(m_listener, 8) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw std::runtime_error("cannot listen on 127.0.0.1");
        }
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { relay(); });
    }
    ~AnswerLosingRelay() {
        m_stop = true;
        m_thread.join();
        closeAll();
        ::close(m_listener);
    }
    AnswerLosingRelay(const AnswerLosingRelay&) = delete;
    AnswerLosingRelay& operator=(const AnswerLosingRelay&) = delete;
    int port() const { return m_port; }
    bool lostAnAnswer() const { return m_lost; }
    // Sends the program a stop (SIGTERM) as the marker's statement passes:
    // the stop comes while that change is in hand.
    void stopAtMarker(qint64 pid) { m_stopPid = pid; }

private:
    static sockaddr_in loopback(int port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        return address;
    }
    void closeAll() {
        for (const auto& [client, server] : m_pairs) {
            ::close(client);
            ::close(server);
        }
        m_pairs.clear();
    }
    void relay() {
        using Clock = std::chrono::steady_clock;
        Clock::time_point cutAt{};
        bool markerSeen = false;
        while (!m_stop) {
            if (m_cut && m_lost && !m_pairs.empty() && Clock::now() >= cutAt) {
                closeAll();
            }
            std::vector<pollfd> fds{{m_listener, POLLIN, 0}};
            for (const auto& [client, server] : m_pairs) {
                fds.push_back({client, POLLIN, 0});
                fds.push_back({server, POLLIN, 0});
            }
            if (::poll(fds.data(), fds.size(), 50) <= 0) {
                continue;
            }
            if ((fds[0].revents & POLLIN) != 0) {
                const int client = ::accept(m_listener, nullptr, nullptr);
                const int server = ::socket(AF_INET, SOCK_STREAM, 0);
                const sockaddr_in address = loopback(m_serverPort);
                if (::connect(server, reinterpret_cast<const sockaddr*>(&address),
                              sizeof address) == 0) {
                    m_pairs.emplace_back(client, server);
                } else {
                    ::close(client);
                    ::close(server);
                }
                continue;
            }
            for (size_t i = 1; i < fds.size(); ++i) {
                if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
                    continue;
                }
                const auto& [client, server] = m_pairs[(i - 1) / 2];
                const bool fromClient = fds[i].fd == client;
                char buffer[65536];
                const ssize_t got = ::recv(fds[i].fd, buffer, sizeof buffer, 0);
                if (got <= 0) {
                    ::shutdown(fromClient ? server : client, SHUT_WR);
                    continue;
                }
                const QByteArray data(buffer, static_cast<qsizetype>(got));
                if (m_lost) {
                    continue; // the answer goes nowhere
                }
                if (fromClient && data.contains(m_marker)) {
                    if (!markerSeen && m_stopPid > 0) {
                        ::kill(pid_t(m_stopPid.load()), SIGTERM);
                    }
                    markerSeen = true;
                }
                const bool losing = fromClient && markerSeen &&
                                    (!m_thenCommit || data.toUpper().contains("COMMIT"));
                ::send(fromClient ? server : client, data.constData(), data.size(), MSG_NOSIGNAL);
                if (losing) {
                    m_lost = true;
                    cutAt = Clock::now() + std::chrono::milliseconds(500);
                }
            }
        }
    }

    const int m_serverPort;
    const QByteArray m_marker;
    const bool m_thenCommit;
    const bool m_cut;
    int m_listener = -1;
    int m_port = 0;
    std::vector<std::pair<int, int>> m_pairs;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_lost{false};
    std::atomic<qint64> m_stopPid{0};
    std::thread m_thread;
};

// The answer to a change stored at once, or to a transaction's commit, is
// lost with the connection, or never comes: the server may well have stored
// it, so the program says that this is open instead of "not stored", and the
// record lists it, so that no change in the table is missing from the record.
TEST_P(ServerBatch, AChangeOrCommitWhoseAnswerIsLostIsListedAsOpen) {
    const QByteArray lostChange = "Insert 1 dora@example.com\r\nFehler: Die Verbindung zur "
                                  "Datenbank ist abgebrochen; ob die Änderung gespeichert wurde, "
                                  "ist offen (";
    const QByteArray lostCommit = "Insert 1 dora@example.com\r\nInsert 1 emil@example.com\r\n"
                                  "Fehler: Die Verbindung zur Datenbank ist beim Abschluss der "
                                  "Transaktion abgebrochen; ob ihre Änderungen gespeichert wurden, "
                                  "ist offen (";
    const QByteArray unansweredCommit =
        "Insert 1 dora@example.com\r\nInsert 1 emil@example.com\r\nFehler: Der Lauf kommt seit 4 "
        "Sekunden nicht voran (keine Antwort der Datenbank, kein Dateizugriff); das Programm wird "
        "beendet; ob die letzten 2 Änderungen gespeichert wurden, ist offen";
    // Stopped with dora in hand, the transaction commits dora alone: emil
    // was never sent and is no open change.
    const QByteArray stoppedCommit = "Insert 1 dora@example.com\r\nFehler: Die Verbindung zur "
                                     "Datenbank ist beim Abschluss der Transaktion abgebrochen; ob "
                                     "ihre Änderungen gespeichert wurden, ist offen (";
    const struct {
        const char* name;
        bool batch;
        bool cut;
        bool stop;
        const QByteArray& recorded;
    } cases[] = {{"each change at once, cut", false, true, false, lostChange},
                 {"/batch:2, cut", true, true, false, lostCommit},
                 {"/batch:2, no answer", true, false, false, unansweredCommit},
                 {"/batch:2, stopped, cut", true, true, true, stoppedCommit}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString database = createBackendDatabase(GetParam(), QString(), true);
        const QRegularExpression portKey(QStringLiteral("Port=(\\d+)"));
        const int serverPort = portKey.match(database).captured(1).toInt();
        ASSERT_GT(serverPort, 0) << database.toStdString();
        AnswerLosingRelay relay(serverPort, "dora@example.com", c.batch, c.cut);
        QString throughRelay = database;
        throughRelay.replace(portKey, QStringLiteral("Port=%1").arg(relay.port()));
        ScratchInstall scratch(ScratchInstall::Program::ShortWaits);
        scratch.setIni("SQL", "Provider", throughRelay);
        scratch.setIni("Options", "Protokoll", scratch.path("prot/"));
        QDir(scratch.dir()).mkpath("prot");
        scratch.writeFile("ausnahmen.txt", "");
        scratch.writeFile("liste.txt",
                          "alice@example.com\r\nBOB@example.com\r\ndora@example.com\r\n"
                          "emil@example.com\r\n");

        // Delete carol, delete postmaster | insert dora, insert emil.
        QStringList arguments{"/file:" + scratch.path("liste.txt"), "/domain:example.com"};
        if (c.batch) {
            arguments.append("/batch:2");
        }
        const auto run = scratch.start(arguments, {"TARVELO_TEST_WATCHDOG_MS=4000"});
        if (c.stop) {
            relay.stopAtMarker(run->processId());
        }
        ASSERT_TRUE(run->waitForFinished(30000));
        ASSERT_TRUE(relay.lostAnAnswer());
        if (c.stop) {
            EXPECT_EQ(run->exitStatus(), QProcess::CrashExit) << "ended by the signal";
        } else {
            EXPECT_EQ(run->exitCode(), 1);
        }
        const QStringList records =
            QDir(scratch.path("prot")).entryList({"hmail-*.log"}, QDir::Files);
        ASSERT_EQ(records.size(), 1);
        EXPECT_TRUE(records[0].endsWith("-fehler.log")) << records[0].toStdString();
        const QByteArray record = scratch.readFile("prot/" + records[0]);
        const QByteArray recorded = QString::fromUtf8(c.recorded).toLatin1();
        EXPECT_TRUE(record.contains("\r\nDelete carol@example.com\r\nDelete "
                                    "postmaster@example.com\r\n" +
                                    recorded))
            << record.toStdString();
        EXPECT_TRUE(scratch.logMessages().last().startsWith(
            QString::fromUtf8(c.recorded.mid(c.recorded.indexOf("Fehler: ")))))
            << scratch.logMessages().last().toStdString();
        EXPECT_FALSE(scratch.logMessages().last().contains(QStringLiteral("()")))
            << scratch.logMessages().last().toStdString();
        // The server received the statement: what it did with it, the table
        // shows, and the record names it either way.
        const QStringList rows = addressesOfRoute(database, 1);
        QStringList expected{"Bob@Example.com", "alice@example.com"};
        if (rows.size() > 2) {
            expected.append("dora@example.com");
            if (c.batch && !c.stop) {
                expected.append("emil@example.com");
            }
        }
        EXPECT_EQ(rows, expected);
    }
}

// One unattended run over a one-address list on the connection string,
// and how long it took to end.
struct ConnectionAttempt {
    explicit ConnectionAttempt(const QString& provider) {
        install.setIni("SQL", "Provider", provider);
        install.writeFile("ausnahmen.txt", "");
        install.writeFile("liste.txt", "alice@example.com\r\n");
        QElapsedTimer clock;
        clock.start();
        result = install.run({"/file:" + install.path("liste.txt"), "/domain:example.com"});
        seconds = clock.elapsed() / 1000;
    }
    ScratchInstall install;
    ScratchInstall::Result result;
    qint64 seconds = 0;
};

// The test server offers no TLS: a login that demands it fails with the
// driver's words rather than go unencrypted; one that only prefers it runs.
TEST(ServerRunPostgres, AnSslModeInTheStringReachesTheDriver) {
    const QString connection = createBackendDatabase(Backend::Postgres, QString(), true);
    const ConnectionAttempt demanded(connection + ";sslmode=require");
    ASSERT_TRUE(demanded.result.finished);
    EXPECT_EQ(demanded.result.exitCode, 1);
    EXPECT_TRUE(
        demanded.result.standardError.contains("server does not support SSL, but SSL was required"))
        << demanded.result.standardError.toStdString();
    const ConnectionAttempt preferred(connection + ";SSL Mode=Prefer");
    ASSERT_TRUE(preferred.result.finished);
    EXPECT_EQ(preferred.result.exitCode, 0) << preferred.result.standardError.toStdString();
    EXPECT_TRUE(preferred.install.logMessages().contains("Datenbank geöffnet"));
}

// A SQL Server address that accepts the connection and never answers: the
// driver gives up after its login time-out, and the program ends with the
// driver's text instead of hanging at start.
TEST(ServerRunSqlServer, AServerThatNeverAnswersEndsInAnError) {
    SilentListener silent;
    // SQL Server's provider, also demanding encryption (which FreeTDS must
    // take, not refuse as a configuration error), and FreeTDS named through
    // ODBC.
    for (const char* provider :
         {"Provider=SQLOLEDB.1;Password=x;User ID=sa;Initial Catalog=hmailserver;"
          "Data Source=127.0.0.1,%1",
          "Provider=SQLOLEDB.1;Password=x;User ID=sa;Initial Catalog=hmailserver;"
          "Data Source=127.0.0.1,%1;Encrypt=yes",
          "Provider=MSDASQL;Driver={FreeTDS};Server=127.0.0.1;Port=%1;Database=hmailserver;"
          "UID=sa;PWD=x"}) {
        SCOPED_TRACE(provider);
        const ConnectionAttempt attempt(QString::fromLatin1(provider).arg(silent.port()));
        const auto& result = attempt.result;
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_LT(attempt.seconds, 20) << "the login time-out bounds the wait";
        EXPECT_TRUE(result.standardError.contains("[FreeTDS]"))
            << result.standardError.toStdString();
        EXPECT_FALSE(result.standardError.contains("Local configuration error"))
            << result.standardError.toStdString();
        EXPECT_FALSE(attempt.install.logMessages().contains("Datenbank geöffnet"));
    }
    // An encryption FreeTDS does not know is refused in German, before any
    // login is tried.
    const ConnectionAttempt strict(
        QStringLiteral("Provider=SQLOLEDB.1;Data Source=127.0.0.1,%1;Encrypt=strict;User ID=sa;"
                       "Password=x")
            .arg(silent.port()));
    ASSERT_TRUE(strict.result.finished);
    EXPECT_EQ(strict.result.exitCode, 1);
    EXPECT_LT(strict.seconds, 5);
    EXPECT_TRUE(strict.result.standardError.contains(
        "Encrypt=strict (TDS 8) kennt der SQL-Server-Treiber FreeTDS nicht; mit Encrypt=yes "
        "verschlüsselt er die Verbindung"))
        << strict.result.standardError.toStdString();
}

// Through ODBC, a connection the server refuses ends the run at once with
// the driver's own text inside Qt's German words; a server that accepts and
// never answers, after the login's bound.
class OdbcRoad : public ::testing::TestWithParam<Backend> {};

TEST_P(OdbcRoad, AFailedConnectionEndsTheRunWithTheDriversText) {
    const QString connection = createBackendDatabase(GetParam(), QString(), false);
    const bool mariaDb = serverOf(GetParam()) == Backend::MariaDb;
    SilentListener silent;
    const struct {
        const char* what;
        QString connection;
        QString driverText;
        int seconds; // the bound
    } cases[] = {
        {"wrong password", withConnectionKey(connection, "PWD", "falsch"),
         mariaDb ? "Access denied for user" : "password authentication failed", 10},
        {"unknown database", withConnectionKey(connection, "Database", "tarvelo_fehlt"),
         mariaDb ? "Unknown database 'tarvelo_fehlt'" : "database \"tarvelo_fehlt\" does not exist",
         10},
        {"closed port", withConnectionKey(connection, "Port", "1"),
         mariaDb ? "Can't connect to server on '127.0.0.1'" : "Connection refused", 10},
        {"silent server", withConnectionKey(connection, "Port", QString::number(silent.port())),
         mariaDb ? "handshake: reading initial communication packet" : "timeout expired", 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ConnectionAttempt attempt(c.connection);
        const auto& result = attempt.result;
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_LT(attempt.seconds, c.seconds);
        EXPECT_TRUE(result.standardError.contains(c.driverText))
            << result.standardError.toStdString();
        EXPECT_TRUE(
            result.standardError.contains("QODBC: Es kann keine Verbindung aufgebaut werden"))
            << result.standardError.toStdString();
        // Each error one line, as in the log, though the driver's text may
        // hold line breaks.
        for (const QString& line : result.standardError.split(u'\n', Qt::SkipEmptyParts)) {
            EXPECT_TRUE(line.startsWith("Die Datenbank")) << line.toStdString();
        }
        const QStringList log = attempt.install.logMessages();
        EXPECT_FALSE(log.contains("Datenbank geöffnet"));
        const auto error = std::find_if(log.begin(), log.end(),
                                        [](const QString& m) { return m.startsWith("Fehler: "); });
        ASSERT_NE(error, log.end());
        EXPECT_TRUE(error->contains(c.driverText)) << error->toStdString();
    }
}

// A data source of odbc.ini (here the test's own file, named by ODBCINI)
// leads to the same server and gives the same run.
TEST_P(OdbcRoad, ADataSourceNameFromOdbcIniGivesTheSameRun) {
    ScratchInstall install;
    const QString connection = createBackendDatabase(GetParam(), QString(), true);
    const ConnectionSettings odbc = parseConnectionString(connection);
    const bool mariaDb = serverOf(GetParam()) == Backend::MariaDb;
    // The driver's part of the string: "Driver={...};Server=...;Port=...;Database=...".
    QStringList entries = odbc.databaseName.split(u';');
    QByteArray ini = "[tarvelo-hmail]\n";
    for (const QString& entry : entries) {
        QString key = entry.section(u'=', 0, 0);
        QString value = entry.section(u'=', 1);
        if (key == u"Driver") {
            value = value.mid(1, value.size() - 2);
        }
        // PostgreSQL's driver reads the host from "Servername" in odbc.ini.
        if (key == u"Server" && !mariaDb) {
            key = QStringLiteral("Servername");
        }
        ini += (key + u'=' + value + u'\n').toUtf8();
    }
    install.writeFile("odbc.ini", ini);
    install.setIni("SQL", "Provider",
                   QStringLiteral("Provider=MSDASQL;DSN=tarvelo-hmail;UID=%1;PWD=%2")
                       .arg(odbc.user, odbc.password));
    install.useProtocolDirectory();
    install.writeFile("ausnahmen.txt", ">newsletter@\r\n");
    install.writeFile("liste.txt", "alice@example.com\r\nBOB@example.com\r\ndora@example.com\r\n"
                                   "newsletter@example.com\r\n");
    const auto result = install.run({"/file:" + install.path("liste.txt"), "/domain:example.com"},
                                    {"ODBCINI=" + install.path("odbc.ini")});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_EQ(addressesOfRoute(connection, 1),
              QStringList({"Bob@Example.com", "alice@example.com", "dora@example.com"}));
    EXPECT_TRUE(install.logMessages().contains("Ende DBsync"));
}

// The driver manager and the drivers match a string's keys ("Driver") with
// the C library's case-blind comparison, which follows the locale: in a
// Turkish one "i" and "I" are no pair. A host installed in Turkish, whose
// scheduler hands its locale to the run, reads the string alike.
TEST_P(OdbcRoad, TheStringsKeysCountAlikeInATurkishLocale) {
    QTemporaryDir locales;
    QProcess localedef;
    localedef.start(QStringLiteral("localedef"),
                    {"-i", "tr_TR", "-f", "UTF-8", locales.filePath("tr_TR.UTF-8")});
    ASSERT_TRUE(localedef.waitForFinished(120'000));
    ASSERT_EQ(localedef.exitCode(), 0) << localedef.readAllStandardError().toStdString();
    ScratchInstall install;
    const QString connection = createBackendDatabase(GetParam(), QString(), true);
    ASSERT_TRUE(connection.contains(";Driver={")) << connection.toStdString();
    install.setIni("SQL", "Provider", connection);
    install.useProtocolDirectory();
    install.writeFile("ausnahmen.txt", ">newsletter@\r\n");
    install.writeFile("liste.txt", "alice@example.com\r\nBOB@example.com\r\nINGRID@example.com\r\n"
                                   "newsletter@example.com\r\n");
    const auto result =
        install.run({"/file:" + install.path("liste.txt"), "/domain:example.com"},
                    {"LOCPATH=" + locales.path(), "LC_ALL=tr_TR.UTF-8", "LANG=tr_TR.UTF-8"});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_EQ(addressesOfRoute(connection, 1),
              QStringList({"Bob@Example.com", "INGRID@example.com", "alice@example.com"}));
}

INSTANTIATE_TEST_SUITE_P(Odbc, OdbcRoad,
                         ::testing::Values(Backend::PostgresOdbc, Backend::MariaDbOdbc),
                         backendName);

// The same installations run through a server's native driver and through
// ODBC, each on a database of its own on that server: the same rows, the
// same protocol bytes and the same log lines. The texts are those ODBC
// converts: ä, é and ë (the list is Windows-1252, the tables UTF-8, on
// MariaDB utf8mb3), an apostrophe, a backslash, the empty address, case and
// accent twins on MariaDB's case- and accent-blind collation.
class OdbcBesideNative : public ::testing::TestWithParam<Backend> {
protected:
    struct Outcome {
        int exitCode = -1;
        QList<QPair<qint64, QString>> rows;
        QByteArray protocol;
        QStringList log;
    };

    Outcome runOn(Backend backend, const QStringList& extraRows, const QString& domain) {
        ScratchInstall install;
        const QString connection = createBackendDatabase(backend, QString(), true);
        {
            Database database;
            database.setConnectionString(connection);
            database.open();
            QSqlQuery insert(database.handle());
            EXPECT_TRUE(insert.prepare(routeAddressInsert()));
            for (const QString& row : extraRows) {
                insert.addBindValue(row.endsWith(u".org") ? 2 : 1);
                insert.addBindValue(database.text(row));
                EXPECT_TRUE(insert.exec()) << insert.lastError().text().toStdString();
            }
        }
        install.setIni("SQL", "Provider", connection);
        install.useProtocolDirectory();
        install.writeFile("ausnahmen.txt", ">newsletter@\r\n");
        const auto result =
            install.run({"/file:" + m_list.filePath("liste.txt"), "/domain:" + domain});
        Outcome outcome;
        EXPECT_TRUE(result.finished);
        outcome.exitCode = result.exitCode;
        outcome.rows = routeAddressRows(connection);
        // What the run wrote there, a record of a failed run included; the
        // names carry the time.
        for (const QString& file :
             QDir(install.path("prot")).entryList({"hmail-*"}, QDir::Files, QDir::Name)) {
            outcome.protocol += install.readFile("prot/" + file);
        }
        outcome.log = install.logMessages();
        return outcome;
    }

    void writeList(const QByteArray& bytes) {
        QFile file(m_list.filePath("liste.txt"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    static Backend odbcOf(Backend native) {
        return native == Backend::Postgres ? Backend::PostgresOdbc : Backend::MariaDbOdbc;
    }

    // The list and its path are the same for both runs: the protocol and
    // the log name it.
    QTemporaryDir m_list;
};

TEST_P(OdbcBesideNative, GeneratedInstallationsGiveTheSameRowsProtocolAndLog) {
    const QStringList rowPool = {
        "zo\u00eb@example.com",    "Ren\u00e9@Example.com",   "rene@example.com",
        "o'brien@example.com",     "back\\slash@example.com", "",
        "M\u00dcLLER@example.com", "m\u00fcller@example.com", "newsletter@example.com",
        "d'art@example.org",       "\u00e4rger@example.org",  "trail@example.com ",
        "\u00d8laf@example.org"};
    const QList<QByteArray> listPool = {"alice@example.com",
                                        "BOB@example.com",
                                        "zo\xeb@example.com",
                                        "ren\xe9@example.com",
                                        "O'Brien@example.com",
                                        "back\\slash@example.com",
                                        "",
                                        "m\xfcller@example.com",
                                        "\xe4rger@example.org",
                                        "d'art@example.org",
                                        "neu\xe9@example.org",
                                        "\xd8laf@example.org",
                                        "\xdase@example.com",
                                        "newsletter@example.com",
                                        "trail@example.com",
                                        "-"};
    const QStringList domains = {"example.com", "*", "example.org"};
    std::mt19937 random(20261208);
    const auto chance = [&random](int percent) {
        return std::uniform_int_distribution<int>(0, 99)(random) < percent;
    };
    for (int n = 0; n < 3; ++n) {
        SCOPED_TRACE(n);
        QStringList rows;
        for (const QString& row : rowPool) {
            if (chance(60)) {
                rows.append(row);
            }
        }
        QByteArray list;
        for (const QByteArray& line : listPool) {
            if (chance(70)) {
                list += line + "\r\n";
            }
        }
        writeList(list);
        const QString& domain = domains[n % domains.size()];
        const Outcome native = runOn(GetParam(), rows, domain);
        const Outcome odbc = runOn(odbcOf(GetParam()), rows, domain);
        EXPECT_EQ(native.exitCode, 0);
        EXPECT_EQ(odbc.exitCode, 0);
        EXPECT_EQ(odbc.rows, native.rows);
        EXPECT_EQ(odbc.protocol, native.protocol);
        EXPECT_EQ(odbc.log, native.log);
        EXPECT_TRUE(native.log.contains("Ende DBsync"));
        EXPECT_FALSE(native.protocol.isEmpty());
    }
}

// An address longer than the column ends both runs alike, with the same
// words and the same rows.
TEST_P(OdbcBesideNative, AnAddressTooLongForTheColumnEndsBothRunsAlike) {
    writeList("alice@example.com\r\n" + QByteArray(300, 'x') +
              "@example.com\r\ndora@example.com\r\n");
    const Outcome native = runOn(GetParam(), {}, "example.com");
    const Outcome odbc = runOn(odbcOf(GetParam()), {}, "example.com");
    EXPECT_EQ(native.exitCode, 1);
    EXPECT_EQ(odbc.exitCode, 1);
    EXPECT_EQ(odbc.rows, native.rows);
    EXPECT_EQ(odbc.protocol, native.protocol);
    EXPECT_EQ(odbc.log, native.log);
    ASSERT_FALSE(odbc.log.isEmpty());
    EXPECT_TRUE(odbc.log.last().startsWith("Fehler: ")) << odbc.log.last().toStdString();
}

// The column's 255 characters are counted as the server counts them: 200
// emoji and "@example.org" (212 characters, 412 UTF-16 units) fit
// PostgreSQL's column; MariaDB's utf8 column holds no emoji at all.
TEST_P(OdbcBesideNative, AnAddressOfWideCharactersIsMeasuredAsTheServerCountsIt) {
    const QString wide = QStringLiteral("\U0001F600").repeated(200) + "@example.org";
    writeList(wide.toUtf8() + "\r\n");
    const Outcome native = runOn(GetParam(), {}, "example.org");
    const Outcome odbc = runOn(odbcOf(GetParam()), {}, "example.org");
    EXPECT_EQ(odbc.exitCode, native.exitCode);
    EXPECT_EQ(odbc.rows, native.rows);
    EXPECT_EQ(odbc.log, native.log);
    const bool stored = std::any_of(native.rows.cbegin(), native.rows.cend(),
                                    [&](const auto& row) { return row.second == wide; });
    ASSERT_FALSE(native.log.isEmpty());
    if (GetParam() == Backend::Postgres) {
        EXPECT_EQ(native.exitCode, 0);
        EXPECT_TRUE(stored);
    } else {
        EXPECT_EQ(native.exitCode, 1);
        EXPECT_FALSE(stored);
        EXPECT_TRUE(native.log.last().contains("enthält ein Zeichen, das die Tabelle "
                                               "hm_routeaddresses (utf8) nicht speichern kann"))
            << native.log.last().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Servers, OdbcBesideNative,
                         ::testing::Values(Backend::Postgres, Backend::MariaDb), backendName);

// A fresh MariaDB database and the plain login 'nachtlauf' (password
// "nacht") for it, with the server's init_connect set; both go again at the
// end. init_connect passes over logins allowed to administer connections, as
// the tests' own: the nightly login is a plain one. The setting and the login
// are the whole server's: tests run side by side (ctest -j) take turns with
// them, under a lock of the server's own held by this session.
class NightlyLoginWithInitConnect {
public:
    explicit NightlyLoginWithInitConnect(const QString& initConnect)
        : admin(createBackendDatabase(Backend::MariaDb, QString(), true)) {
        m_server.setConnectionString(admin);
        m_server.open();
        QSqlQuery sql(m_server.handle());
        EXPECT_TRUE(sql.exec(QStringLiteral("SELECT GET_LOCK('%1', 120)").arg(kTurn)) &&
                    sql.next() && sql.value(0).toInt() == 1)
            << "no turn with the server's init_connect: " << sql.lastError().text().toStdString();
        const QString database = parseConnectionString(admin).databaseName;
        for (const QString& statement :
             {QStringLiteral("CREATE OR REPLACE USER 'nachtlauf'@'127.0.0.1' IDENTIFIED BY "
                             "'nacht'"),
              "GRANT SELECT, INSERT, DELETE ON " + database + ".* TO 'nachtlauf'@'127.0.0.1'",
              "SET GLOBAL init_connect = '" + initConnect + "'"}) {
            EXPECT_TRUE(sql.exec(statement)) << sql.lastError().text().toStdString();
        }
    }
    ~NightlyLoginWithInitConnect() {
        QSqlQuery sql(m_server.handle());
        sql.exec("SET GLOBAL init_connect = ''");
        sql.exec("DROP USER 'nachtlauf'@'127.0.0.1'");
        sql.exec(QStringLiteral("SELECT RELEASE_LOCK('%1')").arg(kTurn));
    }
    NightlyLoginWithInitConnect(const NightlyLoginWithInitConnect&) = delete;
    NightlyLoginWithInitConnect& operator=(const NightlyLoginWithInitConnect&) = delete;

    // The nightly login's connection string, natively and through ODBC.
    QString nativeLogin() const {
        return withConnectionKey(withConnectionKey(admin, "User ID", "nachtlauf"), "Password",
                                 "nacht");
    }
    QString odbcLogin() const {
        return withConnectionKey(withConnectionKey(odbcConnectionString(admin), "UID", "nachtlauf"),
                                 "PWD", "nacht");
    }

    // One unattended run for example.com over the list, with the login.
    ScratchInstall::Result run(const QString& login, const QByteArray& list) {
        install.setIni("SQL", "Provider", login);
        install.writeFile("ausnahmen.txt", "");
        install.writeFile("liste.txt", list);
        return install.run({"/file:" + install.path("liste.txt"), "/domain:example.com"});
    }

    const QString admin; // the tests' own login
    ScratchInstall install;

private:
    static constexpr const char* kTurn = "tarvelo-tests:init_connect";
    Database m_server;
};

// A MariaDB server whose sessions start without autocommit (init_connect or
// my.cnf): every change is stored all the same, not left in a transaction
// that the end of the connection throws away while the run reports success.
TEST(ServerRunMariaDb, ASessionStartedWithoutAutocommitStoresEveryChange) {
    NightlyLoginWithInitConnect server(QStringLiteral("SET autocommit = 0"));
    const auto result = server.run(server.nativeLogin(), "alice@example.com\r\nBob@example.com\r\n"
                                                         "dora@example.com\r\n");
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_EQ(addressesOfRoute(server.admin, 1),
              QStringList({"Bob@Example.com", "alice@example.com", "dora@example.com"}));
}

// A server's own message with letters beyond ASCII (a trigger's text, a
// server that speaks German) reaches the log and standard error whole, on
// both roads to MariaDB.
class MariaDbTables : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        connection = createBackendDatabase(GetParam(), QString(), true);
        install.setIni("SQL", "Provider", connection);
        install.writeFile("ausnahmen.txt", "");
    }

    // The statement run on the test's own connection first (a trigger, an
    // engine), then the run over the list.
    ScratchInstall::Result runWith(const QString& statement, const QByteArray& list,
                                   const QStringList& more = {}) {
        if (!statement.isEmpty()) {
            Database database;
            database.setConnectionString(connection);
            database.open();
            QSqlQuery query(database.handle());
            EXPECT_TRUE(query.exec(statement)) << query.lastError().text().toStdString();
        }
        install.writeFile("liste.txt", list);
        return install.run(
            QStringList{"/file:" + install.path("liste.txt"), "/domain:example.com"} + more);
    }

    ScratchInstall install;
    QString connection;
};

TEST_P(MariaDbTables, AServerMessageWithUmlautsReachesTheLogWhole) {
    const auto result =
        runWith(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON hm_routeaddresses FOR EACH "
                               "ROW BEGIN IF new.routeaddressaddress = 'dora@example.com' THEN "
                               "SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'geschützte Adresse "
                               "für Jürgen €'; END IF; END"),
                "alice@example.com\r\nBob@example.com\r\ndora@example.com\r\n");
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    const QString text = QStringLiteral("geschützte Adresse für Jürgen €)");
    EXPECT_TRUE(result.standardError.endsWith(text + '\n')) << result.standardError.toStdString();
    const QString last = install.logMessages().last();
    EXPECT_TRUE(last.startsWith("Fehler: ") && last.endsWith(text)) << last.toStdString();
}

// The mail server's MySQL tables hold three bytes a character: an address
// with an emoji would fail in the middle of the run, after the deletions, or
// be stored as "?" on a lenient server. It is refused before any change.
TEST_P(MariaDbTables, AnAddressTheUtf8TableCannotHoldIsRefusedBeforeAnyChange) {
    const auto result = runWith(
        QString(), "alice@example.com\r\nBob@example.com\r\nx\xf0\x9f\x98\x80y@example.com\r\n");
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(install.logMessages().last(),
              "Fehler: Zeile 3 der Adressliste enthält ein Zeichen, das die Tabelle "
              "hm_routeaddresses (utf8) nicht speichern kann: \"x?y@example.com\". Es wurde "
              "nichts geändert");
    EXPECT_EQ(addressesOfRoute(connection, 1),
              QStringList({"Bob@Example.com", "alice@example.com", "carol@example.com",
                           "postmaster@example.com"}));
}

// "/batch:" rolls a failed transaction back; on a MyISAM table (the default
// of older MySQL servers) that undoes nothing, and the record would miss the
// changes left standing. Such a table takes no batches; without them the run
// works as ever.
TEST_P(MariaDbTables, BatchesAreRefusedOnATableWithoutTransactions) {
    const QByteArray list = "alice@example.com\r\nBob@example.com\r\ndora@example.com\r\n";
    auto result = runWith(QStringLiteral("ALTER TABLE hm_routeaddresses ENGINE = MyISAM"), list,
                          {"/batch:1"});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(install.logMessages().last(),
              "Fehler: /batch: braucht Transaktionen, doch die Tabelle hm_routeaddresses (MyISAM) "
              "kennt keine. Es wurde nichts geändert");
    const QStringList before = {"Bob@Example.com", "alice@example.com", "carol@example.com",
                                "postmaster@example.com"};
    EXPECT_EQ(addressesOfRoute(connection, 1), before);

    result = runWith(QString(), list);
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_EQ(addressesOfRoute(connection, 1),
              QStringList({"Bob@Example.com", "alice@example.com", "dora@example.com"}));
}

INSTANTIATE_TEST_SUITE_P(Servers, MariaDbTables,
                         ::testing::Values(Backend::MariaDb, Backend::MariaDbOdbc), backendName);

// MariaDB's ODBC driver carries text in the character set that CHARSET= in
// the string or the data source names. In latin1 "łukasz" would come back as
// "?ukasz": its row deleted, a garbled one inserted, every night. Such a
// connection is refused before anything changes; utf8 carries the mail
// server's tables whole, and on a utf8mb4 table an emoji is then refused
// before any change, as it could not reach the table.
TEST(ServerRunMariaDb, AnOdbcSessionOutsideUtf8IsRefusedBeforeAnyChange) {
    ScratchInstall install;
    const QString connection = createBackendDatabase(Backend::MariaDbOdbc, QString(), true);
    execSql(connection, QStringLiteral("INSERT INTO hm_routeaddresses (routeaddressrouteid, "
                                       "routeaddressaddress) VALUES (1, 'łukasz@example.com')"));
    install.writeFile("ausnahmen.txt", "");
    install.writeFile("liste.txt",
                      "alice@example.com\r\nBob@example.com\r\n\xc5\x82ukasz@example.com\r\n"
                      "m\xc3\xbcller@example.com\r\n");
    const QStringList before = {"Bob@Example.com", "alice@example.com", "carol@example.com",
                                "postmaster@example.com", "łukasz@example.com"};
    const QStringList args = {"/file:" + install.path("liste.txt"), "/domain:example.com"};

    install.setIni("SQL", "Provider", connection + ";CHARSET=latin1");
    auto result = install.run(args);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(install.logMessages().last().contains(
        "überträgt Text im Zeichensatz latin1, nicht in UTF-8"))
        << install.logMessages().last().toStdString();
    EXPECT_EQ(addressesOfRoute(connection, 1), before);

    install.setIni("SQL", "Provider", connection + ";CHARSET=utf8");
    result = install.run(args);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
    EXPECT_EQ(addressesOfRoute(connection, 1),
              QStringList({"Bob@Example.com", "alice@example.com", "müller@example.com",
                           "łukasz@example.com"}));

    execSql(connection, QStringLiteral("ALTER TABLE hm_routeaddresses CONVERT TO CHARACTER SET "
                                       "utf8mb4"));
    install.writeFile("liste.txt", "alice@example.com\r\nx\xf0\x9f\x98\x80y@example.com\r\n");
    result = install.run(args);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(install.logMessages().last().startsWith("Fehler: Zeile 2 der Adressliste enthält "
                                                        "ein Zeichen"))
        << install.logMessages().last().toStdString();
    EXPECT_EQ(addressesOfRoute(connection, 1),
              QStringList({"Bob@Example.com", "alice@example.com", "müller@example.com",
                           "łukasz@example.com"}));
}

// A server whose init_connect switches the session to latin1 (for logins
// that do not administer connections) leaves MariaDB's ODBC driver reading
// latin1 as UTF-8: refused like a latin1 CHARSET, before any change; so is
// one that switches only the answers, or only the connection's character set
// (the server would store "ła" as "?a").
TEST(ServerRunMariaDb, AnInitConnectOutsideUtf8IsRefusedOverOdbc) {
    for (const char* initConnect : {"SET NAMES latin1", "SET character_set_results = latin1",
                                    "SET collation_connection = latin1_swedish_ci",
                                    "SET character_set_connection = latin1"}) {
        SCOPED_TRACE(initConnect);
        NightlyLoginWithInitConnect server(QString::fromLatin1(initConnect));
        const QByteArray list = "alice@example.com\r\nm\xc3\xbcller@example.com\r\n"
                                "\xc5\x82"
                                "a@example.com\r\n";
        auto result = server.run(server.odbcLogin(), list);
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 1);
        const QString last = server.install.logMessages().last();
        EXPECT_TRUE(last.contains("im Zeichensatz latin1, nicht in UTF-8")) << last.toStdString();
        EXPECT_EQ(addressesOfRoute(server.admin, 1),
                  QStringList({"Bob@Example.com", "alice@example.com", "carol@example.com",
                               "postmaster@example.com"}));
        // Qt's own driver sets UTF-8 once logged in: it carries the letters.
        result = server.run(server.nativeLogin(), list);
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 0) << result.standardError.toStdString();
        EXPECT_EQ(addressesOfRoute(server.admin, 1),
                  QStringList({"alice@example.com", "müller@example.com", "ła@example.com"}));
    }
}

// PostgreSQL's message for a refused connection runs over two lines; the log
// keeps it as one entry, and every line of the log starts with its date.
TEST(ServerRunRefused, AMultiLineDriverMessageIsOneLineInTheLogAndOnStandardError) {
    ScratchInstall install;
    install.setIni("SQL", "Provider",
                   "Provider=PostgreSQL;Data Source=127.0.0.1;Port=1;Initial Catalog=hm;"
                   "User ID=hm;Password=x");
    install.writeFile("ausnahmen.txt", "");
    install.writeFile("liste.txt", "alice@example.com\r\n");
    const auto result = install.run({"/file:" + install.path("liste.txt"), "/domain:example.com"});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1);
    // The driver's own text spans lines: its break and tab become blanks.
    EXPECT_TRUE(result.standardError.contains("Connection refused  Is the server running"))
        << result.standardError.toStdString();
    EXPECT_FALSE(result.standardError.contains("\n\t")) << result.standardError.toStdString();
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
