#pragma once

#include "automation/LateBoundTarget.h"

#include <QString>

#include <memory>

// The automation classes that the operating system itself registers by
// ProgID. On Windows COM's: the class ID looked up from the ProgID, an
// instance from an in-process or a local server, called through IDispatch
// (SystemClassesWindows.cpp). Elsewhere there are none
// (SystemClassesPosix.cpp).
namespace SystemClasses {

// A new object of the class the system registers as progId; null when the
// system registers no class of that name. A class that is registered but
// yields no object raises TarveloError with the system text for the code.
std::unique_ptr<LateBoundTarget> create(const QString& progId);

} // namespace SystemClasses
