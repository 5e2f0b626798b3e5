#include "db/RouteAddressStatements.h"

#include "db/Database.h"
#include "db/SqlExec.h"
#include "platform/AsciiCase.h"

#include <QSqlDriver>
#include <QVariant>

#include <algorithm>

namespace {

bool insertReturnsId(ConnectionSettings::Server server) {
    return server == ConnectionSettings::Server::Postgres;
}

} // namespace

QString RouteAddressStatements::selectAll() {
    return QStringLiteral("select routeaddressid, routeaddressaddress "
                          "from hm_routeaddresses order by routeaddressid");
}

RouteAddressStatements::AddressStorage
RouteAddressStatements::addressStorage(const Database& database) {
    AddressStorage storage;
    if (database.server() != Server::MySql) {
        return storage;
    }
    QSqlQuery query(database.openHandle());
    query.setForwardOnly(true);
    SqlExec::exec(
        query,
        QStringLiteral(
            "SELECT c.character_set_name, t.engine, @@character_set_client FROM "
            "information_schema.columns c JOIN "
            "information_schema.tables t ON t.table_schema = c.table_schema AND t.table_name = "
            "c.table_name WHERE c.table_schema = DATABASE() AND c.table_name = "
            "'hm_routeaddresses' AND c.column_name = 'routeaddressaddress'"));
    if (query.next()) {
        const auto basicPlane = [](const QVariant& value) {
            const QString set = AsciiCase::lower(value.toString());
            return set == u"utf8" || set == u"utf8mb3" || set == u"ucs2";
        };
        storage.onlyBasicPlane = basicPlane(query.value(0)) || basicPlane(query.value(2));
        storage.engine = query.value(1).toString();
    }
    return storage;
}

bool RouteAddressStatements::tooLong(QStringView address, Server server) {
    if (address.size() <= kAddressLength) {
        return false;
    }
    if (server == Server::SqlServer || server == Server::OtherOdbc) {
        return true;
    }
    return address.toUcs4().size() > kAddressLength;
}

bool RouteAddressStatements::beyondBasicPlane(QStringView address) {
    return std::any_of(address.cbegin(), address.cend(), [](QChar c) { return c.isSurrogate(); });
}

QString RouteAddressStatements::whyNotKeptAsWritten(QStringView address) {
    const auto named = [](QChar c) {
        return QStringLiteral("U+%1").arg(c.unicode(), 4, 16).toUpper();
    };
    if (address.startsWith(QChar(0xFEFF)) || address.startsWith(QChar(0xFFFE))) {
        return QStringLiteral("beginnt mit einer Byte-Order-Mark (%1), die nicht jede Datenbank "
                              "speichert")
            .arg(named(address.front()));
    }
    for (const QChar c : address) {
        if (c.unicode() == 0xFFFE || c.unicode() == 0xFFFF) {
            return QStringLiteral("enthält das Zeichen %1, das nicht jede Datenbank speichert")
                .arg(named(c));
        }
    }
    return {};
}

QString RouteAddressStatements::deleteById() {
    return QStringLiteral("DELETE FROM hm_routeaddresses WHERE routeaddressid = ?");
}

QString RouteAddressStatements::insert(Server server) {
    QString sql = QStringLiteral("INSERT INTO hm_routeaddresses "
                                 "(routeaddressrouteid, routeaddressaddress) VALUES (?, ?)");
    if (insertReturnsId(server)) {
        sql += QStringLiteral(" RETURNING routeaddressid");
    }
    return sql;
}

qint64 RouteAddressStatements::insertedId(QSqlQuery& insert, const Database& database,
                                          qint64 routeId, const QString& address) {
    const Server server = database.server();
    if (insertReturnsId(server)) {
        if (!insert.next()) {
            SqlExec::fail(insert);
        }
        return insert.value(0).toLongLong();
    }
    if (insert.driver()->hasFeature(QSqlDriver::LastInsertId)) {
        const QVariant id = insert.lastInsertId();
        if (id.isValid() && !id.isNull()) {
            return id.toLongLong();
        }
    }
    QSqlQuery query(database.openHandle());
    if (server == Server::MySql) {
        // Qt's ODBC driver does not ask MariaDB's driver for the key.
        SqlExec::exec(query, QStringLiteral("SELECT LAST_INSERT_ID()"));
        if (!query.next()) {
            SqlExec::fail(query);
        }
        return query.value(0).toLongLong();
    }
    SqlExec::prepare(query, QStringLiteral("SELECT MAX(routeaddressid) FROM hm_routeaddresses "
                                           "WHERE routeaddressrouteid = ? "
                                           "AND routeaddressaddress = ?"));
    query.addBindValue(routeId);
    query.addBindValue(database.text(address));
    SqlExec::execPrepared(query);
    if (!query.next()) {
        SqlExec::fail(query);
    }
    return query.value(0).toLongLong();
}
