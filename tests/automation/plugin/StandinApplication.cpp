#include "StandinApplication.h"

#include "StandinSettings.h"

QObject* StandinApplication::settings() {
    if (enter(QStringLiteral("settings"), QStringLiteral("settings"))) {
        return nullptr;
    }
    if (config().missingMember == QLatin1String("routes")) {
        return new StandinObject(sharedConfig(), QStringLiteral("settings"));
    }
    return new StandinSettings(sharedConfig());
}
