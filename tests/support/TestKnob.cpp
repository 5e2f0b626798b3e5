#include "TestKnob.h"

#include <QString>

std::chrono::milliseconds TestKnob::milliseconds(const char* variable,
                                                 std::chrono::milliseconds normal) {
    bool ok = false;
    const qint64 value = qEnvironmentVariable(variable).toLongLong(&ok);
    return ok && value > 0 ? std::chrono::milliseconds(value) : normal;
}
