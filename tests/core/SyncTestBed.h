#pragma once

#include "ManualClock.h"
#include "MemoryWindowState.h"
#include "core/ActivityLog.h"
#include "core/SyncRun.h"
#include "core/WindowState.h"
#include "core/WorkingList.h"
#include "db/AddressDataset.h"
#include "db/Database.h"
#include "db/RouteAddressDataset.h"
#include "db/RoutesDataset.h"
#include "platform/Clock.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

struct SeedRoute {
    int id;
    QString name;
};
using TableRow = QPair<qint64, QString>; // routeaddressrouteid, routeaddressaddress

// Fills hm_routes (with the given ids) and hm_routeaddresses (ids given by the
// database, in the given order) in one transaction, emptying both first.
void seedTables(Database& database, const QList<SeedRoute>& routes, const QList<TableRow>& rows);
// hm_routeaddresses in routeaddressid order, read through database.
QList<TableRow> tableRows(Database& database);
// Runs one statement through database; raises std::runtime_error.
void execOn(Database& database, const QString& sql);

// A window state that also records every change of the Start button and,
// in runHistory, what the run tells the window: "begonnen", "arbeitet" (once
// for calls in a row), "Start aus", "Start an", "beendet".
class RecordingWindowState : public MemoryWindowState {
public:
    void setSyncEnabled(bool enabled) override {
        buttonHistory.append(enabled);
        runHistory.append(enabled ? QStringLiteral("Start an") : QStringLiteral("Start aus"));
        MemoryWindowState::setSyncEnabled(enabled);
    }
    void runStarted() override { runHistory.append(QStringLiteral("begonnen")); }
    void runWorking() override {
        ++workingCalls;
        if (runHistory.isEmpty() || runHistory.constLast() != QStringLiteral("arbeitet")) {
            runHistory.append(QStringLiteral("arbeitet"));
        }
        breathe();
    }
    void runWaiting() override { breathe(); }
    // What the window does at each breath, as a real one takes in the input
    // made since the last.
    std::function<void()> onBreath;
    void runEnded() override { runHistory.append(QStringLiteral("beendet")); }
    // Asks for a stop once the run has asked this often (-1: never).
    bool stopRequested() const override { return stopAfter >= 0 && ++stopQuestions >= stopAfter; }
    int stopAfter = -1;
    mutable int stopQuestions = 0;
    QList<bool> buttonHistory;
    QStringList runHistory;
    int workingCalls = 0;

private:
    void breathe() {
        if (onBreath) {
            onBreath();
        }
    }
};

QByteArray fileBytes(const QString& path);

// A scratch directory in memory where the system has one (/dev/shm): the runs
// replace files atomically, and each replacement waits for the disk otherwise.
QString scratchTemplate();

// One installation for synchronisation runs: a scratch directory with an
// SQLite database (or the database of a given connection string), the log
// file, the exception file, the address list file and the protocol directory,
// the datasets and the window state.
class SyncTestBed {
public:
    // Without a connection string: a fresh SQLite file in the scratch directory.
    explicit SyncTestBed(const QString& connectionString = QString());
    ~SyncTestBed();

    // Replaces both tables and reopens routes.
    void seed(const QList<SeedRoute>& routes, const QList<TableRow>& rows);
    void writeList(const QStringList& lines);
    void writeExceptions(const QStringList& lines);

    SyncContext context();
    void run();
    // Whether the routes grid follows the current row, as between runs: a
    // move past the last route and back is told both times. The current row
    // stays where it was.
    bool routesGridFollows();
    QList<TableRow> rows() { return tableRows(database); }
    // The address grid's rows, as the window reads them from the model.
    QStringList shownAddresses() const;
    QStringList logFileLines() const;

    QTemporaryDir dir{scratchTemplate()};
    QString connection;
    QString logFile;
    QString exceptionFile;
    QString listFile;
    QString protocolDir; // with its trailing separator
    Database database;
    RoutesDataset routes;
    RouteAddressDataset RA2;
    AddressDataset Address;
    RecordingWindowState window;
    ManualClock clock;
    ActivityLog log;
    WorkingList Liste;
    QString ProtokollDir;
};
