#pragma once

#include <QString>
#include <QStringList>

// A connection string with the key's value replaced (or added), for the
// databases the tests and the benchmark make on their servers.
inline QString withConnectionKey(const QString& connectionString, const QString& key,
                                 const QString& value) {
    QStringList parts;
    bool replaced = false;
    for (const QString& part : connectionString.split(u';', Qt::SkipEmptyParts)) {
        if (part.section(u'=', 0, 0).trimmed().compare(key, Qt::CaseInsensitive) == 0) {
            parts.append(key + u'=' + value);
            replaced = true;
        } else {
            parts.append(part);
        }
    }
    if (!replaced) {
        parts.append(key + u'=' + value);
    }
    return parts.join(u';');
}
