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

TEST(OleErrorText, CodeWithoutSystemTextShowsEightUpperCaseHexDigits) {
    EXPECT_EQ(OleErrorText::forException(QString(), 0x8004DEAD),
              QStringLiteral("OLE-Fehler 8004DEAD"));
    EXPECT_EQ(OleErrorText::message(0xABC), QStringLiteral("OLE-Fehler 00000ABC"));
    EXPECT_EQ(OleErrorText::message(0), QStringLiteral("OLE-Fehler 00000000"));
    EXPECT_EQ(OleErrorText::message(0xFFFFFFFF), QStringLiteral("OLE-Fehler FFFFFFFF"));
    EXPECT_TRUE(OleErrorText::systemText(0x8004DEAD).isEmpty());
}
