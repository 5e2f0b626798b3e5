#include "platform/DosDateTime.h"

#include <QFileInfo>

qint32 DosDateTime::pack(const QDateTime& local) {
    const QDate d = local.date();
    const QTime t = local.time();
    const quint32 date =
        (quint32(d.year() - 1980) << 9) | (quint32(d.month()) << 5) | quint32(d.day());
    const quint32 time =
        (quint32(t.hour()) << 11) | (quint32(t.minute()) << 5) | quint32(t.second() / 2);
    return static_cast<qint32>((date << 16) | time);
}

qint64 DosDateTime::ofFile(const QString& path) {
    if (path.isEmpty()) {
        return -1;
    }
    const QFileInfo info(path);
    if (!info.exists() || info.isDir()) {
        return -1;
    }
    const QDateTime modified = info.lastModified().toLocalTime();
    // Outside the range the format can hold, the value means nothing.
    if (modified.date().year() < 1980 || modified.date().year() > 2107) {
        return -1;
    }
    return pack(modified);
}
