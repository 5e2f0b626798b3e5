#include "platform/ScreenPlatforms.h"

#include <QStringList>

QByteArrayList ScreenPlatforms::available() {
    QByteArrayList platforms;
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) {
        platforms.append("xcb");
    }
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        platforms.append("wayland");
    }
    return platforms;
}

// A platform named here may bring a screen of its own (a frame buffer).
bool ScreenPlatforms::hidden() {
    return false;
}

QString ScreenPlatforms::description() {
    QStringList displays;
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        if (!qEnvironmentVariableIsEmpty(variable)) {
            displays.append(QString::fromLatin1(variable) + u'=' + qEnvironmentVariable(variable));
        }
    }
    return displays.isEmpty() ? QStringLiteral("kein DISPLAY gesetzt") : displays.join(u", ");
}

QString ScreenPlatforms::textViewerSetting() {
    return QStringLiteral("Paket xdg-utils");
}
