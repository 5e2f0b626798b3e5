#include "platform/RegularFile.h"

#include "platform/NativeFile.h"

bool RegularFile::exists(const QString& path) {
    return NativeFile::isRegular(path);
}
