#pragma once

#include <QString>

class QSaveFile;

// Who owns a file the program rewrites, the configuration or the exception
// file, or creates beside itself, the log and the lock file (POSIX; on Windows
// the ACL of a replaced configuration stays with ReplaceFileW, see
// PrivateFileWindows.cpp, a new file takes its folder's, and keep() does
// nothing).
namespace FileOwner {
// Gives the new content, not yet committed, the owner and group of the file
// at path, so that the administrator's rewrite leaves a configuration that
// its user can still change. Where that is not allowed, the group alone,
// else nothing: the new content matters more than who owns it.
void keep(const QString& path, QSaveFile& file);
// Opens path as ::open(path, flags | O_CREAT, mode) does; a file that this
// call creates, root in another's folder, gets the owner and group of its
// folder: the window run with sudo must leave the log and the lock file to
// the folder owner's scheduled runs, which go on writing them. POSIX only.
int openOrCreate(const QString& path, int flags, unsigned mode);
} // namespace FileOwner
