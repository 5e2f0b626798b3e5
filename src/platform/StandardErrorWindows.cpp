#include "platform/StandardError.h"

#include "platform/Ansi.h"
#include "platform/OneLine.h"

#include <cstdio>

#include <windows.h>

// A console shows its own code page (850 in a German one), not the program's
// ANSI one: text for a console goes to it as Unicode. Redirected to a file or
// a pipe, the line is written in the ANSI code page with the log's own
// conversion: a letter the page lacks becomes '?', never the system's
// look-alike ("Ł" as "L"), which would name another file.
void StandardError::writeLine(const QString& message) {
    const QString text = OneLine::forLog(message);
    const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        const std::wstring line = (text + QStringLiteral("\r\n")).toStdWString();
        DWORD written = 0;
        WriteConsoleW(handle, line.c_str(), DWORD(line.size()), &written, nullptr);
        return;
    }
    std::fprintf(stderr, "%s\n", Ansi::encode(text).constData());
    std::fflush(stderr);
}
