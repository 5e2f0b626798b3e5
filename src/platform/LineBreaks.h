#pragma once

#include <QString>
#include <QStringList>

// The one rule of where a line file's lines end: at CR LF, a lone CR or a
// lone LF; the break belongs to no line, and a last line without a break is
// a line too. Works on UTF-16 units as on bytes of a code page or UTF-8, in
// which CR and LF never occur inside another character.
namespace LineBreaks {
// Each line's units, from..from+length, made into its text by makeLine.
template <typename Unit, typename MakeLine>
QStringList split(const Unit* data, qsizetype size, MakeLine makeLine) {
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const Unit c = data[i];
        if (c == Unit('\r') || c == Unit('\n')) {
            lines.append(makeLine(start, i - start));
            if (c == Unit('\r') && i + 1 < size && data[i + 1] == Unit('\n')) {
                ++i;
            }
            start = i + 1;
        }
    }
    if (start < size) {
        lines.append(makeLine(start, size - start));
    }
    return lines;
}

inline QStringList split(const QString& text) {
    return split(text.utf16(), text.size(),
                 [&](qsizetype from, qsizetype length) { return text.mid(from, length); });
}
} // namespace LineBreaks
