#pragma once

#include <QString>

// The synchronisation run through the real main window, on the platform
// without screen: what the window adds to the run's own cost (the protocol
// pane, the breaths that keep it painted while the run works, the address
// grid's reload).
namespace BenchWindow {
// Child: one run through the window on the database of the connection
// string, with the list and the exception file of workDir. Needs a
// QApplication. Prints "RESULT changes seconds peakMB breaths breathSeconds".
int runChild(const QString& connection, const QString& workDir);
} // namespace BenchWindow
