#include "core/ActivityLog.h"
#include "ManualClock.h"
#include "MemoryWindowState.h"
#include "core/WindowState.h"
#include "platform/Clock.h"
#include "platform/TarveloError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

QDateTime at(int y, int mo, int d, int h, int mi, int s, int ms = 0) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::LocalTime);
}

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<fehlt>");
}

class ActivityLogTest : public ::testing::Test {
protected:
    QString logPath() const { return m_dir.filePath(QStringLiteral("tarvelo.log")); }
    std::optional<IoError> failureOf(ActivityLog& log, const QString& message) {
        try {
            log.LogMessage(message);
        } catch (const IoError& e) {
            return e;
        }
        return std::nullopt;
    }

    QTemporaryDir m_dir;
    ManualClock m_clock{at(2026, 12, 7, 9, 5, 3)};
    MemoryWindowState m_window;
};

} // namespace

TEST_F(ActivityLogTest, FirstStartInAFreshDirectory) {
    ActivityLog log(logPath(), m_clock, m_window);
    log.LogMessage(QString());
    log.LogMessage(QStringLiteral("Start des Programms"));
    EXPECT_EQ(bytesOf(logPath()), QByteArray("\r\n07.12.2026 09:05:03: Start des Programms\r\n"));
    EXPECT_EQ(m_window.protokollLines(), QStringList({"09:05:03: Start des Programms"}));
}

TEST_F(ActivityLogTest, EarlierLinesAreKept) {
    const QByteArray earlier("\r\n01.01.2026 08:00:00: Start des Programms\r\nfremd ohne Ende");
    {
        QFile file(logPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(earlier);
    }
    ActivityLog log(logPath(), m_clock, m_window);
    log.LogMessage(QStringLiteral("Programm wird geschlossen"));
    m_clock.set(at(2026, 12, 7, 23, 59, 59, 999));
    log.LogMessage(QStringLiteral("Ende DBsync"));
    EXPECT_EQ(bytesOf(logPath()), earlier + "07.12.2026 09:05:03: Programm wird geschlossen\r\n"
                                            "07.12.2026 23:59:59: Ende DBsync\r\n");
    EXPECT_EQ(m_window.protokollLines(),
              QStringList({"09:05:03: Programm wird geschlossen", "23:59:59: Ende DBsync"}));
}

TEST_F(ActivityLogTest, AtMidnightTheFileLineHasTheDateOnly) {
    ActivityLog log(logPath(), m_clock, m_window);
    m_clock.set(at(2026, 12, 8, 0, 0, 0));
    log.LogMessage(QStringLiteral("msg"));
    // Fractions of a second are not looked at.
    m_clock.set(at(2026, 12, 8, 0, 0, 0, 750));
    log.LogMessage(QStringLiteral("bruchteil"));
    m_clock.set(at(2026, 12, 8, 0, 0, 1));
    log.LogMessage(QStringLiteral("danach"));
    m_clock.set(at(2027, 1, 2, 12, 0, 0));
    log.LogMessage(QStringLiteral("mittag"));
    EXPECT_EQ(bytesOf(logPath()), QByteArray("08.12.2026: msg\r\n"
                                             "08.12.2026: bruchteil\r\n"
                                             "08.12.2026 00:00:01: danach\r\n"
                                             "02.01.2027 12:00:00: mittag\r\n"));
    EXPECT_EQ(m_window.protokollLines(), QStringList({"00:00:00: msg", "00:00:00: bruchteil",
                                                      "00:00:01: danach", "12:00:00: mittag"}));
}

TEST_F(ActivityLogTest, EmptyMessageLeavesThePane) {
    m_window.addProtokollLine(QStringLiteral("vorher"));
    ActivityLog log(logPath(), m_clock, m_window);
    log.LogMessage(QString());
    log.LogMessage(QString());
    EXPECT_EQ(bytesOf(logPath()), QByteArray("\r\n\r\n"));
    EXPECT_EQ(m_window.protokollLines(), QStringList({"vorher"}));
}

TEST_F(ActivityLogTest, UmlautsAreWrittenInWindows1252) {
    ActivityLog log(logPath(), m_clock, m_window);
    log.LogMessage(QStringLiteral("Datenbank geöffnet"));
    log.LogMessage(QStringLiteral("Verarbeite: /daten/Müller €.txt"));
    EXPECT_EQ(bytesOf(logPath()), QByteArray("07.12.2026 09:05:03: Datenbank ge\xF6"
                                             "ffnet\r\n"
                                             "07.12.2026 09:05:03: Verarbeite: /daten/M\xFC"
                                             "ller \x80.txt\r\n"));
    EXPECT_EQ(m_window.protokollLines(),
              QStringList({QStringLiteral("09:05:03: Datenbank geöffnet"),
                           QStringLiteral("09:05:03: Verarbeite: /daten/Müller €.txt")}));
}

// A driver's message over several lines, a tab, a path with a line break
// given on the command line: each entry stays one line of the log and of the
// pane, so nobody can forge a line of its own.
TEST_F(ActivityLogTest, ControlCharactersInAMessageBecomeBlanks) {
    ActivityLog log(logPath(), m_clock, m_window);
    log.LogMessage(QStringLiteral("Fehler: connection refused\n\tIs the server running?\r\n"));
    log.LogMessage(QStringLiteral("Verarbeite: /x\r07.12.2026 09:05:03: Ende DBsync"));
    log.LogMessage(QStringLiteral("a\u2028b\u2029c\u0085d\u007fe\u0000f"));
    EXPECT_EQ(bytesOf(logPath()),
              QByteArray("07.12.2026 09:05:03: Fehler: connection refused  Is the server running?  "
                         "\r\n"
                         "07.12.2026 09:05:03: Verarbeite: /x 07.12.2026 09:05:03: Ende DBsync\r\n"
                         "07.12.2026 09:05:03: a b c d e f\r\n"));
    EXPECT_EQ(m_window.protokollLines(),
              QStringList({"09:05:03: Fehler: connection refused  Is the server running?  ",
                           "09:05:03: Verarbeite: /x 07.12.2026 09:05:03: Ende DBsync",
                           "09:05:03: a b c d e f"}));
}

TEST_F(ActivityLogTest, EveryCallReopensTheFile) {
    ActivityLog log(logPath(), m_clock, m_window);
    log.LogMessage(QStringLiteral("eins"));
    ASSERT_TRUE(QFile::remove(logPath()));
    log.LogMessage(QStringLiteral("zwei"));
    EXPECT_EQ(bytesOf(logPath()), QByteArray("07.12.2026 09:05:03: zwei\r\n"));
}

TEST_F(ActivityLogTest, LogThatIsADirectoryFailsAndLeavesThePane) {
    ASSERT_TRUE(QDir().mkdir(logPath()));
    m_window.addProtokollLine(QStringLiteral("vorher"));
    ActivityLog log(logPath(), m_clock, m_window);
    const auto error = failureOf(log, QStringLiteral("Start des Programms"));
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->message(), "In die Logdatei \"" + logPath() +
                                    "\" kann nicht geschrieben werden: " +
                                    IoError::fromCode(error->code()).message());
    EXPECT_EQ(m_window.protokollLines(), QStringList({"vorher"}));
    EXPECT_TRUE(failureOf(log, QString()).has_value());
}

TEST_F(ActivityLogTest, LogBelowARegularFileFailsAndLeavesThePane) {
    const QString plain = m_dir.filePath(QStringLiteral("plain"));
    {
        QFile file(plain);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    ActivityLog log(plain + QStringLiteral("/tarvelo.log"), m_clock, m_window);
    const auto error = failureOf(log, QStringLiteral("Datenbank geöffnet"));
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code(), 3);
    EXPECT_EQ(error->message(), "In die Logdatei \"" + plain +
                                    "/tarvelo.log\" kann nicht geschrieben werden: Ungültiger "
                                    "Dateiname");
    EXPECT_TRUE(m_window.protokollLines().isEmpty());
    EXPECT_EQ(bytesOf(plain), QByteArray());
}

TEST(ActivityLogStamps, GermanShapes) {
    EXPECT_EQ(ActivityLog::fileStamp(at(2026, 1, 2, 3, 4, 5)),
              QStringLiteral("02.01.2026 03:04:05"));
    EXPECT_EQ(ActivityLog::fileStamp(at(2026, 1, 2, 0, 0, 0)), QStringLiteral("02.01.2026"));
    EXPECT_EQ(ActivityLog::fileStamp(at(2026, 1, 2, 0, 1, 0)),
              QStringLiteral("02.01.2026 00:01:00"));
    EXPECT_EQ(ActivityLog::fileStamp(at(2026, 1, 2, 1, 0, 0)),
              QStringLiteral("02.01.2026 01:00:00"));
    EXPECT_EQ(ActivityLog::paneStamp(at(2026, 1, 2, 0, 0, 0)), QStringLiteral("00:00:00"));
    EXPECT_EQ(ActivityLog::paneStamp(at(2026, 1, 2, 23, 7, 9)), QStringLiteral("23:07:09"));
}
