#include "core/SwitchNumber.h"

#include <QString>

std::optional<qint64> switchNumber(QStringView digits) {
    if (digits.isEmpty()) {
        return std::nullopt;
    }
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
    }
    bool ok = false;
    const qint64 number = digits.toString().toLongLong(&ok);
    return ok ? std::optional<qint64>(number) : std::nullopt;
}
