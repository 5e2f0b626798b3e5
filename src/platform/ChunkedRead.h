#pragma once

#include "platform/Progress.h"

#include <QByteArray>

#include <algorithm>

// All bytes up to the end of a file, at most limit + 1 of them: a file that
// grows while it is read is caught by the caller's size check. read(buffer,
// size) reads up to size bytes into buffer and returns how many, 0 at the
// end; it raises IoError when the system's read fails, for a part of a file
// is no list: callers would take the missing lines for removed ones.
template <class Read> QByteArray readChunked(qint64 expected, qint64 limit, Read read) {
    constexpr qsizetype kChunk = 1 << 16;
    QByteArray bytes;
    // Room for the read that finds the end, too: growing then would copy the
    // whole file once more.
    bytes.reserve(static_cast<qsizetype>(std::min(expected, limit + 1)) + kChunk);
    for (;;) {
        const qsizetype at = bytes.size();
        const qsizetype want = static_cast<qsizetype>(std::min<qint64>(kChunk, limit + 1 - at));
        if (want <= 0) {
            return bytes;
        }
        bytes.resize(at + want);
        const qsizetype n = read(bytes.data() + at, want);
        Progress::note(); // a long list on a slow share is no stalled run
        bytes.resize(at + n);
        if (n == 0) {
            return bytes;
        }
    }
}
