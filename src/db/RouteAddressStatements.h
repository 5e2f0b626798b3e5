#pragma once

#include "db/ConnectionString.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

class Database;

// The statements on hm_routeaddresses, shared by the datasets that read and
// change it (the run's RA2 and the address grid's Address) and by the
// benchmark, which runs them alone.
namespace RouteAddressStatements {
using Server = ConnectionSettings::Server;
// The mail server's routeaddressaddress holds at most this many characters.
inline constexpr qsizetype kAddressLength = 255;
// Whether the address is longer than the column on this server. SQL Server
// counts its nvarchar in UTF-16 units, where a character beyond the basic
// plane takes two; PostgreSQL and MySQL count characters. A server not known
// is taken at the stricter count.
bool tooLong(QStringView address, Server server);
// Every row's key and address, in key order: the run's read of the table.
QString selectAll();
// How MySQL and MariaDB store the address column, from information_schema;
// nothing to say on other servers.
struct AddressStorage {
    // Three bytes a character at most (utf8, utf8mb3, ucs2) in the column,
    // or on the way there (a session opened with CHARSET=utf8): no
    // character beyond the basic plane.
    bool onlyBasicPlane = false;
    QString engine; // the table's storage engine, InnoDB as a rule
};
AddressStorage addressStorage(const Database& database);
// Whether the address holds a character that a column storing only the
// basic plane cannot keep.
bool beyondBasicPlane(QStringView address);
// Why a row would not hold the address as written, in words that follow
// "Die Adresse": one that starts with U+FEFF or U+FFFE, which the drivers
// take for a byte-order mark of the text (SQLite's and Qt's drop it or swap
// the address's bytes), or that holds U+FFFE or U+FFFF anywhere, no
// characters, which SQLite reads back as U+FFFD. Empty where it would.
QString whyNotKeptAsWritten(QStringView address);
// "DELETE ... WHERE routeaddressid = ?".
QString deleteById();
// "INSERT ... (routeaddressrouteid, routeaddressaddress) VALUES (?, ?)",
// returning the new key where the server can (PostgreSQL).
QString insert(Server server);
// The key of the row that the executed insert stored: its RETURNING row,
// the driver's last insert id, MySQL's LAST_INSERT_ID(), or, for a server
// that can tell none of them, the newest row with these values.
qint64 insertedId(QSqlQuery& insert, const Database& database, qint64 routeId,
                  const QString& address);
} // namespace RouteAddressStatements
