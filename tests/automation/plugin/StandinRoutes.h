#pragma once

#include "StandinObject.h"

// The route collection.
class StandinRoutes : public StandinObject {
    Q_OBJECT

public:
    explicit StandinRoutes(std::shared_ptr<const StandinConfig> config);

public slots:
    void refresh();
};
