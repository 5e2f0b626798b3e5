#pragma once

#include "platform/FileLock.h"

#include <QString>

#include <chrono>
#include <functional>
#include <memory>

class Database;

// One synchronisation run at a time. Two runs at once would both find the
// same addresses missing and insert each of them twice, for good. The lock is
// a file beside the executable, held with the system's file lock (let go
// of when the process ends, however it ends), and, where the database server
// offers one, the server's own advisory lock, so that runs from two machines
// against one database exclude each other too.
class RunLock {
public:
    // Waits at most `wait` for both; then raises a German error that says a
    // run is already under way. Nothing has been changed at that point.
    // While it waits, `waiting` is called between tries (the window breathes);
    // when it answers false (Escape in the window) the wait is given up with
    // the same kind of error at once.
    RunLock(const QString& lockFile, Database& database, std::chrono::milliseconds wait,
            std::function<bool()> waiting = {});
    ~RunLock();
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    // How long a run waits for the lock: 30 seconds.
    static std::chrono::milliseconds defaultWait();

    // Held while a change made by hand in a grid is stored. A run under way
    // meanwhile (from the scheduler, another window, another machine) has
    // its plan made: it would insert a hand-made address a second time, or
    // into a route deleted meanwhile. So the change waits for nothing: while
    // a run holds the lock it is refused at once with a German error. Where
    // the lock file cannot be made, no run of this installation can be
    // under way either: the server's lock alone is asked.
    static std::unique_ptr<RunLock> forGridChange(const QString& lockFile, Database& database);

private:
    struct GridChange {};
    RunLock(const QString& lockFile, Database& database, GridChange);
    void takeFileLock(const QString& path, qint64 deadline);
    void lockServer(qint64 deadline);
    void unlockServer() noexcept;
    // One pause between two tries at `what`.
    void pause(const QString& what);

    Database& m_database;
    std::chrono::milliseconds m_wait;
    std::function<bool()> m_waiting;
    FileLock m_file;
    bool m_serverLocked = false;
};
