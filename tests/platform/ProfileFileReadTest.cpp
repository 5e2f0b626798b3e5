#include "platform/ProfileFile.h"

#include "FileTestTools.h"

#include <QTemporaryDir>

#include "QStringPrinter.h"

#include <gtest/gtest.h>

namespace {

class ProfileFileRead : public ::testing::Test {
protected:
    QString ini(const QByteArray& bytes) {
        const QString path = m_dir.filePath(QStringLiteral("tarvelo.ini"));
        EXPECT_TRUE(FileTestTools::writeBytes(path, bytes));
        return path;
    }
    QString read(const QString& path, const char* section, const char* key,
                 const QString& def = QStringLiteral("<default>")) {
        return ProfileFile::readString(path, QString::fromLatin1(section), QString::fromLatin1(key),
                                       def);
    }
    QTemporaryDir m_dir;
};

} // namespace

TEST_F(ProfileFileRead, ValuesAreTrimmedOfBlanksAndTabs) {
    const QString path = ini("[ad]\r\n"
                             "  emails  =  /daten/liste.txt \t \r\n"
                             "\ttimestamp\t=\t-1\t\r\n"
                             "inner = a  b\tc \r\n");
    EXPECT_EQ(read(path, "ad", "emails"), QStringLiteral("/daten/liste.txt"));
    EXPECT_EQ(read(path, "ad", "timestamp"), QStringLiteral("-1"));
    EXPECT_EQ(read(path, "ad", "inner"), QStringLiteral("a  b\tc"));
}

TEST_F(ProfileFileRead, MatchingQuotesAtBothEndsAreRemoved) {
    const QString path = ini("[q]\n"
                             "double = \"  padded  \"\n"
                             "single='x'\n"
                             "mixed=\"x'\n"
                             "open=\"x\n"
                             "close=x\"\n"
                             "lone=\"\n"
                             "pair=\"\"\n"
                             "inside=a\"b\"c\n"
                             "twice=\"\"x\"\"\n");
    EXPECT_EQ(read(path, "q", "double"), QStringLiteral("  padded  "));
    EXPECT_EQ(read(path, "q", "single"), QStringLiteral("x"));
    EXPECT_EQ(read(path, "q", "mixed"), QStringLiteral("\"x'"));
    EXPECT_EQ(read(path, "q", "open"), QStringLiteral("\"x"));
    EXPECT_EQ(read(path, "q", "close"), QStringLiteral("x\""));
    EXPECT_EQ(read(path, "q", "lone"), QStringLiteral("\""));
    EXPECT_EQ(read(path, "q", "pair"), QString());
    EXPECT_EQ(read(path, "q", "inside"), QStringLiteral("a\"b\"c"));
    EXPECT_EQ(read(path, "q", "twice"), QStringLiteral("\"x\""));
}

TEST_F(ProfileFileRead, ValuesAreCutAt2047Characters) {
    const QByteArray longValue(3000, 'v');
    const QString path = ini("[SQL]\r\nProvider=" + longValue + "\r\n[q]\r\nk=\"" + longValue +
                             "\"\r\nexact=" + QByteArray(2047, 'e') + "\r\n");
    EXPECT_EQ(read(path, "SQL", "Provider"), QString(2047, u'v'));
    EXPECT_EQ(read(path, "q", "k"), QString(2047, u'v'));
    EXPECT_EQ(read(path, "q", "exact"), QString(2047, u'e'));
}

TEST_F(ProfileFileRead, SectionAndKeyNamesIgnoreCase) {
    const QString path = ini("[hMAIL]\r\nADMIN=geheim\r\n[Options]\r\nprotokoll=/var/log/\r\n");
    EXPECT_EQ(read(path, "Hmail", "admin"), QStringLiteral("geheim"));
    EXPECT_EQ(read(path, "OPTIONS", "Protokoll"), QStringLiteral("/var/log/"));
}

TEST_F(ProfileFileRead, CommentsAreNoKeys) {
    const QString path = ini(";emails=vor allem\r\n"
                             "[ad]\r\n"
                             ";emails=/kommentar.txt\r\n"
                             "; timestamp=1\r\n"
                             "emails=/echt.txt\r\n");
    EXPECT_EQ(read(path, "ad", "emails"), QStringLiteral("/echt.txt"));
    EXPECT_EQ(read(path, "ad", "timestamp"), QStringLiteral("<default>"));
    EXPECT_EQ(read(path, "ad", ";emails"), QStringLiteral("<default>"));
}

TEST_F(ProfileFileRead, MissingFileSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(read(m_dir.filePath("fehlt.ini"), "ad", "emails"), QStringLiteral("<default>"));
    EXPECT_EQ(read(m_dir.filePath("fehlt.ini"), "ad", "emails", QString()), QString());
    const QString path = ini("emails=ohne Abschnitt\r\n[SQL]\r\nemails=anderer Abschnitt\r\n"
                             "[ad]\r\ntimestamp=0\r\n");
    EXPECT_EQ(read(path, "ad", "emails"), QStringLiteral("<default>"));
    EXPECT_EQ(read(path, "Hmail", "admin"), QStringLiteral("<default>"));
    EXPECT_EQ(read(path, "ad", "timestamp"), QStringLiteral("0"));
}

TEST_F(ProfileFileRead, EmptyValueIsNotTheDefault) {
    const QString path = ini("[Hmail]\r\nadmin=\r\n[ad]\r\nemails=   \r\n");
    EXPECT_EQ(read(path, "Hmail", "admin"), QString());
    EXPECT_EQ(read(path, "ad", "emails"), QString());
}

TEST_F(ProfileFileRead, FirstMatchingKeyWins) {
    const QString path = ini("[ad]\nemails=erste\nEMAILS=zweite\n[ad]\nemails=dritte\n");
    EXPECT_EQ(read(path, "ad", "emails"), QStringLiteral("erste"));
}

TEST_F(ProfileFileRead, ValueMayHoldEqualSignsAndSemicolons) {
    const QString path = ini("[SQL]\r\nProvider=Provider=SQLite;Data Source=/daten/hmail.db;\r\n");
    EXPECT_EQ(read(path, "SQL", "Provider"),
              QStringLiteral("Provider=SQLite;Data Source=/daten/hmail.db;"));
}

TEST_F(ProfileFileRead, AnyLineBreakAndWindows1252) {
    const QString path = ini("[ad]\remails=/home/j\xFCrgen/liste.txt\r[Options]\n"
                             "Protokoll=/var/log/\x80/\r\n");
    EXPECT_EQ(read(path, "ad", "emails"), QStringLiteral("/home/jürgen/liste.txt"));
    EXPECT_EQ(read(path, "Options", "Protokoll"), QStringLiteral("/var/log/€/"));
}
