#pragma once

#include "core/DeleteLimit.h"
#include "core/ProtocolFileName.h"

#include <QString>

#include <chrono>
#include <functional>
#include <optional>

class ActivityLog;
class Clock;
class Database;
class RunRecord;
class RouteAddressDataset;
class RoutesDataset;
class WindowState;
class WorkingList;

// The scheduler's guards of one run: the lock that lets only one run at a
// time change the table, the dry run that changes nothing, the limit of
// deletions, the size of the transactions, and the record kept for a run
// that fails or is stopped.
struct RunGuards {
    QString lockFile;             // beside the executable; empty: no lock
    Database* database = nullptr; // whose server lock the run takes as well
    std::chrono::milliseconds lockWait{30000};
    bool dryRun = false;
    std::optional<DeleteLimit> maxDelete;
    int batch = 0; // changes per transaction; 0: each change stored at once
    RunRecord* record = nullptr;
};

// What the synchronisation run works on: the window's fields and controls,
// the log, the hidden list `Liste`, the datasets `routes` and `RA2`, the
// exception file, the protocol directory prefix, the clock for the protocol
// file's name, and the reload of the address grid. Filled by name
// (SyncContext{.window = ..., .log = ...}), so that two texts cannot swap.
struct SyncContext {
    WindowState& window;
    ActivityLog& log;
    WorkingList& Liste;
    RoutesDataset& routes;
    RouteAddressDataset& RA2;
    QString exceptionFile;
    QString ProtokollDir;
    const Clock& clock;
    std::function<void()> reloadAddresses; // the address grid, at the run's end
    RunGuards guards{};
    // Set by the run when it ended for want of its list file: a scheduled
    // run learns it from the run itself, not from a second look that an
    // export finishing meanwhile would answer otherwise.
    bool listMissing = false;
};

// One synchronisation run: the list file named in `emailliste`, less the
// entries the exception list excepts, against hm_routeaddresses, within the
// domain filter `Domain`. Plans every change first, then makes them one by
// one: deletes the rows whose addresses the list lacks, inserts the entries
// the table lacks into their routes, and keeps a protocol of them in the pane
// and, with a protocol directory, in the file hmail-YYYYMMDD-HHMMSS.log (a
// dry run, which changes nothing, in hmail-YYYYMMDD-HHMMSS-test.log).
//
// Errors (file, database) end the run where they arise and propagate; the
// Start button and the routes grid are given back and `RA2` is closed on
// every way out. A run that fails after its protocol header leaves the record
// hmail-YYYYMMDD-HHMMSS-fehler.log instead of its protocol file; one stopped
// in the window leaves hmail-YYYYMMDD-HHMMSS-abbruch.log.
void runSynchronisation(SyncContext& context);
