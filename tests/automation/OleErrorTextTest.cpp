#include "automation/OleErrorText.h"
#include "ErrorOf.h"

#include <gtest/gtest.h>

TEST(OleErrorText, DescriptionLosesTrailingBlanksControlCharactersAndFullStops) {
    EXPECT_EQ(OleErrorText::forException(QStringLiteral("Zugriff nicht erlaubt. \r\n"), 0),
              QStringLiteral("Zugriff nicht erlaubt"));
    EXPECT_EQ(OleErrorText::forException(QStringLiteral("Ende...\t. \x7f"), 0x80004005),
              QStringLiteral("Ende"));
    // Only the end is trimmed: inner full stops and leading blanks stay.
    EXPECT_EQ(OleErrorText::forException(QStringLiteral("  Version 5.6 fehlt."), 0),
              QStringLiteral("  Version 5.6 fehlt"));
    EXPECT_EQ(OleErrorText::forException(QStringLiteral("Ungültige Route für ß!"), 0),
              QStringLiteral("Ungültige Route für ß!"));
}

TEST(OleErrorText, EmptyDescriptionGivesTheSystemTextOfTheCode) {
    EXPECT_EQ(OleErrorText::forException(QString(), 0x80070005),
              QStringLiteral("Zugriff verweigert"));
    EXPECT_EQ(OleErrorText::forException(QStringLiteral(" .\r\n"), 0x80004005),
              QStringLiteral("Unbekannter Fehler"));
    EXPECT_EQ(OleErrorText::forException(QStringLiteral("..."), 0x80070057),
              QStringLiteral("Falscher Parameter"));
    EXPECT_EQ(OleErrorText::message(0x800401F3), QStringLiteral("Ungültige Klassenzeichenfolge"));
}

// Windows errors carried as COM codes, as a server out of process gives them
// (its host or service gone, the call cut off, a file missing): Windows has a
// text for each, in the user's language; elsewhere no system has one.
TEST(OleErrorText, OtherCodesGetTheSystemsOwnText) {
    const quint32 codes[] = {
        0x800706BA, // the RPC server is unavailable
        0x800706BE, // the remote procedure call failed
        0x80070002, // file not found
    };
    for (const quint32 code : codes) {
        const QString hex = QString::number(code, 16).toUpper();
        const QString text = OleErrorText::systemText(code);
#ifdef _WIN32
        ASSERT_FALSE(text.isEmpty()) << qPrintable(hex);
        EXPECT_FALSE(text.endsWith(u'.')) << qPrintable(text);
        EXPECT_GT(text.back().unicode(), u' ') << qPrintable(hex);
        EXPECT_EQ(OleErrorText::message(code), text);
        EXPECT_EQ(OleErrorText::forException(QStringLiteral(" . "), code), text);
#else
        EXPECT_TRUE(text.isEmpty()) << qPrintable(hex);
        EXPECT_EQ(OleErrorText::message(code), QStringLiteral("OLE-Fehler ") + hex);
#endif
    }
}

TEST(OleErrorText, CodeWithoutSystemTextShowsEightUpperCaseHexDigits) {
    EXPECT_EQ(OleErrorText::forException(QString(), 0x8004DEAD),
              QStringLiteral("OLE-Fehler 8004DEAD"));
    EXPECT_EQ(OleErrorText::message(0xABC), QStringLiteral("OLE-Fehler 00000ABC"));
    EXPECT_EQ(OleErrorText::message(0), QStringLiteral("OLE-Fehler 00000000"));
    EXPECT_EQ(OleErrorText::message(0xFFFFFFFF), QStringLiteral("OLE-Fehler FFFFFFFF"));
    EXPECT_TRUE(OleErrorText::systemText(0x8004DEAD).isEmpty());
}
