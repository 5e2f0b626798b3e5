#include "core/ListCoverage.h"
#include "core/EntryIndex.h"
#include "db/RouteAddressRows.h"
#include "platform/AsciiCase.h"

#include "QStringPrinter.h"

#include <QHash>

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <vector>

namespace {

// The first entry equal to text, the case of A to Z ignored: a walk.
int firstEqual(const QStringList& entries, const QString& text) {
    for (int i = 0; i < entries.size(); ++i) {
        if (AsciiCase::equalIgnoringCase(entries.at(i), text)) {
            return i;
        }
    }
    return -1;
}

int findOne(const EntryIndex& index, QAnyStringView text) {
    int found = -2;
    index.find(&text, 1, &found);
    return found;
}

bool isLatin1(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xFF; });
}

// Texts in several letter cases, beyond Latin-1, and letters that only look
// alike or change under other case rules; lengths across the four characters
// hashed at a time.
const QStringList kTexts = {"a@x.de",
                            "A@X.DE",
                            "b@x.de",
                            "\u00e4@x.de",
                            "\u00c4@x.de",
                            "\u00c4@X.DE",
                            "stra\u00dfe@x.de",
                            "STRASSE@x.de",
                            "\u20ac@x.de",
                            "\u20ac@X.de",
                            "\u0130@x.de",
                            "i@x.de",
                            "I@X.de",
                            "\u212a@x.de",
                            "k@x.de",
                            "\u0142@x.de",
                            "\u0141@x.de",
                            "",
                            "-",
                            "@",
                            "`",
                            "[",
                            "x",
                            "X",
                            "abcdefgh",
                            "ABCDEFGH",
                            "abcdefg",
                            "abcdefgH ",
                            "Z@z.de",
                            "z@Z.DE",
                            "[[[[",
                            "{{{{",
                            "@@@@",
                            "````"};

} // namespace

TEST(EntryIndex, FindsTheFirstEqualEntryIgnoringOnlyAsciiCase) {
    // A NUL inside an entry is a character like any other.
    const QStringList entries = kTexts + QStringList{"B@X.DE",
                                                     "a@X.de",
                                                     "\u20ac@X.DE",
                                                     "x",
                                                     QStringView(u"A@X.DE\0x", 8).toString(),
                                                     QStringView(u"a@x.de\0X", 8).toString()};
    EntryIndex index(entries);
    index.build();
    for (int i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(index.firstOf(i), firstEqual(entries, entries.at(i))) << i;
    }
    for (const QString& text :
         entries + QStringList{"a@x.d", "A@X.DE ", "\u00e4@X.DE", "c@x.de", "\u0131@x.de"}) {
        const int expected = firstEqual(entries, text);
        EXPECT_EQ(findOne(index, QStringView(text)), expected) << text.toStdString();
        // A table row stored one byte a character is found alike.
        if (isLatin1(text)) {
            const QByteArray latin1 = text.toLatin1();
            EXPECT_EQ(findOne(index, QLatin1StringView(latin1)), expected) << text.toStdString();
        }
    }
    // An empty list finds nothing.
    EntryIndex none(QStringList{});
    none.build();
    EXPECT_EQ(findOne(none, QStringView(u"a@x.de")), -1);
    EXPECT_EQ(findOne(none, QStringView()), -1);
}

// Enough entries for the index to be built on two threads; found in batches
// as one at a time and as a plain map finds them.
TEST(EntryIndex, FindsManyAtOnceAsOneAtATime) {
    std::mt19937 random(4711);
    QStringList entries;
    QHash<QString, int> first; // lower-cased text -> first entry
    for (int i = 0; i < 30011; ++i) {
        QString text = QStringLiteral("u%1@d%2.de").arg(random() % 20000).arg(random() % 3);
        if (i % 5 == 0) {
            text = text.toUpper();
        } else if (i % 7 == 0) {
            text += QChar(0x20ac);
        }
        entries.append(text);
        first.insert(AsciiCase::lower(text), first.value(AsciiCase::lower(text), i));
    }
    EntryIndex index(entries);
    index.build();
    std::vector<QString> texts;
    for (int i = 0; i < 20000; ++i) {
        texts.push_back(QStringLiteral("U%1@D%2.DE").arg(random() % 30000).arg(random() % 4));
    }
    texts.push_back(QString());
    std::vector<QAnyStringView> views(texts.begin(), texts.end());
    std::vector<int> found(views.size() + 1, -2);
    index.find(views.data(), views.size(), found.data());
    for (size_t i = 0; i < texts.size(); ++i) {
        ASSERT_EQ(found[i], first.value(AsciiCase::lower(texts[i]), -1)) << i;
        ASSERT_EQ(found[i], findOne(index, views[i])) << i;
    }
    EXPECT_EQ(found.back(), -2); // nothing written beyond the texts
    for (int i = 0; i < entries.size(); ++i) {
        ASSERT_EQ(index.firstOf(i), first.value(AsciiCase::lower(entries.at(i)))) << i;
    }
}

// More rows than the helper looks up at a time, asked for as the delete
// pass asks, while the helper is still at work.
TEST(ListCoverage, NamesTheRowsAndKeepsTheEntriesThatNameNone) {
    std::mt19937 random(20240611);
    RouteAddressRows rows;
    QStringList addresses;
    for (int i = 0; i < 7000; ++i) {
        QString address = kTexts.at(int(random() % unsigned(kTexts.size())));
        if (random() % 3 != 0) {
            address = QStringLiteral("row%1@x.de").arg(random() % 9000);
        }
        rows.append(i, 1, address);
        addresses.append(address);
    }
    QStringList entries;
    for (int i = 0; i < 9000; ++i) {
        QString entry = QStringLiteral("ROW%1@X.de").arg(random() % 12000);
        if (i % 11 == 0) {
            entry = kTexts.at(int(random() % unsigned(kTexts.size())));
        }
        entries.append(entry);
    }
    EntryIndex index(entries);
    index.build();
    ListCoverage coverage(index, rows);
    int thenCalls = 0;
    std::vector<int> unnamedSeenByThen;
    coverage.start([&] {
        ++thenCalls;
        unnamedSeenByThen = coverage.unnamed();
    });
    for (int row = 0; row < rows.size(); ++row) {
        ASSERT_EQ(coverage.names(row), firstEqual(entries, addresses.at(row)) >= 0) << row;
    }
    coverage.finish();
    EXPECT_EQ(thenCalls, 1);
    std::vector<int> unnamed;
    for (int i = 0; i < entries.size(); ++i) {
        if (firstEqual(addresses, entries.at(i)) < 0) {
            unnamed.push_back(i);
        }
        EXPECT_EQ(coverage.holds(i), firstEqual(addresses, entries.at(i)) >= 0) << i;
    }
    EXPECT_EQ(coverage.unnamed(), unnamed);
    EXPECT_EQ(unnamedSeenByThen, unnamed);
    ASSERT_FALSE(unnamed.empty());

    // Held from now on: every entry equal to it, whatever its case.
    const int entry = unnamed.front();
    coverage.hold(entry);
    for (int i = 0; i < entries.size(); ++i) {
        if (AsciiCase::equalIgnoringCase(entries.at(i), entries.at(entry))) {
            EXPECT_TRUE(coverage.holds(i)) << i;
        }
    }
    // Rows removed after they were looked up keep their answer.
    rows.remove(0);
    EXPECT_EQ(coverage.names(0), firstEqual(entries, addresses.at(0)) >= 0);
}

TEST(ListCoverage, WhatFailsOnTheHelperIsRaisedWhereTheRunWaitsForIt) {
    RouteAddressRows rows;
    rows.append(1, 1, QStringView(u"a@x.de"));
    const QStringList entries = {"A@X.DE"};
    EntryIndex index(entries);
    index.build();
    ListCoverage coverage(index, rows);
    coverage.start([] { throw std::runtime_error("kein Speicher"); });
    try {
        coverage.finish();
        ADD_FAILURE() << "the failure was lost";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "kein Speicher");
    }
    // An empty table: nothing to look up, every entry unnamed.
    RouteAddressRows empty;
    ListCoverage none(index, empty);
    none.start({});
    none.finish();
    EXPECT_EQ(none.unnamed(), std::vector<int>{0});
}
