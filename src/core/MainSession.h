#pragma once

#include "core/ActivityLog.h"
#include "core/AppPaths.h"
#include "core/DeleteLimit.h"
#include "core/ExceptionEditor.h"
#include "core/RouteBrowsing.h"
#include "core/RunLock.h"
#include "core/RunRecord.h"
#include "core/Watchdog.h"
#include "core/WorkingList.h"
#include "db/AddressDataset.h"
#include "db/Database.h"
#include "db/RouteAddressDataset.h"
#include "db/RoutesDataset.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>

class Clock;
class WindowState;

// How long a run waits for another run's lock, and how long an unattended
// run may go without progress before the watchdog ends it.
struct RunWaits {
    std::chrono::milliseconds lock = RunLock::defaultWait();
    std::chrono::milliseconds stall = Watchdog::defaultLimit();
    // Without a screen nobody notices a program that waits for ever: from
    // its start (the connection, the routes read) a stall ends it, logging
    // why and leaving the record of the run so far.
    bool unattended = false;
    // The least time between two repaints of the window while a run works:
    // repainting more often would cost the run without showing more.
    std::chrono::milliseconds breath{100};
};

// Everything the main window owns besides its controls: the configuration
// values read at start, the connection and its datasets, the working list,
// the log; and the handlers' logic. The window hands it its state through
// WindowState and calls one method per handler.
class MainSession {
public:
    MainSession(AppPaths paths, const Clock& clock, WindowState& window, RunWaits waits = {});
    ~MainSession();

    const AppPaths& paths() const { return m_paths; }

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
    // "Testlauf": the run planned and shown, nothing changed, as "/dryrun".
    void Testlauf1Click();
    void RoutenCellClick();
    void HmailRefresh1Click();
    // The export of the loaded addresses, asking for the file with the
    // route's name proposed.
    void DomainExport1Click(const RouteBrowsing::SaveDialog& ask);
    // The add-exception command, asking with the address offered.
    void Ausnahmehinzufgen1Click(const ExceptionEditor::InputBox& ask);
    // Stores the password as typed into the configuration file, scrambled.
    void storeAdminPassword(const QString& password);

    // The datasets the window's grids show.
    RoutesDataset& routesDataset() { return routes; }
    const RoutesDataset& routesDataset() const { return routes; }
    AddressDataset& addressDataset() { return Address; }
    const AddressDataset& addressDataset() const { return Address; }
    // The database open and its routes read, as a successful start leaves them.
    bool connected() const { return database.isOpen() && routes.isOpen(); }

    // What the unattended road left behind, for the exit status.
    bool listFileMissing() const { return m_listFileMissing; }
    bool runRequested() const { return m_runRequested; }

    QString AdminPassword;
    QString ProtokollDir;

private:
    void watchForStalls();
    // The run lock around a change made by hand in a grid.
    std::shared_ptr<void> holdForGridChange();
    void readConfiguration();
    void synchronise(bool dryRun);
    void reopenIfEnded();

    Database database;
    RoutesDataset routes;
    RouteAddressDataset RA2;
    AddressDataset Address;
    WorkingList Liste;
    AppPaths m_paths;
    RunWaits m_waits;
    const Clock& m_clock;
    WindowState& m_window;
    ActivityLog m_log;
    // Why the database could not be opened at start; empty when it was.
    QString m_startFailure;
    // The list path field as start-up left it when the configuration file
    // was there but could not be read: its empty value is no user's choice.
    std::optional<QString> m_listOfUnreadConfiguration;
    bool m_listFileMissing = false;
    bool m_runFoundNoList = false; // the last run ended for want of its list
    bool m_runRequested = false;
    // The scheduler's opt-in guards, from the command line.
    bool m_dryRun = false;
    std::optional<DeleteLimit> m_maxDelete;
    int m_batch = 0;
    RunRecord m_record;
    // Set while the mail server is asked to reload its routes: a call into
    // its object that never returns is then what the watchdog names.
    std::atomic<bool> m_awaitingMailServer{false};
    std::unique_ptr<Watchdog> m_watchdog;
    std::weak_ptr<RunLock> m_gridChange;
};
