#include "platform/FileOwner.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

void FileOwner::keep(const QString& path, QSaveFile& file) {
    struct stat old {};
    if (::stat(QFile::encodeName(path).constData(), &old) != 0) {
        return;
    }
    const int fd = file.handle();
    if (fd < 0 || ::fchown(fd, old.st_uid, old.st_gid) == 0) {
        return;
    }
    [[maybe_unused]] const int groupOnly = ::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
}

int FileOwner::openOrCreate(const QString& path, int flags, unsigned mode) {
    const QByteArray name = QFile::encodeName(path);
    int fd = ::open(name.constData(), flags | O_CREAT | O_EXCL, mode);
    if (fd < 0) {
        return errno == EEXIST ? ::open(name.constData(), flags | O_CREAT, mode) : -1;
    }
    struct stat folder {};
    if (::geteuid() == 0 &&
        ::stat(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), &folder) == 0 &&
        folder.st_uid != 0) {
        [[maybe_unused]] const int given = ::fchown(fd, folder.st_uid, folder.st_gid);
    }
    return fd;
}
