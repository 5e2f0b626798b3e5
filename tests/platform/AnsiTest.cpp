#include "platform/Ansi.h"

#include "QStringPrinter.h"

#include <gtest/gtest.h>

namespace {

// Windows-1252 at 0x80..0x9F, written out from the code page chart; 0 marks
// the five bytes the page leaves unassigned.
constexpr char16_t kChart[32] = {u'€', 0,    u'‚', u'ƒ', u'„', u'…', u'†', u'‡', u'ˆ', u'‰', u'Š',
                                 u'‹', u'Œ', 0,    u'Ž', 0,    0,    u'‘', u'’', u'“', u'”', u'•',
                                 u'–', u'—', u'˜', u'™', u'š', u'›', u'œ', 0,    u'ž', u'Ÿ'};

QByteArray allBytes() {
    QByteArray bytes;
    for (int b = 0; b < 256; ++b) {
        bytes.append(static_cast<char>(b));
    }
    return bytes;
}

} // namespace

TEST(Ansi, EveryByteRoundTrips) {
    const QByteArray bytes = allBytes();
    const QString text = Ansi::decode(bytes);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(Ansi::encode(text), bytes);
    for (int b = 0; b < 256; ++b) {
        const QByteArray one(1, static_cast<char>(b));
        EXPECT_EQ(Ansi::encode(Ansi::decode(one)), one) << "byte " << b;
    }
}

TEST(Ansi, LatinOneBytesAreTheirOwnCodePoints) {
    for (int b = 0; b < 256; ++b) {
        if (b >= 0x80 && b < 0xA0) {
            continue;
        }
        const QString text = Ansi::decode(QByteArray(1, static_cast<char>(b)));
        EXPECT_EQ(text.at(0).unicode(), b) << "byte " << b;
    }
}

TEST(Ansi, AssignedHighControlBytesFollowTheChart) {
    int assigned = 0;
    for (int i = 0; i < 32; ++i) {
        if (kChart[i] == 0) {
            continue;
        }
        ++assigned;
        const QByteArray byte(1, static_cast<char>(0x80 + i));
        const QString ch(QChar(kChart[i]));
        EXPECT_EQ(Ansi::decode(byte), ch) << "byte " << 0x80 + i;
        EXPECT_EQ(Ansi::encode(ch), byte) << "byte " << 0x80 + i;
    }
    EXPECT_EQ(assigned, 27);
    EXPECT_EQ(Ansi::encode(QStringLiteral("€")), QByteArray("\x80"));
    EXPECT_EQ(Ansi::encode(QStringLiteral("„Š…Ÿ“")), QByteArray("\x84\x8A\x85\x9F\x93"));
}

TEST(Ansi, UnassignedBytesKeepTheirValue) {
    for (const int b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
        const QByteArray byte(1, static_cast<char>(b));
        const QString text = Ansi::decode(byte);
        ASSERT_EQ(text.size(), 1);
        EXPECT_EQ(text.at(0).unicode(), b);
        EXPECT_EQ(Ansi::encode(text), byte);
    }
}

TEST(Ansi, UmlautsAreTheirLatinOneBytes) {
    EXPECT_EQ(Ansi::encode(QStringLiteral("äöüßÄÖÜ")), QByteArray("\xE4\xF6\xFC\xDF\xC4\xD6\xDC"));
    EXPECT_EQ(Ansi::decode(QByteArray("Datenbank ge\xF6"
                                      "ffnet")),
              QStringLiteral("Datenbank geöffnet"));
}

TEST(Ansi, CharacterThePageLacksBecomesQuestionMark) {
    EXPECT_EQ(Ansi::encode(QStringLiteral("aΩb")), QByteArray("a?b"));
    // C1 controls whose bytes the page gives to other characters.
    EXPECT_EQ(Ansi::encode(QString(QChar(0x80))), QByteArray("?"));
    EXPECT_EQ(Ansi::encode(QString(QChar(0x9F))), QByteArray("?"));
    EXPECT_EQ(Ansi::encode(QStringLiteral("Āİ→")), QByteArray("???"));
    // One character outside the basic plane is one '?', not two.
    EXPECT_EQ(Ansi::encode(QStringLiteral("x😀y")), QByteArray("x?y"));
    EXPECT_EQ(Ansi::encode(QStringLiteral("😀😀")), QByteArray("??"));
    // A lone surrogate is no character of the page either.
    EXPECT_EQ(Ansi::encode(QString(QChar(0xD800)) + u'z'), QByteArray("?z"));
    EXPECT_EQ(Ansi::encode(u'z' + QString(QChar(0xDC00))), QByteArray("z?"));
}

TEST(Ansi, NeverWritesTheSubstituteByte) {
    QString text;
    for (char16_t c = 0x100; c < 0x3000; c += 7) {
        text.append(QChar(c));
    }
    const QByteArray bytes = Ansi::encode(text);
    EXPECT_FALSE(bytes.contains('\x1A'));
    EXPECT_EQ(bytes.size(), text.size());
}

TEST(Ansi, WhatTheCodePageHasIsKeptAndTheRestBecomesAQuestionMark) {
    EXPECT_EQ(Ansi::encode(QStringLiteral("Grüße € „x“")), QByteArray("Gr\xfc\xdf"
                                                                      "e \x80 \x84x\x93"));
    EXPECT_EQ(Ansi::encode(QString()), QByteArray());
    EXPECT_EQ(Ansi::encode(QStringLiteral("aΩb")), QByteArray("a?b"));
    // U+0080 is no character of the code page: 0x80 is the euro sign's byte.
    EXPECT_EQ(Ansi::encode(QString(QChar(0x80))), QByteArray("?"));
}

TEST(Ansi, EmptyAndNul) {
    EXPECT_TRUE(Ansi::encode(QString()).isEmpty());
    EXPECT_TRUE(Ansi::decode(QByteArray()).isEmpty());
    const QByteArray withNul("a\0b", 3);
    EXPECT_EQ(Ansi::decode(withNul).size(), 3);
    EXPECT_EQ(Ansi::encode(Ansi::decode(withNul)), withNul);
}
