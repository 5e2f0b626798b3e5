#pragma once

#include <QStringView>
#include <QtGlobal>

#include <optional>

// The whole number a switch carries ("/batch:1000", "/maxdelete:250"):
// decimal digits only, leading zeros counting for nothing. A sign, a blank or
// a number too large for 64 bits gives nothing, so that it is refused rather
// than wrapped or read in part.
std::optional<qint64> switchNumber(QStringView digits);
