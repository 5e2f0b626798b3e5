#include "platform/FileOwner.h"

#include <QFile>
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
