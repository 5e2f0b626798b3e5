#include "automation/SystemMessage.h"

#include <windows.h>

namespace {

QString formatted(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    QString text;
    if (length != 0 && buffer != nullptr) {
        text = QString::fromWCharArray(buffer, static_cast<qsizetype>(length));
    }
    ::LocalFree(buffer);
    return text;
}

} // namespace

QString SystemMessage::text(quint32 code) {
    QString text = formatted(code);
    // A Windows error carried as a COM code: the system may know only the
    // Windows error itself.
    if (text.isEmpty() && HRESULT_FACILITY(code) == FACILITY_WIN32) {
        text = formatted(HRESULT_CODE(code));
    }
    return text;
}
