#include "platform/TextFile.h"
#include "Utf16.h"
#include "platform/LineBreaks.h"
#include "platform/NativeFile.h"
#include "platform/RegularFile.h"
#include "platform/TarveloError.h"

#include "FileTestTools.h"
#include "TextFileTestBed.h"

#include <QDir>
#include <QTemporaryDir>

#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <optional>

using FileTestTools::readBytes;
using FileTestTools::writeBytes;

// --- splitting ---------------------------------------------------------

TEST(TextFileSplit, EveryKindOfLineBreak) {
    EXPECT_EQ(LineBreaks::split(QStringLiteral("a\r\nb\r\n")), QStringList({"a", "b"}));
    EXPECT_EQ(LineBreaks::split(QStringLiteral("a\rb\r")), QStringList({"a", "b"}));
    EXPECT_EQ(LineBreaks::split(QStringLiteral("a\nb\n")), QStringList({"a", "b"}));
    EXPECT_EQ(LineBreaks::split(QStringLiteral("a\r\nb\rc\nd")), QStringList({"a", "b", "c", "d"}));
    // LF CR is two breaks, not one.
    EXPECT_EQ(LineBreaks::split(QStringLiteral("a\n\rb")), QStringList({"a", "", "b"}));
}

TEST(TextFileSplit, EmptyLinesAreEntries) {
    EXPECT_EQ(LineBreaks::split(QStringLiteral("\r\n\r\n")), QStringList({"", ""}));
    EXPECT_EQ(LineBreaks::split(QStringLiteral("\n")), QStringList({""}));
    EXPECT_EQ(LineBreaks::split(QStringLiteral("a\n\nb\r\r\nc")),
              QStringList({"a", "", "b", "", "c"}));
    EXPECT_EQ(LineBreaks::split(QStringLiteral("\r\na")), QStringList({"", "a"}));
}

TEST(TextFileSplit, FinalBreakAddsNoEntryAndEmptyTextHasNoLines) {
    EXPECT_TRUE(LineBreaks::split(QString()).isEmpty());
    EXPECT_EQ(LineBreaks::split(QStringLiteral("only")), QStringList({"only"}));
    EXPECT_EQ(LineBreaks::split(QStringLiteral("only\r\n")), QStringList({"only"}));
}

TEST(TextFileSplit, LinesAreNotTrimmed) {
    EXPECT_EQ(LineBreaks::split(QStringLiteral("  a \t\r\n\tb")), QStringList({"  a \t", "\tb"}));
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

namespace {

// CR LF, a lone CR and a lone LF, as the exports below break their lines.
const QString kExport =
    QStringLiteral("Jürgen@example.com\r\nalice@example.com\r\r€uro@exämple.de\n");

} // namespace

TEST_F(TextFileTest, ReadLinesSeesTheEncodingOfAnExport) {
    // The same addresses as another system exports them. A mark is never
    // part of the first line; lines split alike in every encoding.
    const QStringList addresses = {QStringLiteral("Jürgen@example.com"), "alice@example.com", "",
                                   QStringLiteral("€uro@exämple.de")};
    struct Case {
        const char* what;
        QByteArray bytes;
        QStringList lines;
    };
    const Case cases[] = {
        {"UTF-16 LE with mark", utf16WithMark(kExport, true), addresses},
        {"UTF-16 BE with mark", utf16WithMark(kExport, false), addresses},
        {"UTF-8 with mark",
         "\xEF\xBB\xBFJ\xC3\xBCrgen@example.com\r\nalice@example.com\r\r\xE2\x82\xACuro@ex\xC3\xA4"
         "mple.de\n",
         addresses},
        {"UTF-8 without mark",
         "J\xC3\xBCrgen@example.com\r\nalice@example.com\r\r\xE2\x82\xACuro@ex\xC3\xA4mple.de\n",
         addresses},
        {"Windows-1252", "J\xFCrgen@example.com\r\nalice@example.com\r\r\x80uro@ex\xE4mple.de\n",
         addresses},
        {"UTF-16 beyond the first plane",
         QByteArray("\xFF\xFE=\xD8\x00\xDE\n\0", 8),
         {QString::fromUtf8("\xF0\x9F\x98\x80")}},
        // A mark that starts a later line (two exports joined) is dropped
        // too, in every encoding: no database driver would keep it.
        {"UTF-8 mark starting a later line",
         "alice@example.com\n\xEF\xBB\xBF"
         "bob@example.com\n",
         {"alice@example.com", "bob@example.com"}},
        // The first line too loses one mark besides the file's own, no more.
        {"UTF-8 marks doubled at the start of lines",
         "\xEF\xBB\xBF\xEF\xBB\xBF"
         "a@x\n\xEF\xBB\xBF\xEF\xBB\xBF"
         "b@x\n\xEF\xBB\xBF\xEF\xBB\xBF\xEF\xBB\xBF"
         "c@x",
         {"a@x", QStringLiteral("\uFEFFb@x"), QStringLiteral("\uFEFF\uFEFFc@x")}},
        {"UTF-16 mark doubled at the start",
         utf16WithMark(QStringLiteral("\uFEFFa@x"), true),
         {"a@x"}},
        {"UTF-16 mark starting a later line",
         utf16WithMark(QStringLiteral("a@example.com\n\uFEFFb@example.com\r\uFEFF\uFEFFc@x"), true),
         {"a@example.com", "b@example.com", QStringLiteral("\uFEFFc@x")}},
        {"UTF-8 mark alone", "\xEF\xBB\xBF", {}},
        {"UTF-16 mark alone", "\xFF\xFE", {}},
        {"ASCII only", "alice@example.com\n", {"alice@example.com"}},
        // Not valid UTF-8, so the code page: a lone lead byte, an overlong
        // form, an encoded surrogate, a sequence cut off at the end.
        {"lone lead byte", "J\xC3rgen\n", {QStringLiteral("JÃrgen")}},
        {"overlong slash", "a\xC0\xAF\n", {QStringLiteral("aÀ¯")}},
        {"surrogate in UTF-8", "\xED\xA0\x80", {QStringLiteral("í\u00A0€")}},
        {"cut off at the end", "ab\xE2\x82", {QStringLiteral("abâ‚")}},
        {"above U+10FFFF", "\xF4\x90\x80\x80", {QStringLiteral("ô\u0090€€")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(writeBytes(path("liste.txt"), c.bytes));
        EXPECT_EQ(TextFile::readLines(path("liste.txt")), c.lines);
    }
}

TEST_F(TextFileTest, ReadLinesRefusesUtf8MixedWithOtherBytes) {
    // Read as the code page, the UTF-8 letters would turn into others; read
    // as UTF-8, the other bytes would. The line named is the first that is
    // no UTF-8, wherever the UTF-8 stands.
    struct Case {
        const char* what;
        QByteArray bytes;
        int line;
    };
    const Case cases[] = {
        {"two exports joined", "J\xC3\xBCrgen@example.com\r\nm\xFCller@example.com\r\n", 2},
        {"code page first", "m\xFCller@example.com\nJ\xC3\xBCrgen@example.com\n", 1},
        {"after lone CR", "a\rb\r\xC3\xBC\rc\xE9\r", 4},
        {"overlong form", "a\xC0\xAF\xC3\xBC\n", 1},
        {"surrogate", "\xC3\xBC\n\n\xED\xA0\x80", 3},
        {"cut off at the end", "\xC3\xBC\r\n\xC3", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString file = path("liste.txt");
        ASSERT_TRUE(writeBytes(file, c.bytes));
        EXPECT_EQ(errorOf([&] { TextFile::readLines(file); }),
                  QStringLiteral("Datei %1 enthält UTF-8 und Windows-1252 gemischt (Zeile %2 ist "
                                 "kein gültiger UTF-8-Text) und wird nicht gelesen")
                      .arg(file)
                      .arg(c.line));
    }
}

TEST_F(TextFileTest, ReadLinesRefusesADamagedExportAfterItsMark) {
    // Read in any other way, the addresses of a cut-off export would be lost.
    struct Case {
        const char* what;
        QByteArray bytes;
        const char* encoding;
    };
    const Case cases[] = {
        {"UTF-16 cut in a character",
         QByteArray("\xFF\xFE"
                    "a\0b",
                    5),
         "UTF-16"},
        {"UTF-16 lone surrogate", QByteArray("\xFE\xFF\xD8\x3D\0a", 6), "UTF-16"},
        {"UTF-16 lone low surrogate", QByteArray("\xFF\xFE\x00\xDE", 4), "UTF-16"},
        {"UTF-8 mark, then Windows-1252", "\xEF\xBB\xBFJ\xFCrgen@example.com", "UTF-8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString file = path("liste.txt");
        ASSERT_TRUE(writeBytes(file, c.bytes));
        EXPECT_EQ(errorOf([&] { TextFile::readLines(file); }),
                  QStringLiteral("Datei %1 beginnt mit der Kennung für %2, ist aber kein gültiger "
                                 "%2-Text")
                      .arg(file, QString::fromLatin1(c.encoding)));
    }
}

TEST_F(TextFileTest, WrittenLinesStayWindows1252WhateverWasRead) {
    ASSERT_TRUE(writeBytes(path("in.txt"), "\xEF\xBB\xBFJ\xC3\xBCrgen@example.com\n"));
    TextFile::replaceLines(path("out.txt"), TextFile::readLines(path("in.txt")));
    EXPECT_EQ(readBytes(path("out.txt")), QByteArray("J\xFCrgen@example.com\r\n"));
}

TEST_F(TextFileTest, ReadLinesRefusesAFileOverOneGibibyteBeforeReadingIt) {
    // Sparse files: their size is what counts, nothing is written to disk.
    const QString file = path("liste.txt");
    QFile sparse(file);
    ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
    ASSERT_TRUE(sparse.resize(TextFile::kMaxReadBytes + 1));
    sparse.close();
    EXPECT_EQ(errorOf([&] { TextFile::readLines(file); }),
              QStringLiteral("Datei %1 ist größer als 1 GiB (1073741825 Bytes) und wird nicht "
                             "gelesen")
                  .arg(file));
    ASSERT_TRUE(QFile::resize(file, qint64(2) << 30));
    EXPECT_EQ(errorOf([&] { TextFile::readLines(file); }),
              QStringLiteral("Datei %1 ist größer als 1 GiB (2147483648 Bytes) und wird nicht "
                             "gelesen")
                  .arg(file));
}

TEST_F(TextFileTest, ReadLinesRefusesAFileOverItsGivenBound) {
    const QString file = path("ausnahmen.txt");
    ASSERT_TRUE(writeBytes(file, QByteArray((qint64(16) << 20) + 1, 'x')));
    EXPECT_EQ(errorOf([&] { TextFile::readLines(file, nullptr, qint64(16) << 20); }),
              QStringLiteral("Datei %1 ist größer als 16 MiB (16777217 Bytes) und wird nicht "
                             "gelesen")
                  .arg(file));
    // The bound itself is no refusal: a file of exactly that size is read
    // whole, never taken for an empty one (no exception would apply).
    const QByteArray exact = "carol\r\n" + QByteArray((qint64(16) << 20) - 7, 'x');
    ASSERT_TRUE(writeBytes(file, exact));
    const QStringList lines = TextFile::readLines(file, nullptr, qint64(16) << 20);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines.first(), "carol");
    EXPECT_EQ(lines.last().size(), (qint64(16) << 20) - 7);
}

TEST_F(TextFileTest, ReadLinesCountsLinesAsItSplitsThemAndRefusesTooMany) {
    const QString file = path("liste.txt");
    const QString refused =
        QStringLiteral("Datei %1 hat mehr als 10 Millionen Zeilen und wird nicht gelesen")
            .arg(file);
    // CR LF is one break; the last line needs none.
    ASSERT_TRUE(writeBytes(
        file, QByteArray(TextFile::kMaxReadLines * 2 - 2, '\r').replace("\r\r", "\r\n") + "x"));
    EXPECT_EQ(TextFile::readLines(file).size(), TextFile::kMaxReadLines);
    ASSERT_TRUE(writeBytes(file, QByteArray(TextFile::kMaxReadLines, '\n') + "x"));
    EXPECT_EQ(errorOf([&] { TextFile::readLines(file); }), refused);
    // In UTF-16 the units count, not their bytes: U+0D0A (a Malayalam
    // letter) is LF and CR in its bytes, and no break.
    QByteArray utf16("\xFF\xFE");
    for (qsizetype i = 0; i <= TextFile::kMaxReadLines; ++i) {
        utf16 += "\x0A\x0D";
    }
    ASSERT_TRUE(writeBytes(file, utf16));
    EXPECT_EQ(TextFile::readLines(file).size(), 1);
}

// --- replacing -----------------------------------------------------------

namespace {

const Replacer kReplacers[] = {
    {"ThroughLinks",
     [](const QString& file, const QStringList& lines) { TextFile::replaceLines(file, lines); }},
    {"NoFollow", &TextFile::replaceLinesNoFollow}};

} // namespace

INSTANTIATE_TEST_SUITE_P(Both, TextFileReplace, ::testing::ValuesIn(kReplacers),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(TextFileReplace, WritesCrLfAfterEveryLine) {
    const QString file = path("out.txt");
    replace(file, {"erste", "", QStringLiteral("zweite äöüß €"), "  x  "});
    EXPECT_EQ(readBytes(file),
              QByteArray("erste\r\n\r\nzweite \xE4\xF6\xFC\xDF \x80\r\n  x  \r\n"));
    EXPECT_EQ(namesIn(m_dir.path()), QStringList({"out.txt"}));
    replace(file, {}); // no line: an empty file
    EXPECT_EQ(readBytes(file), QByteArray());
}

TEST_P(TextFileReplace, RoundTripsThroughReadLines) {
    const QStringList lines = {"", "a", "b c", QStringLiteral("Grüße"), "", "end"};
    replace(path("r.txt"), lines);
    EXPECT_EQ(TextFile::readLines(path("r.txt")), lines);
}

TEST_P(TextFileReplace, InMissingDirectoryFails) {
    const QString file = path("no/such/dir/out.txt");
    EXPECT_EQ(errorOf([&] { replace(file, {"x"}); }),
              QStringLiteral("Datei %1 kann nicht erstellt werden").arg(file));
}

TEST_P(TextFileReplace, BelowARegularFileFails) {
    ASSERT_TRUE(writeBytes(path("plain"), "content\r\n"));
    const QString file = path("plain/out.txt");
    EXPECT_EQ(errorOf([&] { replace(file, {"x"}); }),
              QStringLiteral("Datei %1 kann nicht erstellt werden").arg(file));
    EXPECT_EQ(readBytes(path("plain")), QByteArray("content\r\n"));
}

TEST_P(TextFileReplace, OnADirectoryFailsAndLeavesNothingBehind) {
    const QString dir = path("hmail-20260101-000000.log");
    ASSERT_TRUE(QDir().mkdir(dir));
    EXPECT_EQ(errorOf([&] { replace(dir, {"x"}); }),
              QStringLiteral("Datei %1 kann nicht erstellt werden").arg(dir));
    EXPECT_TRUE(QFileInfo(dir).isDir());
    EXPECT_EQ(namesIn(m_dir.path()), QStringList({"hmail-20260101-000000.log"}));
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

TEST_F(TextFileTest, AppendLineToDirectoryFails) {
    const QString dir = path("tarvelo.log");
    ASSERT_TRUE(QDir().mkdir(dir));
    const auto error = ioErrorOf([&] { TextFile::appendLine(dir, QStringLiteral("x")); });
    ASSERT_TRUE(error.has_value());
    EXPECT_NE(error->code(), 0);
    EXPECT_EQ(error->message(), IoError::fromCode(error->code()).message());
    EXPECT_TRUE(QFileInfo(dir).isDir());
}

TEST_F(TextFileTest, AppendLineInMissingDirectoryIsPathNotFound) {
    // Windows' own code for a missing directory on the way, as Windows
    // programs report it, also on Linux.
    const auto error =
        ioErrorOf([&] { TextFile::appendLine(path("fehlt/tarvelo.log"), QStringLiteral("x")); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code(), 3);
    EXPECT_EQ(error->message(), QStringLiteral("Ungültiger Dateiname"));
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

// --- the export's file ---------------------------------------------------

TEST_F(TextFileTest, AnExportLeftUnfinishedIsRemovedAFinishedOneStays) {
    // The rows stopped coming in between (the database, the memory): half a
    // route's addresses under the chosen name would pass for all of them.
    const QString file = path("example.com.txt");
    {
        NativeFile::Output output(file);
        output.write("a@example.com\r\n");
    }
    EXPECT_FALSE(QFileInfo::exists(file));
    {
        NativeFile::Output output(file);
        output.write("a@example.com\r\n");
        output.close();
    }
    EXPECT_EQ(readBytes(file), QByteArray("a@example.com\r\n"));
}
