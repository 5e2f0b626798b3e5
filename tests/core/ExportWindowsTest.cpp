#include "core/RouteBrowsing.h"

#include "ExportTestBed.h"
#include "platform/TarveloError.h"

#include <QFile>

#include <gtest/gtest.h>

// Exports that fail as Windows fails them: a name in a missing directory
// or below a file is a path not found (code 3), as Windows itself reports
// it there; so is a name Windows takes for a device.

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

    // Names Windows takes for a device in any folder: the export would go to
    // it, and no file would appear.
    for (const QString name :
         {"aux.example.com.txt", "NUL.txt", "con.txt", "com1.example.net.txt", "lpt2.txt", "prn"}) {
        const std::optional<IoError> device =
            ioFailure([&] { RouteBrowsing::exportAddresses(bed.Address, bed.dir.filePath(name)); });
        ASSERT_TRUE(device.has_value()) << name.toStdString();
        EXPECT_EQ(device->code(), 3);
        EXPECT_EQ(device->message(), "Ungültiger Dateiname");
    }
    // One of its names within a longer one is an ordinary file.
    RouteBrowsing::exportAddresses(bed.Address, bed.dir.filePath("auxiliary.example.com.txt"));
    EXPECT_TRUE(QFile::exists(bed.dir.filePath("auxiliary.example.com.txt")));
}
