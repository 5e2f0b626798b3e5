#include "platform/ProfileFile.h"

#include "ProfileFileWriteTestBed.h"

#include <QDir>

#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <vector>

// Writing the configuration where Windows' ACLs count: the file holds the
// administrator password.

using FileTestTools::readBytes;

namespace {

std::wstring native(const QString& path) {
    return QDir::toNativeSeparators(path).toStdWString();
}

// The account this process runs as, as a SID string.
QString processUser() {
    HANDLE token = nullptr;
    EXPECT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token));
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    EXPECT_TRUE(::GetTokenInformation(token, TokenUser, buffer.data(), size, &size));
    ::CloseHandle(token);
    LPWSTR text = nullptr;
    EXPECT_TRUE(
        ::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text));
    const QString sid = QString::fromWCharArray(text);
    ::LocalFree(text);
    return sid;
}

// A file's DACL as the system reports it: whether it is protected from the
// folder's, and each entry as "allow|deny <mask in hex> <SID>".
struct Dacl {
    bool isProtected = false;
    QStringList entries;
};

Dacl daclOf(const QString& path) {
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    Dacl result;
    const DWORD status =
        ::GetNamedSecurityInfoW(native(path).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                nullptr, nullptr, &acl, nullptr, &descriptor);
    EXPECT_EQ(status, DWORD(ERROR_SUCCESS));
    if (status != ERROR_SUCCESS) {
        return result;
    }
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ::GetSecurityDescriptorControl(descriptor, &control, &revision);
    result.isProtected = (control & SE_DACL_PROTECTED) != 0;
    for (DWORD i = 0; acl != nullptr && i < acl->AceCount; ++i) {
        void* ace = nullptr;
        ::GetAce(acl, i, &ace);
        const auto* header = static_cast<ACE_HEADER*>(ace);
        // Allowed and denied entries share their layout.
        const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        LPWSTR sid = nullptr;
        ::ConvertSidToStringSidW(const_cast<DWORD*>(&allowed->SidStart), &sid);
        result.entries.append(
            QStringLiteral("%1 %2 %3")
                .arg(header->AceType == ACCESS_ALLOWED_ACE_TYPE ? "allow" : "deny")
                .arg(allowed->Mask, 0, 16)
                .arg(QString::fromWCharArray(sid)));
        ::LocalFree(sid);
    }
    ::LocalFree(descriptor);
    return result;
}

void setDacl(const QString& path, const QString& sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(
        sddl.toStdWString().c_str(), SDDL_REVISION_1, &descriptor, nullptr));
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL acl = nullptr;
    ::GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted);
    std::wstring name = native(path);
    const DWORD status =
        ::SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT,
                                DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                nullptr, nullptr, acl, nullptr);
    ::LocalFree(descriptor);
    ASSERT_EQ(status, DWORD(ERROR_SUCCESS));
}

const QString kFullAccess = QString::number(FILE_ALL_ACCESS, 16);

} // namespace

// Wine keeps no ACL of its own: it shows a file's POSIX mode as one (the
// owner, SYSTEM, and Everyone for what others may do). What it shows must
// still give nobody else any access; the exact, protected ACL of three entries
// is for a Windows host to confirm (README).
TEST_F(ProfileFileWrite, MissingFileIsCreatedForItsOwnerAdministratorsAndSystemOnly) {
    const QString file = path();
    ProfileFile::writeString(file, "Hmail", "admin", QStringLiteral("x"));
    EXPECT_EQ(readBytes(file), QByteArray("[Hmail]\r\nadmin=x\r\n"));

    const QString user = processUser();
    const QStringList allowed = {"allow " + kFullAccess + " " + user,
                                 "allow " + kFullAccess + " S-1-5-32-544",
                                 "allow " + kFullAccess + " S-1-5-18"};
    const Dacl dacl = daclOf(file);
    EXPECT_TRUE(dacl.entries.contains(allowed[0])) << dacl.entries.join(", ").toStdString();
    for (const QString& entry : dacl.entries) {
        EXPECT_TRUE(allowed.contains(entry)) << "nobody else: " << entry.toStdString();
    }
    // No temporary file is left beside it.
    EXPECT_EQ(QDir(QFileInfo(file).path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{"tarvelo.ini"});
}

TEST_F(ProfileFileWrite, ExistingFileKeepsItsAcl) {
    // As the administrator set it: for the account, Administrators and
    // SYSTEM only, or with Everyone allowed to read.
    for (const QString& others : {QString(), QStringLiteral("(A;;FR;;;WD)")}) {
        SCOPED_TRACE(others.toStdString());
        const QString file = withContent(kHandKept);
        setDacl(file, "D:P(A;;FA;;;" + processUser() + ")(A;;FA;;;BA)(A;;FA;;;SY)" + others);
        const Dacl before = daclOf(file);
        EXPECT_EQ(std::count_if(before.entries.cbegin(), before.entries.cend(),
                                [](const QString& e) { return e.endsWith(" S-1-1-0"); }),
                  others.isEmpty() ? 0 : 1)
            << before.entries.join(", ").toStdString();

        ProfileFile::writeString(file, "Hmail", "admin", QStringLiteral("neu"));
        EXPECT_TRUE(readBytes(file).endsWith("[Hmail]\r\nadmin=neu\r\n"));
        const Dacl after = daclOf(file);
        EXPECT_EQ(after.isProtected, before.isProtected);
        EXPECT_EQ(after.entries, before.entries);
    }
}
