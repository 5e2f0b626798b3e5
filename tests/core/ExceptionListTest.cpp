#include "core/ExceptionList.h"

#include "QStringPrinter.h"
#include "core/WorkingList.h"
#include "platform/AsciiCase.h"
#include "platform/TarveloError.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

namespace {

// The rule of one line for one lower-cased entry, as the exception list
// states it: the reference the indexed matching must agree with.
bool lineExcepts(const QString& line, QStringView lowerEntry) {
    const QString lower = AsciiCase::lower(line);
    if (!lower.isEmpty() && lowerEntry.contains(lower)) {
        return true;
    }
    if (line.startsWith(u'>')) {
        const QStringView prefix = QStringView(lower).mid(1, ExceptionList::kPrefixLength);
        if (!prefix.isEmpty() && lowerEntry.startsWith(prefix)) {
            return true;
        }
    }
    return false;
}

bool excepted(const QStringList& lines, const QString& entry) {
    return ExceptionList(lines).excepts(entry);
}

TEST(ExceptionListRules, FragmentLinesExceptEveryAddressContainingThemInAnyCase) {
    const QStringList lines = {"Spam"};
    EXPECT_TRUE(excepted(lines, "spam@example.com"));
    EXPECT_TRUE(excepted(lines, "info@SPAMHAUS.org"));
    EXPECT_TRUE(excepted(lines, "x.spam.y@b.org"));
    EXPECT_FALSE(excepted(lines, "spa@m.org"));
    // Only A to Z change case: an umlaut is its own letter.
    EXPECT_TRUE(excepted({"Müller"}, "MüLLER@b.org"));
    EXPECT_FALSE(excepted({"Müller"}, "mÜller@b.org"));
}

TEST(ExceptionListRules, PrefixLinesExceptTheBeginningAndAreFragmentsToo) {
    const QStringList lines = {">Boss@"};
    EXPECT_TRUE(excepted(lines, "boss@example.com"));
    EXPECT_TRUE(excepted(lines, "BOSS@b.org"));
    EXPECT_FALSE(excepted(lines, "theboss@example.com"));
    // The whole line, ">" included, as a fragment.
    EXPECT_TRUE(excepted(lines, "x>boss@b.org"));
    // A prefix line holding the address itself excepts it and its longer
    // relatives.
    EXPECT_TRUE(excepted({">a@b.org"}, "a@b.org"));
    EXPECT_TRUE(excepted({">a@b.org"}, "a@b.org.uk"));
    // Only a beginning counts: ">b" does not except an address that has "b"
    // in second place, not even when another prefix line shares its "ab".
    EXPECT_FALSE(excepted({">abc", ">b"}, "abz@x.org"));
    EXPECT_TRUE(excepted({">abc", ">b"}, "bz@x.org"));
}

TEST(ExceptionListRules, EmptyLinesAndALoneGreaterThanSign) {
    EXPECT_FALSE(excepted({""}, "a@b.org"));
    EXPECT_FALSE(excepted({""}, ""));
    EXPECT_FALSE(excepted({}, "a@b.org"));
    EXPECT_FALSE(excepted({">"}, "a@b.org"));
    EXPECT_TRUE(excepted({">"}, "a>b@b.org"));
    EXPECT_FALSE(excepted({">", ""}, ""));
    EXPECT_TRUE(excepted({"", "b.org"}, "a@b.org"));
}

TEST(ExceptionListRules, PrefixIsCutAt255Characters) {
    const QString address = QString(250, u'l') + "@b.org";
    // The rest of the line, 256 characters: only the first 255 count.
    EXPECT_TRUE(excepted({">" + QString(250, u'l') + "@b.orX"}, address));
    // The 255th character still counts.
    EXPECT_FALSE(excepted({">" + QString(250, u'l') + "@b.oX"}, address));
    EXPECT_TRUE(excepted({">" + QString(250, u'L') + "@B.O"}, address));
}

TEST(ExceptionListRules, ApplyPutsADashInPlaceAndKeepsTheRestAsWritten) {
    WorkingList list;
    list.assign({"Spam@b.org", "Keep@B.org", "", "boss@x.org", "-"});
    ExceptionList({"spam", ">BOSS"}).apply(list);
    EXPECT_EQ(list.lines(), QStringList({"-", "Keep@B.org", "", "-", "-"}));
}

TEST(ExceptionListRules, LoadReadsEveryKindOfLineBreakAndReportsAMissingFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("ausnahmen.txt");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("spam\r\n\r>BOSS\nm\xfcller\r\n");
    file.close();
    const ExceptionList list = ExceptionList::load(path);
    // Every line break ends a line: each of the three lines excepts, the
    // empty one nothing.
    EXPECT_TRUE(list.excepts(u"spam@b.org"));
    EXPECT_FALSE(list.excepts(u"anna@b.org"));
    EXPECT_TRUE(list.excepts(u"müller@b.org"));
    EXPECT_TRUE(list.excepts(u"boss@b.org"));

    try {
        ExceptionList::load(dir.filePath("fehlt.txt"));
        FAIL() << "no error";
    } catch (const TarveloError& e) {
        EXPECT_EQ(e.message(),
                  "Datei " + dir.filePath("fehlt.txt") + " kann nicht geöffnet werden");
    }
}

// The matcher for many lines against each line's rule taken one by one, on
// a small alphabet that makes overlaps and shared beginnings frequent.
TEST(ExceptionListRules, ManyLinesMatchExactlyAsTheRuleOfEachLine) {
    std::mt19937 random(7);
    // Beyond Latin-1 too: the matcher orders characters by their code.
    const QString alphabet = QStringLiteral(">@aAbBä€");
    auto text = [&](int maxLength) {
        QString s;
        const int n = std::uniform_int_distribution<int>(0, maxLength)(random);
        for (int i = 0; i < n; ++i) {
            s += alphabet[std::uniform_int_distribution<int>(0, int(alphabet.size()) - 1)(random)];
        }
        return s;
    };
    int exceptedCount = 0;
    int checks = 0;
    for (int round = 0; round < 300; ++round) {
        QStringList lines;
        const int lineCount = std::uniform_int_distribution<int>(0, 40)(random);
        for (int i = 0; i < lineCount; ++i) {
            lines.append(text(round % 3 == 0 ? 3 : 7));
        }
        const ExceptionList list(lines);
        for (int k = 0; k < 100; ++k) {
            // As written in the list: the matcher ignores its case itself.
            const QString entry = text(14);
            bool expected = false;
            for (const QString& line : lines) {
                if (lineExcepts(line, AsciiCase::lower(entry))) {
                    expected = true;
                    break;
                }
            }
            ASSERT_EQ(list.excepts(entry), expected)
                << entry.toStdString() << " / " << lines.join('|').toStdString();
            exceptedCount += expected ? 1 : 0;
            ++checks;
        }
    }
    EXPECT_GT(exceptedCount, checks / 10);
    EXPECT_LT(exceptedCount, checks * 9 / 10);
}

} // namespace
