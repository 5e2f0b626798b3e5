#include "platform/NativeFile.h"

#include "platform/ChunkedRead.h"
#include "platform/Descriptor.h"
#include "platform/FileOwner.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace {

bool writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += n;
    }
    return true;
}

// Opens for writing without waiting: a FIFO nobody reads from (a log
// collector that died) would otherwise hold the run for ever. It fails with
// ENXIO then; once open, writes wait as usual.
// A file it creates goes to the folder's owner where folderOwnsNew.
int openForWriting(const QString& path, int flags, mode_t mode, bool folderOwnsNew = false) {
    const int all = O_WRONLY | O_NONBLOCK | O_CLOEXEC | flags;
    const int fd = folderOwnsNew ? FileOwner::openOrCreate(path, all, mode)
                                 : ::open(QFile::encodeName(path).constData(), all, mode);
    if (fd >= 0) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    }
    return fd;
}

// Creating a file, ENOENT means a folder on the way is missing, for which
// Windows has a code of its own: "Ungültiger Dateiname", not "Datei nicht
// gefunden" for a file that is yet to be made.
IoError creationError(int err) {
    return err == ENOENT ? IoError::fromCode(3) : IoError::fromErrno(err);
}

// Whether the name is a regular file itself, not a link to one.
bool namesRegularFile(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

// The directory part of a path, "." for a bare name.
QByteArray directoryOf(const QByteArray& target) {
    const qsizetype slash = target.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : target.left(slash);
}

// A fresh hidden name beside the target, created here and now: O_EXCL
// refuses anything already there, a link included. The descriptor, or -1
// when no file can be made there; its name goes to *temp.
int createBeside(const QByteArray& target, QByteArray* temp) {
    // Short enough that the temporary name stays a valid one.
    const QByteArray base = target.mid(target.lastIndexOf('/') + 1).left(200);
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        *temp = directoryOf(target) + "/." + base + "." +
                QByteArray::number(QRandomGenerator::global()->generate64(), 36) + ".tmp";
        fd = ::open(temp->constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    return fd;
}

// Whether a refused read lease means that a program holds the file open for
// writing: so on the local file systems. A network file system (NFS without
// a delegation, SMB without an oplock) refuses it for want of its server's
// leave, whoever writes; there the file is read as before.
bool refusalMeansWriters(int fd) {
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0) {
        return false;
    }
    constexpr unsigned long kZfsMagic = 0x2FC12FC1;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case EXT4_SUPER_MAGIC: // ext2 and ext3 as well
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case F2FS_SUPER_MAGIC:
    case TMPFS_MAGIC:
    case OVERLAYFS_SUPER_MAGIC:
    case kZfsMagic:
        return true;
    default:
        return false;
    }
}

} // namespace

bool NativeFile::namesIgnoreCase() {
    return false;
}

bool NativeFile::isRegular(const QString& path) {
    if (path.isEmpty()) {
        return false;
    }
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

std::optional<QByteArray> NativeFile::readRegular(const QString& path, qint64 limit, qint64* size) {
    // Without O_NONBLOCK, opening a FIFO would wait for a writer for ever;
    // it is refused right after, like every file that is not a regular one
    // (a device such as /dev/zero would never end).
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    Descriptor file(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    if (st.st_size > limit) {
        *size = st.st_size;
        return QByteArray();
    }
    // Nobody may be writing it: an export still being written would be read
    // half, and the addresses of its other half deleted. A read lease is
    // refused while any program holds the file open for writing; one that
    // opens it so while it is read waits until it is closed. The lease's
    // notice to this program comes as SIGURG, which ends nothing (SIGIO
    // would). Where no lease is granted (another user's file), nothing can be
    // told and the file is read as before.
    ::fcntl(fd, F_SETSIG, SIGURG);
    if (::fcntl(fd, F_SETLEASE, F_RDLCK) != 0 && errno == EAGAIN && refusalMeansWriters(fd)) {
        return std::nullopt;
    }
    return readChunked(st.st_size, limit, [fd](char* buffer, qsizetype size) -> qsizetype {
        for (;;) {
            const ssize_t n = ::read(fd, buffer, static_cast<size_t>(size));
            if (n >= 0) {
                return n;
            }
            if (errno != EINTR) {
                throw IoError::fromErrno(errno);
            }
        }
    });
}

bool NativeFile::replaceNoFollow(const QString& path, const QByteArray& bytes,
                                 NewFileAccess access) {
    const QByteArray target = QFile::encodeName(path);
    const QByteArray dir = directoryOf(target);
    QByteArray temp;
    const int fd = createBeside(target, &temp);
    if (fd < 0) {
        return false;
    }
    Descriptor file(fd);
    // A regular file that is replaced keeps its permissions.
    struct stat old {};
    if (::lstat(target.constData(), &old) == 0 && S_ISREG(old.st_mode)) {
        ::fchmod(fd, old.st_mode & 07777);
    } else if (access == NewFileAccess::OwnerOnly && ::fchmod(fd, S_IRUSR | S_IWUSR) != 0) {
        ::unlink(temp.constData());
        return false;
    }
    const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0 && file.close();
    if (!written || ::rename(temp.constData(), target.constData()) != 0) {
        ::unlink(temp.constData());
        return false;
    }
    // The new name on disk as well; a directory that cannot be synced
    // changes nothing about the file.
    const int dirFd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

NativeFile::Claim NativeFile::claimName(const QString& path) {
    const QByteArray target = QFile::encodeName(path);
    const int fd =
        ::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0) {
        ::close(fd);
        return Claim::Made;
    }
    const bool exists = errno == EEXIST;
    struct stat there {};
    return exists || ::lstat(target.constData(), &there) == 0 ? Claim::Taken : Claim::Failed;
}

bool NativeFile::canCreateBeside(const QString& path) {
    const QByteArray target = QFile::encodeName(path);
    // The hidden file's name is cut short; the file's own must fit the folder.
    const qsizetype nameLength = target.size() - target.lastIndexOf('/') - 1;
    const long nameMax = ::pathconf(directoryOf(target).constData(), _PC_NAME_MAX);
    if (nameMax > 0 && nameLength > nameMax) {
        return false;
    }
    QByteArray temp;
    const int fd = createBeside(target, &temp);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    ::unlink(temp.constData());
    return true;
}

void NativeFile::append(const QString& path, const QByteArray& bytes) {
    const int fd = openForWriting(path, O_APPEND | O_CREAT, 0644, true);
    if (fd < 0) {
        throw creationError(errno);
    }
    const ssize_t written = ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size()));
    const int writeErr = errno;
    if (written > 0 && written < bytes.size()) {
        // Cut short by a full disk or a size limit: the part written is taken
        // back, so the file keeps whole lines only; but only while it is the
        // file's end, or another writer's line after it would go too.
        const off_t end = ::lseek(fd, 0, SEEK_CUR);
        struct stat now {};
        if (end >= written && ::fstat(fd, &now) == 0 && now.st_size == end) {
            (void)!::ftruncate(fd, end - written);
        }
    }
    if (::close(fd) != 0 && written >= 0) {
        throw IoError::fromErrno(errno);
    }
    if (written < 0) {
        throw IoError::fromErrno(writeErr);
    }
    if (written != bytes.size()) {
        throw IoError::fromErrno(ENOSPC);
    }
}

NativeFile::Output::Output(const QString& path) : m_path(path) {
    const int fd = openForWriting(path, O_CREAT | O_TRUNC, 0666);
    if (fd < 0) {
        throw creationError(errno);
    }
    m_handle = fd;
    struct stat info {};
    m_regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

NativeFile::Output::~Output() {
    // Left without close(): what fed it failed in between (the database, the
    // memory), and the file is incomplete.
    if (m_handle >= 0) {
        ::close(static_cast<int>(m_handle));
        discard();
    }
}

void NativeFile::Output::write(const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written =
            ::write(static_cast<int>(m_handle), data, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail(IoError::fromErrno(errno));
        }
        if (written == 0) {
            fail(IoError::fromErrno(ENOSPC));
        }
        data += written;
        left -= written;
    }
}

void NativeFile::Output::close() {
    const int fd = static_cast<int>(m_handle);
    m_handle = -1;
    if (::close(fd) != 0) {
        const int err = errno;
        discard();
        throw IoError::fromErrno(err);
    }
}

void NativeFile::Output::fail(const IoError& error) {
    const int fd = static_cast<int>(m_handle);
    m_handle = -1;
    if (m_regular && !namesRegularFile(m_path)) {
        // A link to the file: the link is the user's and stays, and the file
        // it names keeps nothing of the cut-off export.
        (void)!::ftruncate(fd, 0);
    }
    ::close(fd);
    discard();
    throw error;
}

void NativeFile::Output::discard() {
    if (m_regular && namesRegularFile(m_path)) {
        ::unlink(QFile::encodeName(m_path).constData());
    }
}
