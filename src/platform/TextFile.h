#pragma once

#include "platform/ImportedText.h"

#include <QString>
#include <QStringList>

// Line files: read split at CR LF, lone CR or lone LF, lines untouched;
// written in the system code page with CR LF after every line, the last
// included.
namespace TextFile {
// The largest file readLines() reads: a list beyond it is no export of a
// mail domain but a broken file, and reading it would take the memory of
// the machine.
constexpr qint64 kMaxReadBytes = qint64(1) << 30;

// Reads a whole line file, in the encoding its bytes show (ImportedText).
// A file that cannot be opened, is no regular file (a directory, FIFO,
// device, socket) or is still being written by another program raises
// "Datei %s kann nicht geöffnet werden", one over
// kMaxReadBytes or damaged after its byte order mark a German error naming
// it; a failing read raises IoError. Nothing is read before the checks.
// found, when given, gets the encoding the file was read in.
QStringList readLines(const QString& path, ImportedText::Encoding* found = nullptr);

// Replaces the file with the lines in one atomic step: on any failure the old
// file stays as it was and "Datei %s kann nicht erstellt werden" is raised.
// A symbolic link at the name is written through: its target gets the lines.
// The file keeps its mode and, where allowed, its owner and group. Written in
// the encoding given, by default the code page.
void replaceLines(const QString& path, const QStringList& lines,
                  ImportedText::Encoding encoding = ImportedText::Encoding::Windows1252);

// The same for files the program makes anew on each run (protocol files),
// where a link at the name is never followed: the name is made a new regular
// file in one rename, and whatever a link there pointed to stays untouched.
// The new file is on disk (fsync) before it takes the name.
void replaceLinesNoFollow(const QString& path, const QStringList& lines);

// Appends one line (CR LF added) in a single write, so that concurrent writers
// never interleave inside a line. Creates the file when missing. Raises IoError;
// a line that could be written in part only is taken back, the file ends as
// it did before.
void appendLine(const QString& path, const QString& line);
} // namespace TextFile
