#pragma once

#include <QString>
#include <QStringList>

// The program's arguments as the system hands them on, its own name left out.
namespace ProgramArguments {
// On Windows taken from the command line as it was written, elsewhere as the
// shell handed them on to main().
QStringList current(int argc, char* argv[]);
// A whole command line, the program's own name first, split as scheduled
// tasks on Windows have always had it split: blanks and control characters
// separate, a double quote opens or closes text that keeps its blanks and is
// dropped. A backslash is a character like any other, so a folder ending in
// one before a quote ("/file:"C:\Export\"liste.txt") stays a folder.
QStringList split(const QString& commandLine);
} // namespace ProgramArguments
