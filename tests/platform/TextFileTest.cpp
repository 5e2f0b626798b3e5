#include "platform/TextFile.h"
#include "Utf16.h"
#include "platform/LineBreaks.h"
#include "platform/RegularFile.h"
#include "platform/TarveloError.h"

#include "../core/FileSizeLimit.h"
#include "FileTestTools.h"

#include <QDir>
#include <QTemporaryDir>

#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

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
        {"UTF-8 mark alone", "\xEF\xBB\xBF", {}},
        {"UTF-16 mark alone", "\xFF\xFE", {}},
        {"ASCII only", "alice@example.com\n", {"alice@example.com"}},
        // Not valid UTF-8, so the code page: a lone lead byte, an overlong
        // form, an encoded surrogate, a sequence cut off at the end.
        {"lone lead byte", "J\xC3rgen\n", {QStringLiteral("JÃrgen")}},
        {"overlong slash", "a\xC0\xAF\xC3\xBC\n", {QStringLiteral("aÀ¯Ã¼")}},
        {"surrogate in UTF-8", "\xED\xA0\x80\xC3\xBC", {QStringLiteral("í\u00A0€Ã¼")}},
        {"cut off at the end", "\xC3\xBC\xC3", {QStringLiteral("Ã¼Ã")}},
        {"above U+10FFFF", "\xF4\x90\x80\x80", {QStringLiteral("ô\u0090€€")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(writeBytes(path("liste.txt"), c.bytes));
        EXPECT_EQ(TextFile::readLines(path("liste.txt")), c.lines);
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

    struct Case {
        QString file;
        bool regular;
    };
    const Case cases[] = {
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
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        EXPECT_EQ(RegularFile::exists(c.file), c.regular);
        const QString message = errorOf([&] { TextFile::readLines(c.file); });
        if (c.regular) {
            EXPECT_EQ(message, QStringLiteral("<kein Fehler>"));
        } else {
            EXPECT_EQ(message, QStringLiteral("Datei %1 kann nicht geöffnet werden").arg(c.file));
        }
    }
    ::close(socket);
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

// --- replacing -----------------------------------------------------------

namespace {

// The two ways of replacing a line file: through a link at the name (the
// exception file) and never through one (protocol files). Everything but
// links they do alike.
struct Replacer {
    const char* name;
    void (*replace)(const QString& path, const QStringList& lines);
};

const Replacer kReplacers[] = {{"ThroughLinks", &TextFile::replaceLines},
                               {"NoFollow", &TextFile::replaceLinesNoFollow}};

class TextFileReplace : public TextFileTest, public ::testing::WithParamInterface<Replacer> {
protected:
    void replace(const QString& file, const QStringList& lines) { GetParam().replace(file, lines); }
    // The names in dir, hidden ones included: no temporary file may stay.
    static QStringList namesIn(const QString& dir) {
        return QDir(dir).entryList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }
};

} // namespace

INSTANTIATE_TEST_SUITE_P(Both, TextFileReplace, ::testing::ValuesIn(kReplacers),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(TextFileReplace, WritesCrLfAfterEveryLine) {
    const QString file = path("out.txt");
    replace(file, {"erste", "", QStringLiteral("zweite äöüß €"), "  x  "});
    EXPECT_EQ(readBytes(file),
              QByteArray("erste\r\n\r\nzweite \xE4\xF6\xFC\xDF \x80\r\n  x  \r\n"));
    EXPECT_EQ(namesIn(m_dir.path()), QStringList({"out.txt"}));
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
    const bool follows = GetParam().replace == &TextFile::replaceLines;
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
    const mode_t previous = ::umask(022);
    TextFile::replaceLinesNoFollow(path("p.log"), {"x"});
    ::umask(027);
    TextFile::replaceLinesNoFollow(path("q.log"), {"x"});
    ::umask(previous);
    EXPECT_EQ(FileTestTools::modeOf(path("p.log")), 0644);
    EXPECT_EQ(FileTestTools::modeOf(path("q.log")), 0640);
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
