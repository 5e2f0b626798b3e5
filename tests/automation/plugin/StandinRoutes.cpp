#include "StandinRoutes.h"

StandinRoutes::StandinRoutes(std::shared_ptr<const StandinConfig> config)
    : StandinObject(std::move(config), QStringLiteral("routes")) {}

void StandinRoutes::refresh() {
    enter(QStringLiteral("refresh"), QStringLiteral("refresh"));
}
