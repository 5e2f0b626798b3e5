#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>

#include "core/DeleteLimit.h"

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

// What the synchronisation run works on: the window's fields and controls,
// the log, the hidden list `Liste`, the datasets `routes` and `RA2`, the
// exception file, the protocol directory prefix, the clock for the protocol
// file's name, and the reload of the address grid. Filled by name
// (SyncContext{.window = ..., .log = ...}), so that two texts cannot swap.
// The scheduler's guards of one run: the lock that lets only one run at a
// time change the table, the test run that changes nothing, the limit of
// deletions, and the record kept for a run that fails.
struct RunGuards {
    QString lockFile;             // beside the executable; empty: no lock
    Database* database = nullptr; // whose server lock the run takes as well
    std::chrono::milliseconds lockWait{30000};
    bool testRun = false;
    std::optional<DeleteLimit> maxDelete;
    RunRecord* record = nullptr;
};

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
};

// One synchronisation run: the list file named in `emailliste`, less the
// entries the exception list excepts, against hm_routeaddresses, within the
// domain filter `Domain`. Deletes the rows whose addresses the list lacks,
// inserts the entries the table lacks into their routes, each change written
// to the database at once, and keeps a protocol of them in the pane and, with
// a protocol directory, in the file hmail-YYYYMMDD-HHMMSS.log (a test run's
// ends in "-test.log").
//
// Errors (file, database) end the run where they arise and propagate; the
// Start button and the routes grid are given back and `RA2` is closed on
// every way out. A run that fails after its protocol header leaves the record
// hmail-YYYYMMDD-HHMMSS-fehler.log instead of its protocol file.
void runSynchronisation(SyncContext& context);

// The protocol file's name for a date read and a time read after it:
// "hmail-YYYYMMDD-HHMMSS.log".
QString protocolFileName(const QDate& date, const QTime& time);
