#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

// The statements that change hm_routeaddresses, shared by the datasets that
// change it (the run's RA2 and the address grid's Address).
namespace RouteAddressStatements {
// "DELETE ... WHERE routeaddressid = ?".
QString deleteById();
// "INSERT ... (routeaddressrouteid, routeaddressaddress) VALUES (?, ?)",
// returning the new key where the server can (PostgreSQL).
QString insert(const QSqlDatabase& db);
bool insertReturnsId(const QSqlDatabase& db);
// The key of the row that the executed insert stored: its RETURNING row,
// the driver's last insert id, or, for a driver that can tell neither, the
// newest row with these values.
qint64 insertedId(QSqlQuery& insert, const QSqlDatabase& db, qint64 routeId,
                  const QString& address);
} // namespace RouteAddressStatements
