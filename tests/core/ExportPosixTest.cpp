#include "core/RouteBrowsing.h"

#include "ExportTestBed.h"
#include "FileSizeLimit.h"
#include "platform/TarveloError.h"
#include "platform/WriteSignals.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

// Exports that fail as POSIX fails them: a name in a missing directory or
// below a file (ENOENT, ENOTDIR), a FIFO without reader (ENXIO), a write over a process file-size
// limit.

TEST_F(ExportTest, FileThatCannotBeCreatedRaisesTheSystemError) {
    load(1);
    const std::optional<IoError> missingDir = ioFailure(
        [&] { RouteBrowsing::exportAddresses(bed.Address, bed.dir.filePath("fehlt/x.txt")); });
    ASSERT_TRUE(missingDir.has_value());
    EXPECT_EQ(missingDir->message(), "Ungültiger Dateiname"); // as on Windows

    const std::optional<IoError> notADir = ioFailure(
        [&] { RouteBrowsing::exportAddresses(bed.Address, bed.dir.filePath("hm.db/x.txt")); });
    ASSERT_TRUE(notADir.has_value());
    EXPECT_EQ(notADir->message(), "Ungültiger Dateiname");

    // A FIFO nobody reads from: an error at once, not a window that waits.
    const QString fifo = bed.dir.filePath("fifo.txt");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const std::optional<IoError> noReader =
        ioFailure([&] { RouteBrowsing::exportAddresses(bed.Address, fifo); });
    ASSERT_TRUE(noReader.has_value());
    EXPECT_EQ(noReader->message(), "Niemand liest aus der Pipe");
}

// An export into a FIFO whose reader leaves before the end (a "head" that
// took what it wanted): the write fails with an error, as on Windows, and
// the program goes on instead of ending by SIGPIPE.
TEST_F(ExportTest, AReaderThatLeavesEndsTheExportWithAnError) {
    WriteSignals::reportInsteadOfEnding(); // as the program does at start
    execOn(bed.database,
           "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000) "
           "INSERT INTO hm_routeaddresses (routeaddressrouteid, routeaddressaddress) "
           "SELECT 1, 'adresse' || i || '@example.com' FROM n");
    load(1);
    const QString fifo = bed.dir.filePath("fifo.txt");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    // Reads a little once the export has begun, then goes.
    std::thread leaving([reader] {
        pollfd begun{reader, POLLIN, 0};
        ::poll(&begun, 1, 10000);
        char some[10];
        [[maybe_unused]] const ssize_t n = ::read(reader, some, sizeof some);
        ::close(reader);
    });
    const std::optional<IoError> failure =
        ioFailure([&] { RouteBrowsing::exportAddresses(bed.Address, fifo); });
    leaving.join();
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->message(), "Niemand liest aus der Pipe");
    EXPECT_TRUE(QFileInfo(fifo).exists()); // the user's FIFO stays
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

// A name that is a link to a file elsewhere (a share the export goes to):
// the link is the user's and stays; the file it names keeps no cut-off
// export that could pass for a whole one, and nothing else is removed.
TEST_F(ExportTest, AFailedWriteThroughALinkKeepsTheLinkAndLeavesNoPartOfTheExport) {
    load(1);
    const QString elsewhere = bed.dir.filePath("freigabe.txt");
    QFile old(elsewhere);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("alte Liste\r\n");
    old.close();
    ASSERT_TRUE(QFile::link(elsewhere, target()));
    std::optional<IoError> failure;
    {
        const FileSizeLimit limit(10);
        failure = ioFailure([&] { RouteBrowsing::exportAddresses(bed.Address, target()); });
    }
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->message(), IoError::fromErrno(EFBIG).message());
    EXPECT_EQ(QFileInfo(target()).symLinkTarget(), elsewhere);
    ASSERT_TRUE(QFile::exists(elsewhere));
    EXPECT_EQ(QFileInfo(elsewhere).size(), 0);
}
