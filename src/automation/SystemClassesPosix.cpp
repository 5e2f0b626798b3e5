#include "automation/SystemClasses.h"

std::unique_ptr<LateBoundTarget> SystemClasses::create(const QString&) {
    return nullptr;
}
