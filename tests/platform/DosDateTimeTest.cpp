#include "platform/DosDateTime.h"

#include "FileTestTools.h"

#include <QDir>
#include <QTemporaryDir>

#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

namespace {

// The MS-DOS packing spelled out with arithmetic: date in the high word
// (year-1980 * 512 + month * 32 + day), time in the low word
// (hour * 2048 + minute * 32 + seconds / 2), read as a signed 32-bit value.
qint64 dosValue(int year, int month, int day, int hour, int minute, int second) {
    const qint64 date = qint64(year - 1980) * 512 + month * 32 + day;
    const qint64 time = qint64(hour) * 2048 + minute * 32 + second / 2;
    qint64 value = date * 65536 + time;
    if (value >= 2147483648LL) {
        value -= 4294967296LL;
    }
    return value;
}

QDateTime local(int year, int month, int day, int hour, int minute, int second, int ms = 0) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second, ms), Qt::LocalTime);
}

bool setModified(const QString& path, const QDateTime& moment) {
    struct utimbuf times {};
    times.actime = static_cast<time_t>(moment.toSecsSinceEpoch());
    times.modtime = times.actime;
    return ::utime(QFile::encodeName(path).constData(), &times) == 0;
}

} // namespace

TEST(DosDateTime, PackKnownMoments) {
    EXPECT_EQ(DosDateTime::pack(local(1980, 1, 1, 0, 0, 0)), 2162688); // 0x00210000
    EXPECT_EQ(DosDateTime::pack(local(2026, 12, 7, 9, 5, 3)), dosValue(2026, 12, 7, 9, 5, 3));
    EXPECT_EQ(DosDateTime::pack(local(2023, 5, 17, 14, 37, 59)), dosValue(2023, 5, 17, 14, 37, 59));
    EXPECT_EQ(DosDateTime::pack(local(2000, 2, 29, 23, 59, 58)), dosValue(2000, 2, 29, 23, 59, 58));
    EXPECT_EQ(DosDateTime::pack(local(2043, 12, 31, 23, 59, 59)),
              dosValue(2043, 12, 31, 23, 59, 59));
}

TEST(DosDateTime, PackHalvesSecondsRoundingDown) {
    EXPECT_EQ(DosDateTime::pack(local(2024, 3, 4, 5, 6, 7, 999)),
              DosDateTime::pack(local(2024, 3, 4, 5, 6, 6)));
    EXPECT_EQ(DosDateTime::pack(local(2024, 3, 4, 5, 6, 59)) & 31, 29);
}

TEST(DosDateTime, PackFromYear2044IsNegative) {
    // Bit 31 set: the value is written as a signed decimal.
    EXPECT_EQ(DosDateTime::pack(local(2044, 1, 1, 0, 0, 0)), -2147483648LL + 0x210000);
    EXPECT_LT(DosDateTime::pack(local(2107, 12, 31, 23, 59, 59)), 0);
    EXPECT_EQ(DosDateTime::pack(local(2107, 12, 31, 23, 59, 59)),
              dosValue(2107, 12, 31, 23, 59, 59));
}

TEST(DosDateTime, OfFileIsMinusOneWithoutAFile) {
    QTemporaryDir dir;
    EXPECT_EQ(DosDateTime::ofFile(QString()), -1);
    EXPECT_EQ(DosDateTime::ofFile(dir.filePath("fehlt.txt")), -1);
    EXPECT_EQ(DosDateTime::ofFile(dir.path()), -1);
    ASSERT_TRUE(QDir().mkdir(dir.filePath("sub")));
    EXPECT_EQ(DosDateTime::ofFile(dir.filePath("sub")), -1);
}

TEST(DosDateTime, OfFileIsTheLastWriteTime) {
    QTemporaryDir dir;
    const QString file = dir.filePath("liste.txt");
    ASSERT_TRUE(FileTestTools::writeBytes(file, "a@b.de\r\n"));

    ASSERT_TRUE(setModified(file, local(2023, 5, 17, 14, 37, 59)));
    EXPECT_EQ(DosDateTime::ofFile(file), dosValue(2023, 5, 17, 14, 37, 59));

    ASSERT_TRUE(setModified(file, local(2001, 1, 2, 3, 4, 0)));
    EXPECT_EQ(DosDateTime::ofFile(file), dosValue(2001, 1, 2, 3, 4, 0));

    ASSERT_TRUE(setModified(file, local(2050, 7, 8, 22, 10, 11)));
    EXPECT_EQ(DosDateTime::ofFile(file), dosValue(2050, 7, 8, 22, 10, 11));
}

// Outside 1980 to 2107 the format holds no such date: packed, 2108 would
// read as 1980.
TEST(DosDateTime, OfFileOutsideTheFormatsYearsIsMinusOne) {
    QTemporaryDir dir;
    const QString file = dir.filePath("alt.txt");
    ASSERT_TRUE(FileTestTools::writeBytes(file, "x"));
    ASSERT_TRUE(setModified(file, local(1975, 6, 1, 12, 0, 0)));
    EXPECT_EQ(DosDateTime::ofFile(file), -1);
    ASSERT_TRUE(setModified(file, local(2108, 3, 4, 5, 6, 8)));
    EXPECT_EQ(DosDateTime::ofFile(file), -1);
    ASSERT_TRUE(setModified(file, local(2107, 12, 31, 12, 0, 0)));
    EXPECT_EQ(DosDateTime::ofFile(file), dosValue(2107, 12, 31, 12, 0, 0));
}
