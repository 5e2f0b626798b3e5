#include "automation/RouteRefresh.h"
#include "core/ExceptionEditor.h"
#include "core/MainSession.h"
#include "core/RouteBrowsing.h"
#include "core/RunLock.h"
#include "core/SyncRun.h"
#include "core/TestKnob.h"

void MainSession::btsyncClick() {
    SyncContext context{.window = m_window,
                        .log = m_log,
                        .Liste = Liste,
                        .routes = routes,
                        .RA2 = RA2,
                        .exceptionFile = m_paths.exceptionFile,
                        .ProtokollDir = ProtokollDir,
                        .clock = m_clock,
                        .reloadAddresses = [this] { RoutenCellClick(); }};
    context.guards.lockFile = m_paths.lockFile;
    context.guards.database = &database;
    context.guards.lockWait =
        TestKnob::milliseconds("TARVELO_TEST_LOCK_WAIT_MS", RunLock::defaultWait());
    context.guards.testRun = m_testRun;
    context.guards.maxDelete = m_maxDelete;
    context.guards.record = &m_record;
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
