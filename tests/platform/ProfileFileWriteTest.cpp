#include "platform/ProfileFile.h"
#include "platform/TarveloError.h"

#include "FileTestTools.h"
#include "ProfileFileWriteTestBed.h"

#include <QDir>
#include <QStringEncoder>
#include <QTemporaryDir>

#include "QStringPrinter.h"

#include <gtest/gtest.h>

using FileTestTools::readBytes;
using FileTestTools::writeBytes;

namespace {

QByteArray replaced(QByteArray bytes, const QByteArray& before, const QByteArray& after) {
    const qsizetype at = bytes.indexOf(before);
    EXPECT_GE(at, 0);
    return bytes.replace(at, before.size(), after);
}

} // namespace

TEST_F(ProfileFileWrite, ReplacesTheKeyLineInPlaceAndKeepsEveryOtherByte) {
    const QString file = withContent(kHandKept);
    ProfileFile::writeString(file, "ad", "emails", QStringLiteral("/neu/liste.txt"));
    EXPECT_EQ(readBytes(file),
              replaced(kHandKept, "  Emails =  /alt/liste.txt  ", "emails=/neu/liste.txt"));
    EXPECT_EQ(ProfileFile::readString(file, "ad", "emails"), QStringLiteral("/neu/liste.txt"));
}

TEST_F(ProfileFileWrite, NewKeyGoesAfterTheLastNonBlankLineOfItsSection) {
    const QString file = withContent(kHandKept);
    ProfileFile::writeString(file, "Ad", "neu", QStringLiteral("1"));
    EXPECT_EQ(readBytes(file), replaced(kHandKept, ";kommentar\n", ";kommentar\nneu=1\r\n"));
}

TEST_F(ProfileFileWrite, NewKeyInTheLastSection) {
    const QString file = withContent(kHandKept);
    ProfileFile::writeString(file, "options", "x", QStringLiteral("y"));
    EXPECT_EQ(readBytes(file), kHandKept + "x=y\r\n");
}

TEST_F(ProfileFileWrite, NewSectionGoesAtTheEnd) {
    const QString file = withContent(kHandKept);
    ProfileFile::writeString(file, "Hmail", "admin", QStringLiteral("\xE7\xE5\xE5"));
    EXPECT_EQ(readBytes(file), kHandKept + "[Hmail]\r\nadmin=\xE7\xE5\xE5\r\n");
    EXPECT_EQ(ProfileFile::readString(file, "SQL", "Provider"),
              QStringLiteral("Provider=SQLite;Data Source=/daten/häil.db"));
}

TEST_F(ProfileFileWrite, FileWithoutFinalLineBreak) {
    const QString file = withContent("[ad]\r\nemails=/x.txt");
    ProfileFile::writeString(file, "ad", "timestamp", QStringLiteral("-1"));
    EXPECT_EQ(readBytes(file), QByteArray("[ad]\r\nemails=/x.txt\r\ntimestamp=-1\r\n"));

    withContent("[SQL]\nProvider=x");
    ProfileFile::writeString(file, "Hmail", "admin", QStringLiteral("p"));
    EXPECT_EQ(readBytes(file), QByteArray("[SQL]\nProvider=x\r\n[Hmail]\r\nadmin=p\r\n"));

    withContent("[ad]\r\nemails=/alt.txt");
    ProfileFile::writeString(file, "ad", "emails", QStringLiteral("/neu.txt"));
    EXPECT_EQ(readBytes(file), QByteArray("[ad]\r\nemails=/neu.txt"));

    withContent("[ad]");
    ProfileFile::writeString(file, "ad", "emails", QStringLiteral("/neu.txt"));
    EXPECT_EQ(readBytes(file), QByteArray("[ad]\r\nemails=/neu.txt\r\n"));
}

TEST_F(ProfileFileWrite, EmptySectionAndTrailingBlankLines) {
    const QString file = withContent("[ad]\r\n[Options]\r\nProtokoll=\r\n");
    ProfileFile::writeString(file, "ad", "emails", QString());
    EXPECT_EQ(readBytes(file), QByteArray("[ad]\r\nemails=\r\n[Options]\r\nProtokoll=\r\n"));

    withContent("[ad]\r\nemails=a\r\n\r\n  \r\n[Options]\r\n");
    ProfileFile::writeString(file, "ad", "timestamp", QStringLiteral("5"));
    EXPECT_EQ(readBytes(file),
              QByteArray("[ad]\r\nemails=a\r\ntimestamp=5\r\n\r\n  \r\n[Options]\r\n"));
}

TEST_F(ProfileFileWrite, OnlyTheFirstMatchingKeyIsReplaced) {
    const QString file = withContent("[ad]\r\nemails=1\r\nemails=2\r\n");
    ProfileFile::writeString(file, "AD", "EMAILS", QStringLiteral("3"));
    EXPECT_EQ(readBytes(file), QByteArray("[ad]\r\nEMAILS=3\r\nemails=2\r\n"));
}

TEST_F(ProfileFileWrite, CommentedKeyIsNotReplaced) {
    const QString file = withContent("[ad]\r\n;emails=alt\r\n");
    ProfileFile::writeString(file, "ad", "emails", QStringLiteral("neu"));
    EXPECT_EQ(readBytes(file), QByteArray("[ad]\r\n;emails=alt\r\nemails=neu\r\n"));
}

TEST_F(ProfileFileWrite, KeyOfAnotherSectionIsNotReplaced) {
    const QString file = withContent("[SQL]\r\nemails=fremd\r\n");
    ProfileFile::writeString(file, "ad", "emails", QStringLiteral("eigen"));
    EXPECT_EQ(readBytes(file), QByteArray("[SQL]\r\nemails=fremd\r\n[ad]\r\nemails=eigen\r\n"));
}

// Written as it is, in the code page; but a value that reading would trim or
// unquote stands in quotation marks, which reading takes off, so that it
// comes back whole. A line break no line can hold.
TEST_F(ProfileFileWrite, ValueIsWrittenInWindows1252AndComesBackWhole) {
    const QString file = withContent(QByteArray());
    ProfileFile::writeString(file, "ad", "emails", QStringLiteral("/home/jürgen/€ \"x\".txt"));
    EXPECT_EQ(readBytes(file), QByteArray("[ad]\r\nemails=/home/j\xFCrgen/\x80 \"x\".txt\r\n"));
    const QString quoted = QStringLiteral("  \"/home/jürgen/€.txt\" ");
    ProfileFile::writeString(file, "ad", "emails", quoted);
    EXPECT_EQ(readBytes(file),
              QByteArray("[ad]\r\nemails=\"  \"/home/j\xFCrgen/\x80.txt\" \"\r\n"));
    EXPECT_EQ(ProfileFile::readString(file, "ad", "emails"), quoted);
    for (const QString& value : {QStringLiteral("'x'"), QStringLiteral("\"\""),
                                 QStringLiteral("\tx"), QStringLiteral("x "), QString()}) {
        ProfileFile::writeString(file, "ad", "emails", value);
        EXPECT_EQ(ProfileFile::readString(file, "ad", "emails", "unset"), value);
    }
    try {
        ProfileFile::writeString(file, "ad", "emails", QStringLiteral("a\nb"));
        ADD_FAILURE() << "written";
    } catch (const TarveloError& error) {
        EXPECT_EQ(error.message(), "Der Wert für [ad] emails enthält einen Zeilenumbruch und kann "
                                   "nicht in " +
                                       file + " gespeichert werden");
    }
    EXPECT_EQ(ProfileFile::readString(file, "ad", "emails", "unset"), QString());
}

// A value the code page cannot hold makes the whole file UTF-8 with its
// signature, every other line kept: stored as '?', a list path would no
// longer name the list.
TEST_F(ProfileFileWrite, AValueBeyondTheCodePageMakesTheFileUtf8) {
    const QString file = withContent("[SQL]\r\nProvider=Data Source=/srv/m\xFCller.db\r\n");
    ProfileFile::writeString(file, "ad", "emails",
                             QStringLiteral("/daten/\u0142\u00f3d\u017a.txt"));
    EXPECT_EQ(readBytes(file),
              QByteArray("\xEF\xBB\xBF[SQL]\r\nProvider=Data Source=/srv/m\xC3\xBCller.db\r\n"
                         "[ad]\r\nemails=/daten/\xC5\x82\xC3\xB3"
                         "d\xC5\xBA.txt\r\n"));
    EXPECT_EQ(ProfileFile::readString(file, "ad", "emails"),
              QStringLiteral("/daten/\u0142\u00f3d\u017a.txt"));
    EXPECT_EQ(ProfileFile::readString(file, "SQL", "Provider"),
              QStringLiteral("Data Source=/srv/müller.db"));
}

// A file an editor saved as "UTF-8 with signature" is read and written as
// UTF-8, its first section included; the signature stays.
TEST_F(ProfileFileWrite, FileWithTheUtf8SignatureStaysUtf8) {
    const QString file =
        withContent("\xEF\xBB\xBF[SQL]\r\nProvider=Data Source=/srv/m\xC3\xBCller.db\r\n");
    EXPECT_EQ(ProfileFile::readString(file, "SQL", "Provider"),
              QStringLiteral("Data Source=/srv/müller.db"));
    ProfileFile::writeString(file, "ad", "emails", QStringLiteral("/home/jürgen/€.txt"));
    EXPECT_EQ(readBytes(file),
              QByteArray("\xEF\xBB\xBF[SQL]\r\nProvider=Data Source=/srv/m\xC3\xBCller.db\r\n"
                         "[ad]\r\nemails=/home/j\xC3\xBCrgen/\xE2\x82\xAC.txt\r\n"));
    EXPECT_EQ(ProfileFile::readString(file, "ad", "emails"), QStringLiteral("/home/jürgen/€.txt"));

    // An empty file saved with the signature: the section follows it at once.
    withContent("\xEF\xBB\xBF");
    ProfileFile::writeString(file, "ad", "emails", QString());
    EXPECT_EQ(readBytes(file), QByteArray("\xEF\xBB\xBF[ad]\r\nemails=\r\n"));
}

// Notepad saves UTF-8 without the signature: a file that is valid UTF-8 and
// holds a letter beyond ASCII is read and written back as such, still
// without one. Code-page bytes are no valid UTF-8 and stay what they were.
TEST_F(ProfileFileWrite, FileInUtf8WithoutSignatureStaysSo) {
    const QString file = withContent("[Options]\r\nProtokoll=C:\\Protokolle\\M\xC3\xBCller\\\r\n");
    EXPECT_EQ(ProfileFile::readString(file, "Options", "Protokoll"),
              QStringLiteral("C:\\Protokolle\\Müller\\"));
    ProfileFile::writeString(file, "ad", "emails", QStringLiteral("C:\\Listen\\Jürgen.txt"));
    EXPECT_EQ(readBytes(file),
              QByteArray("[Options]\r\nProtokoll=C:\\Protokolle\\M\xC3\xBCller\\\r\n"
                         "[ad]\r\nemails=C:\\Listen\\J\xC3\xBCrgen.txt\r\n"));

    const QString ansi = withContent("[Options]\r\nProtokoll=C:\\M\xFCller\\\r\n");
    EXPECT_EQ(ProfileFile::readString(ansi, "Options", "Protokoll"),
              QStringLiteral("C:\\Müller\\"));
}

// The scrambled password is code-page bytes (that of "Q1W2E3R4" forms
// UTF-8 by chance: Ñ±×²Å³Ò´), written as the original program writes it and
// read back as it was stored; bytes that are no UTF-8 alike.
TEST_F(ProfileFileWrite, TheScrambledPasswordIsWrittenInTheCodePage) {
    const QString scrambled = QStringLiteral("\u00D1\u00B1\u00D7\u00B2\u00C5\u00B3\u00D2\u00B4");
    for (const QByteArray& before :
         {QByteArray(),
          QByteArray("[SQL]\r\nProvider=Provider=SQLite;Data Source=C:\\hm.db\r\n")}) {
        const QString file = withContent(before);
        ProfileFile::writeString(file, "Hmail", "admin", scrambled);
        EXPECT_EQ(ProfileFile::readString(file, "Hmail", "admin"), scrambled);
        EXPECT_EQ(readBytes(file),
                  before + "[Hmail]\r\nadmin=\xD1\xB1\xD7\xB2\xC5\xB3\xD2\xB4\r\n");
    }
    const QString file = withContent(QByteArray());
    ProfileFile::writeString(file, "Hmail", "admin", QStringLiteral("\u00E7\u00E5\u00E8"));
    EXPECT_EQ(readBytes(file), QByteArray("[Hmail]\r\nadmin=\xE7\xE5\xE8\r\n"));

    // Elsewhere, code-page letters that would form UTF-8 ("Ã¼") make the file
    // UTF-8 with its mark, so that they come back as written.
    const QString other = withContent(QByteArray());
    const QString path = QStringLiteral("C:\\\u00C3\u00BC.txt");
    ProfileFile::writeString(other, "ad", "emails", path);
    EXPECT_EQ(readBytes(other),
              QByteArray("\xEF\xBB\xBF[ad]\r\nemails=C:\\\xC3\x83\xC2\xBC.txt\r\n"));
    EXPECT_EQ(ProfileFile::readString(other, "ad", "emails"), path);
}

// A file in the code page as the original program leaves it: its scrambled
// password may form UTF-8 by chance ("Q1W2E3R4", "a12b34") and is still the
// code page's bytes, read as such; as UTF-8 writes it, it is read as UTF-8.
TEST_F(ProfileFileWrite, TheScrambledPasswordIsReadAsItWasWritten) {
    const struct {
        QByteArray bytes;
        QString scrambled;
    } passwords[] = {
        {"\xD1\xB1\xD7\xB2\xC5\xB3\xD2\xB4",
         QStringLiteral("\u00D1\u00B1\u00D7\u00B2\u00C5\u00B3\u00D2\u00B4")},
        {"\xE1\xB1\xB2\xE2\xB3\xB4", QStringLiteral("\u00E1\u00B1\u00B2\u00E2\u00B3\u00B4")},
    };
    for (const auto& [bytes, scrambled] : passwords) {
        const QByteArray before = "[SQL]\r\nProvider=Provider=SQLite;Data Source=C:\\hm.db\r\n"
                                  "[HMAIL]\r\n Admin = " +
                                  bytes + "\r\n";
        const QString file = withContent(before);
        EXPECT_EQ(ProfileFile::readString(file, "Hmail", "admin"), scrambled);
        // A write elsewhere keeps the file in the code page.
        ProfileFile::writeString(file, "ad", "emails",
                                 QStringLiteral("C:\\Listen\\J\u00FCrgen.txt"));
        EXPECT_EQ(readBytes(file), before + "[ad]\r\nemails=C:\\Listen\\J\xFCrgen.txt\r\n");
        EXPECT_EQ(ProfileFile::readString(file, "Hmail", "admin"), scrambled);
    }

    // The password as UTF-8 writes it, in a file Notepad saved as UTF-8
    // without mark, with or without other letters beyond ASCII.
    for (const QByteArray& path : {QByteArray("C:\\M\xC3\xBCller\\"), QByteArray("C:\\P\\")}) {
        const QString file = withContent("[Options]\r\nProtokoll=" + path +
                                         "\r\n[Hmail]\r\nadmin=\xC3\x91\xC2\xB1\r\n");
        EXPECT_EQ(ProfileFile::readString(file, "Hmail", "admin"), QStringLiteral("\u00D1\u00B1"));
        ProfileFile::writeString(file, "Options", "Protokoll", QStringLiteral("C:\\Protokolle\\"));
        EXPECT_EQ(readBytes(file), "[Options]\r\nProtokoll=C:\\Protokolle\\\r\n"
                                   "[Hmail]\r\nadmin=\xC3\x91\xC2\xB1\r\n");
        EXPECT_EQ(ProfileFile::readString(file, "Hmail", "admin"), QStringLiteral("\u00D1\u00B1"));
    }
}

// One saved as "Unicode" or "Unicode big endian" (UTF-16 with its mark)
// likewise stays UTF-16 in its byte order.
TEST_F(ProfileFileWrite, FileInUtf16StaysUtf16) {
    for (const auto order : {QStringConverter::Utf16LE, QStringConverter::Utf16BE}) {
        SCOPED_TRACE(order == QStringConverter::Utf16LE ? "little endian" : "big endian");
        const auto utf16 = [order](const QString& text) -> QByteArray {
            QStringEncoder encoder(order, QStringConverter::Flag::WriteBom);
            return encoder.encode(text);
        };
        const QString file =
            withContent(utf16("[SQL]\r\nProvider=Data Source=C:\\Müller\\hm.db\r\n"));
        EXPECT_EQ(ProfileFile::readString(file, "SQL", "Provider"),
                  QStringLiteral("Data Source=C:\\Müller\\hm.db"));
        ProfileFile::writeString(file, "SQL", "Provider", QStringLiteral("x€"));
        EXPECT_EQ(readBytes(file), utf16("[SQL]\r\nProvider=x€\r\n"));
        EXPECT_EQ(ProfileFile::readString(file, "SQL", "Provider"), QStringLiteral("x€"));
        ProfileFile::writeString(file, "ad", "emails", QStringLiteral("/j€.txt"));
        EXPECT_EQ(readBytes(file), utf16("[SQL]\r\nProvider=x€\r\n[ad]\r\nemails=/j€.txt\r\n"));
    }
}

TEST_F(ProfileFileWrite, FailsBelowARegularFile) {
    ASSERT_TRUE(writeBytes(path("plain"), "x"));
    const QString file = path("plain/tarvelo.ini");
    EXPECT_EQ(failureOf(file, "ad", "emails", "a"), cannotWrite(file));
    EXPECT_EQ(readBytes(path("plain")), QByteArray("x"));
}

TEST_F(ProfileFileWrite, FailsInMissingDirectoryAndOnADirectory) {
    const QString missing = path("fehlt/tarvelo.ini");
    EXPECT_EQ(failureOf(missing, "ad", "emails", "a"), cannotWrite(missing));
    const QString dir = path("verzeichnis.ini");
    ASSERT_TRUE(QDir().mkdir(dir));
    EXPECT_EQ(failureOf(dir, "ad", "emails", "a"), cannotWrite(dir));
    EXPECT_TRUE(QFileInfo(dir).isDir());
}
