#pragma once

#include "platform/Clock.h"

// A clock that stands still until it is set; for tests.
class ManualClock : public Clock {
public:
    explicit ManualClock(QDateTime now) : m_now(std::move(now)) {}
    QDateTime now() const override { return m_now; }
    void set(QDateTime now) { m_now = std::move(now); }

private:
    QDateTime m_now;
};
