#include "platform/PrivateFile.h"

#include "platform/FileOwner.h"

#include <QSaveFile>

bool PrivateFile::replace(const QString& path, const QByteArray& bytes, bool existed) {
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly);
    if (ok && !existed) {
        ok = file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    if (ok && existed) {
        FileOwner::keep(path, file);
    }
    // A failed final flush (a full disk) must fail the write: commit() alone
    // would put the short file in place of the configuration.
    return ok && file.write(bytes) == bytes.size() && file.flush() && file.commit();
}
