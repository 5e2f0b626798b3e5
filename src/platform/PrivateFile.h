#pragma once

#include <QByteArray>
#include <QString>

// A file that holds a secret, such as the configuration with the
// administrator password. One implementation per platform
// (PrivateFilePosix.cpp, PrivateFileWindows.cpp).
namespace PrivateFile {

// Puts bytes in place of path atomically; an existing file that may be
// written in a folder that takes no new file (POSIX) is written over in
// place instead. A file made here (existed false) is
// readable by its owner only: mode 0600, or on Windows an explicit ACL for the
// account, the Administrators group and SYSTEM. A file that existed keeps its
// permissions and, where the system allows, its owner (on Windows its ACL).
// False when it fails: the old file then stays as it was.
bool replace(const QString& path, const QByteArray& bytes, bool existed);

} // namespace PrivateFile
