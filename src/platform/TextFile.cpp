#include "platform/TextFile.h"

#include "platform/Ansi.h"
#include "platform/TarveloError.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

QStringList TextFile::splitLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            lines.append(text.mid(start, i - start));
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') {
                ++i;
            }
            start = i + 1;
        }
    }
    if (start < n) {
        lines.append(text.mid(start));
    }
    return lines;
}

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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw TarveloError(QStringLiteral("Datei %1 kann nicht geöffnet werden").arg(path));
    }
    errno = 0;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        // A part of the file is no list: callers would take the missing
        // lines for removed ones.
        throw IoError::fromErrno(errno != 0 ? errno : EIO);
    }
    return splitLines(Ansi::decode(bytes));
}

void TextFile::replaceLines(const QString& path, const QStringList& lines) {
    QSaveFile file(path);
    const QByteArray bytes = joinLines(lines);
    // flush() before commit(): commit() does not look at a failed flush of the
    // buffered tail and would put a truncated file in place of the old one.
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush() ||
        !file.commit()) {
        throw TarveloError(QStringLiteral("Datei %1 kann nicht erstellt werden").arg(path));
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
