#include "db/ServerLock.h"

#include "db/Database.h"
#include "db/SqlExec.h"
#include "platform/TarveloError.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

using Server = ConnectionSettings::Server;

// The lock's name on the server: one per database.
constexpr qint64 kPostgresKey = 0x54617276656c6f; // "Tarvelo"
const QString kMySqlName = QStringLiteral("CONCAT('tarvelo:', LEFT(IFNULL(DATABASE(), ''), 50))");
const QString kSqlServerResource = QStringLiteral("tarvelo-synchronisation");

} // namespace

bool ServerLock::offered(const Database& database) {
    const Server server = database.server();
    return server == Server::Postgres || server == Server::MySql || server == Server::SqlServer;
}

bool ServerLock::tryLock(Database& database) {
    QString sql;
    switch (database.server()) {
    case Server::Postgres:
        // As a number: psqlODBC hands a boolean on as "1", as -1 (a data
        // source made for Access, TrueIsMinus1) or as a bit, as it is set up.
        sql = QStringLiteral("SELECT CASE WHEN pg_try_advisory_lock(%1) THEN 1 ELSE 0 END")
                  .arg(kPostgresKey);
        break;
    case Server::MySql:
        sql = QStringLiteral("SELECT GET_LOCK(%1, 0)").arg(kMySqlName);
        break;
    case Server::SqlServer:
        sql = QStringLiteral("DECLARE @result int; EXEC @result = sp_getapplock @Resource = '%1', "
                             "@LockMode = 'Exclusive', @LockOwner = 'Session', @LockTimeout = 0; "
                             "SELECT CASE WHEN @result >= 0 THEN 1 ELSE 0 END")
                  .arg(kSqlServerResource);
        break;
    default:
        return true;
    }
    QSqlQuery query(database.openHandle());
    if (!query.exec(sql) || !query.next()) {
        throw DbError(SqlExec::driverText(query.lastError()));
    }
    return query.value(0).toLongLong() == 1;
}

void ServerLock::unlock(Database& database) noexcept {
    try {
        if (!database.isOpen()) {
            return; // the session's end has released it
        }
        QSqlQuery query(database.handle());
        switch (database.server()) {
        case Server::Postgres:
            query.exec(QStringLiteral("SELECT pg_advisory_unlock(%1)").arg(kPostgresKey));
            break;
        case Server::MySql:
            query.exec(QStringLiteral("SELECT RELEASE_LOCK(%1)").arg(kMySqlName));
            break;
        case Server::SqlServer:
            query.exec(QStringLiteral("EXEC sp_releaseapplock @Resource = '%1', "
                                      "@LockOwner = 'Session'")
                           .arg(kSqlServerResource));
            break;
        default:
            break;
        }
    } catch (...) {
    }
}
