#include "core/Mtools.h"

#include "platform/Ansi.h"

namespace {

// Chosen so that a password of printable ASCII (0x20..0x7E) scrambles into
// 0xA0..0xFE: no line break, no blank, no quotation mark, nothing that the
// configuration file trims or unquotes, and all of it in the code page.
constexpr unsigned char kKey = 0x80;

} // namespace

QString Mtools::PadTwo(int value) {
    const QString text = QString::number(value);
    return text.size() == 1 ? QStringLiteral("0") + text : text;
}

bool Mtools::OpenDocument(const QString& fileName, const DocumentOpener& opener) {
    return !fileName.isEmpty() && opener && opener(fileName);
}

QString Mtools::ScrambleText(const QString& text) {
    // The key works on the 8-bit code of each character in the code page.
    QByteArray bytes = Ansi::encode(text);
    for (char& b : bytes) {
        b = static_cast<char>(static_cast<unsigned char>(b) ^ kKey);
    }
    return Ansi::decode(bytes);
}
