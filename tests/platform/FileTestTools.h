#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Small helpers of the platform tests: raw bytes of files, whether a
// directory takes new files. FileModeTools.h adds what POSIX offers.
namespace FileTestTools {

inline QByteArray readBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QByteArray("<unreadable>");
    }
    return file.readAll();
}

inline bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// True when a file can be created in dir (the directory is writable for us).
inline bool canCreateIn(const QString& dir) {
    const QString probe = dir + QStringLiteral("/.probe");
    QFile file(probe);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.close();
    QFile::remove(probe);
    return true;
}

} // namespace FileTestTools
