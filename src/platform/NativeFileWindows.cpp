#include "platform/NativeFile.h"

#include "platform/ChunkedRead.h"
#include "platform/OwnerOnlySecurity.h"

#include <QDir>
#include <QRandomGenerator>

#include <algorithm>
#include <optional>
#include <string>

#include <windows.h>

#include <aclapi.h>

namespace {

std::wstring native(const QString& path) {
    return QDir::toNativeSeparators(path).toStdWString();
}

IoError lastError() {
    return IoError::fromCode(static_cast<int>(::GetLastError()));
}

// Closes the handle on every way out.
class Handle {
public:
    explicit Handle(HANDLE handle) : m_handle(handle) {}
    ~Handle() {
        if (valid()) {
            ::CloseHandle(m_handle);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_handle; }
    // Closes now and tells whether the close succeeded.
    bool close() {
        const HANDLE handle = m_handle;
        m_handle = INVALID_HANDLE_VALUE;
        return ::CloseHandle(handle) != 0;
    }

private:
    HANDLE m_handle;
};

// A file on a disk that is no directory: pipes, consoles and devices such as
// NUL are none.
bool isRegularHandle(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    return ::GetFileType(handle) == FILE_TYPE_DISK &&
           ::GetFileInformationByHandle(handle, &info) != 0 &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool writeAll(HANDLE handle, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const DWORD want =
            static_cast<DWORD>(std::min<qsizetype>(bytes.size() - done, qsizetype(1) << 30));
        DWORD written = 0;
        if (!::WriteFile(handle, bytes.constData() + done, want, &written, nullptr)) {
            return false;
        }
        if (written == 0) {
            ::SetLastError(ERROR_DISK_FULL);
            return false;
        }
        done += written;
    }
    return true;
}

// The DACL of the file at from, protected or not as there, onto the open
// file to. Nothing when it cannot be read or set.
void copyDacl(const std::wstring& from, HANDLE to) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoW(from.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
        return;
    }
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ::GetSecurityDescriptorControl(descriptor, &control, &revision);
    const SECURITY_INFORMATION what =
        DACL_SECURITY_INFORMATION |
        ((control & SE_DACL_PROTECTED) != 0 ? PROTECTED_DACL_SECURITY_INFORMATION
                                            : UNPROTECTED_DACL_SECURITY_INFORMATION);
    ::SetSecurityInfo(to, SE_FILE_OBJECT, what, nullptr, nullptr, dacl, nullptr);
    ::LocalFree(descriptor);
}

// A fresh hidden name beside the target, created here and now: CREATE_NEW
// refuses anything already there, a link included. The handle, invalid when
// no file can be made there; its name goes to *temp.
HANDLE createBeside(const std::wstring& target, std::wstring* temp,
                    SECURITY_ATTRIBUTES* attributes) {
    const size_t slash = target.find_last_of(L"\\/");
    const std::wstring dir =
        slash == std::wstring::npos ? std::wstring(L".") : target.substr(0, slash);
    // Short enough that the temporary name stays a valid one.
    const std::wstring base =
        target.substr(slash == std::wstring::npos ? 0 : slash + 1).substr(0, 200);
    HANDLE created = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 16 && created == INVALID_HANDLE_VALUE; ++attempt) {
        *temp = dir + L"\\." + base + L"." +
                QString::number(QRandomGenerator::global()->generate64(), 36).toStdWString() +
                L".tmp";
        created = ::CreateFileW(temp->c_str(), GENERIC_WRITE | WRITE_DAC, 0, attributes, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS &&
            ::GetLastError() != ERROR_ALREADY_EXISTS) {
            break;
        }
    }
    return created;
}

// Whether Windows takes a file name for one of its devices: "nul.txt" or
// "aux.example.com.txt" in any folder names AUX, NUL, CON, COM1 ... (the
// full path comes back as "\\.\AUX"). A device named as one ("\\.\COM1")
// is asked for and does not count.
bool namesDeviceUnasked(const std::wstring& path) {
    if (path.rfind(L"\\\\", 0) == 0) {
        return false;
    }
    const DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) {
        return false;
    }
    std::wstring full(size, L'\0');
    full.resize(::GetFullPathNameW(path.c_str(), size, full.data(), nullptr));
    return full.rfind(L"\\\\.\\", 0) == 0;
}

} // namespace

bool NativeFile::namesIgnoreCase() {
    return true;
}

bool NativeFile::isRegular(const QString& path) {
    if (path.isEmpty()) {
        return false;
    }
    // Opened for its attributes only: nothing is read, nothing waits.
    Handle file(::CreateFileW(native(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.valid() && isRegularHandle(file.get());
}

std::optional<QByteArray> NativeFile::readRegular(const QString& path, qint64 limit, qint64* size) {
    // Others may read it too, but nobody may be writing it: an export still
    // being written would be read half, and the addresses of its other half
    // deleted. Held open for writing, the file cannot be opened now.
    Handle file(::CreateFileW(native(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid() || !isRegularHandle(file.get())) {
        return std::nullopt;
    }
    LARGE_INTEGER length{};
    if (!::GetFileSizeEx(file.get(), &length)) {
        return std::nullopt;
    }
    if (length.QuadPart > limit) {
        *size = length.QuadPart;
        return QByteArray();
    }
    const HANDLE handle = file.get();
    return readChunked(length.QuadPart, limit, [handle](char* buffer, qsizetype size) {
        DWORD read = 0;
        if (!::ReadFile(handle, buffer, static_cast<DWORD>(size), &read, nullptr)) {
            throw lastError();
        }
        return static_cast<qsizetype>(read);
    });
}

bool NativeFile::replaceNoFollow(const QString& path, const QByteArray& bytes,
                                 NewFileAccess access) {
    const std::wstring target = native(path);

    // A file that replaces a regular one takes over its ACL; one that takes
    // a free name has the ACL it was created with.
    const DWORD before = ::GetFileAttributesW(target.c_str());
    const bool replacesRegular =
        before != INVALID_FILE_ATTRIBUTES &&
        (before & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0;
    std::optional<OwnerOnlySecurity> ownerOnly;
    if (access == NewFileAccess::OwnerOnly && !replacesRegular) {
        ownerOnly.emplace();
        if (ownerOnly->attributes() == nullptr) {
            return false;
        }
    }
    std::wstring temp;
    Handle file(createBeside(target, &temp, ownerOnly ? ownerOnly->attributes() : nullptr));
    if (!file.valid()) {
        return false;
    }
    if (replacesRegular) {
        // ReplaceFileW carries the ACL over as well; given here, it holds
        // also where a file system or an emulation does not merge it.
        copyDacl(target, file.get());
    }
    // Closed before it is deleted: a file still open without delete sharing
    // cannot be deleted, and would stay behind, filling a full disk further.
    const bool written = writeAll(file.get(), bytes) && ::FlushFileBuffers(file.get());
    const bool closed = file.close();
    if (!written || !closed) {
        ::DeleteFileW(temp.c_str());
        return false;
    }
    // What is at the name now, the name itself and not what a link there
    // points to.
    const DWORD old = ::GetFileAttributesW(target.c_str());
    bool placed = false;
    if (old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
        (old & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        // A regular file: replaced so that it keeps its permissions (ACL)
        // and attributes.
        placed = ::ReplaceFileW(target.c_str(), temp.c_str(), nullptr,
                                REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0;
    } else {
        if (old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            // A symbolic link or junction: the link goes, its target stays.
            if ((old & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                ::RemoveDirectoryW(target.c_str());
            } else {
                ::DeleteFileW(target.c_str());
            }
        }
        placed = ::MoveFileExW(temp.c_str(), target.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    }
    if (!placed) {
        ::DeleteFileW(temp.c_str());
    }
    return placed;
}

NativeFile::Claim NativeFile::claimName(const QString& path) {
    const std::wstring target = native(path);
    const HANDLE made =
        ::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (made != INVALID_HANDLE_VALUE) {
        ::CloseHandle(made);
        return Claim::Made;
    }
    const DWORD error = ::GetLastError();
    const bool exists = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ||
                        ::GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES;
    return exists ? Claim::Taken : Claim::Failed;
}

bool NativeFile::canCreateBeside(const QString& path) {
    const std::wstring target = native(path);
    // The hidden file's name is cut short; the file's own must fit the
    // folder: 255 characters a name on NTFS and FAT alike.
    const size_t slash = target.find_last_of(L"\\/");
    const size_t nameLength = target.size() - (slash == std::wstring::npos ? 0 : slash + 1);
    if (nameLength > 255) {
        return false;
    }
    std::wstring temp;
    Handle file(createBeside(target, &temp, nullptr));
    if (!file.valid()) {
        return false;
    }
    file.close();
    ::DeleteFileW(temp.c_str());
    return true;
}

namespace {

// Takes back the part of an append that a full disk or a quota cut short, so
// that the file keeps whole lines only; but only while that part is still the
// file's end, or another writer's line after it would go too. The append
// handle cannot shorten the file: a second one does.
void takeBackAppended(const std::wstring& path, HANDLE appended, DWORD written) {
    LARGE_INTEGER end{};
    if (!::SetFilePointerEx(appended, LARGE_INTEGER{}, &end, FILE_CURRENT) ||
        end.QuadPart < written) {
        return;
    }
    Handle file(::CreateFileW(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file.valid() || !::GetFileSizeEx(file.get(), &size) || size.QuadPart != end.QuadPart) {
        return;
    }
    LARGE_INTEGER before{};
    before.QuadPart = end.QuadPart - written;
    if (::SetFilePointerEx(file.get(), before, nullptr, FILE_BEGIN)) {
        ::SetEndOfFile(file.get());
    }
}

} // namespace

void NativeFile::append(const QString& path, const QByteArray& bytes) {
    const std::wstring name = native(path);
    // Append access only: every write lands at the end, as one.
    Handle file(::CreateFileW(name.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                              kShareAll, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        throw lastError();
    }
    const auto size = static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    const bool wrote = ::WriteFile(file.get(), bytes.constData(), size, &written, nullptr) != 0;
    // Wine, on a full disk, reports success for the part it wrote.
    const IoError failure = wrote ? IoError::fromCode(ERROR_DISK_FULL) : lastError();
    if (written > 0 && written < size) {
        takeBackAppended(name, file.get(), written);
    }
    if (!file.close() && wrote && written == size) {
        throw lastError();
    }
    if (!wrote || written != size) {
        throw failure;
    }
}

NativeFile::Output::Output(const QString& path) : m_path(path) {
    // The export would go to the device, and no file would appear, with
    // nothing said: a name that cannot be a file's is an invalid file name.
    if (namesDeviceUnasked(native(path))) {
        throw IoError::fromCode(ERROR_PATH_NOT_FOUND);
    }
    const HANDLE handle = ::CreateFileW(native(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                        nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        throw lastError();
    }
    m_handle = reinterpret_cast<qintptr>(handle);
    m_regular = ::GetFileType(handle) == FILE_TYPE_DISK;
}

NativeFile::Output::~Output() {
    // Left without close(): what fed it failed in between (the database, the
    // memory), and the file is incomplete.
    if (m_handle != -1) {
        ::CloseHandle(reinterpret_cast<HANDLE>(m_handle));
        discard();
    }
}

void NativeFile::Output::write(const QByteArray& bytes) {
    if (!writeAll(reinterpret_cast<HANDLE>(m_handle), bytes)) {
        fail(lastError());
    }
}

void NativeFile::Output::close() {
    const HANDLE handle = reinterpret_cast<HANDLE>(m_handle);
    m_handle = -1;
    if (!::CloseHandle(handle)) {
        const IoError error = lastError();
        discard();
        throw error;
    }
}

void NativeFile::Output::fail(const IoError& error) {
    ::CloseHandle(reinterpret_cast<HANDLE>(m_handle));
    m_handle = -1;
    discard();
    throw error;
}

void NativeFile::Output::discard() {
    if (m_regular) {
        ::DeleteFileW(native(m_path).c_str());
    }
}
