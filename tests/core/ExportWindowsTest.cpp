#include "core/RouteBrowsing.h"

#include "ExportTestBed.h"
#include "platform/TarveloError.h"

#include <gtest/gtest.h>

// Exports that fail as Windows fails them: a name in a missing directory
// or below a file is a path not found (code 3), as Windows itself reports
// it there.

TEST_F(ExportTest, FileThatCannotBeCreatedRaisesTheSystemError) {
    load(1);
    const std::optional<IoError> missingDir = ioFailure(
        [&] { RouteBrowsing::exportAddresses(bed.Address, bed.dir.filePath("fehlt/x.txt")); });
    ASSERT_TRUE(missingDir.has_value());
    EXPECT_EQ(missingDir->code(), 3);
    EXPECT_EQ(missingDir->message(), "Ungültiger Dateiname");

    const std::optional<IoError> notADir = ioFailure(
        [&] { RouteBrowsing::exportAddresses(bed.Address, bed.dir.filePath("hm.db/x.txt")); });
    ASSERT_TRUE(notADir.has_value());
    EXPECT_EQ(notADir->code(), 3);
    EXPECT_EQ(notADir->message(), "Ungültiger Dateiname");
}
