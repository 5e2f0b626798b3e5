#include "platform/ProfileFile.h"

#include "../core/FileSizeLimit.h"
#include "FileModeTools.h"
#include "ProfileFileWriteTestBed.h"

#include <QDir>
#include <QFileInfo>

#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

// Writing the configuration where POSIX permission bits and owners count.

using FileTestTools::readBytes;
using FileTestTools::writeBytes;

TEST_F(ProfileFileWrite, MissingFileIsCreatedForItsOwnerOnly) {
    const QString file = path();
    ProfileFile::writeString(file, "Hmail", "admin", QStringLiteral("x"));
    EXPECT_EQ(readBytes(file), QByteArray("[Hmail]\r\nadmin=x\r\n"));
    EXPECT_EQ(FileTestTools::modeOf(file), 0600);
}

TEST_F(ProfileFileWrite, ExistingFileKeepsItsModeOwnerAndGroup) {
    // Root's rewrite (the password command run with sudo) must leave the
    // configuration to the user that runs the nightly job. As another user
    // the file can only be one's own: then owner and group stay ours.
    const bool root = ::geteuid() == 0;
    struct Case {
        int mode;
        uid_t owner;
        gid_t group;
    };
    const Case cases[] = {
        {0644, root ? 65534u : ::geteuid(), root ? 65534u : ::getegid()},
        {0640, root ? 65534u : ::geteuid(), root ? 0u : ::getegid()},
        {0600, ::geteuid(), root ? 65534u : ::getegid()},
        {0660, ::geteuid(), ::getegid()},
    };
    const QString file = withContent("[ad]\r\n");
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        ASSERT_EQ(::chown(QFile::encodeName(file).constData(), c.owner, c.group), 0);
        ASSERT_TRUE(FileTestTools::setMode(file, c.mode));
        const QString value = QString::number(++round);
        ProfileFile::writeString(file, "ad", "emails", value);
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, static_cast<mode_t>(c.mode));
        EXPECT_EQ(st.st_uid, c.owner);
        EXPECT_EQ(st.st_gid, c.group);
        EXPECT_EQ(readBytes(file), "[ad]\r\nemails=" + value.toLatin1() + "\r\n");
    }
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList({"tarvelo.ini"}));
}

// A folder that takes no new file (the program's, owned by root): a
// configuration the user may write is written over in place, as Windows'
// profile functions do, keeping its mode; one the user may not write, or a
// write that fails half-way (a full disk), leaves it as it was, and the
// write fails.
TEST_F(ProfileFileWrite, InAReadOnlyDirectoryOnlyAWritableFileIsWritten) {
    const QString dir = path("locked");
    ASSERT_TRUE(QDir().mkdir(dir));
    const QString file = dir + QStringLiteral("/tarvelo.ini");
    ASSERT_TRUE(FileTestTools::setMode(m_dir.path(), 0755));
    const QString longer = QStringLiteral("/neu/") + QString(300, u'x');
    const struct {
        int mode;
        QString value;
        bool written;
    } cases[] = {{0666, QStringLiteral("/neu.txt"), true},
                 {0444, QStringLiteral("/neu.txt"), false},
                 {0666, longer, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        ASSERT_TRUE(FileTestTools::setMode(dir, 0755));
        ASSERT_TRUE(writeBytes(file, kHandKept));
        ASSERT_TRUE(FileTestTools::setMode(file, c.mode));
        ASSERT_TRUE(FileTestTools::setMode(dir, 0555));

        const std::string complaint = FileTestTools::runUnprivileged([&]() -> std::string {
            if (FileTestTools::canCreateIn(dir)) {
                return "the directory is still writable";
            }
            // Room for the old content, not for the longer new one.
            const FileSizeLimit disk(rlim_t(kHandKept.size() + 100));
            const QString message = failureOf(file, "ad", "emails", c.value);
            const QString expected =
                c.written ? QStringLiteral("<kein Fehler>") : cannotWrite(file);
            if (message != expected) {
                return "message was: " + message.toStdString();
            }
            return {};
        });
        FileTestTools::setMode(dir, 0755);
        EXPECT_EQ(complaint, "");
        EXPECT_EQ(readBytes(file), c.written ? kHandKept.left(kHandKept.indexOf("  Emails")) +
                                                   "emails=/neu.txt" +
                                                   kHandKept.mid(kHandKept.indexOf("\r\ntimestamp"))
                                             : kHandKept);
        EXPECT_EQ(FileTestTools::modeOf(file), c.mode);
        EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList({"tarvelo.ini"}));
    }
}

TEST_F(ProfileFileWrite, UnreadableFileIsNotOverwritten) {
    // A configuration that exists but cannot be read must not be replaced by
    // one holding just the written key: everything else in it would be lost.
    const QString file = withContent(kHandKept);
    ASSERT_TRUE(FileTestTools::setMode(m_dir.path(), 0777));
    ASSERT_TRUE(FileTestTools::setMode(file, 0222));

    const std::string complaint = FileTestTools::runUnprivileged([&]() -> std::string {
        if (QFile(file).open(QIODevice::ReadOnly)) {
            return "the file is still readable";
        }
        const QString message = failureOf(file, "ad", "emails", "/neu.txt");
        if (message != cannotWrite(file)) {
            return "message was: " + message.toStdString();
        }
        return {};
    });
    ASSERT_TRUE(FileTestTools::setMode(m_dir.path(), 0700));
    ASSERT_TRUE(FileTestTools::setMode(file, 0600));
    EXPECT_EQ(complaint, "");
    EXPECT_EQ(readBytes(file), kHandKept);
}

TEST_F(ProfileFileWrite, AConfigurationLinkedElsewhereIsWrittenThere) {
    // One configuration kept for several installations, each linking to it:
    // a stored password must reach it, not a copy in place of the link.
    ASSERT_TRUE(QDir().mkdir(path("gemeinsam")));
    const QString target = path("gemeinsam/tarvelo.ini");
    ASSERT_TRUE(writeBytes(target, "[SQL]\r\nProvider=x\r\n"));
    ASSERT_TRUE(FileTestTools::setMode(target, 0640));
    ASSERT_TRUE(QFile::link(target, path()));

    ProfileFile::writeString(path(), "ad", "emails", QStringLiteral("/neu.txt"));
    EXPECT_TRUE(QFileInfo(path()).isSymLink());
    EXPECT_EQ(readBytes(target), QByteArray("[SQL]\r\nProvider=x\r\n[ad]\r\nemails=/neu.txt\r\n"));
    EXPECT_EQ(FileTestTools::modeOf(target), 0640);
}
