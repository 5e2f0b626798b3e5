#pragma once

#include <QString>

class QSaveFile;

// Who owns a file the program rewrites, the configuration or the exception
// file (POSIX; on Windows the ACL of a replaced configuration stays with
// ReplaceFileW, see PrivateFileWindows.cpp, and keep() does nothing).
namespace FileOwner {
// Gives the new content, not yet committed, the owner and group of the file
// at path, so that the administrator's rewrite leaves a configuration that
// its user can still change. Where that is not allowed, the group alone,
// else nothing: the new content matters more than who owns it.
void keep(const QString& path, QSaveFile& file);
} // namespace FileOwner
