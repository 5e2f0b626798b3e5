#include "core/RouteBrowsing.h"

#include "ExportTestBed.h"
#include "FileSizeLimit.h"
#include "platform/TarveloError.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>

// Exports that fail as POSIX fails them: a name in a missing directory or
// below a file (ENOENT, ENOTDIR), a write over a process file-size limit.

TEST_F(ExportTest, FileThatCannotBeCreatedRaisesTheSystemError) {
    load(1);
    const std::optional<IoError> missingDir = ioFailure(
        [&] { RouteBrowsing::exportAddresses(bed.Address, bed.dir.filePath("fehlt/x.txt")); });
    ASSERT_TRUE(missingDir.has_value());
    EXPECT_EQ(missingDir->message(), "Datei nicht gefunden");

    const std::optional<IoError> notADir = ioFailure(
        [&] { RouteBrowsing::exportAddresses(bed.Address, bed.dir.filePath("hm.db/x.txt")); });
    ASSERT_TRUE(notADir.has_value());
    EXPECT_EQ(notADir->message(), "Ungültiger Dateiname");
}

TEST_F(ExportTest, APartlyWrittenFileIsRemovedAfterAWriteError) {
    load(1);
    std::optional<IoError> failure;
    {
        const FileSizeLimit limit(10);
        failure = ioFailure([&] { RouteBrowsing::exportAddresses(bed.Address, target()); });
    }
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->message(), IoError::fromErrno(EFBIG).message());
    EXPECT_FALSE(QFile::exists(target()));
}
