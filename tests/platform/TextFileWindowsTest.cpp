#include "platform/RegularFile.h"
#include "platform/TarveloError.h"
#include "platform/TextFile.h"

#include "FileTestTools.h"
#include "TextFileTestBed.h"

#include <QDir>
#include <QFileInfo>

#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>

// Line files where Windows shows what the program must withstand: devices
// and pipes, paths with drive letters and backslashes, symbolic links.

using FileTestTools::readBytes;
using FileTestTools::writeBytes;

namespace {

std::wstring native(const QString& path) {
    return QDir::toNativeSeparators(path).toStdWString();
}

} // namespace

TEST_F(TextFileTest, OnlyARegularFileIsAFileToRead) {
    // A pipe without a writer or a device such as NUL is no list; they count
    // as missing, like a directory.
    ASSERT_TRUE(writeBytes(path("liste.txt"), "a@example.com\n"));
    ASSERT_TRUE(QDir().mkdir(path("dir")));
    const QString pipe =
        QStringLiteral("\\\\.\\pipe\\tarvelo-test-%1").arg(::GetCurrentProcessId());
    const HANDLE server = ::CreateNamedPipeW(native(pipe).c_str(), PIPE_ACCESS_DUPLEX,
                                             PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);

    expectOnlyRegularFilesRead({
        {path("liste.txt"), true},
        {QDir::toNativeSeparators(path("liste.txt")), true},
        {QString(), false},
        {path("fehlt.txt"), false},
        {path("dir"), false},
        {pipe, false},
        {QStringLiteral("NUL"), false},
    });
    ::CloseHandle(server);
}

TEST_F(TextFileTest, AFileStillBeingWrittenIsNotRead) {
    // An export that another program still writes: its first half would be
    // taken for the whole list. Readers beside it do not stand in the way.
    const QString file = path("liste.txt");
    ASSERT_TRUE(writeBytes(file, "a@example.com\r\n"));
    const struct {
        DWORD access;
        DWORD share;
        bool readable;
    } holders[] = {
        {GENERIC_WRITE, FILE_SHARE_READ, false},
        {GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, false},
        {FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, false},
        {GENERIC_READ, FILE_SHARE_READ, true},
        {GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, true},
    };
    for (const auto& holder : holders) {
        const HANDLE held = ::CreateFileW(native(file).c_str(), holder.access, holder.share,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE) << ::GetLastError();
        std::optional<QString> failure;
        try {
            EXPECT_EQ(TextFile::readLines(file), QStringList({"a@example.com"}));
        } catch (const TarveloError& e) {
            failure = e.message();
        }
        ::CloseHandle(held);
        if (holder.readable) {
            EXPECT_EQ(failure, std::nullopt) << holder.access << " " << holder.share;
        } else {
            EXPECT_EQ(failure, "Datei " + file + " kann nicht geöffnet werden")
                << holder.access << " " << holder.share;
        }
    }
    EXPECT_EQ(TextFile::readLines(file), QStringList({"a@example.com"}));
}

TEST_F(TextFileTest, BackslashedPathsWithBlanksAreReadAndWritten) {
    const QString dir = QDir::toNativeSeparators(path("Mit Leerzeichen"));
    ASSERT_TRUE(QDir().mkdir(dir));
    const QString file = dir + QStringLiteral("\\liste.txt");
    TextFile::replaceLinesNoFollow(file, {QStringLiteral("Jürgen@example.com")});
    TextFile::appendLine(file, QStringLiteral("b@example.com"));
    EXPECT_EQ(readBytes(file), QByteArray("J\xFCrgen@example.com\r\nb@example.com\r\n"));
    EXPECT_EQ(TextFile::readLines(file),
              QStringList({QStringLiteral("Jürgen@example.com"), "b@example.com"}));
}

TEST_F(TextFileTest, ReplaceLinesNoFollowReplacesASymbolicLinkNotItsTarget) {
    const QString target = path("ziel.txt");
    const QString link = path("hmail-20260101-120000.log");
    ASSERT_TRUE(writeBytes(target, "fremd\r\n"));
    ASSERT_TRUE(::CreateSymbolicLinkW(native(link).c_str(), native(target).c_str(), 0));

    TextFile::replaceLinesNoFollow(link, {"Datei: C:\\liste.txt"});
    EXPECT_FALSE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readBytes(link), QByteArray("Datei: C:\\liste.txt\r\n"));
    EXPECT_EQ(readBytes(target), QByteArray("fremd\r\n"));
}
