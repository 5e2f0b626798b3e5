#include "platform/StandardError.h"

#include <cstdio>

void StandardError::writeLine(const QString& text) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}
