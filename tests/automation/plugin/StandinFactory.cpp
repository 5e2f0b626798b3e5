#include "StandinFactory.h"

#include "StandinApplication.h"

QObject* StandinFactory::create(const QString& progId) {
    if (progId != QLatin1String("hMailServer.Application")) {
        return nullptr;
    }
    auto config = std::make_shared<const StandinConfig>(StandinConfig::fromEnvironment());
    const QString missing = config->missingMember;
    if (missing == QLatin1String("authenticate")) {
        return new StandinObject(config, QStringLiteral("application"));
    }
    if (missing == QLatin1String("settings")) {
        return new StandinLogin(config);
    }
    return new StandinApplication(config);
}
