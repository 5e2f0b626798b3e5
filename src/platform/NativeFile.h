#pragma once

#include "platform/TarveloError.h"

#include <QByteArray>
#include <QString>

#include <optional>

// What the program asks of the operating system's files beyond what QFile
// offers: reading only regular files, replacing a file without following a
// link at its name, appending in one write, writing an export. One
// implementation per platform (NativeFilePosix.cpp, NativeFileWindows.cpp);
// paths are given as Qt gives them, with either kind of slash.
namespace NativeFile {

// Whether the file system takes the letters of a name in either case
// (Windows): there a path lower-cased still names the same file.
bool namesIgnoreCase();

// Whether the name is a regular file (or a link to one): a directory, a
// FIFO, a pipe, a device or a socket is none. Never waits for a writer.
bool isRegular(const QString& path);

// The bytes of a regular file. nullopt when it cannot be opened, is no
// regular file or is held open for writing by another program (an export
// still being written); *size is set to its size when that exceeds limit, and then
// nothing is read. A file that grows while it is read yields up to limit + 1
// bytes. A failing read raises IoError.
std::optional<QByteArray> readRegular(const QString& path, qint64 limit, qint64* size);

// Who may read a file that replaceNoFollow puts where no regular file was.
enum class NewFileAccess {
    // As the system gives a new file (the umask, the folder's inherited ACL).
    Inherited,
    // Its owner only: mode 0600; on Windows an explicit ACL, protected from
    // the folder's, that gives the account, the Administrators group and
    // SYSTEM full access and nobody else any.
    OwnerOnly,
};

// Puts bytes in place of path in one rename. A link (or junction) at the
// name is replaced, never followed; a regular file replaced keeps its
// permissions (on Windows its ACL). The content is on disk before it takes
// the name. False when any step fails: the old file then stays as it was and
// no temporary file remains.
bool replaceNoFollow(const QString& path, const QByteArray& bytes,
                     NewFileAccess access = NewFileAccess::Inherited);

// Makes an empty regular file at path where the name is free; a link there,
// even one pointing nowhere, holds the name as a file does. Two programs
// naming files in one folder never both get a name this way, as they
// would by looking first and placing their file after.
enum class Claim { Made, Taken, Failed };
Claim claimName(const QString& path);

// Whether replaceNoFollow could make its file beside path now: the folder
// exists and takes a new file, and the file's name is not too long for it.
// Tried with a hidden file there, removed at once; path itself is not
// touched.
bool canCreateBeside(const QString& path);

// Appends bytes in a single write, creating the file when missing, so that
// concurrent writers never interleave inside a line; on POSIX a file root
// creates goes to its folder's owner (FileOwner::openOrCreate). Raises IoError.
void append(const QString& path, const QByteArray& bytes);

// A file written from front to back that replaces what was there (the
// export). A write or close that fails closes it, removes it when it is a
// regular file (never a device the user named; on POSIX never a link at the
// name either: the file the link names is emptied instead) and raises IoError;
// a file left without close() is removed alike.
class Output {
public:
    // Raises IoError when the file cannot be created, on Windows also for a
    // name it takes for a device ("aux.example.com.txt", "nul.txt").
    explicit Output(const QString& path);
    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    void write(const QByteArray& bytes);
    void close();

private:
    [[noreturn]] void fail(const IoError& error);
    void discard();

    QString m_path;
    // A POSIX descriptor or a Windows HANDLE, whichever the platform uses.
    qintptr m_handle = -1;
    bool m_regular = false;
};

} // namespace NativeFile
