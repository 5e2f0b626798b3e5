#include "platform/ProfileFile.h"
#include "platform/TarveloError.h"

#include "FileTestTools.h"

#include <QDir>
#include <QTemporaryDir>

#include "QStringPrinter.h"

#include <gtest/gtest.h>

using FileTestTools::readBytes;
using FileTestTools::writeBytes;

namespace {

// A hand-kept configuration: odd spacing, comments, CR LF and LF mixed,
// umlauts in Windows-1252, a key line that is not the first of its section.
const QByteArray kHandKept = "; Tarvelo \xE4 Konfiguration\r\n"
                             "[SQL]\r\n"
                             "Provider = Provider=SQLite;Data Source=/daten/h\xE4il.db\n"
                             "\r\n"
                             "[AD]\n"
                             "  Emails =  /alt/liste.txt  \r\n"
                             "timestamp=-1\r\n"
                             ";kommentar\n"
                             "\n"
                             "[Options]\r\n"
                             "Protokoll=/var/log/\r\n";

class ProfileFileWrite : public ::testing::Test {
protected:
    QString path(const QString& name = QStringLiteral("tarvelo.ini")) const {
        return m_dir.filePath(name);
    }
    QString withContent(const QByteArray& bytes) {
        EXPECT_TRUE(writeBytes(path(), bytes));
        return path();
    }
    static QString failureOf(const QString& file, const QString& section, const QString& key,
                             const QString& value) {
        try {
            ProfileFile::writeString(file, section, key, value);
        } catch (const TarveloError& e) {
            return e.message();
        }
        return QStringLiteral("<kein Fehler>");
    }
    static QString cannotWrite(const QString& file) {
        return QStringLiteral("In %1 kann nicht geschrieben werden").arg(file);
    }
    QTemporaryDir m_dir;
};

QByteArray replaced(QByteArray bytes, const QByteArray& before, const QByteArray& after) {
    const qsizetype at = bytes.indexOf(before);
    EXPECT_GE(at, 0);
    return bytes.replace(at, before.size(), after);
}

} // namespace

TEST_F(ProfileFileWrite, ReplacesTheKeyLineInPlaceAndKeepsEveryOtherByte) {
    const QString file = withContent(kHandKept);
    ProfileFile::writeString(file, "ad", "emails", QStringLiteral("/neu/liste.txt"));
    EXPECT_EQ(readBytes(file),
              replaced(kHandKept, "  Emails =  /alt/liste.txt  ", "emails=/neu/liste.txt"));
    EXPECT_EQ(ProfileFile::readString(file, "ad", "emails"), QStringLiteral("/neu/liste.txt"));
}

TEST_F(ProfileFileWrite, NewKeyGoesAfterTheLastNonBlankLineOfItsSection) {
    const QString file = withContent(kHandKept);
    ProfileFile::writeString(file, "Ad", "neu", QStringLiteral("1"));
    EXPECT_EQ(readBytes(file), replaced(kHandKept, ";kommentar\n", ";kommentar\nneu=1\r\n"));
}

TEST_F(ProfileFileWrite, NewKeyInTheLastSection) {
    const QString file = withContent(kHandKept);
    ProfileFile::writeString(file, "options", "x", QStringLiteral("y"));
    EXPECT_EQ(readBytes(file), kHandKept + "x=y\r\n");
}

TEST_F(ProfileFileWrite, NewSectionGoesAtTheEnd) {
    const QString file = withContent(kHandKept);
    ProfileFile::writeString(file, "Hmail", "admin", QStringLiteral("\xE7\xE5\xE5"));
    EXPECT_EQ(readBytes(file), kHandKept + "[Hmail]\r\nadmin=\xE7\xE5\xE5\r\n");
    EXPECT_EQ(ProfileFile::readString(file, "SQL", "Provider"),
              QStringLiteral("Provider=SQLite;Data Source=/daten/häil.db"));
}

TEST_F(ProfileFileWrite, FileWithoutFinalLineBreak) {
    const QString file = withContent("[ad]\r\nemails=/x.txt");
    ProfileFile::writeString(file, "ad", "timestamp", QStringLiteral("-1"));
    EXPECT_EQ(readBytes(file), QByteArray("[ad]\r\nemails=/x.txt\r\ntimestamp=-1\r\n"));

    withContent("[SQL]\nProvider=x");
    ProfileFile::writeString(file, "Hmail", "admin", QStringLiteral("p"));
    EXPECT_EQ(readBytes(file), QByteArray("[SQL]\nProvider=x\r\n[Hmail]\r\nadmin=p\r\n"));

    withContent("[ad]\r\nemails=/alt.txt");
    ProfileFile::writeString(file, "ad", "emails", QStringLiteral("/neu.txt"));
    EXPECT_EQ(readBytes(file), QByteArray("[ad]\r\nemails=/neu.txt"));

    withContent("[ad]");
    ProfileFile::writeString(file, "ad", "emails", QStringLiteral("/neu.txt"));
    EXPECT_EQ(readBytes(file), QByteArray("[ad]\r\nemails=/neu.txt\r\n"));
}

TEST_F(ProfileFileWrite, EmptySectionAndTrailingBlankLines) {
    const QString file = withContent("[ad]\r\n[Options]\r\nProtokoll=\r\n");
    ProfileFile::writeString(file, "ad", "emails", QString());
    EXPECT_EQ(readBytes(file), QByteArray("[ad]\r\nemails=\r\n[Options]\r\nProtokoll=\r\n"));

    withContent("[ad]\r\nemails=a\r\n\r\n  \r\n[Options]\r\n");
    ProfileFile::writeString(file, "ad", "timestamp", QStringLiteral("5"));
    EXPECT_EQ(readBytes(file),
              QByteArray("[ad]\r\nemails=a\r\ntimestamp=5\r\n\r\n  \r\n[Options]\r\n"));
}

TEST_F(ProfileFileWrite, OnlyTheFirstMatchingKeyIsReplaced) {
    const QString file = withContent("[ad]\r\nemails=1\r\nemails=2\r\n");
    ProfileFile::writeString(file, "AD", "EMAILS", QStringLiteral("3"));
    EXPECT_EQ(readBytes(file), QByteArray("[ad]\r\nEMAILS=3\r\nemails=2\r\n"));
}

TEST_F(ProfileFileWrite, CommentedKeyIsNotReplaced) {
    const QString file = withContent("[ad]\r\n;emails=alt\r\n");
    ProfileFile::writeString(file, "ad", "emails", QStringLiteral("neu"));
    EXPECT_EQ(readBytes(file), QByteArray("[ad]\r\n;emails=alt\r\nemails=neu\r\n"));
}

TEST_F(ProfileFileWrite, KeyOfAnotherSectionIsNotReplaced) {
    const QString file = withContent("[SQL]\r\nemails=fremd\r\n");
    ProfileFile::writeString(file, "ad", "emails", QStringLiteral("eigen"));
    EXPECT_EQ(readBytes(file), QByteArray("[SQL]\r\nemails=fremd\r\n[ad]\r\nemails=eigen\r\n"));
}

TEST_F(ProfileFileWrite, ValueIsWrittenUnquotedInWindows1252) {
    const QString file = withContent(QByteArray());
    ProfileFile::writeString(file, "ad", "emails", QStringLiteral("  \"/home/jürgen/€.txt\" "));
    EXPECT_EQ(readBytes(file), QByteArray("[ad]\r\nemails=  \"/home/j\xFCrgen/\x80.txt\" \r\n"));
}

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

TEST_F(ProfileFileWrite, FailsBelowARegularFile) {
    ASSERT_TRUE(writeBytes(path("plain"), "x"));
    const QString file = path("plain/tarvelo.ini");
    EXPECT_EQ(failureOf(file, "ad", "emails", "a"), cannotWrite(file));
    EXPECT_EQ(readBytes(path("plain")), QByteArray("x"));
}

TEST_F(ProfileFileWrite, FailsInMissingDirectoryAndOnADirectory) {
    const QString missing = path("fehlt/tarvelo.ini");
    EXPECT_EQ(failureOf(missing, "ad", "emails", "a"), cannotWrite(missing));
    const QString dir = path("verzeichnis.ini");
    ASSERT_TRUE(QDir().mkdir(dir));
    EXPECT_EQ(failureOf(dir, "ad", "emails", "a"), cannotWrite(dir));
    EXPECT_TRUE(QFileInfo(dir).isDir());
}

TEST_F(ProfileFileWrite, FailedWriteInReadOnlyDirectoryLeavesTheFile) {
    const QString dir = path("locked");
    ASSERT_TRUE(QDir().mkdir(dir));
    const QString file = dir + QStringLiteral("/tarvelo.ini");
    ASSERT_TRUE(writeBytes(file, kHandKept));
    ASSERT_TRUE(FileTestTools::setMode(m_dir.path(), 0755));
    ASSERT_TRUE(FileTestTools::setMode(file, 0666));
    ASSERT_TRUE(FileTestTools::setMode(dir, 0555));

    const std::string complaint = FileTestTools::runUnprivileged([&]() -> std::string {
        if (FileTestTools::canCreateIn(dir)) {
            return "the directory is still writable";
        }
        const QString message = failureOf(file, "ad", "emails", "/neu.txt");
        if (message != cannotWrite(file)) {
            return "message was: " + message.toStdString();
        }
        return {};
    });
    FileTestTools::setMode(dir, 0755);
    EXPECT_EQ(complaint, "");
    EXPECT_EQ(readBytes(file), kHandKept);
    EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList({"tarvelo.ini"}));
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
