#include "platform/FileLock.h"

#include "platform/FileOwner.h"
#include "platform/TarveloError.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

FileLock::~FileLock() {
    close();
}

void FileLock::open(const QString& path) {
    close();
    const QByteArray name = QFile::encodeName(path);
    const int flags = O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW;
    int fd = ::open(name.constData(), flags | O_EXCL, 0600);
    if (fd >= 0) {
        FileOwner::takeFolders(fd, path);
    } else if (errno == EEXIST) {
        fd = ::open(name.constData(), flags, 0600);
    }
    if (fd < 0) {
        throw IoError::fromErrno(errno);
    }
    m_handle = fd;
}

bool FileLock::tryLock() {
    if (::flock(static_cast<int>(m_handle), LOCK_EX | LOCK_NB) == 0) {
        return true;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) {
        throw IoError::fromErrno(errno);
    }
    return false;
}

void FileLock::close() {
    if (m_handle >= 0) {
        ::close(static_cast<int>(m_handle)); // releases the flock
        m_handle = -1;
    }
}
