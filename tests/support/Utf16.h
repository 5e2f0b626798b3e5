#pragma once

#include <QByteArray>
#include <QString>

// The text in UTF-16 of the given byte order, with its byte order mark: an
// export as another system saves it.
inline QByteArray utf16WithMark(const QString& text, bool littleEndian) {
    QByteArray bytes = littleEndian ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF");
    for (const QChar c : text) {
        const char high = static_cast<char>(c.unicode() >> 8);
        const char low = static_cast<char>(c.unicode() & 0xFF);
        bytes.append(littleEndian ? low : high).append(littleEndian ? high : low);
    }
    return bytes;
}
