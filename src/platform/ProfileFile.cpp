#include "platform/ProfileFile.h"

#include "platform/Ansi.h"
#include "platform/AsciiCase.h"
#include "platform/Blanks.h"
#include "platform/ImportedText.h"
#include "platform/PrivateFile.h"
#include "platform/TarveloError.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <utility>

namespace {

constexpr qsizetype kMaxValue = 2047;

TarveloError cannotWrite(const QString& path) {
    return TarveloError(QStringLiteral("In %1 kann nicht geschrieben werden").arg(path));
}

// One physical line of the file and where it lies in the bytes.
struct Line {
    qsizetype begin; // first byte
    qsizetype end;   // byte after the text, before the line break
    qsizetype next;  // first byte of the following line
};

// An editor that saves "UTF-8 with signature" puts these bytes in front of
// the first section; the file is UTF-8 then. One saved as "Unicode" or
// "Unicode big endian" starts with the UTF-16 mark in its byte order; it is
// read as UTF-8 with signature and written back as it came.
constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";
constexpr char kUtf16Mark[] = "\xFF\xFE";
constexpr char kUtf16BigEndianMark[] = "\xFE\xFF";

enum class Wide { No, LittleEndian, BigEndian };

// UTF-16 in the other byte order, the mark included.
QByteArray swappedPairs(QByteArray bytes) {
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        std::swap(bytes[i], bytes[i + 1]);
    }
    return bytes;
}

QByteArray fromUtf16(const QByteArray& bytes) {
    const QByteArray text = bytes.mid(2);
    return kUtf8Mark +
           QString::fromUtf16(reinterpret_cast<const char16_t*>(text.constData()), text.size() / 2)
               .toUtf8();
}

QByteArray toUtf16(const QByteArray& utf8) {
    const QString text = QString::fromUtf8(utf8.mid(sizeof kUtf8Mark - 1));
    return QByteArray(kUtf16Mark, 2) +
           QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

// A file in the code page as UTF-8 with its mark.
QByteArray utf8WithMark(const QByteArray& codePage) {
    return kUtf8Mark + Ansi::decode(codePage).toUtf8();
}

QString decodeLine(const QByteArray& bytes, const Line& line, bool utf8) {
    const QByteArray text = bytes.mid(line.begin, line.end - line.begin);
    return utf8 ? QString::fromUtf8(text) : Ansi::decode(text);
}

QList<Line> splitPhysical(const QByteArray& bytes) {
    QList<Line> lines;
    qsizetype start = bytes.startsWith(kUtf8Mark) ? qsizetype(sizeof kUtf8Mark - 1) : 0;
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (bytes[i] == '\r' || bytes[i] == '\n') {
            qsizetype next = i + 1;
            if (bytes[i] == '\r' && next < n && bytes[next] == '\n') {
                ++next;
            }
            lines.append({start, i, next});
            start = next;
            i = next - 1;
        }
    }
    if (start < n) {
        lines.append({start, n, n});
    }
    return lines;
}

// The section name when the line is a section header.
bool sectionOf(QStringView text, QString* name) {
    const QStringView t = Blanks::trimmed(text);
    if (!t.startsWith(u'[')) {
        return false;
    }
    const qsizetype close = t.indexOf(u']');
    *name = (close < 0 ? t.mid(1) : t.mid(1, close - 1)).trimmed().toString();
    return true;
}

// Key and raw value when the line is a key line.
bool keyOf(QStringView text, QStringView* key, QStringView* value) {
    const QStringView t = Blanks::trimmed(text);
    if (t.isEmpty() || t.startsWith(u';')) {
        return false;
    }
    const qsizetype eq = t.indexOf(u'=');
    if (eq < 0) {
        return false;
    }
    *key = Blanks::trimmed(t.left(eq));
    *value = Blanks::trimmed(t.mid(eq + 1));
    return true;
}

bool quotedValue(QStringView v) {
    return v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front();
}

// The value as it stands in its line, so that reading gives it back whole:
// one with blanks at either end, or within a pair of quotation marks, is put
// in quotation marks, which reading takes off again.
QString storedForm(const QString& path, const QString& section, const QString& key,
                   const QString& value) {
    if (value.contains(u'\r') || value.contains(u'\n')) {
        throw TarveloError(QStringLiteral("Der Wert für [%1] %2 enthält einen Zeilenumbruch und "
                                          "kann nicht in %3 gespeichert werden")
                               .arg(section, key, path));
    }
    const bool changedByReading =
        Blanks::trimmed(value).size() != value.size() || quotedValue(value);
    return changedByReading ? u'"' + value + u'"' : value;
}

bool sameName(QStringView a, QStringView b) {
    return AsciiCase::equalIgnoringCase(a, b);
}

// The file's bytes. *exists tells whether there is a file of that name;
// *readable is false when there is one but its bytes could not be read.
QByteArray readAll(const QString& path, bool* exists, bool* readable, Wide* utf16 = nullptr) {
    QFile file(path);
    *exists = file.exists();
    *readable = false;
    // Opening a FIFO would wait for a writer for ever: only a regular file
    // is read.
    if (!*exists || !QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QByteArray bytes = file.readAll();
    *readable = file.error() == QFileDevice::NoError;
    const Wide wide = bytes.startsWith(kUtf16Mark)            ? Wide::LittleEndian
                      : bytes.startsWith(kUtf16BigEndianMark) ? Wide::BigEndian
                                                              : Wide::No;
    if (utf16 != nullptr) {
        *utf16 = wide;
    }
    switch (wide) {
    case Wide::LittleEndian:
        return fromUtf16(bytes);
    case Wide::BigEndian:
        return fromUtf16(swappedPairs(bytes));
    case Wide::No:
        break;
    }
    return bytes;
}

// Where a key's new line goes: over the key's line (replaceBegin to
// replaceEnd), or after the last non-blank line of its section
// (sectionInsert), or, with neither, a new section at the end.
struct Placement {
    bool found = false;
    qsizetype replaceBegin = -1;
    qsizetype replaceEnd = -1;
    qsizetype sectionInsert = -1;
};

Placement placementOf(const QByteArray& bytes, bool utf8, const QString& section,
                      const QString& key) {
    Placement place;
    bool inSection = false;
    for (const Line& line : splitPhysical(bytes)) {
        const QString text = decodeLine(bytes, line, utf8);
        QString name;
        if (sectionOf(text, &name)) {
            if (inSection) {
                break;
            }
            inSection = sameName(name, section);
            if (inSection) {
                place.sectionInsert = line.next;
            }
            continue;
        }
        if (!inSection) {
            continue;
        }
        QStringView k;
        QStringView v;
        if (keyOf(text, &k, &v) && sameName(k, key)) {
            place.replaceBegin = line.begin;
            place.replaceEnd = line.end;
            place.found = true;
            break;
        }
        if (!Blanks::trimmed(text).isEmpty()) {
            place.sectionInsert = line.next;
        }
    }
    return place;
}

// Whether a stored password's bytes read as what a scrambled password
// written as UTF-8 is: characters from U+00A0 to U+00FF (a printable ASCII
// character scrambles into 0xA0 to 0xFE of the code page, a letter beyond
// ASCII into ASCII). In the code page itself they may form UTF-8 by chance
// ("Q1W2" does), but as other characters.
bool scrambledInUtf8(QByteArrayView value) {
    const QString text = QString::fromUtf8(value);
    return ImportedText::isUtf8BeyondAscii(value) &&
           std::all_of(text.cbegin(), text.cend(), [](QChar c) {
               return c.unicode() < 0x80 || (c.unicode() >= 0xA0 && c.unicode() <= 0xFF);
           });
}

// The file without those values of [Hmail] admin that tell nothing of its
// encoding.
QByteArray withoutScrambledValues(const QByteArray& bytes) {
    QByteArray rest;
    bool inHmail = false;
    qsizetype kept = 0;
    for (const Line& line : splitPhysical(bytes)) {
        // Section and key names are ASCII: any 8-bit reading finds them.
        const QString text = QString::fromLatin1(bytes.mid(line.begin, line.end - line.begin));
        QString name;
        QStringView key;
        QStringView value;
        if (sectionOf(text, &name)) {
            inHmail = sameName(name, u"Hmail");
        } else if (inHmail && keyOf(text, &key, &value) && sameName(key, u"admin")) {
            const qsizetype equals = bytes.indexOf('=', line.begin);
            if (!scrambledInUtf8(QByteArrayView(bytes).sliced(equals, line.end - equals))) {
                rest += bytes.mid(kept, equals - kept);
                kept = line.end;
            }
        }
    }
    return rest + bytes.mid(kept);
}

// With its mark, or without one as Notepad saves it: valid UTF-8 holding a
// letter beyond ASCII, the stored password counted only where it reads as
// one written in UTF-8. Anything else is the code page, as for Windows' own
// profile functions.
bool isUtf8(const QByteArray& bytes) {
    return bytes.startsWith(kUtf8Mark) ||
           ImportedText::isUtf8BeyondAscii(withoutScrambledValues(bytes));
}

} // namespace

namespace {

QString readValue(const QString& path, const QString& section, const QString& key,
                  const QString& defaultValue, bool unquote, qsizetype limit = kMaxValue) {
    bool exists = false;
    bool readable = false;
    const QByteArray bytes = readAll(path, &exists, &readable);
    const bool utf8 = isUtf8(bytes);
    bool inSection = false;
    for (const Line& line : splitPhysical(bytes)) {
        const QString text = decodeLine(bytes, line, utf8);
        QString name;
        if (sectionOf(text, &name)) {
            inSection = sameName(name, section);
            continue;
        }
        QStringView k;
        QStringView v;
        if (inSection && keyOf(text, &k, &v) && sameName(k, key)) {
            if (unquote && quotedValue(v)) {
                v = v.mid(1, v.size() - 2);
            }
            return v.left(limit).toString();
        }
    }
    return defaultValue.left(limit);
}

} // namespace

QString ProfileFile::readString(const QString& path, const QString& section, const QString& key,
                                const QString& defaultValue) {
    return readValue(path, section, key, defaultValue, true);
}

QString ProfileFile::readAsWritten(const QString& path, const QString& section,
                                   const QString& key) {
    return readValue(path, section, key, QString(), false);
}

bool ProfileFile::longerThanRead(const QString& path, const QString& section, const QString& key) {
    return readValue(path, section, key, QString(), true, kMaxValue + 1).size() > kMaxValue;
}

bool ProfileFile::unreadable(const QString& path) {
    bool exists = false;
    bool readable = false;
    readAll(path, &exists, &readable);
    return exists && !readable;
}

void ProfileFile::writeString(const QString& path, const QString& section, const QString& key,
                              const QString& value) {
    bool exists = false;
    bool readable = false;
    Wide utf16 = Wide::No;
    QByteArray bytes = readAll(path, &exists, &readable, &utf16);
    if (exists && !readable) {
        // Writing now would replace everything else in it by nothing.
        throw cannotWrite(path);
    }
    // A value the code page cannot hold (a path with a Polish letter) would
    // be stored as '?': the file becomes UTF-8, with its mark.
    bool utf8 = isUtf8(bytes);
    if (!utf8 && !(Ansi::holds(section) && Ansi::holds(key) && Ansi::holds(value))) {
        bytes = utf8WithMark(bytes);
        utf8 = true;
    }
    const auto encode = [utf8](const QString& text) {
        return utf8 ? text.toUtf8() : Ansi::encode(text);
    };
    const QByteArray keyLine = encode(key + u'=' + storedForm(path, section, key, value));

    const Placement place = placementOf(bytes, utf8, section, key);
    QByteArray out;
    if (place.found) {
        out = bytes.left(place.replaceBegin) + keyLine + bytes.mid(place.replaceEnd);
    } else if (place.sectionInsert >= 0) {
        QByteArray head = bytes.left(place.sectionInsert);
        if (!head.isEmpty() && !head.endsWith('\n') && !head.endsWith('\r')) {
            head += "\r\n";
        }
        out = head + keyLine + "\r\n" + bytes.mid(place.sectionInsert);
    } else {
        out = bytes;
        // A file that holds its mark alone (an empty one saved with it) gets
        // the section right after the mark, not after an empty line.
        if (!out.isEmpty() && out != kUtf8Mark && !out.endsWith('\n') && !out.endsWith('\r')) {
            out += "\r\n";
        }
        out += "[" + encode(section) + "]\r\n" + keyLine + "\r\n";
    }
    // Code-page bytes that happen to be valid UTF-8 (a scrambled password
    // of capitals and digits, "Q1W2") would be read back as other letters:
    // the file becomes UTF-8, with its mark.
    if (!utf8 && isUtf8(out)) {
        out = utf8WithMark(out);
    }

    // It holds the administrator password: a file made here is readable by
    // its owner only, one that was there keeps its permissions.
    QByteArray written = out;
    if (utf16 == Wide::LittleEndian) {
        written = toUtf16(out);
    } else if (utf16 == Wide::BigEndian) {
        written = swappedPairs(toUtf16(out));
    }
    const bool ok = PrivateFile::replace(path, written, exists);
    if (!ok) {
        throw cannotWrite(path);
    }
}
