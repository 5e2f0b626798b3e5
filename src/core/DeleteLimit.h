#pragma once

#include <QString>
#include <QtGlobal>

// The scheduler's guard against a broken export ("/maxdelete:N" or
// "/maxdelete:P%"): a half-written or empty list would otherwise delete every
// address of the domain. P is a share of the table's rows within the domain
// filter.
struct DeleteLimit {
    qint64 value = 0;
    bool percent = false;
    QString written; // as after the switch, "250" or "05%"

    // "250" or "5%"; raises a German error for anything else.
    static DeleteLimit parse(const QString& text);
    // Whether deleting `wouldDelete` of the `rowsInFilter` rows goes beyond it.
    bool exceededBy(qint64 wouldDelete, qint64 rowsInFilter) const;
    // The error that ends the run before the first deletion; `domain` is the
    // run's filter, "*" for every route.
    QString refusal(qint64 wouldDelete, qint64 rowsInFilter, const QString& domain) const;
};
