#include "BenchData.h"

#include "platform/AsciiCase.h"

#include <algorithm>
#include <random>

namespace {

QString routeName(int i) {
    const int base = i - i % 10;
    switch (i % 10) {
    case 1:
        return QStringLiteral("dom%1.de.at").arg(base); // dom<base>.de with one more label
    case 2:
        return QStringLiteral("mail.dom%1.de").arg(base); // dom<base>.de under a subdomain
    case 3:
        return QStringLiteral("Dom%1.DE").arg(i); // capitals
    default:
        return QStringLiteral("dom%1.de").arg(i);
    }
}

QString withCapitals(const QString& text, std::mt19937& random) {
    QString out = text;
    for (QChar& c : out) {
        if (c >= u'a' && c <= u'z' && random() % 3 == 0) {
            c = QChar(c.unicode() - 32);
        }
    }
    return out;
}

} // namespace

BenchData generateBenchData(int entries, int routeCount, unsigned seed) {
    std::mt19937 random(seed);
    BenchData data;
    data.exceptions = {QStringLiteral("spam"),
                       QStringLiteral("NoReply"),
                       QStringLiteral(">postmaster@"),
                       QStringLiteral(">Abuse@"),
                       QStringLiteral("@blocked.example"),
                       QString()};

    // Route ids in an order of their own, unlike the names' order.
    QList<int> ids;
    for (int i = 1; i <= routeCount; ++i) {
        ids.append(i);
    }
    std::shuffle(ids.begin(), ids.end(), random);
    QStringList names;
    for (int i = 0; i < routeCount; ++i) {
        names.append(routeName(i));
        data.routes.append({ids.at(i), names.last()});
    }

    auto address = [&](int k) {
        const int route = k % routeCount;
        const QString local = (k % 500 == 7)   ? QStringLiteral("spam%1").arg(k)
                              : (k % 700 == 9) ? QStringLiteral("postmaster%1").arg(k)
                                               : QStringLiteral("user%1").arg(k);
        return qMakePair(ids.at(route), local + u'@' + AsciiCase::lower(names.at(route)));
    };

    // The table: every wanted address and 2% stale ones.
    const int stale = entries / 50;
    const int wanted = entries - stale;
    QList<int> keys;
    for (int k = 0; k < wanted + stale; ++k) {
        keys.append(k);
    }
    for (int k : keys) {
        if (k < wanted) {
            data.rows.append(address(k));
        } else {
            data.rows.append(address(k + entries)); // not in the list
        }
    }
    std::shuffle(data.rows.begin(), data.rows.end(), random);

    // The list: the wanted addresses (some in other case), 2% new ones,
    // some repeated lines and empty lines, in an order of its own.
    for (int k = 0; k < wanted; ++k) {
        QString entry = address(k).second;
        if (k % 20 == 3) {
            entry = withCapitals(entry, random);
        }
        data.list.append(entry);
    }
    for (int k = 0; k < stale; ++k) {
        data.list.append(address(k + 3 * entries).second);
    }
    for (int k = 0; k < entries / 300; ++k) {
        data.list.append(data.list.at(int(random() % data.list.size())));
    }
    for (int k = 0; k < entries / 1000; ++k) {
        data.list.append(QString());
    }
    std::shuffle(data.list.begin(), data.list.end(), random);
    return data;
}
