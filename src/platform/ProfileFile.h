#pragma once

#include <QString>

// The configuration file with Windows profile semantics: every access opens
// the file afresh; sections and keys match case-insensitively; values read
// are trimmed, unquoted and cut at 2047 characters; a write changes only the
// line of its key and replaces the file atomically.
namespace ProfileFile {
QString readString(const QString& path, const QString& section, const QString& key,
                   const QString& defaultValue = QString());

// Raises "In %s kann nicht geschrieben werden" when the file cannot be
// written; the file is then left as it was.
void writeString(const QString& path, const QString& section, const QString& key,
                 const QString& value);
} // namespace ProfileFile
