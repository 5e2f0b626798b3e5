#include "platform/FileLock.h"

#include "platform/FileOwner.h"
#include "platform/TarveloError.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

FileLock::~FileLock() {
    close();
}

void FileLock::open(const QString& path) {
    close();
    const int fd = FileOwner::openOrCreate(path, O_RDWR | O_CLOEXEC | O_NOFOLLOW, 0600);
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
