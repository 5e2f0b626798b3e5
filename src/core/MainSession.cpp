#include "core/MainSession.h"

#include "automation/RouteRefresh.h"
#include "core/DatabaseStart.h"
#include "core/ExceptionEditor.h"
#include "core/Mtools.h"
#include "core/RouteBrowsing.h"
#include "core/RunLock.h"
#include "core/SyncRun.h"
#include "core/Watchdog.h"
#include "core/WindowState.h"
#include "platform/Ansi.h"
#include "platform/Clock.h"
#include "platform/DosDateTime.h"
#include "platform/ProfileFile.h"
#include "platform/Progress.h"
#include "platform/StandardError.h"
#include "platform/StopSignals.h"
#include "platform/TarveloError.h"
#include "platform/TextFile.h"

#include <QDir>

#include <cstdlib>

MainSession::MainSession(AppPaths paths, const Clock& clock, WindowState& window, RunWaits waits)
    : routes(database), RA2(database), Address(database), m_paths(std::move(paths)), m_waits(waits),
      m_clock(clock), m_window(window), m_log(m_paths.logFile, clock, window) {
    const auto guard = [this] { return holdForGridChange(); };
    routes.setChangeGuard(guard);
    Address.setChangeGuard(guard);
    if (m_waits.unattended) {
        watchForStalls();
    }
}

MainSession::~MainSession() = default;

std::shared_ptr<void> MainSession::holdForGridChange() {
    // Deleting many rows at once holds it once, around each row's deletion too.
    if (std::shared_ptr<RunLock> held = m_gridChange.lock()) {
        return held;
    }
    std::shared_ptr<RunLock> hold = RunLock::forGridChange(m_paths.lockFile, database);
    m_gridChange = hold;
    return hold;
}

void MainSession::watchForStalls() {
    const auto limit = m_waits.stall;
    // Runs on the watchdog's thread while the run hangs in a call that does
    // not return: it touches only the log file, the record and stderr.
    m_watchdog = std::make_unique<Watchdog>(limit, [this](std::chrono::seconds stalled) {
        const QString waitedFor =
            m_awaitingMailServer ? QStringLiteral("keine Antwort des Mailservers auf die "
                                                  "Routen-Aktualisierung")
                                 : QStringLiteral("keine Antwort der Datenbank, kein Dateizugriff");
        QString message = QStringLiteral("Der Lauf kommt seit %1 Sekunden nicht voran (%2); das "
                                         "Programm wird beendet")
                              .arg(QString::number(stalled.count()), waitedFor);
        // A commit left unanswered: the server may yet store its transaction.
        const int open = m_record.changesBeingCommitted();
        if (open == 1) {
            message += QStringLiteral("; ob die letzte Änderung gespeichert wurde, ist offen");
        } else if (open > 1) {
            message += QStringLiteral("; ob die letzten %1 Änderungen gespeichert wurden, ist "
                                      "offen")
                           .arg(open);
        }
        StandardError::writeLine(message);
        // A stop asked for while the call hung is told as the run would have
        // told it: the journal shows that the service manager's request came.
        const QString signal = StopSignals::received();
        try {
            const QString stamp = ActivityLog::fileStamp(m_clock.now()) + QStringLiteral(": ");
            if (!signal.isEmpty()) {
                TextFile::appendLine(
                    m_paths.logFile,
                    stamp + QStringLiteral("Das Programm wird beendet (%1)").arg(signal));
            }
            TextFile::appendLine(m_paths.logFile, stamp + QStringLiteral("Fehler: ") + message);
        } catch (...) {
        }
        try {
            m_record.writeFailure(message, m_clock.now());
        } catch (...) {
        }
        std::_Exit(1);
    });
}

void MainSession::FormCreate() {
    try {
        LogMessage(QString());
        LogMessage(QStringLiteral("Start des Programms"));
    } catch (const IoError& error) {
        m_startFailure = error.message(); // it names the log
        // Read all the same: closing the window writes the list path back,
        // and an empty field would replace the configured one.
        readConfiguration();
        throw;
    }
    readConfiguration();
    try {
        DatabaseStart::open(database, routes, m_paths.iniFile);
    } catch (const TarveloError& error) {
        m_startFailure = error.message(); // what Start and the export say later
        throw;
    }
    LogMessage(QStringLiteral("Datenbank geöffnet"));
}

void MainSession::readConfiguration() {
    const QString& ini = m_paths.iniFile;
    AdminPassword = Mtools::ScrambleText(ProfileFile::readString(ini, "Hmail", "admin"));
    database.setConnectionString(ProfileFile::readString(ini, "SQL", "Provider"));
    m_window.setEmailliste(ProfileFile::readString(ini, "ad", "emails"));
    ProtokollDir = ProfileFile::readString(ini, "Options", "Protokoll");
    // A relative directory lies below the working directory, which for a
    // scheduled task is the system's own: the messages name it in full.
    if (!ProtokollDir.isEmpty() && QDir::isRelativePath(ProtokollDir)) {
        QString here = QDir::currentPath();
        if (!here.endsWith(u'/')) { // a root ends with one already
            here += u'/';
        }
        ProtokollDir.prepend(QDir::toNativeSeparators(here));
    }
    if (ProfileFile::unreadable(ini)) {
        m_listOfUnreadConfiguration = m_window.emailliste();
    }
}

void MainSession::FormClose() {
    const QString& ini = m_paths.iniFile;
    const QString list = m_window.emailliste();
    // A configuration that could not be read at start (held by another
    // program then) keeps its list path unless the user chose another one.
    if (list != m_listOfUnreadConfiguration) {
        ProfileFile::writeString(ini, "ad", "emails", list);
        ProfileFile::writeString(ini, "ad", "timestamp",
                                 QString::number(DosDateTime::ofFile(list)));
    }
    LogMessage(QStringLiteral("Programm wird geschlossen"));
}

void MainSession::storeAdminPassword(const QString& password) {
    // The message names no character of the password: the log that keeps
    // every error is readable by more people than the configuration file.
    const TarveloError refused(
        QStringLiteral("Das Passwort enthält ein Zeichen, das sich verschlüsselt nicht in der "
                       "Konfigurationsdatei speichern lässt (Š oder ein Zeichen, das "
                       "Windows-1252 nicht kennt); es wurde nicht gespeichert"));
    // It is scrambled byte by byte in the code page: a character beyond it
    // would come back as '?', and the mail server would refuse the login.
    for (qsizetype i = 0; i < password.size(); ++i) {
        const qsizetype units = password.at(i).isHighSurrogate() ? 2 : 1;
        if (!Ansi::holds(QStringView(password).mid(i, units))) {
            throw refused;
        }
        i += units - 1;
    }
    // "Š" scrambles into a line feed, which no line of the file can hold.
    const QString scrambled = Mtools::ScrambleText(password);
    if (scrambled.contains(u'\n') || scrambled.contains(u'\r')) {
        throw refused;
    }
    ProfileFile::writeString(m_paths.iniFile, "Hmail", "admin", scrambled);
}

void MainSession::btsyncClick() {
    synchronise(m_dryRun);
}

void MainSession::Testlauf1Click() {
    synchronise(true);
}

void MainSession::synchronise(bool dryRun) {
    SyncContext context{.window = m_window,
                        .log = m_log,
                        .Liste = Liste,
                        .routes = routes,
                        .RA2 = RA2,
                        .exceptionFile = m_paths.exceptionFile,
                        .ProtokollDir = ProtokollDir,
                        .clock = m_clock,
                        .reloadAddresses = [this] { RoutenCellClick(); },
                        .guards = {.lockFile = m_paths.lockFile,
                                   .database = &database,
                                   .lockWait = m_waits.lock,
                                   .dryRun = dryRun,
                                   .maxDelete = m_maxDelete,
                                   .batch = m_batch,
                                   .record = &m_record}};
    // A connection that cannot be opened anew: the error names the database
    // and why, as at the start.
    reopenIfEnded();
    const bool wasConnected = connected();
    m_runFoundNoList = false;
    try {
        runSynchronisation(context);
        m_runFoundNoList = context.listMissing;
    } catch (const DbError&) {
        // A connection lost during the run: the driver's text says how.
        if (!wasConnected) {
            throw DbError(DatabaseStart::notConnected(m_startFailure));
        }
        throw;
    }
    // A run without a list ends before it needs the database. After a failed
    // start, the list's path is often empty (the configuration was not read):
    // Start in the window then says why nothing can be synchronised, instead
    // of doing nothing. A scheduled run keeps its exit status for the list.
    if (!wasConnected && !m_startFailure.isEmpty() && !m_runRequested) {
        throw DbError(DatabaseStart::notConnected(m_startFailure));
    }
    // Asked from outside to end during the run: it has stopped and said so,
    // or it had made its last change already and the log says it now.
    m_log.logStopSignal();
    StopSignals::endIfReceived();
}

// The window stays open for days, and a server ends a connection left idle
// (MySQL's wait_timeout, eight hours by default) or every one when it
// restarts: a run that finds the connection ended opens it anew, as the
// start did, before it reads anything.
void MainSession::reopenIfEnded() {
    if (!m_startFailure.isEmpty() || (connected() && database.answers())) {
        return; // a failed start has said why; it is not tried again
    }
    LogMessage(QStringLiteral("Die Verbindung zur Datenbank war unterbrochen; sie wird neu "
                              "geöffnet"));
    RA2.close(); // its statements belong to the ended connection
    DatabaseStart::open(database, routes, m_paths.iniFile);
    LogMessage(QStringLiteral("Datenbank geöffnet"));
}

void MainSession::RoutenCellClick() {
    if (!connected()) {
        if (!m_startFailure.isEmpty()) {
            return; // nothing to load: the failed start has said why, once
        }
        throw DbError(DatabaseStart::notConnected(m_startFailure));
    }
    RouteBrowsing::loadAddresses(routes, Address);
}

void MainSession::HmailRefresh1Click() {
    // The mail server may take up to a minute to answer: meanwhile the window
    // breathes and takes no input, as during a run; Escape gives the wait up.
    const WindowRunScope busy(m_window);
    // A stop from outside (a service manager, Ctrl+C) gives the wait up as
    // Escape does: the command and what it started end, instead of going on
    // unseen after the program, and the log says why.
    const StopSignals outsideStops;
    // A call into the mail server's object that waits without the hook below
    // (COM on Windows) leaves the watchdog to end it.
    struct Awaiting {
        std::atomic<bool>& flag;
        explicit Awaiting(std::atomic<bool>& f) : flag(f) { flag = true; }
        ~Awaiting() { flag = false; }
    } const awaiting(m_awaitingMailServer);
    refreshRoutes(AdminPassword, m_paths.automationDirectory, [this] {
        Progress::note(); // the refresh's own time limit bounds this wait
        m_window.runWaiting();
        if (!StopSignals::received().isEmpty()) {
            m_log.logStopSignal();
            return false;
        }
        return !m_window.stopRequested();
    });
    // Heard after the mail server had answered: the refresh is done.
    m_log.logStopSignal();
    StopSignals::endIfReceived();
}

void MainSession::DomainExport1Click(const RouteBrowsing::SaveDialog& ask) {
    if (!connected()) {
        throw DbError(DatabaseStart::notConnected(m_startFailure));
    }
    RouteBrowsing::runExportCommand(routes, Address, ask);
}

void MainSession::Ausnahmehinzufgen1Click(const ExceptionEditor::InputBox& ask) {
    ExceptionEditor::runAddCommand(m_paths.exceptionFile, Liste, Address, ask);
}
