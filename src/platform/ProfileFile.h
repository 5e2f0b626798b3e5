#pragma once

#include <QString>

// The configuration file with Windows profile semantics: every access opens
// the file afresh; sections and keys match case-insensitively; values read
// are trimmed, unquoted and cut at 2047 characters; a write changes only the
// line of its key and replaces the file in one rename (written over in place
// only where the folder takes no new file). The file's encoding is told from
// its bytes; the value of [Hmail] admin, the scrambled password, counts only
// where it reads as one written in UTF-8.
namespace ProfileFile {
QString readString(const QString& path, const QString& section, const QString& key,
                   const QString& defaultValue = QString());

// The value as its line holds it: trimmed and cut like readString, but a
// pair of quotation marks around it is kept. Empty when there is none.
QString readAsWritten(const QString& path, const QString& section, const QString& key);

// Whether the value stored under the key is longer than a read gives back
// (readString cuts it at 2047 characters, as Windows does).
bool longerThanRead(const QString& path, const QString& section, const QString& key);

// Whether there is a file of that name whose values cannot be read (a
// program holding it, no permission, no regular file): readString then gives
// the defaults.
bool unreadable(const QString& path);

// Writes the value so that readString gives it back (in quotation marks
// where reading would trim or unquote it). Raises "In %s kann nicht
// geschrieben werden" when the file cannot be written, and refuses a value
// with a line break; the file is then left as it was.
void writeString(const QString& path, const QString& section, const QString& key,
                 const QString& value);
} // namespace ProfileFile
