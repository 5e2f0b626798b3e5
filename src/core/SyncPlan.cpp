#include "core/SyncPlan.h"

#include "core/RouteMatcher.h"
#include "core/WorkingList.h"
#include "db/RouteAddressRows.h"
#include "db/RoutesDataset.h"
#include "platform/AsciiCase.h"
#include "platform/OneLine.h"

#include <QHash>
#include <QStringList>
#include <QStringMatcher>

#include <algorithm>
#include <deque>
#include <utility>

QString PlannedChange::protocolLine() const {
    if (kind == Kind::Delete) {
        return OneLine::forProtocol(QStringLiteral("Delete ") + address);
    }
    return OneLine::forProtocol(QStringLiteral("Insert %1 ").arg(id) + address);
}

SyncPlan planSynchronisation(const QString& domain, const WorkingList& Liste,
                             const QList<Route>& routes, const RouteAddressRows& rows) {
    const bool allRoutes = domain == QStringLiteral("*");
    const int entryCount = Liste.count();

    // Every entry lower-cased, once, with the place it first has in the list
    // (counted from 1); a later equal entry would find the row the first one
    // inserted. The keys look into the list's own texts; only entries with
    // capitals need a lower-cased copy, kept in lowered, where no copy moves
    // while the keys look into it.
    std::deque<QString> lowered;
    QHash<QStringView, int> firstPlace;
    firstPlace.reserve(entryCount);
    std::vector<bool> repeated(static_cast<size_t>(entryCount));
    for (int i = 0; i < entryCount; ++i) {
        QStringView key = Liste.at(i);
        if (AsciiCase::hasUpper(key)) {
            lowered.push_back(AsciiCase::lower(Liste.at(i)));
            key = lowered.back();
        }
        int& place = firstPlace[key];
        repeated[static_cast<size_t>(i)] = place != 0;
        if (place == 0) {
            place = i + 1;
        }
    }

    SyncPlan plan;
    // The delete pass: a row stays when some entry names it, whatever its route.
    std::vector<bool> inTable(static_cast<size_t>(entryCount));
    const QStringMatcher filter(domain);
    QString address;
    for (int row = 0; row < rows.size(); ++row) {
        rows.readAddress(row, address);
        AsciiCase::lowerInPlace(address);
        const bool covered = allRoutes || filter.indexIn(address) >= 0;
        plan.rowsInFilter += covered ? 1 : 0;
        const auto named = firstPlace.constFind(address);
        if (named != firstPlace.constEnd()) {
            inTable[static_cast<size_t>(*named - 1)] = true;
        } else if (covered) {
            plan.changes.push_back({PlannedChange::Kind::Delete, rows.id(row), address});
        }
    }
    plan.deletions = static_cast<qint64>(plan.changes.size());

    // The insert pass: what the table lacks, grouped by route in the routes'
    // order, in list order within a route.
    QStringList names;
    names.reserve(routes.size());
    for (const Route& route : routes) {
        names.append(AsciiCase::lower(route.routedomainname));
    }
    const RouteMatcher matcher(names, domain);
    std::vector<std::pair<int, int>> inserts; // route, entry
    for (int i = 0; i < entryCount; ++i) {
        if (repeated[static_cast<size_t>(i)] || inTable[static_cast<size_t>(i)]) {
            continue;
        }
        const int route = matcher.routeFor(AsciiCase::lower(Liste.at(i)));
        if (route >= 0) {
            inserts.emplace_back(route, i);
        }
    }
    std::stable_sort(inserts.begin(), inserts.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    plan.changes.reserve(plan.changes.size() + inserts.size());
    for (const auto& [route, entry] : inserts) {
        plan.changes.push_back(
            {PlannedChange::Kind::Insert, routes.at(route).routeid, Liste.at(entry)});
    }
    return plan;
}
