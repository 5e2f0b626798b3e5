#pragma once

#include <QString>
#include <QStringList>

// Line files in the system code page: read split at CR LF, lone CR or lone LF,
// lines untouched; written with CR LF after every line, the last included.
namespace TextFile {
QStringList splitLines(const QString& text);
QByteArray joinLines(const QStringList& lines);

// Reads a whole line file. A file that cannot be opened raises
// "Datei %s kann nicht geöffnet werden"; a failing read raises IoError.
QStringList readLines(const QString& path);

// Replaces the file with the lines in one atomic step: on any failure the old
// file stays as it was and "Datei %s kann nicht erstellt werden" is raised.
void replaceLines(const QString& path, const QStringList& lines);

// Appends one line (CR LF added) in a single write, so that concurrent writers
// never interleave inside a line. Creates the file when missing. Raises IoError.
void appendLine(const QString& path, const QString& line);
} // namespace TextFile
