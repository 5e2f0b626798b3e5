#pragma once

#include <QString>
#include <QStringView>

// The program's one lower-casing rule: only the letters A to Z change.
namespace AsciiCase {
QString lower(const QString& text);
bool hasUpper(QStringView text);
bool equalIgnoringCase(QStringView a, QStringView b);
} // namespace AsciiCase
