#include "platform/Ansi.h"

#include <array>

namespace {

// Code points of the bytes 0x80..0x9F; the rest of the page is Latin-1.
// Unassigned bytes keep their own value, so they round-trip.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

int byteFor(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        return c;
    }
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] == c) {
            return 0x80 + i;
        }
    }
    return -1;
}

} // namespace

QString Ansi::decode(QByteArrayView bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out[i] = (b >= 0x80 && b < 0xA0) ? QChar(kHighControls[b - 0x80]) : QChar(b);
    }
    return text;
}

bool Ansi::holds(QStringView text) {
    for (const QChar c : text) {
        if (byteFor(c.unicode()) < 0) {
            return false;
        }
    }
    return true;
}

QByteArray Ansi::encode(const QString& text) {
    QByteArray bytes(text.size(), Qt::Uninitialized);
    qsizetype n = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        // A surrogate pair is one character the page lacks: one '?'.
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text[i + 1].unicode())) {
            ++i;
            bytes[n++] = '?';
            continue;
        }
        const int b = byteFor(c);
        bytes[n++] = b < 0 ? '?' : static_cast<char>(b);
    }
    bytes.truncate(n);
    return bytes;
}
