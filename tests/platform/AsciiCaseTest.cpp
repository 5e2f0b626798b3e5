#include "platform/AsciiCase.h"
#include "platform/AsciiRun.h"

#include "QStringPrinter.h"

#include <gtest/gtest.h>

TEST(AsciiCase, LowerChangesOnlyAToZ) {
    EXPECT_EQ(AsciiCase::lower(QStringLiteral("Max.Mustermann@Example.DE")),
              QStringLiteral("max.mustermann@example.de"));
    EXPECT_EQ(AsciiCase::lower(QStringLiteral("ÄÖÜ")), QStringLiteral("ÄÖÜ"));
    EXPECT_EQ(AsciiCase::lower(QStringLiteral("İSTANBUL")), QStringLiteral("İstanbul"));
    EXPECT_EQ(AsciiCase::lower(QStringLiteral("ŠÉ\u212A")), QStringLiteral("ŠÉ\u212A"));
    EXPECT_EQ(AsciiCase::lower(QStringLiteral("@[]^_`{")), QStringLiteral("@[]^_`{"));
    EXPECT_EQ(AsciiCase::lower(QString()), QString());
}

TEST(AsciiCase, LowerCoversTheWholeAsciiRange) {
    QString all;
    QString expected;
    for (char16_t c = 0; c < 0x180; ++c) {
        all.append(QChar(c));
        expected.append(QChar((c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c));
        EXPECT_EQ(AsciiCase::lower(c), expected.back().unicode()) << int(c);
    }
    EXPECT_EQ(AsciiCase::lower(all), expected);
}

TEST(AsciiCase, LowerLeavesItsArgument) {
    const QString original = QStringLiteral("ABC");
    const QString copy = original;
    EXPECT_EQ(AsciiCase::lower(copy), QStringLiteral("abc"));
    EXPECT_EQ(copy, original);
}

TEST(AsciiCase, HasUpper) {
    EXPECT_TRUE(AsciiCase::hasUpper(u"abZ"));
    EXPECT_FALSE(AsciiCase::hasUpper(u"abäÄ"));
    EXPECT_FALSE(AsciiCase::hasUpper(u""));
}

TEST(AsciiCase, EqualIgnoringCase) {
    EXPECT_TRUE(AsciiCase::equalIgnoringCase(u"Hmail", u"HMAIL"));
    EXPECT_TRUE(AsciiCase::equalIgnoringCase(u"", u""));
    EXPECT_FALSE(AsciiCase::equalIgnoringCase(u"äb", u"Äb"));
    EXPECT_FALSE(AsciiCase::equalIgnoringCase(u"i", u"İ"));
    EXPECT_FALSE(AsciiCase::equalIgnoringCase(u"k", u"\u212A"));
    EXPECT_FALSE(AsciiCase::equalIgnoringCase(u"ad", u"ads"));
    EXPECT_FALSE(AsciiCase::equalIgnoringCase(u"ads", u"ad"));
    // '@' and '`' sit 32 apart like the letters, but are no letters.
    EXPECT_FALSE(AsciiCase::equalIgnoringCase(u"@", u"`"));
    EXPECT_FALSE(AsciiCase::equalIgnoringCase(u"[", u"{"));
}

// Every length around the eight bytes tested at once, with the first byte
// beyond ASCII at every place, or none.
TEST(AsciiRun, EndsAtTheFirstByteBeyondAscii) {
    for (qsizetype size = 0; size <= 20; ++size) {
        const QByteArray ascii(size, '\x7f');
        EXPECT_EQ(asciiPrefix(ascii.constData(), size), size) << size;
        for (qsizetype at = 0; at < size; ++at) {
            for (const char high : {'\x80', '\xff'}) {
                QByteArray bytes = ascii;
                bytes[at] = high;
                EXPECT_EQ(asciiPrefix(bytes.constData(), size), at) << size << " " << at;
            }
        }
    }
}
