#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringMatcher>
#include <QStringView>

#include <vector>

// Finds the route that the insert pass gives a list entry: among the routes
// the domain filter admits, the first in the routes' order whose "@" and
// lower-cased domain name occur in the lower-cased entry. The filter "*"
// admits every route; any other filter admits the routes whose "@" and
// lower-cased name equal it exactly.
//
// An entry holding the domains of several routes goes to the first of them
// only: once it is in the table, every later route finds it there.
class RouteMatcher {
public:
    // lowerNames: the routes' domain names, lower-cased, in the routes' order.
    RouteMatcher(QStringList lowerNames, const QString& domainFilter);

    // The route's index in the routes' order, or -1.
    int routeFor(QStringView lowerEntry) const;

private:
    QStringList m_names;
    bool m_allRoutes = false;
    // "*": the names indexed (views into m_names; the first route of a name
    // kept), probed at every "@" of an entry with each length a name has.
    QHash<QStringView, int> m_index;
    std::vector<qsizetype> m_lengths;
    // Any other filter: its one route (the first whose name it names).
    int m_filterRoute = -1;
    QStringMatcher m_filter;
};
