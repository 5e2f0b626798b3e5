#pragma once

#include <QString>

// A line of the program's own on standard error, at once: the unattended
// run's errors, for the scheduler and whoever started it in a console.
namespace StandardError {
void writeLine(const QString& text);
} // namespace StandardError
