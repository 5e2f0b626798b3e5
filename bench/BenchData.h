#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// A generated installation for the benchmark: routes with overlapping
// domain names (a name, the name with a further label, the name under a
// subdomain, names with capitals), a table of route addresses and an address
// list that differ in 2% each way (2% stale rows, 2% new entries), list entries
// in other letter case, repeated lines, empty lines, and entries that the
// exception list (fragment and prefix lines) excepts.
struct BenchData {
    QList<QPair<qint64, QString>> routes; // routeid, routedomainname
    QList<QPair<qint64, QString>> rows;   // routeaddressrouteid, routeaddressaddress
    QStringList list;
    QStringList exceptions;
};

BenchData generateBenchData(int entries, int routeCount, unsigned seed);
