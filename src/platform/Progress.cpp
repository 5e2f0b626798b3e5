#include "platform/Progress.h"

#include <atomic>
#include <chrono>

namespace {
std::atomic<qint64> lastProgress{0};
}

qint64 Progress::now() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void Progress::note() {
    lastProgress.store(now(), std::memory_order_relaxed);
}

qint64 Progress::lastNote() {
    return lastProgress.load(std::memory_order_relaxed);
}
