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
// A whole command line, the program's own name first, split as scheduled
// tasks on Windows have always had it split: blanks and control characters
// separate, a double quote opens or closes text that keeps its blanks and is
// dropped. A backslash is a character like any other, so a folder ending in
// one before a quote ("/file:"C:\Export\"liste.txt") stays a folder.
QStringList split(const QString& commandLine);
// The program's arguments, its own name left out: on Windows taken from the
// command line as it was written, elsewhere as the shell handed them on.
QStringList programArguments();
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
