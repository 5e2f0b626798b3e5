#include "platform/FileOwner.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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

void FileOwner::takeFolders(int fd, const QString& path) {
    struct stat folder {};
    if (::geteuid() != 0 ||
        ::stat(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), &folder) != 0 ||
        folder.st_uid == 0) {
        return;
    }
    [[maybe_unused]] const int given = ::fchown(fd, folder.st_uid, folder.st_gid);
}
