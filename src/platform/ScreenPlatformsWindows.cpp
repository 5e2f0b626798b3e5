#include "platform/ScreenPlatforms.h"

#include <windows.h>

namespace {

// A task the scheduler runs "whether the user is logged on or not" gets a
// window station of its own that nobody sees.
bool windowStationVisible() {
    USEROBJECTFLAGS flags{};
    const HWINSTA station = ::GetProcessWindowStation();
    return station != nullptr &&
           ::GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr) &&
           (flags.dwFlags & WSF_VISIBLE) != 0;
}

// A visible station whose desktop holds no window (a session without a
// display driver) is no screen either: a message box there would wait for
// a click that can never come.
bool desktopHoldsAWindow() {
    const HWND probe = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                         ::GetModuleHandleW(nullptr), nullptr);
    if (probe == nullptr) {
        return false;
    }
    ::DestroyWindow(probe);
    return true;
}

bool screenUsable() {
    return windowStationVisible() && desktopHoldsAWindow();
}

// Under Wine the system's text drawing leaves the text of edit fields
// unpainted; the toolkit's own rasteriser draws it. Windows itself keeps
// its native text.
bool underWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

} // namespace

QByteArrayList ScreenPlatforms::available() {
    if (screenUsable()) {
        return {underWine() ? "windows:fontengine=freetype" : "windows"};
    }
    return {};
}

bool ScreenPlatforms::hidden() {
    return !screenUsable();
}

bool ScreenPlatforms::startsMinimised() {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    ::GetStartupInfoW(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 &&
           startup.wShowWindow == SW_SHOWMINNOACTIVE;
}

bool ScreenPlatforms::answers(const QByteArray&) {
    return true;
}

QString ScreenPlatforms::description() {
    if (!windowStationVisible()) {
        return QStringLiteral("keine sichtbare Fensterstation");
    }
    return screenUsable() ? QStringLiteral("sichtbare Fensterstation")
                          : QStringLiteral("ein Desktop ohne Fenster");
}

QString ScreenPlatforms::textViewerSetting() {
    return QStringLiteral("Standard-App für .txt in den Windows-Einstellungen");
}
