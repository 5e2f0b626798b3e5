#include "platform/StandardError.h"

#include <csignal>
#include <cstdio>

void StandardError::writeLine(const QString& text) {
    // A reader of standard error that has gone away must not end the program
    // before the message reaches the log.
    static const auto ignored = std::signal(SIGPIPE, SIG_IGN);
    (void)ignored;
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}
