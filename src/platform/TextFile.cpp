#include "platform/TextFile.h"

#include "platform/Ansi.h"
#include "platform/FileOwner.h"
#include "platform/ImportedText.h"
#include "platform/LineBreaks.h"
#include "platform/NativeFile.h"
#include "platform/TarveloError.h"

#include <QSaveFile>

namespace {

TarveloError cannotOpen(const QString& path) {
    return TarveloError(QStringLiteral("Datei %1 kann nicht geöffnet werden").arg(path));
}

TarveloError cannotCreate(const QString& path) {
    return TarveloError(QStringLiteral("Datei %1 kann nicht erstellt werden").arg(path));
}

TarveloError tooLarge(const QString& path, qint64 size, qint64 limit) {
    constexpr qint64 kMiB = qint64(1) << 20;
    constexpr qint64 kGiB = qint64(1) << 30;
    const QString bound = limit % kGiB == 0 ? QStringLiteral("%1 GiB").arg(limit / kGiB)
                                            : QStringLiteral("%1 MiB").arg(limit / kMiB);
    return TarveloError(
        QStringLiteral("Datei %1 ist größer als %2 (%3 Bytes) und wird nicht gelesen")
            .arg(path, bound, QString::number(size)));
}

TarveloError tooManyLines(const QString& path) {
    return TarveloError(
        QStringLiteral("Datei %1 hat mehr als %2 Millionen Zeilen und wird nicht gelesen")
            .arg(path, QString::number(TextFile::kMaxReadLines / 1'000'000)));
}

// The lines in the code page, each ended by CR LF.
QByteArray joinLines(const QStringList& lines) {
    return ImportedText::encodeLines(lines, ImportedText::Encoding::Windows1252);
}

} // namespace

QStringList TextFile::readLines(const QString& path, ImportedText::Encoding* found,
                                qint64 maxBytes) {
    qint64 size = 0;
    const std::optional<QByteArray> read = NativeFile::readRegular(path, maxBytes, &size);
    if (!read) {
        throw cannotOpen(path);
    }
    if (size > maxBytes) {
        throw tooLarge(path, size, maxBytes);
    }
    const QByteArray& bytes = *read;
    if (bytes.size() > maxBytes) {
        throw tooLarge(path, bytes.size(), maxBytes);
    }
    if (ImportedText::lineCount(bytes, kMaxReadLines) > kMaxReadLines) {
        throw tooManyLines(path);
    }
    const qsizetype mixedAt = ImportedText::mixedUtf8At(bytes);
    if (mixedAt >= 0) {
        // Read as the code page, the UTF-8 letters of every other line would
        // turn into others: their rows deleted, garbled ones inserted.
        const QByteArrayView before(bytes.constData(), mixedAt + 1);
        const qsizetype line = LineBreaks::count(before.size(), kMaxReadLines, [&](qsizetype i) {
            return static_cast<char16_t>(static_cast<unsigned char>(before[i]));
        });
        throw TarveloError(QStringLiteral("Datei %1 enthält UTF-8 und Windows-1252 gemischt (Zeile "
                                          "%2 ist kein gültiger UTF-8-Text) und wird nicht gelesen")
                               .arg(path, QString::number(line)));
    }
    ImportedText::Encoding encoding = ImportedText::Encoding::Windows1252;
    std::optional<QStringList> lines = ImportedText::decodeLines(bytes, &encoding);
    if (found) {
        *found = encoding;
    }
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

void TextFile::replaceLines(const QString& path, const QStringList& lines,
                            ImportedText::Encoding encoding) {
    QSaveFile file(path);
    const QByteArray bytes = ImportedText::encodeLines(lines, encoding);
    // flush() before commit(): commit() does not look at a failed flush of the
    // buffered tail and would put a truncated file in place of the old one.
    if (!file.open(QIODevice::WriteOnly)) {
        throw cannotCreate(path);
    }
    // Rewritten by root (the window run with sudo), the file must stay
    // readable to the user of the scheduled run.
    FileOwner::keep(path, file);
    if (file.write(bytes) != bytes.size() || !file.flush() || !file.commit()) {
        throw cannotCreate(path);
    }
}

void TextFile::replaceLinesNoFollow(const QString& path, const QStringList& lines) {
    if (!NativeFile::replaceNoFollow(path, joinLines(lines))) {
        throw cannotCreate(path);
    }
}

void TextFile::appendLine(const QString& path, const QString& line) {
    NativeFile::append(path, Ansi::encode(line) + "\r\n");
}
