#include "core/DeleteLimit.h"

#include "core/SwitchNumber.h"
#include "platform/TarveloError.h"

DeleteLimit DeleteLimit::parse(const QString& text) {
    DeleteLimit limit;
    limit.written = text;
    QString digits = text;
    if (digits.endsWith(u'%')) {
        limit.percent = true;
        digits.chop(1);
    }
    const std::optional<qint64> number = switchNumber(digits);
    limit.value = number.value_or(0);
    if (!number || (limit.percent && limit.value > 100)) {
        throw TarveloError(QStringLiteral("Ungültiger Wert \"%1\" für /maxdelete: erwartet wird "
                                          "eine Anzahl (z. B. /maxdelete:100) oder ein Anteil von "
                                          "0 bis 100 Prozent (z. B. /maxdelete:5%)")
                               .arg(text));
    }
    return limit;
}

bool DeleteLimit::exceededBy(qint64 wouldDelete, qint64 rowsInFilter) const {
    if (!percent) {
        return wouldDelete > value;
    }
    // wouldDelete / rowsInFilter > value / 100, without rounding.
    return wouldDelete * 100 > value * rowsInFilter;
}

QString DeleteLimit::refusal(qint64 wouldDelete, qint64 rowsInFilter, const QString& domain) const {
    if (!percent) {
        return QStringLiteral("Der Lauf würde %1 %2 löschen, erlaubt sind höchstens %3 "
                              "(/maxdelete:%4). Es wurde nichts geändert")
            .arg(wouldDelete)
            .arg(wouldDelete == 1 ? QStringLiteral("Adresse") : QStringLiteral("Adressen"))
            .arg(value)
            .arg(written);
    }
    return QStringLiteral("Der Lauf würde %1 von %2 Adressen%3 löschen, erlaubt sind "
                          "höchstens %4 % (/maxdelete:%5). Es wurde nichts geändert")
        .arg(wouldDelete)
        .arg(rowsInFilter)
        .arg(domain == QStringLiteral("*") ? QString() : QStringLiteral(" der Domain"))
        .arg(value)
        .arg(written);
}
