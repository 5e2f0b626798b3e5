#include "core/MainSession.h"

#include "automation/RouteRefresh.h"
#include "core/ExceptionEditor.h"
#include "core/Mtools.h"
#include "core/RouteBrowsing.h"
#include "core/RunLock.h"
#include "core/SyncRun.h"
#include "core/Watchdog.h"
#include "core/WindowState.h"
#include "platform/Clock.h"
#include "platform/DosDateTime.h"
#include "platform/ProfileFile.h"
#include "platform/TextFile.h"

#include <cstdio>
#include <cstdlib>

MainSession::MainSession(AppPaths paths, const Clock& clock, WindowState& window, RunWaits waits)
    : routes(database), RA2(database), Address(database), m_paths(std::move(paths)), m_waits(waits),
      m_clock(clock), m_window(window), m_log(m_paths.logFile, clock, window) {}

MainSession::~MainSession() = default;

void MainSession::watchForStalls() {
    const auto limit = m_waits.stall;
    // Runs on the watchdog's thread while the run hangs in a call that does
    // not return: it touches only the log file, the record and stderr.
    m_watchdog = std::make_unique<Watchdog>(limit, [this](std::chrono::seconds stalled) {
        const QString message =
            QStringLiteral("Der Lauf kommt seit %1 Sekunden nicht voran (keine Antwort der "
                           "Datenbank, kein Dateizugriff); das Programm wird beendet")
                .arg(stalled.count());
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        std::fflush(stderr);
        try {
            TextFile::appendLine(m_paths.logFile, ActivityLog::fileStamp(m_clock.now()) +
                                                      QStringLiteral(": Fehler: ") + message);
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
    LogMessage(QString());
    LogMessage(QStringLiteral("Start des Programms"));
    const QString& ini = m_paths.iniFile;
    AdminPassword = Mtools::ScrambleText(ProfileFile::readString(ini, "Hmail", "admin"));
    database.setConnectionString(ProfileFile::readString(ini, "SQL", "Provider"));
    m_window.setEmailliste(ProfileFile::readString(ini, "ad", "emails"));
    ProtokollDir = ProfileFile::readString(ini, "Options", "Protokoll");
    database.close();
    database.open();
    routes.open();
    LogMessage(QStringLiteral("Datenbank geöffnet"));
}

void MainSession::FormClose() {
    const QString& ini = m_paths.iniFile;
    const QString list = m_window.emailliste();
    ProfileFile::writeString(ini, "ad", "emails", list);
    ProfileFile::writeString(ini, "ad", "timestamp", QString::number(DosDateTime::ofFile(list)));
    LogMessage(QStringLiteral("Programm wird geschlossen"));
}

void MainSession::storeAdminPassword(const QString& password) {
    ProfileFile::writeString(m_paths.iniFile, "Hmail", "admin", Mtools::ScrambleText(password));
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
    runSynchronisation(context);
}

void MainSession::RoutenCellClick() {
    RouteBrowsing::loadAddresses(routes, Address);
}

void MainSession::HmailRefresh1Click() {
    refreshRoutes(AdminPassword);
}

void MainSession::DomainExport1Click(const RouteBrowsing::SaveDialog& ask) {
    RouteBrowsing::runExportCommand(routes, Address, ask);
}

void MainSession::Ausnahmehinzufgen1Click(const ExceptionEditor::InputBox& ask) {
    ExceptionEditor::runAddCommand(m_paths.exceptionFile, Liste, Address, ask);
}
