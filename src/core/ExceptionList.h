#pragma once

#include "core/PatternTrie.h"

#include <QString>
#include <QStringList>

class WorkingList;

// The exception list "ausnahmen.txt": one exception per line. Every line
// excepts each address that contains it; a line beginning with ">" also
// excepts each address that begins with the rest of the line (at most 255
// characters). Letter case (A to Z) does not matter; empty lines except
// nothing.
class ExceptionList {
public:
    // The longest prefix a ">" line gives.
    static constexpr int kPrefixLength = 255;
    // The largest exception file read: matching takes some thirty bytes of
    // memory for every character of the file, and a real list of exceptions
    // is a few hundred kilobytes.
    static constexpr qint64 kMaxFileBytes = qint64(16) << 20;

    explicit ExceptionList(const QStringList& lines);
    // Reads the file; "Datei %s kann nicht geöffnet werden" when it cannot, and
    // TarveloError for a line holding a NUL character or a file over
    // kMaxFileBytes.
    static ExceptionList load(const QString& path);

    // Whether an entry is excepted by some line, its case of A to Z ignored.
    bool excepts(QStringView entry) const;

    // Replaces every excepted entry of the list by "-", in place.
    void apply(WorkingList& list) const;

private:
    PatternTrie m_fragments; // every non-empty line, lower-cased
    PatternTrie m_prefixes;  // the rest of every ">" line, lower-cased
};
