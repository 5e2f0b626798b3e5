#include "db/RouteAddressRows.h"

#include "QStringPrinter.h"
#include "RowAddress.h"

#include <QList>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

// The rows as a plain list.
struct ModelRow {
    qint64 id;
    QString address;
};

void expectSame(const RouteAddressRows& rows, const QList<ModelRow>& model) {
    ASSERT_EQ(rows.size(), model.size());
    // Read also into one buffer, as a whole table is looked through; a text
    // taken from the buffer must keep what it held when taken.
    QString buffer;
    QString taken;
    for (int i = 0; i < rows.size(); ++i) {
        const ModelRow& expected = model.at(i);
        ASSERT_EQ(rows.id(i), expected.id) << i;
        ASSERT_EQ(addressOf(rows, i), expected.address) << i;
        rows.readAddress(i, buffer);
        ASSERT_EQ(buffer, expected.address) << i;
        if (i == 0) {
            taken = buffer;
        }
    }
    if (!model.isEmpty()) {
        EXPECT_EQ(taken, model.constFirst().address);
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

TEST(RouteAddressRows, KeepsEveryAddressAsWritten) {
    RouteAddressRows rows;
    QList<ModelRow> model;
    for (int i = 0; i < kAddresses.size(); ++i) {
        // 64-bit ids, beyond what 32 bits hold.
        const qint64 id = (qint64(1) << 40) + i;
        EXPECT_EQ(rows.append(id, kAddresses.at(i)), i);
        model.append({id, kAddresses.at(i)});
    }
    // Latin-1 characters only: kept narrow, read back alike.
    EXPECT_EQ(rows.append(5, QStringLiteral("Stra\u00dfe@X.de")), kAddresses.size());
    model.append({5, QStringLiteral("Stra\u00dfe@X.de")});
    expectSame(rows, model);
    // An address of more characters than a block of text holds.
    const QString longWide = QString(700000, QChar(0x20ac)) + QStringLiteral("@X.de");
    const QString longNarrow = QString(1500000, u'y') + QStringLiteral("@x.de");
    for (const QString& address : {longWide, longNarrow, QStringLiteral("after@x.de")}) {
        const int row = rows.append(7, address);
        model.append({7, address});
        EXPECT_EQ(addressOf(rows, row), address);
    }
    expectSame(rows, model);
}

// Many appends against the plain list, through several blocks of rows and
// of text.
TEST(RouteAddressRows, StaysRightThroughManyAppends) {
    std::mt19937 random(20240611);
    const auto below = [&](int n) { return int(random() % unsigned(n)); };
    const auto someAddress = [&]() -> QString {
        if (below(3) == 0) {
            return kAddresses.at(below(int(kAddresses.size())));
        }
        QString address = QStringLiteral("user%1@d%2.example").arg(below(4000)).arg(below(7));
        if (below(8) == 0) {
            address += QChar(0x20ac);
        }
        return address;
    };

    RouteAddressRows rows;
    QList<ModelRow> model;
    for (int step = 0; step < 60000; ++step) {
        const QString address = someAddress();
        const int row = rows.append(100000 + step, address);
        ASSERT_EQ(row, model.size());
        model.append({100000 + step, address});
        if (step % 20000 == 0) {
            expectSame(rows, model);
        }
    }
    expectSame(rows, model);
}
