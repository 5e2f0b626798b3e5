#include "core/ListCoverage.h"

#include "core/EntryIndex.h"
#include "db/RouteAddressRows.h"

#include <QAnyStringView>

#include <algorithm>
#include <system_error>

ListCoverage::ListCoverage(const EntryIndex& entries, const RouteAddressRows& rows)
    : m_entries(entries), m_rows(rows), m_count(rows.size()), m_named(size_t(m_count)),
      m_held(size_t(entries.size())) {}

ListCoverage::~ListCoverage() {
    // The helper reads the rows and entries: it ends before they do.
    if (m_helper.joinable()) {
        m_helper.join();
    }
}

void ListCoverage::start(std::function<void()> then) {
    m_then = std::move(then);
    try {
        m_helper = std::thread([this] { lookUp(); });
    } catch (const std::system_error&) {
        lookUp(); // no thread to spare
    }
}

void ListCoverage::lookUp() {
    // Some hundred rows at a time: the delete pass follows closely, and the
    // lookups of a batch overlap their waits for memory.
    constexpr int kStep = 512;
    QAnyStringView texts[kStep];
    int found[kStep];
    try {
        for (int from = 0; from < m_count; from += kStep) {
            const int n = std::min(kStep, m_count - from);
            for (int i = 0; i < n; ++i) {
                texts[i] = m_rows.addressView(from + i);
            }
            m_entries.find(texts, size_t(n), found);
            for (int i = 0; i < n; ++i) {
                if (found[i] >= 0) {
                    m_named[size_t(from + i)] = 1;
                    m_held[size_t(found[i])] = 1;
                }
            }
            m_done.store(from + n, std::memory_order_release);
            m_done.notify_all();
        }
        // While the delete pass still runs: the insert pass starts with them.
        for (int i = 0; i < m_entries.size(); ++i) {
            if (!holds(i)) {
                m_unnamed.push_back(i);
            }
        }
        if (m_then) {
            m_then();
        }
    } catch (...) {
        // Raised on the asking thread; it must not wait for ever.
        m_failure = std::current_exception();
        m_failed.store(true, std::memory_order_release);
        m_done.store(m_count, std::memory_order_release);
        m_done.notify_all();
    }
}

void ListCoverage::waitFor(int row) {
    int done = m_done.load(std::memory_order_acquire);
    while (done <= row) {
        m_done.wait(done, std::memory_order_acquire);
        done = m_done.load(std::memory_order_acquire);
    }
    if (m_failed.load(std::memory_order_acquire)) {
        finish();
    }
    m_seen = done;
}

void ListCoverage::finish() {
    if (m_helper.joinable()) {
        m_helper.join();
    }
    m_seen = m_count;
    if (m_failure) {
        std::rethrow_exception(m_failure);
    }
}

bool ListCoverage::holds(int entry) const {
    return m_held[size_t(m_entries.firstOf(entry))] != 0;
}

void ListCoverage::hold(int entry) {
    m_held[size_t(m_entries.firstOf(entry))] = 1;
}
