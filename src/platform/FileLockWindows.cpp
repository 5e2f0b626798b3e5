#include "platform/FileLock.h"

#include "platform/TarveloError.h"

#include <QDir>

#include <windows.h>

FileLock::~FileLock() {
    close();
}

void FileLock::open(const QString& path) {
    close();
    // FILE_FLAG_OPEN_REPARSE_POINT: a link at the name is opened itself and
    // never followed to a file elsewhere.
    const HANDLE handle = ::CreateFileW(
        QDir::toNativeSeparators(path).toStdWString().c_str(), GENERIC_READ | GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        throw IoError::fromCode(static_cast<int>(::GetLastError()));
    }
    m_handle = reinterpret_cast<qintptr>(handle);
}

bool FileLock::tryLock() {
    OVERLAPPED whole{};
    if (::LockFileEx(reinterpret_cast<HANDLE>(m_handle),
                     LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                     &whole)) {
        return true;
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) {
        throw IoError::fromCode(static_cast<int>(error));
    }
    return false;
}

void FileLock::close() {
    if (m_handle != -1) {
        ::CloseHandle(reinterpret_cast<HANDLE>(m_handle)); // releases the lock
        m_handle = -1;
    }
}
