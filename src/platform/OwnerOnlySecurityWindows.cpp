#include "platform/OwnerOnlySecurity.h"

#include <sddl.h>

#include <string>
#include <vector>

namespace {

// The account of the process's token as a SID string; empty when unknown.
std::wstring processUserSid() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return {};
    }
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    std::wstring result;
    if (size > 0 && ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
        LPWSTR text = nullptr;
        if (::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid,
                                     &text)) {
            result = text;
            ::LocalFree(text);
        }
    }
    ::CloseHandle(token);
    return result;
}

} // namespace

OwnerOnlySecurity::OwnerOnlySecurity() {
    const std::wstring user = processUserSid();
    if (user.empty()) {
        return;
    }
    // P: protected, nothing inherited; FA: full access; BA: Administrators;
    // SY: SYSTEM.
    const std::wstring sddl = L"D:P(A;;FA;;;" + user + L")(A;;FA;;;BA)(A;;FA;;;SY)";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                               &descriptor, nullptr)) {
        m_attributes.nLength = sizeof m_attributes;
        m_attributes.lpSecurityDescriptor = descriptor;
        m_attributes.bInheritHandle = FALSE;
    }
}

OwnerOnlySecurity::~OwnerOnlySecurity() {
    if (m_attributes.lpSecurityDescriptor != nullptr) {
        ::LocalFree(m_attributes.lpSecurityDescriptor);
    }
}
