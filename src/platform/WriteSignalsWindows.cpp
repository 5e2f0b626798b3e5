#include "platform/WriteSignals.h"

void WriteSignals::reportInsteadOfEnding() {}
