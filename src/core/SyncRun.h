#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>

#include <functional>

class ActivityLog;
class Clock;
class RouteAddressDataset;
class RoutesDataset;
class WindowState;
class WorkingList;

// What the synchronisation run works on: the window's fields and controls,
// the log, the hidden list `Liste`, the datasets `routes` and `RA2`, the
// exception file, the protocol directory prefix, the clock for the protocol
// file's name, and the reload of the address grid.
struct SyncContext {
    WindowState& window;
    ActivityLog& log;
    WorkingList& Liste;
    RoutesDataset& routes;
    RouteAddressDataset& RA2;
    QString exceptionFile;
    QString ProtokollDir;
    const Clock& clock;
    std::function<void()> RoutenCellClick;
};

// One synchronisation run: the list file named in `emailliste`, less the
// entries the exception list excepts, against hm_routeaddresses, within the
// domain filter `Domain`. Deletes the rows whose addresses the list lacks,
// inserts the entries the table lacks into their routes, each change written
// to the database at once, and keeps a protocol of them in the pane and, with
// a protocol directory, in the file hmail-YYYYMMDD-HHMMSS.log.
//
// Errors (file, database) end the run where they arise and propagate; the
// Start button and the routes grid are given back and `RA2` is closed on
// every way out.
void btsyncClick(SyncContext& context);

// The protocol file's name for a date read and a time read after it:
// "hmail-YYYYMMDD-HHMMSS.log".
QString protocolFileName(const QDate& date, const QTime& time);
