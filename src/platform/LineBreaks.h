#pragma once

#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstring>

// The one rule of where a line file's lines end: at CR LF, a lone CR or a
// lone LF; the break belongs to no line, and a last line without a break is
// a line too. Works on UTF-16 units as on bytes of a code page or UTF-8, in
// which CR and LF never occur inside another character.
namespace LineBreaks {
namespace detail {
// Where the next CR or LF is, from i on; size when there is none. Bytes are
// tested eight at a time, as most of them are no break.
template <typename Unit> qsizetype nextBreak(const Unit* data, qsizetype i, qsizetype size) {
    if constexpr (sizeof(Unit) == 1) {
        constexpr quint64 kOnes = 0x0101010101010101ULL;
        constexpr quint64 kHighs = 0x8080808080808080ULL;
        const auto hasByte = [](quint64 word, quint64 byte) {
            const quint64 x = word ^ (kOnes * byte);
            return ((x - kOnes) & ~x & kHighs) != 0;
        };
        for (; i + 8 <= size; i += 8) {
            quint64 word;
            std::memcpy(&word, data + i, 8);
            if (hasByte(word, '\r') || hasByte(word, '\n')) {
                break;
            }
        }
    }
    while (i < size && data[i] != Unit('\r') && data[i] != Unit('\n')) {
        ++i;
    }
    return i;
}

// How many LF there are.
template <typename Unit> qsizetype lineFeeds(const Unit* data, qsizetype size) {
    if constexpr (sizeof(Unit) == 1) {
        qsizetype count = 0;
        const char* at = reinterpret_cast<const char*>(data);
        const char* const end = at + size;
        while ((at = static_cast<const char*>(std::memchr(at, '\n', size_t(end - at))))) {
            ++count;
            ++at;
        }
        return count;
    } else {
        return std::count(data, data + size, Unit('\n'));
    }
}
} // namespace detail

// Each line's units, from..from+length, made into its text by makeLine.
template <typename Unit, typename MakeLine>
QStringList split(const Unit* data, qsizetype size, MakeLine makeLine) {
    QStringList lines;
    // Room for a line a line feed at once: a long list is not copied as it
    // grows.
    lines.reserve(detail::lineFeeds(data, size) + 1);
    qsizetype start = 0;
    for (qsizetype i = detail::nextBreak(data, 0, size); i < size;
         i = detail::nextBreak(data, start, size)) {
        lines.append(makeLine(start, i - start));
        if (data[i] == Unit('\r') && i + 1 < size && data[i + 1] == Unit('\n')) {
            ++i;
        }
        start = i + 1;
    }
    if (start < size) {
        lines.append(makeLine(start, size - start));
    }
    return lines;
}

// How many lines split() would make of the units that unitAt(i) gives for i
// below size, counted without making them; stops at limit + 1, since a caller
// that refuses more than limit lines need not know how many more there are.
template <typename UnitAt> qsizetype count(qsizetype size, qsizetype limit, UnitAt unitAt) {
    qsizetype lines = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i < size && lines <= limit; ++i) {
        const char16_t c = unitAt(i);
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < size && unitAt(i + 1) == u'\n') {
                ++i;
            }
            ++lines;
            start = i + 1;
        }
    }
    if (lines <= limit && start < size) {
        ++lines;
    }
    return lines;
}

inline QStringList split(const QString& text) {
    return split(text.utf16(), text.size(),
                 [&](qsizetype from, qsizetype length) { return text.mid(from, length); });
}
} // namespace LineBreaks
