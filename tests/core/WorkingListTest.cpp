#include "core/WorkingList.h"

#include "QStringPrinter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

TEST(WorkingList, UnsortedKeepsInsertionOrder) {
    WorkingList list;
    EXPECT_FALSE(list.sorted());
    list.assign({"c@x.de", "A@x.de", "b@x.de", "c@x.de"});
    EXPECT_EQ(list.add(QStringLiteral("0@x.de")), 4);
    EXPECT_EQ(list.lines(), QStringList({"c@x.de", "A@x.de", "b@x.de", "c@x.de", "0@x.de"}));
}

TEST(WorkingList, SetSortedSortsWhatIsThere) {
    WorkingList list;
    list.assign({"zeta", "Alpha", "beta", "alpha"});
    list.setSorted(true);
    EXPECT_TRUE(list.sorted());
    EXPECT_EQ(list.lines(), QStringList({"Alpha", "alpha", "beta", "zeta"}));
}

TEST(WorkingList, AssignOnASortedListSorts) {
    WorkingList list;
    list.setSorted(true);
    list.assign({"-", "b", "A", "", "a"});
    EXPECT_EQ(list.lines(), QStringList({"", "-", "A", "a", "b"}));
}

TEST(WorkingList, AddPutsTheLineInOrder) {
    WorkingList list;
    list.setSorted(true);
    list.assign({"anna@x.de", "Carl@x.de", "egon@x.de"});
    EXPECT_EQ(list.add(QStringLiteral("bert@x.de")), 1);
    EXPECT_EQ(list.add(QStringLiteral("zora@x.de")), 4);
    EXPECT_EQ(list.add(QStringLiteral("ANNA@x.de")), 0);
    EXPECT_EQ(list.add(QStringLiteral("carl@x.de")), 4);
    EXPECT_EQ(list.lines(), QStringList({"ANNA@x.de", "anna@x.de", "bert@x.de", "Carl@x.de",
                                         "carl@x.de", "egon@x.de", "zora@x.de"}));
}

TEST(WorkingList, SwitchingSortingOffKeepsTheOrder) {
    WorkingList list;
    list.setSorted(true);
    list.assign({"b", "a"});
    list.setSorted(false);
    list.add(QStringLiteral("0"));
    EXPECT_EQ(list.lines(), QStringList({"a", "b", "0"}));
}

TEST(WorkingList, ReplaceKeepsThePosition) {
    WorkingList list;
    list.setSorted(true);
    list.assign({"a", "b", "c"});
    list.replace(2, QStringLiteral("-"));
    EXPECT_EQ(list.lines(), QStringList({"a", "b", "-"}));
    list.clear();
    EXPECT_EQ(list.count(), 0);
}

TEST(WorkingList, CollationIgnoresAsciiCaseFirstThenIsExact) {
    using WL = WorkingList;
    EXPECT_TRUE(WL::lessThan("apfel", "Birne"));
    EXPECT_FALSE(WL::lessThan("Birne", "apfel"));
    EXPECT_TRUE(WL::lessThan("Abc", "abc")); // same ignoring case: exact order
    EXPECT_FALSE(WL::lessThan("abc", "Abc"));
    EXPECT_FALSE(WL::lessThan("abc", "abc"));
    EXPECT_TRUE(WL::lessThan("ab", "ABC")); // a prefix comes first
    EXPECT_TRUE(WL::lessThan("", "-"));
    // '_' (0x5F) lies between 'Z' and 'a' in code order; with the case
    // folded it comes before every letter.
    EXPECT_TRUE(WL::lessThan("_x", "ax"));
    EXPECT_TRUE(WL::lessThan("_x", "Zx"));
    EXPECT_FALSE(WL::lessThan("Zx", "_x"));
    // Only A-Z fold: 'Ä' stays above every ASCII letter.
    EXPECT_TRUE(WL::lessThan("zz", "Äa"));
}

TEST(WorkingList, CollationIsAStrictWeakOrder) {
    QStringList words;
    for (const char* a : {"", "a", "A", "b", "B", "_", "ä", "Ä", "@", "["}) {
        for (const char* b : {"", "a", "A", "z", "_"}) {
            words.append(QString::fromUtf8(a) + QString::fromUtf8(b));
        }
    }
    for (const QString& x : words) {
        EXPECT_FALSE(WorkingList::lessThan(x, x));
        for (const QString& y : words) {
            if (x != y) {
                // Distinct lines are never equivalent: exactly one is first.
                EXPECT_NE(WorkingList::lessThan(x, y), WorkingList::lessThan(y, x))
                    << x.toStdString() << " / " << y.toStdString();
            }
            for (const QString& z : words) {
                if (WorkingList::lessThan(x, y) && WorkingList::lessThan(y, z)) {
                    EXPECT_TRUE(WorkingList::lessThan(x, z));
                }
            }
        }
    }
}

TEST(WorkingList, AddAgreesWithSortingEverything) {
    std::mt19937 random(99);
    std::uniform_int_distribution<int> pick(0, 5);
    const QStringList parts = {"a", "B", "b", "-", "Z", "_"};
    WorkingList list;
    list.setSorted(true);
    QStringList all;
    for (int i = 0; i < 300; ++i) {
        QString line;
        for (int k = 0; k < 3; ++k) {
            line += parts[pick(random)];
        }
        list.add(line);
        all.append(line);
    }
    std::stable_sort(all.begin(), all.end(), &WorkingList::lessThan);
    EXPECT_EQ(list.lines(), all);
    EXPECT_TRUE(std::is_sorted(list.lines().begin(), list.lines().end(), &WorkingList::lessThan));
}
