#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>

// The text of a file that another system may have exported: the address
// list and the exception file. A UTF-16 byte order mark (either byte order)
// means UTF-16, a UTF-8 mark means UTF-8; without a mark, bytes that are
// valid UTF-8 and hold at least one multi-byte sequence are UTF-8. Anything
// else is the system's code page, Windows-1252, byte for byte. The mark is
// never part of the text.
namespace ImportedText {
enum class Encoding { Windows1252, Utf8, Utf8WithMark, Utf16LE, Utf16BE };

// Whether the bytes, without a mark, are valid UTF-8 holding at least one
// character beyond ASCII: what a file saved as UTF-8 looks like.
bool isUtf8BeyondAscii(QByteArrayView bytes);

// Where the first byte that is no UTF-8 stands in bytes without a mark that
// hold UTF-8 characters beyond ASCII elsewhere: two exports of different
// encodings joined, or one damaged. Read as the code page, the UTF-8 letters
// of all the other lines would turn into others. -1 for bytes of one kind.
qsizetype mixedUtf8At(QByteArrayView bytes);

// Name of the encoding as an administrator knows it ("UTF-16", "UTF-8").
QString nameOf(Encoding encoding);

// The decoded text split into lines (LineBreaks), or nothing when the bytes
// after a mark are not valid in the encoding the mark names (a cut-off or
// damaged export). A text of single bytes or UTF-8 is decoded line by line,
// never as a whole: a long list is not held a second time.
std::optional<QStringList> decodeLines(const QByteArray& bytes, Encoding* found = nullptr);

// How many lines decodeLines() would make of the bytes, at most limit + 1:
// counted on the bytes, before a single line takes memory.
qsizetype lineCount(const QByteArray& bytes, qsizetype limit);

// The lines in the encoding, each followed by CR LF, with the encoding's
// mark where it has one: what decodeLines() reads back as the same lines.
QByteArray encodeLines(const QStringList& lines, Encoding encoding);
} // namespace ImportedText
