#include "core/Mtools.h"
#include "platform/Ansi.h"
#include "platform/ProfileFile.h"

#include <QTemporaryDir>

#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <random>

// --- PadTwo ----------------------------------------------------------------

TEST(MtoolsPadTwo, SingleCharacterGetsALeadingZero) {
    EXPECT_EQ(Mtools::PadTwo(0), QStringLiteral("00"));
    EXPECT_EQ(Mtools::PadTwo(9), QStringLiteral("09"));
    EXPECT_EQ(Mtools::PadTwo(12), QStringLiteral("12"));
    EXPECT_EQ(Mtools::PadTwo(59), QStringLiteral("59"));
    EXPECT_EQ(Mtools::PadTwo(123), QStringLiteral("123"));
    EXPECT_EQ(Mtools::PadTwo(2026), QStringLiteral("2026"));
    EXPECT_EQ(Mtools::PadTwo(-1), QStringLiteral("-1"));
    EXPECT_EQ(Mtools::PadTwo(-12), QStringLiteral("-12"));
}

// --- ScrambleText ------------------------------------------------------------

TEST(MtoolsScrambleText, EmptyStaysEmpty) {
    EXPECT_EQ(Mtools::ScrambleText(QString()), QString());
}

TEST(MtoolsScrambleText, NoCharacterKeepsItsValue) {
    QByteArray all;
    for (int b = 0; b < 256; ++b) {
        all.append(static_cast<char>(b));
    }
    const QString text = Ansi::decode(all);
    const QString scrambled = Mtools::ScrambleText(text);
    ASSERT_EQ(scrambled.size(), text.size());
    const QByteArray scrambledBytes = Ansi::encode(scrambled);
    const unsigned char key = static_cast<unsigned char>(scrambledBytes[0]);
    EXPECT_NE(key, 0);
    for (int b = 0; b < 256; ++b) {
        EXPECT_NE(scrambled[b], text[b]) << "byte " << b;
        // One fixed key byte for every position and value.
        EXPECT_EQ(static_cast<unsigned char>(scrambledBytes[b]), b ^ key) << "byte " << b;
    }
    EXPECT_EQ(Mtools::ScrambleText(scrambled), text);
}

TEST(MtoolsScrambleText, SameLengthAndItsOwnInverseOnLongTexts) {
    std::mt19937 random(4711);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 50; ++round) {
        QByteArray bytes;
        for (int i = 0; i < 300; ++i) {
            bytes.append(static_cast<char>(byte(random)));
        }
        const QString text = Ansi::decode(bytes);
        const QString copy = text;
        const QString once = Mtools::ScrambleText(text);
        EXPECT_EQ(once.size(), 300);
        EXPECT_EQ(text, copy); // the argument is left alone
        EXPECT_NE(once, text);
        EXPECT_EQ(Mtools::ScrambleText(once), text);
    }
}

// Every password of printable ASCII or the code page's upper half (but a
// character that scrambles into a line break) survives the way it takes: scrambled,
// written to the configuration file, read back, unscrambled; also with
// blanks or quotation marks at either end of its scrambled form.
TEST(MtoolsScrambleText, PasswordsSurviveTheConfigurationFile) {
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("tarvelo.ini"));
    ProfileFile::writeString(ini, QStringLiteral("ad"), QStringLiteral("emails"),
                             QStringLiteral("/liste.txt"));

    QString allPrintable;
    for (char c = 0x20; c < 0x7F; ++c) {
        allPrintable.append(QLatin1Char(c));
    }
    QStringList passwords = {QString(),
                             allPrintable,
                             QString(allPrintable).replace(u' ', u'x') + u' ',
                             QStringLiteral(" "),
                             QStringLiteral("   "),
                             QStringLiteral(" geheim "),
                             QStringLiteral("~x~"),
                             QStringLiteral("\"geheim\""),
                             QStringLiteral("'geheim'"),
                             QStringLiteral("\""),
                             QStringLiteral("''"),
                             QStringLiteral("=;["),
                             QStringLiteral("[Hmail]"),
                             QStringLiteral(";admin=x"),
                             QStringLiteral("a=b=c"),
                             QString(255, u'~'),
                             QString(255, u' ')};
    for (int code = 0x80; code <= 0xFF; ++code) {
        const QString c = Ansi::decode(QByteArray(1, static_cast<char>(code)));
        const QString scrambled = Mtools::ScrambleText(c);
        if (scrambled.contains(u'\n') || scrambled.contains(u'\r')) {
            continue; // "Š": refused before it is stored
        }
        passwords << c << c + "abc" + c << "abc" + c << c + "abc"
                  << "a" + c + "b" << c + c;
    }
    std::mt19937 random(1234);
    std::uniform_int_distribution<int> length(0, 255);
    std::uniform_int_distribution<int> printable(0x20, 0x7E);
    for (int i = 0; i < 400; ++i) {
        QString p;
        const int n = length(random);
        for (int k = 0; k < n; ++k) {
            p.append(QLatin1Char(static_cast<char>(printable(random))));
        }
        passwords.append(p);
    }

    for (const QString& password : passwords) {
        ProfileFile::writeString(ini, QStringLiteral("Hmail"), QStringLiteral("admin"),
                                 Mtools::ScrambleText(password));
        const QString stored =
            ProfileFile::readString(ini, QStringLiteral("Hmail"), QStringLiteral("admin"));
        ASSERT_EQ(Mtools::ScrambleText(stored), password) << password.toStdString();
    }
    EXPECT_EQ(ProfileFile::readString(ini, QStringLiteral("ad"), QStringLiteral("emails")),
              QStringLiteral("/liste.txt"));
}

// --- OpenDocument --------------------------------------------------------------

namespace {
class MtoolsOpenDocument : public ::testing::Test {
protected:
    const Mtools::DocumentOpener recorder = [this](const QString& name) {
        m_opened.append(name);
        return true;
    };
    QStringList m_opened;
};
} // namespace

TEST_F(MtoolsOpenDocument, EmptyNameDoesNothing) {
    EXPECT_FALSE(Mtools::OpenDocument(QString(), recorder));
    EXPECT_TRUE(m_opened.isEmpty());
}

TEST_F(MtoolsOpenDocument, HandsTheExactNameOn) {
    const QString name = QStringLiteral("/opt/tarvelo/ausnahmen.txt");
    EXPECT_TRUE(Mtools::OpenDocument(name, recorder));
    const QString odd = QStringLiteral(" /pfad mit Leerzeichen/äöü €/x\".txt ");
    EXPECT_TRUE(Mtools::OpenDocument(odd, recorder));
    EXPECT_EQ(m_opened, QStringList({name, odd}));
}

TEST_F(MtoolsOpenDocument, LongNameArrivesWhole) {
    QString name = QStringLiteral("/");
    while (name.size() < 500) {
        name += QStringLiteral("verzeichnis-");
    }
    name += QStringLiteral("/ausnahmen.txt");
    Mtools::OpenDocument(name, recorder);
    ASSERT_EQ(m_opened.size(), 1);
    EXPECT_EQ(m_opened.first(), name);
}

TEST(MtoolsOpenDocumentWithoutOpener, DoesNothing) {
    EXPECT_FALSE(Mtools::OpenDocument(QStringLiteral("/tmp/x.txt"), {})); // must not crash
    // What the desktop says is what the call returns.
    EXPECT_FALSE(
        Mtools::OpenDocument(QStringLiteral("/tmp/x.txt"), [](const QString&) { return false; }));
}
