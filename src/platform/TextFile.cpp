#include "platform/TextFile.h"

#include "platform/Ansi.h"
#include "platform/ImportedText.h"
#include "platform/TarveloError.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TarveloError cannotOpen(const QString& path) {
    return TarveloError(QStringLiteral("Datei %1 kann nicht geöffnet werden").arg(path));
}

TarveloError cannotCreate(const QString& path) {
    return TarveloError(QStringLiteral("Datei %1 kann nicht erstellt werden").arg(path));
}

TarveloError tooLarge(const QString& path, qint64 size) {
    return TarveloError(
        QStringLiteral("Datei %1 ist größer als 1 GiB (%2 Bytes) und wird nicht gelesen")
            .arg(path)
            .arg(size));
}

// Closes the descriptor on every way out.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    // Closes now and tells whether the close succeeded.
    bool close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

// All bytes up to the end of the file, at most limit + 1 of them: a file
// that grows while it is read is caught by the caller's size check.
QByteArray readUpTo(int fd, qint64 expected, qint64 limit) {
    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(expected));
    constexpr qsizetype kChunk = 1 << 16;
    for (;;) {
        const qsizetype at = bytes.size();
        const qsizetype want = static_cast<qsizetype>(std::min<qint64>(kChunk, limit + 1 - at));
        if (want <= 0) {
            return bytes;
        }
        bytes.resize(at + want);
        const ssize_t n = ::read(fd, bytes.data() + at, static_cast<size_t>(want));
        if (n < 0) {
            if (errno == EINTR) {
                bytes.resize(at);
                continue;
            }
            // A part of the file is no list: callers would take the missing
            // lines for removed ones.
            throw IoError::fromErrno(errno);
        }
        bytes.resize(at + n);
        if (n == 0) {
            return bytes;
        }
    }
}

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

} // namespace

QByteArray TextFile::joinLines(const QStringList& lines) {
    qsizetype total = 0;
    for (const QString& line : lines) {
        total += line.size() + 2;
    }
    QByteArray bytes;
    bytes.reserve(total);
    for (const QString& line : lines) {
        bytes += Ansi::encode(line);
        bytes += "\r\n";
    }
    return bytes;
}

QStringList TextFile::readLines(const QString& path) {
    // Without O_NONBLOCK, opening a FIFO would wait for a writer for ever;
    // it is refused right after, like every file that is not a regular one
    // (a device such as /dev/zero would never end).
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        throw cannotOpen(path);
    }
    Descriptor file(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        throw cannotOpen(path);
    }
    if (st.st_size > kMaxReadBytes) {
        throw tooLarge(path, st.st_size);
    }
    const QByteArray bytes = readUpTo(fd, st.st_size, kMaxReadBytes);
    if (bytes.size() > kMaxReadBytes) {
        throw tooLarge(path, bytes.size());
    }
    ImportedText::Encoding encoding = ImportedText::Encoding::Windows1252;
    std::optional<QStringList> lines = ImportedText::decodeLines(bytes, &encoding);
    if (!lines) {
        // A damaged export read as something else would lose its addresses.
        const QString name = ImportedText::nameOf(encoding);
        throw TarveloError(
            QStringLiteral("Datei %1 beginnt mit der Kennung für %2, ist aber kein gültiger "
                           "%2-Text")
                .arg(path, name));
    }
    return std::move(*lines);
}

void TextFile::replaceLines(const QString& path, const QStringList& lines) {
    QSaveFile file(path);
    const QByteArray bytes = joinLines(lines);
    // flush() before commit(): commit() does not look at a failed flush of the
    // buffered tail and would put a truncated file in place of the old one.
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush() ||
        !file.commit()) {
        throw cannotCreate(path);
    }
}

void TextFile::replaceLinesNoFollow(const QString& path, const QStringList& lines) {
    const QByteArray bytes = joinLines(lines);
    const QByteArray target = QFile::encodeName(path);
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray dir = slash < 0    ? QByteArray(".")
                           : slash == 0 ? QByteArray("/")
                                        : target.left(slash);
    // Short enough that the temporary name stays a valid one.
    const QByteArray base = target.mid(slash + 1).left(200);

    // A fresh name beside the target, created here and now: O_EXCL refuses
    // anything already there, a link included.
    QByteArray temp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temp = dir + "/." + base + "." +
               QByteArray::number(QRandomGenerator::global()->generate64(), 36) + ".tmp";
        fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        throw cannotCreate(path);
    }
    Descriptor file(fd);
    // A regular file that is replaced keeps its permissions.
    struct stat old {};
    if (::lstat(target.constData(), &old) == 0 && S_ISREG(old.st_mode)) {
        ::fchmod(fd, old.st_mode & 07777);
    }
    const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0 && file.close();
    if (!written || ::rename(temp.constData(), target.constData()) != 0) {
        ::unlink(temp.constData());
        throw cannotCreate(path);
    }
    // The new name on disk as well; a directory that cannot be synced
    // changes nothing about the file.
    const int dirFd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

void TextFile::appendLine(const QString& path, const QString& line) {
    const QByteArray bytes = Ansi::encode(line) + "\r\n";
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        throw IoError::fromErrno(errno);
    }
    const ssize_t written = ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size()));
    const int writeErr = errno;
    if (written > 0 && written < bytes.size()) {
        // Cut short by a full disk or a size limit: the part written is taken
        // back, so the file keeps whole lines only.
        const off_t end = ::lseek(fd, 0, SEEK_CUR);
        if (end >= written) {
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
