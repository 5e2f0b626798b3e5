#include "platform/StopSignals.h"

StopSignals::StopSignals() = default;

StopSignals::~StopSignals() = default;

QString StopSignals::received() {
    return QString();
}

void StopSignals::endIfReceived() {}
