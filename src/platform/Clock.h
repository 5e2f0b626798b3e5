#pragma once

#include <QDateTime>

// The source of the current local date and time, replaceable in tests.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    static const Clock& system();
};

// A clock that stands still until it is set; for tests and the benchmark.
class ManualClock : public Clock {
public:
    explicit ManualClock(QDateTime now) : m_now(std::move(now)) {}
    QDateTime now() const override { return m_now; }
    void set(QDateTime now) { m_now = std::move(now); }

private:
    QDateTime m_now;
};
