#include "platform/StandardError.h"

#include "platform/OneLine.h"

#include <cstdio>

void StandardError::writeLine(const QString& text) {
    std::fprintf(stderr, "%s\n", OneLine::forLog(text).toLocal8Bit().constData());
    std::fflush(stderr);
}
