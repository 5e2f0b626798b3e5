#include "db/RouteAddressRows.h"

#include "QStringPrinter.h"
#include "platform/AsciiCase.h"

#include <QHash>
#include <QList>

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <span>

namespace {

// The rows as a plain list, the lookups as walks over it.
struct ModelRow {
    qint64 id;
    qint64 routeId;
    QString address;
    bool deleted = false;
    bool marked = false;
};

class Model {
public:
    int find(const QString& text) const {
        for (int i = 0; i < rows.size(); ++i) {
            if (!rows.at(i).deleted && AsciiCase::equalIgnoringCase(rows.at(i).address, text)) {
                return i;
            }
        }
        return -1;
    }
    bool mark(const QString& text) {
        bool found = false;
        for (ModelRow& row : rows) {
            if (!row.deleted && AsciiCase::equalIgnoringCase(row.address, text)) {
                row.marked = true;
                found = true;
            }
        }
        return found;
    }
    QList<ModelRow> rows;
};

void expectSame(const RouteAddressRows& rows, const Model& model) {
    ASSERT_EQ(rows.size(), model.rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        const ModelRow& expected = model.rows.at(i);
        ASSERT_EQ(rows.isDeleted(i), expected.deleted) << i;
        ASSERT_EQ(rows.id(i), expected.id) << i;
        ASSERT_EQ(rows.routeId(i), expected.routeId) << i;
        ASSERT_EQ(rows.address(i), expected.address) << i;
        if (!expected.deleted) {
            ASSERT_EQ(rows.isMarked(i), expected.marked) << i;
        }
    }
}

// Addresses in one byte a character and beyond Latin-1, in several letter
// cases, and letters that only look alike.
const QStringList kAddresses = {"a@x.de",
                                "A@X.DE",
                                "a@X.de",
                                "b@x.de",
                                "B@x.de",
                                "\u00e4@x.de",
                                "\u00c4@x.de",
                                "\u00c4@X.DE",
                                "stra\u00dfe@x.de",
                                "\u20ac@x.de",
                                "\u20ac@X.de",
                                "\u0130@x.de",
                                "i@x.de",
                                "I@x.de",
                                "\u212a@x.de",
                                "k@x.de",
                                "K@X.DE",
                                "\u0142@x.de",
                                "\u0141@x.de",
                                "",
                                "@",
                                "`",
                                "x",
                                "X"};

} // namespace

TEST(RouteAddressRows, KeepsEveryAddressAsWrittenAndFindsItIgnoringOnlyAsciiCase) {
    RouteAddressRows rows;
    Model model;
    for (int i = 0; i < kAddresses.size(); ++i) {
        // 64-bit ids and route ids, beyond what 32 bits hold.
        const qint64 id = (qint64(1) << 40) + i;
        const qint64 routeId = -(qint64(1) << 35) - i;
        EXPECT_EQ(rows.append(id, routeId, kAddresses.at(i)), i);
        model.rows.append({id, routeId, kAddresses.at(i)});
    }
    // Found before the index is built: nothing.
    EXPECT_EQ(rows.find(QStringLiteral("a@x.de")), -1);
    rows.buildIndex();
    expectSame(rows, model);
    for (const QString& wanted : kAddresses + QStringList{"a@x.d", "A@X.DE ", "\u00e4@X.DE",
                                                          "\u20ac@x.DE", "STRASSE@x.de"}) {
        EXPECT_EQ(rows.find(wanted), model.find(wanted)) << wanted.toStdString();
    }
    // An address of more characters than a block of text holds.
    const QString longWide = QString(700000, QChar(0x20ac)) + QStringLiteral("@X.de");
    const QString longNarrow = QString(1500000, u'y') + QStringLiteral("@x.de");
    for (const QString& address : {longWide, longNarrow, QStringLiteral("after@x.de")}) {
        const int row = rows.append(7, 8, address);
        model.rows.append({7, 8, address});
        EXPECT_EQ(rows.address(row), address);
    }
    EXPECT_EQ(rows.find(AsciiCase::lower(longWide)), model.find(longWide));
    EXPECT_EQ(rows.find(longNarrow.toUpper()), model.find(longNarrow));
    expectSame(rows, model);
}

// Many changes, lookups and marks against the plain list: appends before and
// after the index is built (through several blocks of rows and growths of
// the index), deletions of first, middle, last and only rows of their kind.
TEST(RouteAddressRows, StaysRightThroughManyChanges) {
    std::mt19937 random(20240611);
    const auto below = [&](int n) { return int(random() % unsigned(n)); };
    // Many distinct addresses and some in several cases.
    const auto someAddress = [&]() -> QString {
        if (below(3) == 0) {
            return kAddresses.at(below(int(kAddresses.size())));
        }
        QString address = QStringLiteral("user%1@d%2.example").arg(below(4000)).arg(below(7));
        if (below(4) == 0) {
            address = address.toUpper();
        } else if (below(8) == 0) {
            address += QChar(0x20ac);
        }
        return address;
    };

    RouteAddressRows rows;
    Model model;
    for (int i = 0; i < 2000; ++i) {
        const QString address = someAddress();
        const qint64 routeId = below(50);
        rows.append(i, routeId, address);
        model.rows.append({i, routeId, address});
    }
    rows.buildIndex();

    QList<int> live;
    for (int i = 0; i < model.rows.size(); ++i) {
        live.append(i);
    }
    for (int step = 0; step < 20000; ++step) {
        const int choice = below(10);
        if (choice < 3) {
            const QString address = someAddress();
            const int row = rows.append(100000 + step, step % 13, address);
            ASSERT_EQ(row, model.rows.size());
            model.rows.append({100000 + step, step % 13, address});
            live.append(row);
        } else if (choice < 6 && !live.isEmpty()) {
            // Mostly the first live row of an address, as the delete pass does.
            int row = live.at(below(int(live.size())));
            if (below(2) == 0) {
                row = model.find(model.rows.at(row).address);
            }
            rows.remove(row);
            model.rows[row].deleted = true;
            live.removeOne(row);
        } else if (choice < 8) {
            const QString wanted = below(2) == 0 ? someAddress() : someAddress().toUpper();
            ASSERT_EQ(rows.find(wanted), model.find(wanted)) << step;
        } else {
            const QString wanted = someAddress();
            ASSERT_EQ(rows.mark(wanted), model.mark(wanted)) << step;
        }
        if (step % 5000 == 0) {
            expectSame(rows, model);
        }
    }
    expectSame(rows, model);
    // A row deleted twice stays deleted once.
    if (!live.isEmpty()) {
        rows.remove(live.first());
        rows.remove(live.first());
        model.rows[live.first()].deleted = true;
        expectSame(rows, model);
    }
}

TEST(RouteAddressRows, MarksManyTextsAtOnceAsOneAtATime) {
    std::mt19937 random(4711);
    RouteAddressRows batch;
    RouteAddressRows single;
    for (int i = 0; i < 20000; ++i) {
        const QString address = QStringLiteral("u%1@d%2.de").arg(random() % 30000).arg(i % 3);
        batch.append(i, 1, address);
        single.append(i, 1, address);
    }
    batch.buildIndex();
    single.buildIndex();
    QStringList texts;
    for (int i = 0; i < 30011; ++i) {
        QString text = QStringLiteral("u%1@d%2.de").arg(random() % 30000).arg(random() % 4);
        texts.append(i % 5 == 0 ? text.toUpper() : text);
    }
    texts.append(QString());
    std::vector<char> named(size_t(texts.size()) + 1, 2);
    batch.mark(std::span<const QString>(texts.constData(), size_t(texts.size())),
               reinterpret_cast<bool*>(named.data()));
    for (int i = 0; i < texts.size(); ++i) {
        ASSERT_EQ(bool(named[size_t(i)]), single.mark(texts.at(i))) << i;
    }
    EXPECT_EQ(named.back(), 2); // nothing written beyond the texts
    for (int i = 0; i < batch.size(); ++i) {
        ASSERT_EQ(batch.isMarked(i), single.isMarked(i)) << i;
    }
    // In spans short enough for one thread, and long enough for two, alike.
    for (const size_t span : {size_t(7), size_t(1500), size_t(4096)}) {
        RouteAddressRows chunked;
        for (int i = 0; i < batch.size(); ++i) {
            chunked.append(batch.id(i), 1, batch.address(i));
        }
        chunked.buildIndex();
        std::vector<char> chunkNamed(size_t(texts.size()), 2);
        for (size_t from = 0; from < size_t(texts.size()); from += span) {
            const size_t count = std::min(span, size_t(texts.size()) - from);
            chunked.mark(std::span<const QString>(texts.constData() + from, count),
                         reinterpret_cast<bool*>(chunkNamed.data() + from));
        }
        ASSERT_EQ(chunkNamed, std::vector<char>(named.begin(), named.end() - 1)) << span;
        for (int i = 0; i < batch.size(); ++i) {
            ASSERT_EQ(chunked.isMarked(i), single.isMarked(i)) << span << " " << i;
        }
    }

    // An empty table names nothing.
    RouteAddressRows empty;
    empty.buildIndex();
    std::array<bool, 2> none{true, true};
    empty.mark(std::span<const QString>(texts.constData(), 2), none.data());
    EXPECT_FALSE(none[0]);
    EXPECT_FALSE(none[1]);
}
