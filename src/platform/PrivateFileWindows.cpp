#include "platform/PrivateFile.h"

#include "platform/NativeFile.h"

// ReplaceFileW gives the new content the ACL of the file it replaces; a file
// that takes a free name gets the owner's ACL, never the folder's, which on a
// server often lets every user read.
bool PrivateFile::replace(const QString& path, const QByteArray& bytes, bool) {
    return NativeFile::replaceNoFollow(path, bytes, NativeFile::NewFileAccess::OwnerOnly);
}
