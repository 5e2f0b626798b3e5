#pragma once

#include <QDateTime>
#include <QString>

namespace DosDateTime {
// Packs a local date and time: date in the high 16 bits (year-1980, month,
// day), time in the low 16 bits (hour, minute, seconds/2).
qint32 pack(const QDateTime& local);
// The last-write time of a file in that form; -1 when the name is empty, the
// file does not exist or it is a directory.
qint64 ofFile(const QString& path);
} // namespace DosDateTime
