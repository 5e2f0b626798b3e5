#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <thread>
#include <vector>

class EntryIndex;
class RouteAddressRows;

// Which rows of `RA2` the entries of `Liste` name (the case of A to Z
// ignored), and which entries the table holds. The rows as read are looked up
// in table order on a helper thread, just ahead of the delete pass that asks
// for them; without a thread to spare, all of them at the start.
class ListCoverage {
public:
    // No row may be appended, and no entry changed, until finish().
    ListCoverage(const EntryIndex& entries, const RouteAddressRows& rows);
    ~ListCoverage();
    ListCoverage(const ListCoverage&) = delete;
    ListCoverage& operator=(const ListCoverage&) = delete;

    // Starts the lookups; then runs on the helper once every row has been
    // looked up.
    void start(std::function<void()> then);
    // Whether an entry names the row, one of those there at the start; waits
    // until the row has been looked up.
    bool names(int row) {
        if (row >= m_seen) {
            waitFor(row);
        }
        return m_named[size_t(row)] != 0;
    }
    // Waits until every row has been looked up; raises what the lookups
    // raised.
    void finish();

    // After finish(): the entries that no row named, in list order.
    const std::vector<int>& unnamed() const { return m_unnamed; }
    // After finish(): whether the table holds an address equal to the entry,
    // and that it now does.
    bool holds(int entry) const;
    void hold(int entry);

private:
    void lookUp();
    void waitFor(int row);

    const EntryIndex& m_entries;
    const RouteAddressRows& m_rows;
    const int m_count;
    // Written by the helper: a row's flag before m_done passes it, the
    // entries' before the helper ends.
    std::vector<char> m_named;
    std::vector<char> m_held; // at the first of equal entries
    std::vector<int> m_unnamed;
    std::function<void()> m_then;
    std::atomic<int> m_done{0};
    std::atomic<bool> m_failed{false};
    std::exception_ptr m_failure; // read once the helper has ended
    int m_seen = 0;               // rows known to be looked up, on the asking thread
    std::thread m_helper;
};
