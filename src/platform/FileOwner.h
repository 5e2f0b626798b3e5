#pragma once

#include <QString>

class QSaveFile;

// Who owns a configuration file the program rewrites (POSIX; on Windows the
// ACL of a replaced file stays with ReplaceFileW, see PrivateFileWindows.cpp).
namespace FileOwner {
// Gives the new content, not yet committed, the owner and group of the file
// at path, so that the administrator's rewrite leaves a configuration that
// its user can still change. Where that is not allowed, the group alone,
// else nothing: the new content matters more than who owns it.
void keep(const QString& path, QSaveFile& file);
} // namespace FileOwner
