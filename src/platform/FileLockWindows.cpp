#include "platform/FileLock.h"

#include "platform/TarveloError.h"

#include <QDateTime>
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

void FileLock::stamp() noexcept {
    if (m_handle < 0) {
        return;
    }
    const HANDLE file = reinterpret_cast<HANDLE>(m_handle);
    const QByteArray now = QByteArray::number(QDateTime::currentSecsSinceEpoch());
    OVERLAPPED start{};
    DWORD written = 0;
    if (::WriteFile(file, now.constData(), static_cast<DWORD>(now.size()), &written, &start) &&
        written == static_cast<DWORD>(now.size())) {
        LARGE_INTEGER end{};
        end.QuadPart = now.size();
        if (::SetFilePointerEx(file, end, nullptr, FILE_BEGIN)) {
            ::SetEndOfFile(file);
        }
    }
}

qint64 FileLock::stampedSecond() const {
    char text[24];
    OVERLAPPED start{};
    DWORD read = 0;
    if (m_handle < 0 ||
        !::ReadFile(reinterpret_cast<HANDLE>(m_handle), text, sizeof text, &read, &start) ||
        read == 0) {
        return -1;
    }
    bool ok = false;
    const qint64 second = QByteArray(text, static_cast<qsizetype>(read)).toLongLong(&ok);
    return ok ? second : -1;
}
