#pragma once

#include <QChar>
#include <QStringView>

// The blanks that configuration values and connection strings may carry
// around their keys and values: spaces and tabs.
namespace Blanks {
inline bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}
// The text without blanks at either end.
QStringView trimmed(QStringView text);
} // namespace Blanks
