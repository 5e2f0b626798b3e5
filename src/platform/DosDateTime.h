#pragma once

#include <QDateTime>
#include <QString>

namespace DosDateTime {
// Packs a local date and time: date in the high 16 bits (year-1980, month,
// day), time in the low 16 bits (hour, minute, seconds/2). A signed value:
// negative from 2044 on.
qint32 pack(const QDateTime& local);
// The last-write time of a file in that form; -1 when the name is empty, the
// file does not exist, it is a directory or its time lies outside 1980 to
// 2107, which the form cannot hold.
qint64 ofFile(const QString& path);
} // namespace DosDateTime
