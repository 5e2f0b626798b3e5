#include "platform/FileLock.h"
#include "platform/RegularFile.h"
#include "platform/TarveloError.h"
#include "platform/TextFile.h"

#include "../core/FileSizeLimit.h"
#include "FileModeTools.h"
#include "TextFileTestBed.h"

#include <QDir>
#include <QFileInfo>

#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

// Line files where POSIX shows what the program must withstand: FIFOs,
// sockets and devices, permission bits, a process's file-size limit,
// symbolic links, the umask.

using FileTestTools::readBytes;
using FileTestTools::writeBytes;

TEST_F(TextFileTest, ReadLinesReportsAFailingRead) {
    // Reading this process's memory from address 0 fails with an I/O error
    // after the open succeeded: no part of a file may pass for all of it.
    const auto error = ioErrorOf([] { TextFile::readLines(QStringLiteral("/proc/self/mem")); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->message(), IoError::fromCode(error->code()).message());
    EXPECT_NE(error->code(), 5);
}

namespace {

// A listening socket at path; -1 when none could be made.
int bindSocket(const QString& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    if (fd < 0 || name.size() >= static_cast<qsizetype>(sizeof address.sun_path)) {
        return -1;
    }
    std::memcpy(address.sun_path, name.constData(), static_cast<size_t>(name.size()));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

TEST_F(TextFileTest, OnlyARegularFileIsAFileToRead) {
    // A FIFO without a writer would block an open for ever, a device like
    // /dev/zero would never end; they count as missing, like a directory.
    ASSERT_TRUE(writeBytes(path("liste.txt"), "a@example.com\n"));
    ASSERT_TRUE(QFile::link(path("liste.txt"), path("link.txt")));
    ASSERT_TRUE(QFile::link(path("fehlt.txt"), path("dangling.txt")));
    ASSERT_TRUE(QDir().mkdir(path("dir")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo")).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(path("fifo"), path("link-to-fifo")));
    const int socket = bindSocket(path("socket"));
    ASSERT_GE(socket, 0);

    expectOnlyRegularFilesRead({
        {path("liste.txt"), true},
        {path("link.txt"), true},
        {QString(), false},
        {path("fehlt.txt"), false},
        {path("dangling.txt"), false},
        {path("dir"), false},
        {path("fifo"), false},
        {path("link-to-fifo"), false},
        {path("socket"), false},
        {QStringLiteral("/dev/null"), false},
        {QStringLiteral("/dev/zero"), false},
    });
    ::close(socket);
}

TEST_F(TextFileTest, AFileStillBeingWrittenIsNotRead) {
    // An export that another program still writes: its first half would be
    // taken for the whole list. Readers beside it do not stand in the way.
    const QString file = path("liste.txt");
    ASSERT_TRUE(writeBytes(file, "a@example.com\r\n"));
    const struct {
        int flags;
        bool readable;
    } holders[] = {
        {O_WRONLY, false},
        {O_RDWR, false},
        {O_WRONLY | O_APPEND, false},
        {O_RDONLY, true},
    };
    for (const auto& holder : holders) {
        const int held = ::open(QFile::encodeName(file).constData(), holder.flags);
        ASSERT_GE(held, 0) << holder.flags;
        std::optional<QString> failure;
        try {
            EXPECT_EQ(TextFile::readLines(file), QStringList({"a@example.com"}));
        } catch (const TarveloError& e) {
            failure = e.message();
        }
        ::close(held);
        if (holder.readable) {
            EXPECT_EQ(failure, std::nullopt) << holder.flags;
        } else {
            EXPECT_EQ(failure, "Datei " + file + " kann nicht geöffnet werden") << holder.flags;
        }
    }
    EXPECT_EQ(TextFile::readLines(file), QStringList({"a@example.com"}));
}

TEST_P(TextFileReplace, ReplacesTheWholeFileAndKeepsItsMode) {
    const QString file = path("out.txt");
    ASSERT_TRUE(writeBytes(file, "a much longer old content\nwith lines\n"));
    ASSERT_TRUE(FileTestTools::setMode(file, 0640));
    replace(file, {"neu"});
    EXPECT_EQ(readBytes(file), QByteArray("neu\r\n"));
    EXPECT_EQ(FileTestTools::modeOf(file), 0640);
    replace(file, {});
    EXPECT_EQ(readBytes(file), QByteArray());
    EXPECT_EQ(namesIn(m_dir.path()), QStringList({"out.txt"}));
}

TEST_F(TextFileTest, ReplaceLinesKeepsTheOwnerAndGroupOfTheFile) {
    // The exception command run with sudo must leave the file readable to the
    // user of the scheduled run, whose file may be 0640 or 0600. As another
    // user the file can only be one's own.
    const bool root = ::geteuid() == 0;
    const uid_t owner = root ? 65534u : ::geteuid();
    const gid_t group = root ? 65534u : ::getegid();
    const QString file = path("ausnahmen.txt");
    ASSERT_TRUE(writeBytes(file, "alt\r\n"));
    ASSERT_EQ(::chown(QFile::encodeName(file).constData(), owner, group), 0);
    ASSERT_TRUE(FileTestTools::setMode(file, 0640));

    TextFile::replaceLines(file, {"neu", "alt"});
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0);
    EXPECT_EQ(st.st_uid, owner);
    EXPECT_EQ(st.st_gid, group);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(readBytes(file), QByteArray("neu\r\nalt\r\n"));
}

TEST_P(TextFileReplace, FailedReplaceLeavesExistingFileUnchanged) {
    // A directory that is not writable, holding a file that is: the new
    // content cannot be put in place atomically, so nothing may change.
    const QString dir = path("locked");
    ASSERT_TRUE(QDir().mkdir(dir));
    const QString file = dir + QStringLiteral("/ausnahmen.txt");
    const QByteArray old("alt\r\n\xE4nderung\nkein Ende");
    ASSERT_TRUE(writeBytes(file, old));
    ASSERT_TRUE(FileTestTools::setMode(m_dir.path(), 0755));
    ASSERT_TRUE(FileTestTools::setMode(file, 0666));
    ASSERT_TRUE(FileTestTools::setMode(dir, 0555));

    const std::string complaint = FileTestTools::runUnprivileged([&]() -> std::string {
        if (FileTestTools::canCreateIn(dir)) {
            return "the directory is still writable";
        }
        const QString message = errorOf([&] { replace(file, {"neu"}); });
        const QString expected = QStringLiteral("Datei %1 kann nicht erstellt werden").arg(file);
        if (message != expected) {
            return "message was: " + message.toStdString();
        }
        return {};
    });
    FileTestTools::setMode(dir, 0755);
    EXPECT_EQ(complaint, "");
    EXPECT_EQ(readBytes(file), old);
    EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList({"ausnahmen.txt"}));
}

TEST_P(TextFileReplace, FailedWriteLeavesExistingFileUnchanged) {
    // A disk that fills up while the new content is written.
    const QString file = path("hmail-20260101-120000.log");
    ASSERT_TRUE(writeBytes(file, "alt\r\n"));
    QString message;
    {
        const FileSizeLimit limit(10);
        message = errorOf([&] { replace(file, {"eine Zeile, die nicht mehr passt"}); });
    }
    EXPECT_EQ(message, QStringLiteral("Datei %1 kann nicht erstellt werden").arg(file));
    EXPECT_EQ(readBytes(file), QByteArray("alt\r\n"));
    EXPECT_EQ(namesIn(m_dir.path()), QStringList({"hmail-20260101-120000.log"}));
}

TEST_P(TextFileReplace, SymbolicLinkAtTheName) {
    // The exception file may be a link that the administrator keeps on
    // purpose: its target gets the lines. A protocol file's name is made a
    // file of its own: whatever a link there points to stays as it was.
    const bool follows = GetParam().replace != &TextFile::replaceLinesNoFollow;
    const QString target = path("ziel.txt");
    const QString link = path("hmail-20260101-120000.log");
    ASSERT_TRUE(writeBytes(target, "fremd\r\n"));
    ASSERT_TRUE(QFile::link(target, link));

    replace(link, {"Datei: /liste.txt"});
    EXPECT_EQ(QFileInfo(link).isSymLink(), follows);
    EXPECT_EQ(readBytes(link), QByteArray("Datei: /liste.txt\r\n"));
    EXPECT_EQ(readBytes(target),
              follows ? QByteArray("Datei: /liste.txt\r\n") : QByteArray("fremd\r\n"));
    EXPECT_EQ(namesIn(m_dir.path()), QStringList({"hmail-20260101-120000.log", "ziel.txt"}));
}

TEST_F(TextFileTest, ReplaceLinesNoFollowNeverCreatesALinksTarget) {
    // A dangling link, a link to a directory: the name becomes a regular
    // file, nothing appears where the links pointed.
    const QString dangling = path("a.log");
    ASSERT_TRUE(QFile::link(path("nirgends/x.log"), dangling));
    ASSERT_TRUE(QDir().mkdir(path("dir")));
    const QString toDir = path("b.log");
    ASSERT_TRUE(QFile::link(path("dir"), toDir));

    TextFile::replaceLinesNoFollow(dangling, {"eins"});
    TextFile::replaceLinesNoFollow(toDir, {"zwei"});
    for (const QString& file : {dangling, toDir}) {
        const QFileInfo info(file);
        EXPECT_FALSE(info.isSymLink()) << file.toStdString();
        EXPECT_TRUE(info.isFile()) << file.toStdString();
    }
    EXPECT_EQ(readBytes(dangling), QByteArray("eins\r\n"));
    EXPECT_EQ(readBytes(toDir), QByteArray("zwei\r\n"));
    EXPECT_FALSE(QFileInfo::exists(path("nirgends")));
    EXPECT_TRUE(QDir(path("dir")).isEmpty());
}

TEST_F(TextFileTest, ReplaceLinesNoFollowCreatesFilesAsTheUmaskAllows) {
    // A link at the name lends the new file nothing, its target's mode
    // neither.
    const QString target = path("ziel.txt");
    ASSERT_TRUE(writeBytes(target, "fremd\r\n"));
    ASSERT_TRUE(FileTestTools::setMode(target, 0700));
    ASSERT_TRUE(QFile::link(target, path("r.log")));

    const mode_t previous = ::umask(022);
    TextFile::replaceLinesNoFollow(path("p.log"), {"x"});
    TextFile::replaceLinesNoFollow(path("r.log"), {"x"});
    ::umask(027);
    TextFile::replaceLinesNoFollow(path("q.log"), {"x"});
    ::umask(previous);
    EXPECT_EQ(FileTestTools::modeOf(path("p.log")), 0644);
    EXPECT_EQ(FileTestTools::modeOf(path("q.log")), 0640);
    EXPECT_FALSE(QFileInfo(path("r.log")).isSymLink());
    EXPECT_EQ(FileTestTools::modeOf(path("r.log")), 0644);
    EXPECT_EQ(FileTestTools::modeOf(target), 0700);
}

TEST_F(TextFileTest, AppendLineToReadOnlyFileIsAccessDenied) {
    const QString file = path("tarvelo.log");
    ASSERT_TRUE(writeBytes(file, "alt\r\n"));
    ASSERT_TRUE(FileTestTools::setMode(m_dir.path(), 0755));
    ASSERT_TRUE(FileTestTools::setMode(file, 0444));

    const std::string complaint = FileTestTools::runUnprivileged([&]() -> std::string {
        const auto error = ioErrorOf([&] { TextFile::appendLine(file, QStringLiteral("neu")); });
        if (!error) {
            return "no IoError";
        }
        if (error->code() != 5 || error->message() != QStringLiteral("Dateizugriff verweigert")) {
            return "got " + std::to_string(error->code()) + " " + error->message().toStdString();
        }
        return {};
    });
    EXPECT_EQ(complaint, "");
    EXPECT_EQ(readBytes(file), QByteArray("alt\r\n"));
}

TEST_F(TextFileTest, AppendLineCutShortByAFullDiskIsTakenBack) {
    // Room for part of the next line only, as on a disk that fills up.
    const QString file = path("tarvelo.log");
    const QByteArray old("08.12.2026 06:00:00: Start des Programms\r\n");
    ASSERT_TRUE(writeBytes(file, old));
    std::optional<IoError> error;
    {
        const FileSizeLimit limit(old.size() + 10);
        error = ioErrorOf([&] {
            TextFile::appendLine(file, QStringLiteral("08.12.2026 06:00:01: Datenbank geöffnet"));
        });
    }
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->message(), QStringLiteral("E/A-Fehler 112"));
    EXPECT_EQ(readBytes(file), old);

    // With no room at all the file stays as it was too; with room, lines follow.
    {
        const FileSizeLimit limit(old.size());
        error = ioErrorOf([&] { TextFile::appendLine(file, QStringLiteral("x")); });
    }
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(readBytes(file), old);
    TextFile::appendLine(file, QStringLiteral("danach"));
    EXPECT_EQ(readBytes(file), old + "danach\r\n");
}

TEST_F(TextFileTest, ALogOrLockFileRootCreatesBelongsToItsFoldersOwner) {
    // The window run with sudo must not lock the folder owner's scheduled
    // runs out of the log and the lock file beside the program; a file that
    // was there before keeps its owner.
    const bool root = ::geteuid() == 0;
    const uid_t folderOwner = root ? 65534u : ::geteuid();
    const QString folder = path("opt");
    ASSERT_TRUE(QDir().mkdir(folder));
    ASSERT_TRUE(FileTestTools::setMode(m_dir.path(), 0755));
    ASSERT_EQ(::chown(QFile::encodeName(folder).constData(), folderOwner, static_cast<gid_t>(-1)),
              0);
    const QString log = folder + "/tarvelo.log";
    const QString lock = folder + "/tarvelo.lock";
    const QString earlier = folder + "/frueher.log";
    ASSERT_TRUE(writeBytes(earlier, "alt\r\n"));
    const auto ownerOf = [](const QString& file) {
        struct stat st {};
        return ::stat(QFile::encodeName(file).constData(), &st) == 0 ? st.st_uid : uid_t(-2);
    };
    const uid_t earlierOwner = ownerOf(earlier);

    TextFile::appendLine(log, QStringLiteral("erste"));
    TextFile::appendLine(earlier, QStringLiteral("neu"));
    {
        FileLock first;
        first.open(lock);
        ASSERT_TRUE(first.tryLock());
    }
    EXPECT_EQ(ownerOf(log), folderOwner);
    EXPECT_EQ(ownerOf(lock), folderOwner);
    EXPECT_EQ(FileTestTools::modeOf(lock), 0600);
    EXPECT_EQ(ownerOf(earlier), earlierOwner);

    const std::string complaint = FileTestTools::runUnprivileged([&]() -> std::string {
        try {
            TextFile::appendLine(log, QStringLiteral("zweite"));
            FileLock next;
            next.open(lock);
            if (!next.tryLock()) {
                return "lock file not usable";
            }
        } catch (const IoError& error) {
            return error.message().toStdString();
        }
        return {};
    });
    EXPECT_EQ(complaint, "");
    EXPECT_EQ(readBytes(log), QByteArray("erste\r\nzweite\r\n"));
}
