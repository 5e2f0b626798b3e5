#pragma once

#include <QString>

#include <ostream>

// Lets GoogleTest print a QString as text instead of its bytes.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
