#pragma once

#include <QString>

// An exclusive lock on a file, held until the object goes or the process
// ends, however it ends (the system lets go of it). One implementation per
// platform: flock (FileLockPosix.cpp), LockFileEx (FileLockWindows.cpp).
class FileLock {
public:
    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Opens the file, creating it when missing (on POSIX readable by its
    // owner only, the folder's owner when root creates it; on Windows with
    // the folder's rights); a link at the name is not followed. Raises
    // IoError.
    void open(const QString& path);
    // One try at the lock: true when this object holds it now, false while
    // another holds it. Any other failure raises IoError.
    bool tryLock();
    // Lets go of the lock and the file.
    void close();

private:
    // A POSIX descriptor or a Windows HANDLE, whichever the platform uses.
    qintptr m_handle = -1;
};
