#include "db/RouteAddressStatements.h"

#include "db/SqlExec.h"

#include <QVariant>

QString RouteAddressStatements::deleteById() {
    return QStringLiteral("DELETE FROM hm_routeaddresses WHERE routeaddressid = ?");
}

bool RouteAddressStatements::insertReturnsId(const QSqlDatabase& db) {
    return db.driverName() == u"QPSQL";
}

QString RouteAddressStatements::insert(const QSqlDatabase& db) {
    QString sql = QStringLiteral("INSERT INTO hm_routeaddresses "
                                 "(routeaddressrouteid, routeaddressaddress) VALUES (?, ?)");
    if (insertReturnsId(db)) {
        sql += QStringLiteral(" RETURNING routeaddressid");
    }
    return sql;
}

qint64 RouteAddressStatements::insertedId(QSqlQuery& insert, const QSqlDatabase& db, qint64 routeId,
                                          const QString& address) {
    if (insertReturnsId(db)) {
        if (!insert.next()) {
            SqlExec::fail(insert);
        }
        return insert.value(0).toLongLong();
    }
    const QVariant id = insert.lastInsertId();
    if (id.isValid() && !id.isNull()) {
        return id.toLongLong();
    }
    QSqlQuery query(db);
    SqlExec::prepare(query, QStringLiteral("SELECT MAX(routeaddressid) FROM hm_routeaddresses "
                                           "WHERE routeaddressrouteid = ? "
                                           "AND routeaddressaddress = ?"));
    query.addBindValue(routeId);
    query.addBindValue(SqlExec::text(address));
    SqlExec::execPrepared(query);
    if (!query.next()) {
        SqlExec::fail(query);
    }
    return query.value(0).toLongLong();
}
