#include "automation/RouteRefresh.h"
#include "core/ExceptionEditor.h"
#include "core/MainSession.h"
#include "core/RouteBrowsing.h"
#include "core/RunLock.h"
#include "core/SyncRun.h"
#include "core/TestKnob.h"

void MainSession::btsyncClick() {
    SyncContext context{m_window,     m_log,   Liste,
                        routes,       RA2,     m_paths.exceptionFile,
                        ProtokollDir, m_clock, [this] { RoutenCellClick(); }};
    context.guards.lockFile = m_paths.lockFile;
    context.guards.database = &database;
    context.guards.lockWait =
        TestKnob::milliseconds("TARVELO_TEST_LOCK_WAIT_MS", RunLock::defaultWait());
    context.guards.testRun = m_testRun;
    context.guards.maxDelete = m_maxDelete;
    context.guards.record = &m_record;
    ::btsyncClick(context);
}

void MainSession::RoutenCellClick() {
    RouteBrowsing::RoutenCellClick(routes, Address);
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
