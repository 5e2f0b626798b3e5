#include "ScratchInstall.h"

#include "ComStandin.h"
#include "TestDatabases.h"
#include "core/Mtools.h"
#include "platform/Ansi.h"
#include "platform/AsciiCase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

// The unattended road on Windows as the Task Scheduler takes it for a task
// that runs "whether the user is logged on or not": the executable in a
// window station that nobody sees, against a real SQLite database, with the
// route refresh through the mail server's COM object (a stand-in registered
// for its ProgID).

namespace {

// A window station without WSF_VISIBLE and a desktop in it, made once for the
// test program, as the scheduler makes one for such a task.
std::wstring hiddenDesktop() {
    static const std::wstring desktop = [] {
        const wchar_t* const station = L"TarveloAufgabe";
        HWINSTA made = ::CreateWindowStationW(station, 0, WINSTA_ALL_ACCESS, nullptr);
        EXPECT_NE(made, nullptr) << ::GetLastError();
        USEROBJECTFLAGS flags{};
        EXPECT_TRUE(::GetUserObjectInformationW(made, UOI_FLAGS, &flags, sizeof flags, nullptr));
        EXPECT_EQ(flags.dwFlags & WSF_VISIBLE, 0u) << "the station must be one nobody sees";
        const HWINSTA own = ::GetProcessWindowStation();
        EXPECT_TRUE(::SetProcessWindowStation(made));
        EXPECT_NE(::CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr), nullptr);
        EXPECT_TRUE(::SetProcessWindowStation(own));
        return std::wstring(station) + L"\\Default";
    }();
    return desktop;
}

// This process's environment without what would choose a screen or steer a
// stand-in, plus extra ("NAME=value"), as a block for CreateProcessW.
std::vector<wchar_t> environmentBlock(const QStringList& extra) {
    QStringList entries;
    wchar_t* const strings = ::GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; *entry != L'\0'; entry += wcslen(entry) + 1) {
        const QString text = QString::fromWCharArray(entry);
        const QString name = text.section(u'=', 0, 0).toUpper();
        if (name == u"QT_QPA_PLATFORM" || name == u"DISPLAY" ||
            name.startsWith(u"TARVELO_STANDIN_")) {
            continue;
        }
        entries.append(text);
    }
    ::FreeEnvironmentStringsW(strings);
    entries += extra;
    std::vector<wchar_t> block;
    for (const QString& entry : std::as_const(entries)) {
        const std::wstring wide = entry.toStdWString();
        block.insert(block.end(), wide.begin(), wide.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

struct TaskResult {
    bool finished = false;
    DWORD exitCode = 0;
    QString standardError;
};

enum class StandardError { ToFile, Nowhere };

// Runs the installed executable in the hidden window station, with no
// standard input; standard error into a file, or nowhere at all as for a
// program with a window that the scheduler starts.
TaskResult runAsScheduledTask(const ScratchInstall& install, const QStringList& arguments,
                              const QStringList& extra = {},
                              StandardError standardError = StandardError::ToFile) {
    const QString executable =
        install.path(QFileInfo(QStringLiteral(TARVELO_EXECUTABLE)).fileName());
    QString commandLine = u'"' + QDir::toNativeSeparators(executable) + u'"';
    for (const QString& argument : arguments) {
        commandLine += QStringLiteral(" \"") + argument + u'"';
    }
    std::wstring command = commandLine.toStdWString();
    std::wstring desktop = hiddenDesktop();
    std::vector<wchar_t> environment = environmentBlock(extra);
    const std::wstring directory = QDir::toNativeSeparators(install.dir()).toStdWString();

    const QString errorFile = install.path(QStringLiteral("stderr.txt"));
    QFile::remove(errorFile);
    HANDLE errorHandle = nullptr;
    if (standardError == StandardError::ToFile) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        errorHandle =
            ::CreateFileW(QDir::toNativeSeparators(errorFile).toStdWString().c_str(), GENERIC_WRITE,
                          FILE_SHARE_READ, &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(errorHandle, INVALID_HANDLE_VALUE);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.lpDesktop = desktop.data();
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdError = errorHandle;
    PROCESS_INFORMATION process{};
    const BOOL started =
        ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, errorHandle != nullptr,
                         CREATE_UNICODE_ENVIRONMENT | DETACHED_PROCESS, environment.data(),
                         directory.c_str(), &startup, &process);
    if (errorHandle != nullptr) {
        ::CloseHandle(errorHandle);
    }
    TaskResult result;
    EXPECT_TRUE(started) << ::GetLastError();
    if (!started) {
        return result;
    }
    // A message box nobody can click away would wait for ever.
    result.finished = ::WaitForSingleObject(process.hProcess, 120 * 1000) == WAIT_OBJECT_0;
    if (!result.finished) {
        ::TerminateProcess(process.hProcess, 99);
        ::WaitForSingleObject(process.hProcess, INFINITE);
    }
    ::GetExitCodeProcess(process.hProcess, &result.exitCode);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    QFile file(errorFile);
    if (file.open(QIODevice::ReadOnly)) {
        result.standardError = QString::fromLocal8Bit(file.readAll());
    }
    return result;
}

const QStringList kRefreshCalls = {"create application",
                                   "authenticate Administrator Geheim 1ä",
                                   "settings",
                                   "create settings",
                                   "routes",
                                   "create routes",
                                   "refresh",
                                   "release routes",
                                   "release settings",
                                   "release application"};

class ScheduledTask : public ::testing::Test {
protected:
    void SetUp() override {
        connection = install.useSqliteDatabase(true);
        install.setIni("Hmail", "admin", Mtools::ScrambleText(QStringLiteral("Geheim 1ä")));
        install.writeNightlyFiles();
    }

    QString standInLog() const { return "TARVELO_STANDIN_LOG=" + install.path("standin.log"); }

    QStringList standInEvents() const {
        return QString::fromUtf8(install.readFile("standin.log")).split('\n', Qt::SkipEmptyParts);
    }

    ScratchInstall install;
    QString connection;
};

} // namespace

TEST_F(ScheduledTask, RefreshMakesTheFourCallsOnTheRegisteredComObject) {
    const ComStandin registered;
    const TaskResult result = runAsScheduledTask(install, {"/refresh"}, {standInLog()});
    ASSERT_TRUE(result.finished) << "the program waited for a user";
    EXPECT_EQ(result.exitCode, 0u) << result.standardError.toStdString();
    EXPECT_EQ(result.standardError, "");
    EXPECT_EQ(standInEvents(), kRefreshCalls);
    const QStringList log = install.logMessages();
    EXPECT_EQ(log.mid(log.size() - 3),
              (QStringList{"1 Parameter sind zu verarbeiten", "Hmailserver-Aktualisierung",
                           "Schliesse Programm"}));
}

TEST_F(ScheduledTask, ErrorOfTheComObjectIsReportedWithItsGermanDescription) {
    const ComStandin registered;
    struct Case {
        const char* member;
        const char* description;
        const char* code;
        const char* message;
    };
    const Case cases[] = {
        {"authenticate", "Anmeldung für „Administrator“ abgelehnt: Kennwort ungültig.",
         "0x80004005", "Anmeldung für „Administrator“ abgelehnt: Kennwort ungültig"},
        {"routes", "Die Routen können nicht gelesen werden. \r\n", "0x80004005",
         "Die Routen können nicht gelesen werden"},
        {"refresh", "", "0x80070005", "Zugriff verweigert"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.member);
        QFile::remove(install.path("tarvelo.log"));
        QFile::remove(install.path("standin.log"));
        const TaskResult result = runAsScheduledTask(
            install, {"/refresh"},
            {standInLog(), QStringLiteral("TARVELO_STANDIN_FAIL=") + c.member,
             QStringLiteral("TARVELO_STANDIN_FAIL_DESC=") + QString::fromUtf8(c.description),
             QStringLiteral("TARVELO_STANDIN_FAIL_CODE=") + c.code});
        ASSERT_TRUE(result.finished) << "a message box waits where nobody sees it";
        EXPECT_EQ(result.exitCode, 1u);
        const QString message = QString::fromUtf8(c.message);
        EXPECT_EQ(result.standardError, message + "\r\n");
        const QStringList log = install.logMessages();
        EXPECT_EQ(log.last(), "Fehler: " + message);
        EXPECT_FALSE(log.contains("Schliesse Programm"));
        // Every object obtained was released all the same.
        const QStringList events = standInEvents();
        for (const char* object : {"application", "settings", "routes"}) {
            EXPECT_EQ(events.count(QStringLiteral("create ") + object),
                      events.count(QStringLiteral("release ") + object))
                << object;
        }
    }
}

TEST_F(ScheduledTask, WithoutRegisteredClassTheClassStringIsInvalid) {
    const ComStandin::Absent unregistered;
    const TaskResult result = runAsScheduledTask(install, {"/refresh"});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_EQ(result.standardError, "Ungültige Klassenzeichenfolge\r\n");
    EXPECT_EQ(install.logMessages().last(), "Fehler: Ungültige Klassenzeichenfolge");
}

TEST_F(ScheduledTask, APlatformChosenForTheDesktopOpensNoMessageBoxNobodySees) {
    // Set machine-wide for the dark mode of Qt programs on the desktop; the
    // task's window station shows nothing all the same.
    const ComStandin::Absent unregistered;
    const TaskResult result =
        runAsScheduledTask(install, {"/refresh"}, {"QT_QPA_PLATFORM=windows:darkmode=2"});
    ASSERT_TRUE(result.finished) << "a message box waits where nobody sees it";
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_EQ(result.standardError, "Ungültige Klassenzeichenfolge\r\n");
    EXPECT_EQ(install.logMessages().last(), "Fehler: Ungültige Klassenzeichenfolge");
}

TEST_F(ScheduledTask, FileDomainAndRefreshRefreshOnceAfterTheSynchronisation) {
    const ComStandin registered;
    const TaskResult result = runAsScheduledTask(
        install, {"/file:" + install.path("liste.txt"), "/domain:example.com", "/refresh"},
        {standInLog()});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0u) << result.standardError.toStdString();
    EXPECT_EQ(addressesOfRoute(connection, 1),
              (QStringList{"Bob@Example.com", "alice@example.com", "dora@example.com",
                           "postmaster@example.com"}));
    EXPECT_EQ(standInEvents(), kRefreshCalls);
    const QStringList log = install.logMessages();
    const qsizetype synchronised = log.indexOf("Ende DBsync");
    const qsizetype refreshed = log.indexOf("Hmailserver-Aktualisierung");
    ASSERT_GE(synchronised, 0);
    EXPECT_GT(refreshed, synchronised);
    EXPECT_EQ(log.count("Hmailserver-Aktualisierung"), 1);
    EXPECT_EQ(log.last(), "Schliesse Programm");
    // The list's path lower-cased (the drive letter too), as the protocol's
    // first line names it.
    EXPECT_TRUE(log.contains("Verarbeite: " + AsciiCase::lower(install.path("liste.txt"))))
        << log.join(u'\n').toStdString();
}

// A batch file's /file:"%~dp0"liste.txt: the folder ends in a backslash
// right before a quote, which is dropped like any quote; the switches after
// it stay switches of their own.
TEST_F(ScheduledTask, AFolderEndingInABackslashBeforeAQuoteStaysAFolder) {
    const QString folder = QDir::toNativeSeparators(install.dir()) + u'\\';
    const TaskResult result = runAsScheduledTask(
        install, {"/file:\"" + folder + "\"liste.txt", "/domain:example.com", "/dryrun"}, {});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0u) << result.standardError.toStdString();
    const QStringList log = install.logMessages();
    EXPECT_TRUE(log.contains("Verarbeite: " + AsciiCase::lower(folder + "liste.txt")))
        << log.join(u'\n').toStdString();
    EXPECT_TRUE(log.contains("Testlauf: die Datenbank wird nicht geändert"))
        << log.join(u'\n').toStdString();
}

// Options of the toolkit's own on a task's line neither end the program nor
// take the switch after them.
TEST_F(ScheduledTask, TheToolkitsOwnOptionsAreUnknownParametersToo) {
    const TaskResult result = runAsScheduledTask(
        install, {"-style", "/file:" + install.path("liste.txt"), "-platform", "bogus", "/dryrun"},
        {});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0u) << result.standardError.toStdString();
    const QStringList log = install.logMessages();
    EXPECT_TRUE(log.contains("5 Parameter sind zu verarbeiten")) << log.join(u'\n').toStdString();
    EXPECT_TRUE(log.contains("Testlauf: die Datenbank wird nicht geändert"))
        << log.join(u'\n').toStdString();
}

TEST_F(ScheduledTask, WithStandardErrorGoingNowhereTheLogHoldsEverything) {
    const ComStandin registered;
    TaskResult result = runAsScheduledTask(
        install, {"/refresh"},
        {standInLog(), "TARVELO_STANDIN_FAIL=settings",
         QStringLiteral("TARVELO_STANDIN_FAIL_DESC=Server nicht erreichbar: Dienst läuft nicht")},
        StandardError::Nowhere);
    ASSERT_TRUE(result.finished) << "a message box waits where nobody sees it";
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_EQ(install.logMessages().last(), "Fehler: Server nicht erreichbar: Dienst läuft nicht");

    // A task that asks for nothing says why it ended, in the log as well.
    result = runAsScheduledTask(install, {}, {}, StandardError::Nowhere);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_TRUE(install.logMessages().last().startsWith(
        "Fehler: Die Bedienung im Fenster braucht einen Bildschirm"))
        << install.logMessages().last().toStdString();

    // A list that is missing: status 2, told in the log.
    result = runAsScheduledTask(install, {"/file:" + install.path("fehlt.txt"), "/refresh"},
                                {standInLog()}, StandardError::Nowhere);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 2u);
    // The path lower-cased, as every switch's value; its case does not count
    // on Windows.
    const QStringList log = install.logMessages();
    EXPECT_EQ(log.value(log.size() - 2),
              "Datei \"" + AsciiCase::lower(install.path("fehlt.txt")) + "\" nicht gefunden");
    EXPECT_EQ(log.last(), "Programm beendet");
}

TEST_F(ScheduledTask, AConfigurationFileHeldOpenByAnotherProgramIsSaidToBeUnreadable) {
    // An editor or a backup holding tarvelo.ini without sharing it: the run
    // says it cannot read the file, not that the file lacks its entry.
    const std::wstring ini = QDir::toNativeSeparators(install.path("tarvelo.ini")).toStdWString();
    const HANDLE held = ::CreateFileW(ini.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE) << ::GetLastError();
    const TaskResult result = runAsScheduledTask(install, {"/file:" + install.path("liste.txt")});
    ::CloseHandle(held);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_TRUE(result.standardError.startsWith(
        "Die Konfigurationsdatei \"" + QDir::toNativeSeparators(install.path("tarvelo.ini")) +
        "\" kann nicht gelesen werden (Dateizugriff verweigert)\r\n"))
        << result.standardError.toStdString();
}

// The servers' ODBC drivers would change these values on the way (MariaDB's
// drops the blanks, psqlODBC keeps the braces in the name): the ini that
// works on Linux's own drivers is refused in words before any login.
TEST_F(ScheduledTask, AValueTheServersOdbcDriverWouldChangeIsRefusedBeforeConnecting) {
    const struct {
        const char* provider;
        const char* key;
    } cases[] = {
        {"Provider=MySQL;Data Source=127.0.0.1;Initial Catalog=hm;User ID=hm;Password=\" geheim\"",
         "Password"},
        {"Provider=PostgreSQL;Data Source=127.0.0.1;Initial Catalog='hm;x';User ID=hm;Password=p",
         "Initial Catalog"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.provider);
        install.setIni("SQL", "Provider", QString::fromLatin1(c.provider));
        const TaskResult result =
            runAsScheduledTask(install, {"/file:" + install.path("liste.txt")});
        ASSERT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 1u);
        EXPECT_TRUE(result.standardError.contains(
            QStringLiteral("Der Wert von \"%1\" in der Verbindungszeichenfolge ").arg(c.key)))
            << result.standardError.toStdString();
        EXPECT_FALSE(install.logMessages().contains("Datenbank geöffnet"));
    }
}

TEST_F(ScheduledTask, AProtocolFolderThatIsMissingStopsTheTaskBeforeAnyChange) {
    // Written as a Windows administrator writes it, with letters beyond the
    // code page; the folder was never made.
    const QString name = QStringLiteral("Protokolle Łódź fehlt");
    const QString folder = QDir::toNativeSeparators(install.path(name)) + u'\\';
    install.setIni("Options", "Protokoll", folder);
    const QStringList before = addressesOfRoute(connection, 1);
    const TaskResult result =
        runAsScheduledTask(install, {"/file:" + install.path("liste.txt"), "/domain:example.com"});
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1u);
    // The log holds the letters the code page lacks as '?'.
    const QString logged = Ansi::decode(Ansi::encode(folder));
    const QString message = install.logMessages().last();
    EXPECT_TRUE(message.startsWith("Fehler: Datei " + logged + "hmail-")) << message.toStdString();
    EXPECT_TRUE(message.endsWith(".log kann nicht erstellt werden. Es wurde nichts geändert"))
        << message.toStdString();
    // Standard error says the same, byte for byte: no look-alike letter
    // ("Lodz") that would name another folder.
    EXPECT_EQ(result.standardError, message.mid(QStringLiteral("Fehler: ").size()) + "\r\n")
        << result.standardError.toStdString();
    EXPECT_EQ(addressesOfRoute(connection, 1), before);
    EXPECT_FALSE(QFileInfo::exists(install.path(name)));
}

TEST_F(ScheduledTask, AListAnotherProgramStillWritesIsNotTakenForTheWholeList) {
    // The export of the night is late: its first line is written, the rest
    // is still to come. Read now, the other addresses would be deleted.
    const std::wstring list = QDir::toNativeSeparators(install.path("liste.txt")).toStdWString();
    const HANDLE writing = ::CreateFileW(list.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writing, INVALID_HANDLE_VALUE) << ::GetLastError();
    DWORD written = 0;
    ::WriteFile(writing, "alice@example.com\r\n", 19, &written, nullptr);
    const QStringList before = addressesOfRoute(connection, 1);
    const TaskResult result =
        runAsScheduledTask(install, {"/file:" + install.path("liste.txt"), "/domain:example.com"});
    ::CloseHandle(writing);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_EQ(install.logMessages().last(), "Fehler: Datei " +
                                                AsciiCase::lower(install.path("liste.txt")) +
                                                " kann nicht geöffnet werden");
    EXPECT_EQ(addressesOfRoute(connection, 1), before);
}

// hMailServer's object that stopped answering holds the call into it, and
// nothing lets the task breathe meanwhile: the stall bound ends the task, and
// its message sends the administrator to the mail server, not the database.
TEST(ScheduledTaskHungMailServer, ARefreshThatNeverAnswersIsEndedAndNamedAsTheMailServer) {
    ScratchInstall install(ScratchInstall::Program::ShortWaits);
    install.useSqliteDatabase(true);
    const ComStandin registered;
    const TaskResult result = runAsScheduledTask(
        install, {"/refresh"}, {"TARVELO_STANDIN_HANG=refresh", "TARVELO_TEST_WATCHDOG_MS=1000"},
        StandardError::Nowhere);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 1u);
    const QString last = install.logMessages().last();
    EXPECT_TRUE(last.startsWith("Fehler: Der Lauf kommt seit ") &&
                last.endsWith(" Sekunden nicht voran (keine Antwort des Mailservers auf die "
                              "Routen-Aktualisierung); das Programm wird beendet"))
        << last.toStdString();
}
