#include "platform/TextFile.h"
#include "platform/TarveloError.h"

#include "FileTestTools.h"

#include <QDir>
#include <QTemporaryDir>

#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <optional>

using FileTestTools::readBytes;
using FileTestTools::writeBytes;

namespace {

// The message of the TarveloError that f raises, or "<kein Fehler>".
template <class F> QString errorOf(F f) {
    try {
        f();
    } catch (const TarveloError& e) {
        return e.message();
    }
    return QStringLiteral("<kein Fehler>");
}

template <class F> std::optional<IoError> ioErrorOf(F f) {
    try {
        f();
    } catch (const IoError& e) {
        return e;
    }
    return std::nullopt;
}

class TextFileTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

} // namespace

// --- splitting ---------------------------------------------------------

TEST(TextFileSplit, EveryKindOfLineBreak) {
    EXPECT_EQ(TextFile::splitLines(QStringLiteral("a\r\nb\r\n")), QStringList({"a", "b"}));
    EXPECT_EQ(TextFile::splitLines(QStringLiteral("a\rb\r")), QStringList({"a", "b"}));
    EXPECT_EQ(TextFile::splitLines(QStringLiteral("a\nb\n")), QStringList({"a", "b"}));
    EXPECT_EQ(TextFile::splitLines(QStringLiteral("a\r\nb\rc\nd")),
              QStringList({"a", "b", "c", "d"}));
    // LF CR is two breaks, not one.
    EXPECT_EQ(TextFile::splitLines(QStringLiteral("a\n\rb")), QStringList({"a", "", "b"}));
}

TEST(TextFileSplit, EmptyLinesAreEntries) {
    EXPECT_EQ(TextFile::splitLines(QStringLiteral("\r\n\r\n")), QStringList({"", ""}));
    EXPECT_EQ(TextFile::splitLines(QStringLiteral("\n")), QStringList({""}));
    EXPECT_EQ(TextFile::splitLines(QStringLiteral("a\n\nb\r\r\nc")),
              QStringList({"a", "", "b", "", "c"}));
    EXPECT_EQ(TextFile::splitLines(QStringLiteral("\r\na")), QStringList({"", "a"}));
}

TEST(TextFileSplit, FinalBreakAddsNoEntryAndEmptyTextHasNoLines) {
    EXPECT_TRUE(TextFile::splitLines(QString()).isEmpty());
    EXPECT_EQ(TextFile::splitLines(QStringLiteral("only")), QStringList({"only"}));
    EXPECT_EQ(TextFile::splitLines(QStringLiteral("only\r\n")), QStringList({"only"}));
}

TEST(TextFileSplit, LinesAreNotTrimmed) {
    EXPECT_EQ(TextFile::splitLines(QStringLiteral("  a \t\r\n\tb")),
              QStringList({"  a \t", "\tb"}));
}

TEST(TextFileJoin, EveryLineEndsWithCrLf) {
    EXPECT_EQ(TextFile::joinLines({"a", "", "ö"}), QByteArray("a\r\n\r\n\xF6\r\n"));
    EXPECT_TRUE(TextFile::joinLines({}).isEmpty());
}

// --- reading -------------------------------------------------------------

TEST_F(TextFileTest, ReadLinesDecodesWindows1252) {
    ASSERT_TRUE(writeBytes(path("list.txt"), "m\xFCller@example.de\r\n\x80uro\nlast"));
    EXPECT_EQ(TextFile::readLines(path("list.txt")),
              QStringList({QStringLiteral("müller@example.de"), QStringLiteral("€uro"), "last"}));
}

TEST_F(TextFileTest, ReadLinesOfEmptyFileGivesNoLines) {
    ASSERT_TRUE(writeBytes(path("empty.txt"), QByteArray()));
    EXPECT_TRUE(TextFile::readLines(path("empty.txt")).isEmpty());
}

TEST_F(TextFileTest, ReadLinesOfMissingFileNamesThePath) {
    const QString missing = path("fehlt.txt");
    EXPECT_EQ(errorOf([&] { TextFile::readLines(missing); }),
              QStringLiteral("Datei %1 kann nicht geöffnet werden").arg(missing));
}

TEST_F(TextFileTest, ReadLinesOfADirectoryFails) {
    // Read as an empty list, a directory would make every address look stale.
    const QString dir = path("liste.txt");
    ASSERT_TRUE(QDir().mkdir(dir));
    EXPECT_EQ(errorOf([&] { TextFile::readLines(dir); }),
              QStringLiteral("Datei %1 kann nicht geöffnet werden").arg(dir));
}

TEST_F(TextFileTest, ReadLinesReportsAFailingRead) {
    // Reading this process's memory from address 0 fails with an I/O error
    // after the open succeeded: no part of a file may pass for all of it.
    const auto error = ioErrorOf([] { TextFile::readLines(QStringLiteral("/proc/self/mem")); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->message(), IoError::fromCode(error->code()).message());
    EXPECT_NE(error->code(), 5);
}

// --- replacing -----------------------------------------------------------

TEST_F(TextFileTest, ReplaceLinesWritesCrLfAfterEveryLine) {
    const QString file = path("out.txt");
    TextFile::replaceLines(file, {"erste", "", QStringLiteral("zweite äöüß €"), "  x  "});
    EXPECT_EQ(readBytes(file),
              QByteArray("erste\r\n\r\nzweite \xE4\xF6\xFC\xDF \x80\r\n  x  \r\n"));
}

TEST_F(TextFileTest, ReplaceLinesReplacesTheWholeFile) {
    const QString file = path("out.txt");
    ASSERT_TRUE(writeBytes(file, "a much longer old content\nwith lines\n"));
    TextFile::replaceLines(file, {"neu"});
    EXPECT_EQ(readBytes(file), QByteArray("neu\r\n"));
    TextFile::replaceLines(file, {});
    EXPECT_EQ(readBytes(file), QByteArray());
}

TEST_F(TextFileTest, ReplaceLinesRoundTripsThroughReadLines) {
    const QStringList lines = {"", "a", "b c", QStringLiteral("Grüße"), "", "end"};
    TextFile::replaceLines(path("r.txt"), lines);
    EXPECT_EQ(TextFile::readLines(path("r.txt")), lines);
}

TEST_F(TextFileTest, ReplaceLinesInMissingDirectoryFails) {
    const QString file = path("no/such/dir/out.txt");
    EXPECT_EQ(errorOf([&] { TextFile::replaceLines(file, {"x"}); }),
              QStringLiteral("Datei %1 kann nicht erstellt werden").arg(file));
}

TEST_F(TextFileTest, ReplaceLinesBelowARegularFileFails) {
    ASSERT_TRUE(writeBytes(path("plain"), "content\r\n"));
    const QString file = path("plain/out.txt");
    EXPECT_EQ(errorOf([&] { TextFile::replaceLines(file, {"x"}); }),
              QStringLiteral("Datei %1 kann nicht erstellt werden").arg(file));
    EXPECT_EQ(readBytes(path("plain")), QByteArray("content\r\n"));
}

TEST_F(TextFileTest, FailedReplaceLeavesExistingFileUnchanged) {
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
        const QString message = errorOf([&] { TextFile::replaceLines(file, {"neu"}); });
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

// --- appending -----------------------------------------------------------

TEST_F(TextFileTest, AppendLineCreatesMissingFile) {
    const QString file = path("tarvelo.log");
    TextFile::appendLine(file, QStringLiteral("Start"));
    EXPECT_EQ(readBytes(file), QByteArray("Start\r\n"));
}

TEST_F(TextFileTest, AppendLineKeepsEverythingBefore) {
    const QString file = path("tarvelo.log");
    const QByteArray old("\r\nalte Zeile\nohne Ende");
    ASSERT_TRUE(writeBytes(file, old));
    TextFile::appendLine(file, QString());
    TextFile::appendLine(file, QStringLiteral("Datenbank geöffnet"));
    EXPECT_EQ(readBytes(file), old + "\r\nDatenbank ge\xF6"
                                     "ffnet\r\n");
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

TEST_F(TextFileTest, AppendLineToDirectoryFails) {
    const QString dir = path("tarvelo.log");
    ASSERT_TRUE(QDir().mkdir(dir));
    const auto error = ioErrorOf([&] { TextFile::appendLine(dir, QStringLiteral("x")); });
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->code(), 0);
    EXPECT_EQ(error->message(), IoError::fromCode(error->code()).message());
    EXPECT_TRUE(QFileInfo(dir).isDir());
}

TEST_F(TextFileTest, AppendLineBelowARegularFileIsInvalidName) {
    ASSERT_TRUE(writeBytes(path("plain"), "x"));
    const auto error =
        ioErrorOf([&] { TextFile::appendLine(path("plain/tarvelo.log"), QStringLiteral("x")); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code(), 3);
    EXPECT_EQ(error->message(), QStringLiteral("Ungültiger Dateiname"));
    EXPECT_EQ(readBytes(path("plain")), QByteArray("x"));
}

TEST_F(TextFileTest, AppendLineInMissingDirectoryIsNotFound) {
    const auto error =
        ioErrorOf([&] { TextFile::appendLine(path("fehlt/tarvelo.log"), QStringLiteral("x")); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code(), 2);
    EXPECT_EQ(error->message(), QStringLiteral("Datei nicht gefunden"));
}
