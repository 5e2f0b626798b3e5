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
// The most lines readLines() takes: each line costs memory of its own, so a
// file of a gigabyte of line breaks (a broken export) would need twenty-odd
// times its size; ten million addresses are far beyond any mail domain.
constexpr qsizetype kMaxReadLines = 10'000'000;

// Reads a whole line file, in the encoding its bytes show (ImportedText).
// A file that cannot be opened, is no regular file (a directory, FIFO,
// device, socket) or is still being written by another program raises
// "Datei %s kann nicht geöffnet werden", one over maxBytes (a whole number
// of MiB) or kMaxReadLines or damaged after its byte order mark a German
// error naming it; a failing read raises IoError. Nothing is read before the
// checks, and no line is made before the lines are counted. found, when
// given, gets the encoding the file was read in.
QStringList readLines(const QString& path, ImportedText::Encoding* found = nullptr,
                      qint64 maxBytes = kMaxReadBytes);

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
