#include "platform/RegularFile.h"

#include <QFile>

#include <sys/stat.h>

bool RegularFile::exists(const QString& path) {
    if (path.isEmpty()) {
        return false;
    }
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}
