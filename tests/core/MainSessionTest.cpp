#include "core/MainSession.h"
#include "ManualClock.h"
#include "MemoryWindowState.h"

#include "TestBackend.h"
#include "TestDatabases.h"
#include "core/Mtools.h"
#include "core/WindowState.h"
#include "db/Database.h"
#include "platform/Ansi.h"
#include "platform/Clock.h"
#include "platform/LineBreaks.h"
#include "platform/ProfileFile.h"
#include "platform/TarveloError.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

// The message of the error the call raises; empty when it raises none.
template <typename Error, typename Call> QString errorOf(Call call) {
    try {
        call();
    } catch (const Error& error) {
        return error.message();
    }
    return {};
}

class MainSessionTest : public ::testing::Test {
protected:
    MainSessionTest()
        : paths(AppPaths::forExecutable(dir.filePath("tarvelo"))),
          clock(QDateTime(QDate(2026, 12, 7), QTime(9, 5, 3))) {}

    // Every value start-up reads, the password as "Geh eim!".
    QString writeEveryValue() const {
        const QString connection = createSqliteDatabase(dir.filePath("hm.db"), true);
        ProfileFile::writeString(paths.iniFile, "SQL", "Provider", connection);
        ProfileFile::writeString(paths.iniFile, "Hmail", "admin", Mtools::ScrambleText("Geh eim!"));
        ProfileFile::writeString(paths.iniFile, "ad", "emails", "/srv/liste.txt");
        ProfileFile::writeString(paths.iniFile, "Options", "Protokoll", "/var/log/tarvelo/");
        return connection;
    }

    QStringList logLines() const {
        QFile file(paths.logFile);
        file.open(QIODevice::ReadOnly);
        return LineBreaks::split(Ansi::decode(file.readAll()));
    }

    QTemporaryDir dir;
    AppPaths paths;
    ManualClock clock;
    MemoryWindowState window;
};

} // namespace

TEST_F(MainSessionTest, StartWithoutConfigurationReportsTheDatabaseAndKeepsEmptyValues) {
    MainSession session(paths, clock, window);
    window.setEmailliste("vorher");
    EXPECT_THROW(session.FormCreate(), DbError);
    EXPECT_EQ(session.AdminPassword, "");
    EXPECT_EQ(session.ProtokollDir, "");
    EXPECT_EQ(window.emailliste(), "");
    EXPECT_FALSE(session.connected());
    EXPECT_FALSE(session.routesDataset().isOpen());
    EXPECT_EQ(logLines(), QStringList({"", "07.12.2026 09:05:03: Start des Programms"}));
    // The pane shows the start line only: an empty message adds nothing there.
    EXPECT_EQ(window.protokollLines(), QStringList({"09:05:03: Start des Programms"}));
    // Reading creates no configuration file.
    EXPECT_FALSE(QFile::exists(paths.iniFile));
}

TEST_F(MainSessionTest, StartReadsEveryValueAndOpensTheRoutes) {
    writeEveryValue();
    QFile ini(paths.iniFile);
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray before = ini.readAll();
    ini.close();

    MainSession session(paths, clock, window);
    session.FormCreate();
    EXPECT_EQ(session.AdminPassword, "Geh eim!");
    EXPECT_EQ(window.emailliste(), "/srv/liste.txt");
    EXPECT_EQ(session.ProtokollDir, "/var/log/tarvelo/");
    EXPECT_TRUE(session.routesDataset().isOpen());
    EXPECT_GT(session.routesDataset().rowCount(), 0);
    EXPECT_EQ(logLines(), QStringList({"", "07.12.2026 09:05:03: Start des Programms",
                                       "07.12.2026 09:05:03: Datenbank geöffnet"}));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_EQ(ini.readAll(), before) << "start-up never writes the configuration";
}

// Taken from the working directory as it would be anyway, but named in
// full: for a scheduled task that is the system's own directory, and a
// message that names "Protokolle\\hmail-....log" says nothing of where.
TEST_F(MainSessionTest, ARelativeProtocolDirectoryIsNamedInFull) {
    const QString connection = createSqliteDatabase(dir.filePath("hm.db"), true);
    ProfileFile::writeString(paths.iniFile, "SQL", "Provider", connection);
    const QString here = QDir::toNativeSeparators(QDir::currentPath() + u'/');
    const QString absolute = QDir::toNativeSeparators(dir.filePath("prot/"));
    const struct {
        QString written;
        QString taken;
    } cases[] = {{"prot/", here + "prot/"},
                 {"Protokolle", here + "Protokolle"}, // the name's prefix, as written
                 {absolute, absolute},
                 {"", ""}};
    for (const auto& c : cases) {
        ProfileFile::writeString(paths.iniFile, "Options", "Protokoll", c.written);
        MainSession session(paths, clock, window);
        session.FormCreate();
        EXPECT_EQ(session.ProtokollDir, c.taken) << c.written.toStdString();
    }
    // A task started in a drive's root: its path ends with the separator
    // already, and the messages name no doubled one.
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QDir::rootPath()));
    ProfileFile::writeString(paths.iniFile, "Options", "Protokoll", "prot/");
    MainSession session(paths, clock, window);
    session.FormCreate();
    QDir::setCurrent(before);
    EXPECT_EQ(session.ProtokollDir, QDir::toNativeSeparators(QDir::rootPath()) + "prot/");
}

TEST_F(MainSessionTest, CloseWithEmptyListWritesEmptyPathAndMinusOne) {
    MainSession session(paths, clock, window);
    window.setEmailliste("");
    session.FormClose();
    EXPECT_EQ(ProfileFile::readString(paths.iniFile, "ad", "emails", "unset"), "");
    EXPECT_EQ(ProfileFile::readString(paths.iniFile, "ad", "timestamp"), "-1");
    QFile ini(paths.iniFile);
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_EQ(ini.readAll(), QByteArray("[ad]\r\nemails=\r\ntimestamp=-1\r\n"));
    EXPECT_EQ(logLines(), QStringList({"07.12.2026 09:05:03: Programm wird geschlossen"}));
}

TEST_F(MainSessionTest, CloseAfterChoosingAFileStoresItsPathAndDosTime) {
    const QString list = dir.filePath("Adressen Liste.txt");
    {
        QFile file(list);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("a@example.com\r\n");
        file.close();
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        // 14 March 2025, 17:42:37 local time: seconds are stored halved.
        ASSERT_TRUE(file.setFileTime(QDateTime(QDate(2025, 3, 14), QTime(17, 42, 37)),
                                     QFileDevice::FileModificationTime));
    }
    const qint64 expected =
        ((2025 - 1980) << 25) | (3 << 21) | (14 << 16) | (17 << 11) | (42 << 5) | (37 / 2);
    MainSession session(paths, clock, window);
    window.setEmailliste(list);
    session.FormClose();
    EXPECT_EQ(ProfileFile::readString(paths.iniFile, "ad", "emails"), list);
    EXPECT_EQ(ProfileFile::readString(paths.iniFile, "ad", "timestamp"), QString::number(expected));
}

TEST_F(MainSessionTest, CloseKeepsOtherSectionsAndNamesMissingFilesAndDirectoriesMinusOne) {
    ProfileFile::writeString(paths.iniFile, "SQL", "Provider", "Provider=SQLite;Data Source=x");
    MainSession session(paths, clock, window);
    window.setEmailliste(dir.path());
    session.FormClose();
    EXPECT_EQ(ProfileFile::readString(paths.iniFile, "ad", "timestamp"), "-1");
    window.setEmailliste(dir.filePath("fehlt.txt"));
    session.FormClose();
    EXPECT_EQ(ProfileFile::readString(paths.iniFile, "ad", "timestamp"), "-1");
    EXPECT_EQ(ProfileFile::readString(paths.iniFile, "SQL", "Provider"),
              "Provider=SQLite;Data Source=x");
}

TEST_F(MainSessionTest, CloseWithUnwritableConfigurationRaisesAndDoesNotLog) {
    // A directory in the configuration file's place cannot be replaced.
    ASSERT_TRUE(QDir().mkpath(paths.iniFile));
    MainSession session(paths, clock, window);
    EXPECT_EQ(errorOf<TarveloError>([&] { session.FormClose(); }),
              "In " + paths.iniFile + " kann nicht geschrieben werden");
    EXPECT_TRUE(logLines().isEmpty());
}

// A log that cannot be written at start (a full disk, a program holding it)
// ends the start, but the configuration is read all the same: closing the
// window afterwards writes back the configured list path, not an empty one
// in its place, which the nightly /dbsync would then miss.
TEST_F(MainSessionTest, AStartWhoseLogFailsKeepsTheConfiguredListForTheClose) {
    writeEveryValue();
    ASSERT_TRUE(QDir().mkpath(paths.logFile));

    MainSession session(paths, clock, window);
    const QString error = errorOf<IoError>([&] { session.FormCreate(); });
    EXPECT_TRUE(error.startsWith("In die Logdatei \"" + paths.logFile + "\""))
        << error.toStdString();
    EXPECT_EQ(window.emailliste(), "/srv/liste.txt");
    EXPECT_EQ(session.AdminPassword, "Geh eim!");
    EXPECT_EQ(session.ProtokollDir, "/var/log/tarvelo/");
    // The log's failure ends the start before the database.
    EXPECT_FALSE(session.connected());
    EXPECT_TRUE(window.protokollLines().isEmpty());

    ASSERT_TRUE(QDir().rmdir(paths.logFile));
    session.FormClose();
    EXPECT_EQ(ProfileFile::readString(paths.iniFile, "ad", "emails"), "/srv/liste.txt");
}

// A configuration file that is there but cannot be read at start (another
// program holds it; here a directory in its place stands in for that) gives
// empty values. Once it can be read again, closing the window keeps its list
// path, unless the user has chosen another list since.
TEST_F(MainSessionTest, ACloseAfterAnUnreadableStartKeepsTheConfiguredList) {
    for (const QString& chosen : {QString(), QStringLiteral("/srv/neu.txt")}) {
        ASSERT_TRUE(QFile::remove(paths.iniFile) || !QFile::exists(paths.iniFile));
        ASSERT_TRUE(QDir().mkpath(paths.iniFile));
        MainSession session(paths, clock, window);
        EXPECT_FALSE(errorOf<DbError>([&] { session.FormCreate(); }).isEmpty());
        EXPECT_EQ(window.emailliste(), "");
        if (!chosen.isEmpty()) {
            window.setEmailliste(chosen);
        }

        ASSERT_TRUE(QDir().rmdir(paths.iniFile));
        writeEveryValue();
        session.FormClose();
        EXPECT_EQ(ProfileFile::readString(paths.iniFile, "ad", "emails"),
                  chosen.isEmpty() ? "/srv/liste.txt" : chosen);
        EXPECT_EQ(logLines().constLast(), "07.12.2026 09:05:03: Programm wird geschlossen");
    }
}

TEST_F(MainSessionTest, StoredPasswordTakesEffectAtTheNextStartOnly) {
    const QString connection = createSqliteDatabase(dir.filePath("hm.db"), true);
    ProfileFile::writeString(paths.iniFile, "SQL", "Provider", connection);
    ProfileFile::writeString(paths.iniFile, "Hmail", "admin", Mtools::ScrambleText("alt"));
    {
        MainSession session(paths, clock, window);
        session.FormCreate();
        session.storeAdminPassword("neu");
        EXPECT_EQ(session.AdminPassword, "alt");
    }
    EXPECT_EQ(ProfileFile::readString(paths.iniFile, "Hmail", "admin"),
              Mtools::ScrambleText("neu"));
    MainSession next(paths, clock, window);
    next.FormCreate();
    EXPECT_EQ(next.AdminPassword, "neu");
    next.storeAdminPassword("");
    EXPECT_EQ(ProfileFile::readString(paths.iniFile, "Hmail", "admin", "unset"), "");

    // A character the scrambling cannot carry is refused, the stored
    // password stays; the message, which the log keeps, names no character
    // of the password. "Š" and U+008D would scramble into a line break and
    // cut the stored password.
    next.storeAdminPassword("Za\u00fc\u20ac");
    for (const QString& character : {QStringLiteral("\u0142"), QStringLiteral("\U0001F600"),
                                     QStringLiteral("\u0160"), QStringLiteral("\u008d")}) {
        try {
            next.storeAdminPassword("Za" + character + "\u00fc");
            ADD_FAILURE() << "stored";
        } catch (const TarveloError& error) {
            EXPECT_EQ(error.message(),
                      "Das Passwort enthält ein Zeichen, das sich verschlüsselt nicht in der "
                      "Konfigurationsdatei speichern lässt (Š oder ein Zeichen, das Windows-1252 "
                      "nicht kennt); es wurde nicht gespeichert");
        }
    }
    EXPECT_EQ(ProfileFile::readString(paths.iniFile, "Hmail", "admin"),
              Mtools::ScrambleText("Za\u00fc\u20ac"));
}

namespace {

// Ends every other session on the test's database, as a server's restart or
// MySQL's wait_timeout ends the window's idle connection, and waits until the
// server has let them go.
void endOtherSessions(const QString& connection, Backend server) {
    Database admin;
    admin.setConnectionString(connection);
    admin.open();
    const QString others =
        server == Backend::Postgres
            ? QStringLiteral("SELECT pid FROM pg_stat_activity WHERE datname = current_database() "
                             "AND pid <> pg_backend_pid()")
            : QStringLiteral("SELECT id FROM information_schema.processlist WHERE db = DATABASE() "
                             "AND id <> CONNECTION_ID()");
    const auto sessions = [&] {
        QList<qint64> ids;
        QSqlQuery query(admin.handle());
        EXPECT_TRUE(query.exec(others)) << query.lastError().text().toStdString();
        while (query.next()) {
            ids.append(query.value(0).toLongLong());
        }
        return ids;
    };
    const QList<qint64> ids = sessions();
    ASSERT_FALSE(ids.isEmpty()) << "the session's connection is not on the server";
    for (const qint64 id : ids) {
        QSqlQuery end(admin.handle());
        const QString statement = server == Backend::Postgres
                                      ? QStringLiteral("SELECT pg_terminate_backend(%1)").arg(id)
                                      : QStringLiteral("KILL %1").arg(id);
        ASSERT_TRUE(end.exec(statement)) << end.lastError().text().toStdString();
    }
    QDeadlineTimer deadline(10000);
    while (!sessions().isEmpty() && !deadline.hasExpired()) {
        QThread::msleep(50);
    }
    ASSERT_TRUE(sessions().isEmpty()) << "the server still holds the ended sessions";
}

class MainSessionOnServer : public MainSessionTest,
                            public ::testing::WithParamInterface<Backend> {};

} // namespace

// The window stays open overnight; the server ends its idle connection. The
// next run opens it anew before it reads anything, and does its work.
TEST_P(MainSessionOnServer, ARunOpensAConnectionTheServerEndedAnewBeforeItReads) {
    const QString connection = createBackendDatabase(GetParam(), dir.filePath("hm.db"), true);
    ProfileFile::writeString(paths.iniFile, "SQL", "Provider", connection);
    QFile exceptions(paths.exceptionFile);
    ASSERT_TRUE(exceptions.open(QIODevice::WriteOnly));
    exceptions.close();
    const QString list = dir.filePath("liste.txt");
    QFile listFile(list);
    ASSERT_TRUE(listFile.open(QIODevice::WriteOnly));
    listFile.write("neu@example.org\r\n");
    listFile.close();

    MainSession session(paths, clock, window);
    session.FormCreate();
    window.setEmailliste(list);
    window.setDomain("*");
    endOtherSessions(connection, serverOf(GetParam()));

    session.btsyncClick();
    EXPECT_EQ(routeAddressRows(connection),
              (QList<QPair<qint64, QString>>{{2, "neu@example.org"}}));
    const QStringList log = logLines();
    const qsizetype reopened = log.indexOf("07.12.2026 09:05:03: Die Verbindung zur Datenbank war "
                                           "unterbrochen; sie wird neu geöffnet");
    ASSERT_GE(reopened, 0) << log.join('\n').toStdString();
    EXPECT_EQ(log.at(reopened + 1), "07.12.2026 09:05:03: Datenbank geöffnet");
    EXPECT_TRUE(log.filter("Fehler").isEmpty()) << log.join('\n').toStdString();
    EXPECT_TRUE(session.connected());
}

INSTANTIATE_TEST_SUITE_P(Servers, MainSessionOnServer, ::testing::ValuesIn(serverBackends()),
                         backendName);

// The connection ended and cannot be opened anew (the server is still down,
// the file gone): each run says which database and why, as the start would,
// and a later run opens it once it is back.
TEST_F(MainSessionTest, ARunThatCannotOpenTheEndedConnectionAnewSaysWhy) {
    const QString file = dir.filePath("hm.db");
    ProfileFile::writeString(paths.iniFile, "SQL", "Provider", createSqliteDatabase(file, true));
    QFile exceptions(paths.exceptionFile);
    ASSERT_TRUE(exceptions.open(QIODevice::WriteOnly));
    exceptions.close();
    MainSession session(paths, clock, window);
    session.FormCreate();
    window.setEmailliste(dir.filePath("liste.txt"));
    QFile list(window.emailliste());
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write("neu@example.org\r\n");
    list.close();
    window.setDomain("*");

    for (const QString& name : QSqlDatabase::connectionNames()) {
        QSqlDatabase::database(name, false).close();
    }
    ASSERT_TRUE(QFile::rename(file, file + ".weg"));
    const QString why = "Die SQLite-Datenbank \"" + QDir::toNativeSeparators(file) +
                        "\" (Data Source in [SQL] Provider in \"" + paths.iniFile +
                        "\") kann nicht geöffnet werden: Die Datenbank \"" + file +
                        "\" wurde nicht gefunden";
    for (int run = 1; run <= 2; ++run) {
        try {
            session.btsyncClick();
            ADD_FAILURE() << "run " << run << " went ahead";
        } catch (const TarveloError& error) {
            EXPECT_EQ(error.message(), why) << "run " << run;
        }
    }

    ASSERT_TRUE(QFile::rename(file + ".weg", file));
    session.btsyncClick();
    EXPECT_TRUE(session.connected());
    EXPECT_EQ(routeAddressRows(ProfileFile::readString(paths.iniFile, "SQL", "Provider")),
              (QList<QPair<qint64, QString>>{{2, "neu@example.org"}}));
}
