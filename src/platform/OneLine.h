#pragma once

#include <QString>

// Every log entry and every protocol line is one line of its file: a line
// break, tab or other control character inside a message (a driver's text, a
// path from the command line, an address from the table) must neither break
// the line nor let anybody forge one.
namespace OneLine {
// C0 and C1 controls, DEL, and the Unicode line and paragraph separators.
bool isControl(QChar c);
// The message with each such character replaced by a blank (log lines).
QString forLog(const QString& message);
// The entry with each such character replaced by '?' (protocol lines).
QString forProtocol(const QString& entry);
} // namespace OneLine
