#include "platform/ProgramArguments.h"

#include <windows.h>

// The toolkit splits the command line by the C runtime's rules, where a
// backslash before a quote makes the quote part of the value; a scheduled
// task's line such as /file:"%~dp0"liste.txt relies on the quote just being
// dropped.
QStringList ProgramArguments::current(int, char*[]) {
    return split(QString::fromWCharArray(::GetCommandLineW())).mid(1);
}
