#include "core/Watchdog.h"

#include "platform/Progress.h"

#include <algorithm>

std::chrono::milliseconds Watchdog::defaultLimit() {
    return std::chrono::seconds(120);
}

Watchdog::Watchdog(std::chrono::milliseconds limit, Handler onStall)
    : m_limit(limit), m_onStall(std::move(onStall)) {
    Progress::note(); // the watch starts now
    m_thread = std::thread([this] { watch(); });
}

Watchdog::~Watchdog() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void Watchdog::watch() {
    const auto tick = std::max(std::min(m_limit / 4, std::chrono::milliseconds(1000)),
                               std::chrono::milliseconds(10));
    std::unique_lock lock(m_mutex);
    qint64 lastLook = Progress::now();
    while (!m_stopping) {
        m_wake.wait_for(lock, tick);
        if (m_stopping) {
            return;
        }
        // Woken far later than asked: the whole process was held (Ctrl+Z,
        // SIGSTOP, a paused machine), the run with it. That time is no stall.
        const qint64 now = Progress::now();
        if (now - lastLook >= 2 * tick.count() + 1000) {
            Progress::note();
        }
        lastLook = now;
        const qint64 idle = now - Progress::lastNote();
        if (idle >= m_limit.count()) {
            lock.unlock();
            m_onStall(
                std::chrono::duration_cast<std::chrono::seconds>(std::chrono::milliseconds(idle)));
            return;
        }
    }
}
