#include "platform/ImportedText.h"

#include "platform/Ansi.h"
#include "platform/AsciiRun.h"
#include "platform/LineBreaks.h"

namespace {

enum class Utf8Kind { Invalid, Ascii, MultiByte };

bool isContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// The length of the strict UTF-8 sequence that starts at data[i], a byte
// beyond ASCII; 0 when none does.
int sequenceAt(const char* data, qsizetype n, qsizetype i) {
    const auto b = static_cast<unsigned char>(data[i]);
    int follow = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        follow = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
        follow = 2;
        low = b == 0xE0 ? 0xA0 : low;
        high = b == 0xED ? 0x9F : high;
    } else if (b >= 0xF0 && b <= 0xF4) {
        follow = 3;
        low = b == 0xF0 ? 0x90 : low;
        high = b == 0xF4 ? 0x8F : high;
    } else {
        return 0;
    }
    if (i + follow >= n) {
        return 0;
    }
    const auto second = static_cast<unsigned char>(data[i + 1]);
    if (second < low || second > high) {
        return 0;
    }
    for (int k = 2; k <= follow; ++k) {
        if (!isContinuation(static_cast<unsigned char>(data[i + k]))) {
            return 0;
        }
    }
    return follow + 1;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF,
// no sequence cut off.
Utf8Kind classifyUtf8(const char* data, qsizetype n) {
    bool multiByte = false;
    for (qsizetype i = asciiPrefix(data, n); i < n; i += asciiPrefix(data + i, n - i)) {
        const int length = sequenceAt(data, n, i);
        if (length == 0) {
            return Utf8Kind::Invalid;
        }
        multiByte = true;
        i += length;
    }
    return multiByte ? Utf8Kind::MultiByte : Utf8Kind::Ascii;
}

// UTF-16 code units in the given byte order; nothing for an odd number of
// bytes or an unpaired surrogate.
std::optional<QString> decodeUtf16(const char* data, qsizetype n, bool littleEndian) {
    if (n % 2 != 0) {
        return std::nullopt;
    }
    QString text(n / 2, Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < n / 2; ++i) {
        const auto first = static_cast<unsigned char>(data[2 * i]);
        const auto second = static_cast<unsigned char>(data[2 * i + 1]);
        out[i] = QChar(
            static_cast<char16_t>(littleEndian ? (second << 8 | first) : (first << 8 | second)));
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 >= text.size() || !QChar::isLowSurrogate(text[i + 1].unicode())) {
                return std::nullopt;
            }
            ++i;
        } else if (QChar::isLowSurrogate(c)) {
            return std::nullopt;
        }
    }
    return text;
}

bool startsWith(const QByteArray& bytes, const char* mark, qsizetype length) {
    return bytes.size() >= length && bytes.startsWith(QByteArrayView(mark, length));
}

} // namespace

namespace {

ImportedText::Encoding detectKind(const QByteArray& bytes, Utf8Kind* kind) {
    using Encoding = ImportedText::Encoding;
    if (startsWith(bytes, "\xFF\xFE", 2)) {
        return Encoding::Utf16LE;
    }
    if (startsWith(bytes, "\xFE\xFF", 2)) {
        return Encoding::Utf16BE;
    }
    if (startsWith(bytes, "\xEF\xBB\xBF", 3)) {
        return Encoding::Utf8WithMark;
    }
    *kind = classifyUtf8(bytes.constData(), bytes.size());
    return *kind == Utf8Kind::MultiByte ? Encoding::Utf8 : Encoding::Windows1252;
}

} // namespace

bool ImportedText::isUtf8BeyondAscii(QByteArrayView bytes) {
    return classifyUtf8(bytes.data(), bytes.size()) == Utf8Kind::MultiByte;
}

qsizetype ImportedText::mixedUtf8At(QByteArrayView bytes) {
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF") ||
        bytes.startsWith("\xEF\xBB\xBF")) {
        return -1; // the mark decides, and tells a damaged file by itself
    }
    const char* data = bytes.data();
    const qsizetype n = bytes.size();
    if (classifyUtf8(data, n) != Utf8Kind::Invalid) {
        return -1;
    }
    qsizetype firstInvalid = -1;
    bool multiByte = false;
    for (qsizetype i = 0; i < n && (firstInvalid < 0 || !multiByte);) {
        i += asciiPrefix(data + i, n - i);
        if (i >= n) {
            break;
        }
        const int length = sequenceAt(data, n, i);
        if (length > 0) {
            multiByte = true;
            i += length;
        } else {
            if (firstInvalid < 0) {
                firstInvalid = i;
            }
            ++i;
        }
    }
    return multiByte ? firstInvalid : -1;
}

QString ImportedText::nameOf(Encoding encoding) {
    switch (encoding) {
    case Encoding::Utf16LE:
    case Encoding::Utf16BE:
        return QStringLiteral("UTF-16");
    case Encoding::Utf8:
    case Encoding::Utf8WithMark:
        return QStringLiteral("UTF-8");
    case Encoding::Windows1252:
        break;
    }
    return QStringLiteral("Windows-1252");
}

std::optional<QStringList> ImportedText::decodeLines(const QByteArray& bytes, Encoding* found) {
    Utf8Kind kind = Utf8Kind::Invalid;
    const Encoding encoding = detectKind(bytes, &kind);
    if (found) {
        *found = encoding;
    }
    qsizetype skip = 0;
    switch (encoding) {
    case Encoding::Utf16LE:
    case Encoding::Utf16BE: {
        const std::optional<QString> text =
            decodeUtf16(bytes.constData() + 2, bytes.size() - 2, encoding == Encoding::Utf16LE);
        if (!text) {
            return std::nullopt;
        }
        // As in UTF-8 (QString::fromUtf8 takes one off each line): a mark
        // that starts a line, where two exports were joined, is no part of
        // the address; the databases' drivers would not carry it either.
        QStringList lines = LineBreaks::split(*text);
        for (QString& line : lines) {
            if (line.startsWith(QChar(0xFEFF))) {
                line.remove(0, 1);
            }
        }
        return lines;
    }
    case Encoding::Utf8WithMark:
        skip = 3;
        kind = classifyUtf8(bytes.constData() + skip, bytes.size() - skip);
        if (kind == Utf8Kind::Invalid) {
            return std::nullopt;
        }
        break;
    case Encoding::Utf8:
    case Encoding::Windows1252:
        break;
    }
    const char* data = bytes.constData() + skip;
    const qsizetype size = bytes.size() - skip;
    if (kind == Utf8Kind::Ascii) {
        // Every code page and UTF-8 agree on ASCII.
        return LineBreaks::split(data, size, [&](qsizetype from, qsizetype length) {
            return QString::fromLatin1(data + from, length);
        });
    }
    const bool utf8 = encoding != Encoding::Windows1252;
    return LineBreaks::split(data, size, [&](qsizetype from, qsizetype length) {
        return utf8 ? QString::fromUtf8(data + from, length)
                    : Ansi::decode(QByteArrayView(data + from, length));
    });
}

qsizetype ImportedText::lineCount(const QByteArray& bytes, qsizetype limit) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    const bool littleEndian = startsWith(bytes, "\xFF\xFE", 2);
    if (littleEndian || startsWith(bytes, "\xFE\xFF", 2)) {
        const unsigned char* units = data + 2;
        return LineBreaks::count((bytes.size() - 2) / 2, limit, [&](qsizetype i) {
            const unsigned char first = units[2 * i];
            const unsigned char second = units[2 * i + 1];
            return static_cast<char16_t>(littleEndian ? (second << 8 | first)
                                                      : (first << 8 | second));
        });
    }
    // A UTF-8 mark holds no CR or LF; in UTF-8 and the code page alike a
    // CR or LF byte is that character.
    return LineBreaks::count(bytes.size(), limit,
                             [&](qsizetype i) { return static_cast<char16_t>(data[i]); });
}

QByteArray ImportedText::encodeLines(const QStringList& lines, Encoding encoding) {
    QByteArray bytes;
    if (encoding == Encoding::Windows1252) {
        // A protocol of a million lines is not copied as it grows.
        qsizetype total = 0;
        for (const QString& line : lines) {
            total += line.size() + 2;
        }
        bytes.reserve(total);
    }
    switch (encoding) {
    case Encoding::Windows1252:
        for (const QString& line : lines) {
            bytes += Ansi::encode(line);
            bytes += "\r\n";
        }
        return bytes;
    case Encoding::Utf8WithMark:
        bytes = "\xEF\xBB\xBF";
        [[fallthrough]];
    case Encoding::Utf8:
        for (const QString& line : lines) {
            bytes += line.toUtf8();
            bytes += "\r\n";
        }
        return bytes;
    case Encoding::Utf16LE:
    case Encoding::Utf16BE:
        break;
    }
    const bool littleEndian = encoding == Encoding::Utf16LE;
    QString text;
    for (const QString& line : lines) {
        text += line + QStringLiteral("\r\n");
    }
    bytes = littleEndian ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF");
    bytes.reserve(bytes.size() + text.size() * 2);
    for (const QChar c : text) {
        const char high = char(c.unicode() >> 8);
        const char low = char(c.unicode() & 0xFF);
        bytes += littleEndian ? low : high;
        bytes += littleEndian ? high : low;
    }
    return bytes;
}
