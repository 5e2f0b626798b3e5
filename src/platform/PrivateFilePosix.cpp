#include "platform/PrivateFile.h"

#include "platform/FileOwner.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

// The program's folder may belong to root while the configuration in it
// belongs to the user who runs the window: no new file can be made beside
// it, but the file itself may be written, as Windows' profile functions do.
// It is written over without being emptied first; when that fails half-way
// (a full disk), the old bytes are put back.
bool replaceInPlace(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    // Unbuffered: a write that fails must fail here, not in a later flush
    // that would put its bytes where the old ones go back.
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        return false;
    }
    const QByteArray before = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return false;
    }
    if (file.seek(0) && file.write(bytes) == bytes.size() && file.resize(bytes.size())) {
        return true;
    }
    file.seek(0);
    file.write(before);
    file.resize(before.size());
    return false;
}

} // namespace

bool PrivateFile::replace(const QString& path, const QByteArray& bytes, bool existed) {
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly);
    if (!ok) {
        const QFileInfo target(QFileInfo(path).canonicalFilePath());
        if (existed && target.isFile() && target.isWritable() &&
            !QFileInfo(target.path()).isWritable()) {
            return replaceInPlace(target.filePath(), bytes);
        }
        return false;
    }
    if (!existed) {
        ok = file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    if (ok && existed) {
        FileOwner::keep(path, file);
    }
    // A failed final flush (a full disk) must fail the write: commit() alone
    // would put the short file in place of the configuration.
    return ok && file.write(bytes) == bytes.size() && file.flush() && file.commit();
}
