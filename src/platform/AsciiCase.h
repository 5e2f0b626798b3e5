#pragma once

#include <QString>
#include <QStringView>

// The program's one lower-casing rule: only the letters A to Z change.
namespace AsciiCase {
// One UTF-16 unit lower-cased by the rule.
inline char16_t lower(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
}
QString lower(const QString& text);
void lowerInPlace(QString& text);
bool hasUpper(QStringView text);
bool equalIgnoringCase(QStringView a, QStringView b);
} // namespace AsciiCase
