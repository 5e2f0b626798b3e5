#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// An unattended run that has stopped making progress (no statement or file
// operation returned, see Progress) for the limit is ended: nobody is there
// to notice a run that waits for a database server that stopped answering.
// The handler runs on the watchdog's own thread and must end the process.
class Watchdog {
public:
    using Handler = std::function<void(std::chrono::seconds stalledFor)>;
    Watchdog(std::chrono::milliseconds limit, Handler onStall);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // 120 seconds.
    static std::chrono::milliseconds defaultLimit();

private:
    void watch();

    const std::chrono::milliseconds m_limit;
    const Handler m_onStall;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::thread m_thread;
};
