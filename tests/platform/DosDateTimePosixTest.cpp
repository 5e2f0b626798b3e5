#include "platform/DosDateTime.h"

#include "FileTestTools.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

// The zone of the test, a German one with summer time, written out so that
// no time zone files are needed; the machine's own zone afterwards.
class GermanZone {
public:
    GermanZone() : m_had(qEnvironmentVariableIsSet("TZ")), m_before(qgetenv("TZ")) {
        qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
        ::tzset();
    }
    ~GermanZone() {
        if (m_had) {
            qputenv("TZ", m_before);
        } else {
            qunsetenv("TZ");
        }
        ::tzset();
    }
    GermanZone(const GermanZone&) = delete;
    GermanZone& operator=(const GermanZone&) = delete;

private:
    bool m_had;
    QByteArray m_before;
};

} // namespace

// The value names the file's time as the clock on the wall showed it, in
// winter and in summer, not the time in UTC.
TEST(DosDateTimeZone, OfFileIsInLocalTimeWithSummerTime) {
    const GermanZone zone;
    QTemporaryDir dir;
    const QString file = dir.filePath("liste.txt");
    ASSERT_TRUE(FileTestTools::writeBytes(file, "a@b.de\r\n"));
    const struct {
        const char* utc;
        int hour;
    } cases[] = {{"2026-07-01T10:00:00Z", 12}, {"2026-01-15T10:00:00Z", 11}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.utc);
        QFile list(file);
        ASSERT_TRUE(list.open(QIODevice::ReadWrite));
        ASSERT_TRUE(list.setFileTime(QDateTime::fromString(QString::fromLatin1(c.utc), Qt::ISODate),
                                     QFileDevice::FileModificationTime));
        list.close();
        const qint64 value = DosDateTime::ofFile(file);
        EXPECT_EQ((value >> 11) & 31, c.hour);
        EXPECT_EQ(value & 0x7FF, 0) << "minutes and seconds";
    }
}
