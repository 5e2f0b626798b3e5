#include "platform/StandardError.h"

#include <cstdio>

#include <windows.h>

// A console shows its own code page (850 in a German one), not the program's
// ANSI one: text for a console goes to it as Unicode. Redirected to a file or
// a pipe, the line is written in the ANSI code page, as the log is.
void StandardError::writeLine(const QString& text) {
    const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        const std::wstring line = (text + QStringLiteral("\r\n")).toStdWString();
        DWORD written = 0;
        WriteConsoleW(handle, line.c_str(), DWORD(line.size()), &written, nullptr);
        return;
    }
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}
