#include "StandinLogin.h"

StandinLogin::StandinLogin(std::shared_ptr<const StandinConfig> config)
    : StandinObject(std::move(config), QStringLiteral("application")) {}

void StandinLogin::authenticate(const QString& user, QString& password) {
    if (enter(QStringLiteral("authenticate"),
              QStringLiteral("authenticate %1 %2").arg(user, password))) {
        return;
    }
    if (config().changesPassword) {
        password = config().passwordOut;
    }
}
