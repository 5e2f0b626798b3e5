#pragma once

#include "StandinObject.h"

// The settings object; its route collection is a property.
class StandinSettings : public StandinObject {
    Q_OBJECT
    Q_PROPERTY(QObject* routes READ routes)

public:
    explicit StandinSettings(std::shared_ptr<const StandinConfig> config);

    // A new route collection, owned by the caller.
    QObject* routes();
};
