#include "platform/StopSignals.h"

StopSignals::StopSignals() = default;

StopSignals::~StopSignals() = default;

QString StopSignals::received() {
    return QString();
}

QString StopSignals::toTell() {
    return QString();
}

void StopSignals::endIfReceived() {}
