#include "platform/FileLock.h"

#include "FileTestTools.h"

#include <QDateTime>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// The lock file carries the second its last holder let go, so that the next
// run cannot name its protocol like that run's: a new file carries none (a
// first run waits for nothing), a stamp replaces whatever the file held and
// is read back by the next holder.
TEST(FileLock, CarriesTheSecondItsLastHolderLetGo) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tarvelo.lock"));
    {
        FileLock first;
        first.open(path);
        EXPECT_EQ(first.stampedSecond(), -1);
        ASSERT_TRUE(first.tryLock());
        first.stamp();
    }
    FileLock next;
    next.open(path);
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    EXPECT_GE(next.stampedSecond(), now - 1);
    EXPECT_LE(next.stampedSecond(), now);

    // An older, longer text is replaced whole, not overwritten at its start.
    next.close();
    ASSERT_TRUE(FileTestTools::writeBytes(path, "99999999999999999999\r\n"));
    next.open(path);
    ASSERT_TRUE(next.tryLock());
    next.stamp();
    next.close();
    bool number = false;
    const qint64 stamped = FileTestTools::readBytes(path).toLongLong(&number);
    EXPECT_TRUE(number) << FileTestTools::readBytes(path).constData();
    EXPECT_GE(stamped, now);
    EXPECT_LE(stamped, now + 1);
}
