#pragma once

#include <QtGlobal>

#include <cstring>

// How many of the bytes at data are ASCII before the first that is not:
// eight at a time, as addresses and lists are nearly all ASCII.
inline qsizetype asciiPrefix(const char* data, qsizetype size) {
    qsizetype i = 0;
    for (; i + 8 <= size; i += 8) {
        quint64 word;
        std::memcpy(&word, data + i, 8);
        if ((word & 0x8080808080808080ULL) != 0) {
            break;
        }
    }
    while (i < size && static_cast<unsigned char>(data[i]) < 0x80) {
        ++i;
    }
    return i;
}
