#pragma once

#include <QDateTime>

// The source of the current local date and time, replaceable in tests.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    static const Clock& system();
};
