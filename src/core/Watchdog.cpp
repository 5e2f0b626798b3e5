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
    const auto tick = std::min(m_limit / 4, std::chrono::milliseconds(1000));
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        m_wake.wait_for(lock, std::max(tick, std::chrono::milliseconds(10)));
        if (m_stopping) {
            return;
        }
        const qint64 idle = Progress::now() - Progress::lastNote();
        if (idle >= m_limit.count()) {
            lock.unlock();
            m_onStall(
                std::chrono::duration_cast<std::chrono::seconds>(std::chrono::milliseconds(idle)));
            return;
        }
    }
}
