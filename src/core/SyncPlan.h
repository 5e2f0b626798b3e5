#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

#include <vector>

class RouteAddressRows;
class WorkingList;
struct Route;

// One change a synchronisation run makes: a row of hm_routeaddresses deleted
// by its key, or a list entry inserted into a route.
struct PlannedChange {
    enum class Kind { Delete, Insert };
    Kind kind = Kind::Delete;
    // The row's routeaddressid (Delete) or the route's routeid (Insert).
    qint64 id = 0;
    // The row's address lower-cased (Delete), or the entry as written (Insert).
    QString address;

    // "Delete <address>" or "Insert <routeid> <entry>": one line of the
    // protocol, whatever the address holds.
    QString protocolLine() const;
};

// Everything a run will change, in the order its two passes change it: the
// deletions in table order, then the insertions route by route in the
// routes' order and, within a route, in the list's order.
struct SyncPlan {
    std::vector<PlannedChange> changes;
    qint64 deletions = 0;
    // The table's rows that the domain filter covers, whether they go or stay.
    qint64 rowsInFilter = 0;
};

// The changes that bring the table in step with the list (its excepted
// entries already "-") within the domain filter: a row whose address no
// entry names, the case of A to Z ignored, goes when its lower-cased address
// contains the filter (or the filter is "*"); an entry that names no row goes
// into the first route, in the routes' order, whose "@" and lower-cased name
// it contains and that the filter admits. An entry equal to an earlier one is
// inserted once. `routes` in the routes' order, `rows` as read from the table.
SyncPlan planSynchronisation(const QString& domain, const WorkingList& Liste,
                             const QList<Route>& routes, const RouteAddressRows& rows);
