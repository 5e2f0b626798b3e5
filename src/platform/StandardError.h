#pragma once

#include <QString>

// A line of the program's own on standard error, at once: the unattended
// run's errors, for the scheduler and whoever started it in a console. One
// line, as in the log: a driver's message with line breaks would otherwise
// reach a line-by-line reader (the journal) as pieces without their start.
namespace StandardError {
void writeLine(const QString& text);
} // namespace StandardError
