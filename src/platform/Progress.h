#pragma once

#include <QtGlobal>

// The moment the program last made progress: a statement or a file operation
// returned. Read by the watchdog of an unattended run from its own thread.
namespace Progress {
// Notes the present moment; cheap enough for every statement.
void note();
// Milliseconds of the monotonic clock at the last note (0 before any).
qint64 lastNote();
// The monotonic clock's present, in the same unit.
qint64 now();
} // namespace Progress
