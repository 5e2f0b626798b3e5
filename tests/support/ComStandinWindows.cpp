#include "ComStandin.h"

#include <QDir>
#include <QString>

#include <windows.h>

#include <gtest/gtest.h>

namespace {

// The class ID the stand-in serves (HmailComStandin.cpp).
const wchar_t kClassId[] = L"{7A1F2C3D-4B5E-4F60-8A91-B2C3D4E5F607}";
const wchar_t kProgId[] = L"hMailServer.Application";

std::wstring classKey() {
    return std::wstring(L"CLSID\\") + kClassId;
}

void setDefault(const std::wstring& key, const std::wstring& name, const std::wstring& value) {
    HKEY opened = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                &opened, nullptr),
              ERROR_SUCCESS)
        << QString::fromStdWString(key).toStdString();
    const LONG set = ::RegSetValueExW(opened, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                                      reinterpret_cast<const BYTE*>(value.c_str()),
                                      DWORD((value.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(opened);
    ASSERT_EQ(set, ERROR_SUCCESS);
}

// A byte of a file in the temporary folder, locked shared or exclusive
// (LockFileEx waits until it is granted); the handle, released by unlock().
void* lockRegistration(bool exclusive) {
    const std::wstring path =
        QDir::toNativeSeparators(QDir::tempPath() +
                                 QStringLiteral("/tarvelo-hmailserver-progid.lock"))
            .toStdWString();
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << ::GetLastError();
    if (file == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    OVERLAPPED at{};
    EXPECT_TRUE(::LockFileEx(file, exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0, 0, 1, 0, &at))
        << ::GetLastError();
    return file;
}

void unlock(void* lock) {
    if (lock != nullptr) {
        OVERLAPPED at{};
        ::UnlockFileEx(static_cast<HANDLE>(lock), 0, 1, 0, &at);
        ::CloseHandle(static_cast<HANDLE>(lock));
    }
}

} // namespace

ComStandin::Absent::Absent() : m_lock(lockRegistration(false)) {}

ComStandin::Absent::~Absent() {
    unlock(m_lock);
}

bool ComStandin::available() {
    return true;
}

// In the classes root, where the ProgID is looked up: Wine does not look into
// the current user's Software\Classes for it.
ComStandin::ComStandin() : m_lock(lockRegistration(true)) {
    const std::wstring library =
        QDir::toNativeSeparators(QStringLiteral(TARVELO_COM_STANDIN)).toStdWString();
    setDefault(std::wstring(kProgId) + L"\\CLSID", {}, kClassId);
    setDefault(classKey(), {}, kProgId);
    setDefault(classKey() + L"\\InprocServer32", {}, library);
    setDefault(classKey() + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
}

ComStandin::~ComStandin() {
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, classKey().c_str());
    unlock(m_lock);
}
