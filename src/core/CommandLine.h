#pragma once

#include <QString>
#include <QStringList>

// One switch of the command line, as the unattended run reads it.
struct CommandLineSwitch {
    enum Kind { Ignored, DbSync, Refresh, Domain, File, MaxDelete, DryRun, Batch };
    Kind kind = Ignored;
    QString value; // the domain filter ("@" in front), the list path, the limit
};

namespace CommandLine {
constexpr int kMaxValue = 255;
// The parameters of the program's arguments as Windows programs take them:
// control characters separate parameters (a CR that a crontab saved with CR
// LF leaves on its last switch) and double quotes are dropped (a service
// manager that hands them on). Blanks inside an argument stay: the shell
// kept them there on purpose. An empty argument stays a parameter.
QStringList parameters(const QStringList& arguments);
// Recognises a switch in any ASCII case. The list path is lower-cased where
// the file system ignores case (Windows) and kept as written where file names
// are case-sensitive (Linux). An empty "/domain:" is ignored,
// since a filter of "@" alone would hold every address. "/maxdelete:" and
// "/dryrun" are the scheduler's opt-in guards, "/batch:" its opt-in
// transactions.
CommandLineSwitch parse(const QString& parameter);
// The changes per transaction that "/batch:" names, 1 to 100000; raises a
// German error for anything else.
int batchSize(const QString& value);
} // namespace CommandLine
