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

} // namespace

QByteArrayList ScreenPlatforms::available() {
    if (windowStationVisible()) {
        return {"windows"};
    }
    return {};
}

QString ScreenPlatforms::description() {
    return windowStationVisible() ? QStringLiteral("sichtbare Fensterstation")
                                  : QStringLiteral("keine sichtbare Fensterstation");
}
