#include "StandinSettings.h"

#include "StandinRoutes.h"

StandinSettings::StandinSettings(std::shared_ptr<const StandinConfig> config)
    : StandinObject(std::move(config), QStringLiteral("settings")) {}

QObject* StandinSettings::routes() {
    if (enter(QStringLiteral("routes"), QStringLiteral("routes"))) {
        return nullptr;
    }
    if (config().missingMember == QLatin1String("refresh")) {
        return new StandinObject(sharedConfig(), QStringLiteral("routes"));
    }
    return new StandinRoutes(sharedConfig());
}
