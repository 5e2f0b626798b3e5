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

} // namespace

bool ComStandin::available() {
    return true;
}

// In the classes root, where the ProgID is looked up: Wine does not look into
// the current user's Software\Classes for it.
ComStandin::ComStandin() {
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
}
