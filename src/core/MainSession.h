#pragma once

#include "core/ActivityLog.h"
#include "core/AppPaths.h"
#include "core/DeleteLimit.h"
#include "core/RunRecord.h"
#include "core/WorkingList.h"
#include "db/AddressDataset.h"
#include "db/Database.h"
#include "db/RouteAddressDataset.h"
#include "db/RoutesDataset.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class Clock;
class Watchdog;
class WindowState;

// Everything the main window owns besides its controls: the configuration
// values read at start, the connection and its datasets, the working list,
// the log; and the handlers' logic. The window hands it its state through
// WindowState and calls one method per handler.
class MainSession {
public:
    MainSession(AppPaths paths, const Clock& clock, WindowState& window);
    ~MainSession();

    const AppPaths& paths() const { return m_paths; }
    const Clock& clock() const { return m_clock; }
    WindowState& window() { return m_window; }

    // `LogMessage`: one line in the log file and, unless empty, in the pane.
    void LogMessage(const QString& message) { m_log.LogMessage(message); }
    ActivityLog& log() { return m_log; }

    // Start-up: log, configuration, database, routes.
    void FormCreate();
    // Shutdown: the list path and its last-write time into the configuration.
    void FormClose();
    // The command line, processed once when the window is first shown.
    void FormShow(const QStringList& parameters);

    void btsyncClick();
    void RoutenCellClick();
    void HmailRefresh1Click();
    // The export's proposed file name, and the export of the loaded addresses.
    QString exportProposal() const;
    void DomainExport(const QString& fileName);
    // The add-exception command: the input box's prefill, then the entry.
    QString exceptionPrefill() const;
    void addException(const QString& entered);
    // Stores the password as typed into the configuration file, scrambled.
    void storeAdminPassword(const QString& password);

    // What the unattended road left behind, for the exit status.
    bool listFileMissing() const { return m_listFileMissing; }
    bool runRequested() const { return m_runRequested; }

    // Without a screen nobody notices a run that waits for ever: from now on
    // a run that makes no progress for two minutes ends the process (status
    // 1) after logging why and leaving the record of the run so far.
    void watchForStalls();

    QString AdminPassword;
    QString ProtokollDir;
    Database database;
    RoutesDataset routes;
    RouteAddressDataset RA2;
    AddressDataset Address;
    WorkingList Liste;

private:
    AppPaths m_paths;
    const Clock& m_clock;
    WindowState& m_window;
    ActivityLog m_log;
    bool m_listFileMissing = false;
    bool m_runRequested = false;
    // The scheduler's opt-in guards, from the command line.
    bool m_testRun = false;
    std::optional<DeleteLimit> m_maxDelete;
    RunRecord m_record;
    std::unique_ptr<Watchdog> m_watchdog;
};
