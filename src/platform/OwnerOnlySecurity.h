#pragma once

#include <windows.h>

// Windows only: the security of a file that holds a secret. An explicit
// DACL, protected from what the folder would pass on, that gives the account
// the process runs as, the Administrators group and SYSTEM full access and
// nobody else any (OwnerOnlySecurityWindows.cpp).
class OwnerOnlySecurity {
public:
    OwnerOnlySecurity();
    ~OwnerOnlySecurity();
    OwnerOnlySecurity(const OwnerOnlySecurity&) = delete;
    OwnerOnlySecurity& operator=(const OwnerOnlySecurity&) = delete;

    // For CreateFileW; nullptr when the descriptor could not be made (the
    // file must then not be created).
    SECURITY_ATTRIBUTES* attributes() {
        return m_attributes.lpSecurityDescriptor != nullptr ? &m_attributes : nullptr;
    }

private:
    SECURITY_ATTRIBUTES m_attributes{};
};
