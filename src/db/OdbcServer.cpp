#include "db/OdbcServer.h"

#include <QSqlDriver>
#include <QSqlQuery>
#include <QVariant>

ConnectionSettings::Server odbcServer(const QSqlDatabase& db) {
    using Server = ConnectionSettings::Server;
    switch (db.driver()->dbmsType()) {
    case QSqlDriver::MSSqlServer:
        return Server::SqlServer;
    case QSqlDriver::MySqlServer:
        return Server::MySql;
    case QSqlDriver::PostgreSQL:
        return Server::Postgres;
    case QSqlDriver::UnknownDbms:
        break;
    default:
        return Server::OtherOdbc;
    }
    // MySQL, MariaDB and PostgreSQL answer this; others fail, and are none
    // of them.
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT version()")) || !query.next()) {
        return Server::OtherOdbc;
    }
    const QString version = query.value(0).toString();
    if (version.contains(u"MariaDB", Qt::CaseInsensitive)) {
        return Server::MySql;
    }
    if (version.startsWith(u"PostgreSQL", Qt::CaseInsensitive)) {
        return Server::Postgres;
    }
    return Server::OtherOdbc;
}
