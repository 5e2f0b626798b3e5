#pragma once

#include <QString>

// Whether a name is an address list (or any file the program reads whole):
// only a regular file, or a link to one, can be. A directory, a FIFO, a
// device or a socket counts as missing. The test never opens the file, so a
// FIFO without a writer cannot make it wait.
namespace RegularFile {
bool exists(const QString& path);
} // namespace RegularFile
