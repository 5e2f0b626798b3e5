#include "core/RunLock.h"

#include "db/Database.h"
#include "db/SqlExec.h"
#include "platform/Progress.h"
#include "platform/TarveloError.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QVariant>

namespace {

// The advisory lock's name on the server: one per database.
constexpr qint64 kPostgresKey = 0x54617276656c6f; // "Tarvelo"
const QString kMySqlName = QStringLiteral("CONCAT('tarvelo:', LEFT(IFNULL(DATABASE(), ''), 50))");
const QString kSqlServerResource = QStringLiteral("tarvelo-synchronisation");

constexpr int kPollMilliseconds = 100;

TarveloError busy(const QString& what, std::chrono::milliseconds wait) {
    return TarveloError(QStringLiteral("Eine andere Synchronisation läuft bereits: %1 wurde in %2 "
                                       "Sekunden nicht frei. Dieser Lauf hat nichts geändert")
                            .arg(what)
                            .arg(wait.count() / 1000));
}

// The server's answer to a try of its lock: true when this session holds it.
bool tryServerLock(QSqlDatabase& db, ConnectionSettings::Server server) {
    QSqlQuery query(db);
    QString sql;
    switch (server) {
    case ConnectionSettings::Server::Postgres:
        sql = QStringLiteral("SELECT pg_try_advisory_lock(%1)").arg(kPostgresKey);
        break;
    case ConnectionSettings::Server::MySql:
        sql = QStringLiteral("SELECT GET_LOCK(%1, 0)").arg(kMySqlName);
        break;
    case ConnectionSettings::Server::SqlServer:
        sql = QStringLiteral("DECLARE @result int; EXEC @result = sp_getapplock @Resource = '%1', "
                             "@LockMode = 'Exclusive', @LockOwner = 'Session', @LockTimeout = 0; "
                             "SELECT CASE WHEN @result >= 0 THEN 1 ELSE 0 END")
                  .arg(kSqlServerResource);
        break;
    default:
        return true;
    }
    if (!query.exec(sql) || !query.next()) {
        throw DbError(SqlExec::driverText(query.lastError()));
    }
    const QVariant value = query.value(0);
    return value.toString() == u"true" || value.toLongLong() == 1;
}

} // namespace

std::chrono::milliseconds RunLock::defaultWait() {
    return std::chrono::seconds(30);
}

RunLock::RunLock(const QString& lockFile, Database& database, std::chrono::milliseconds wait,
                 std::function<bool()> waiting)
    : m_database(database), m_wait(wait), m_waiting(std::move(waiting)) {
    const qint64 deadline = Progress::now() + wait.count();
    try {
        this->lockFile(lockFile, deadline);
        lockServer(deadline);
    } catch (...) {
        m_file.close();
        throw;
    }
}

RunLock::~RunLock() {
    unlockServer();
    m_file.close();
}

void RunLock::lockFile(const QString& path, qint64 deadline) {
    try {
        m_file.open(path);
    } catch (const IoError& error) {
        // In plain words what the system would only number.
        const QFileInfo found(path);
        const QString why = found.isSymLink() ? QStringLiteral("sie ist ein symbolischer Verweis")
                            : found.isDir()   ? QStringLiteral("sie ist ein Verzeichnis")
                                              : error.message();
        throw TarveloError(
            QStringLiteral("Die Sperrdatei \"%1\" kann nicht angelegt werden: %2").arg(path, why));
    }
    for (;;) {
        if (m_file.tryLock()) {
            return;
        }
        const QString what = QStringLiteral("die Sperrdatei \"%1\"").arg(path);
        if (Progress::now() >= deadline) {
            throw busy(what, m_wait);
        }
        pause(what);
    }
}

void RunLock::lockServer(qint64 deadline) {
    const ConnectionSettings::Server server = m_database.server();
    if (server == ConnectionSettings::Server::Sqlite ||
        server == ConnectionSettings::Server::OtherOdbc) {
        return; // no lock of the server's own: the lock file must do
    }
    QSqlDatabase db = m_database.openHandle();
    for (;;) {
        if (tryServerLock(db, server)) {
            m_serverLocked = true;
            return;
        }
        const QString what = QStringLiteral("die Sperre in der Datenbank");
        if (Progress::now() >= deadline) {
            throw busy(what, m_wait);
        }
        pause(what);
    }
}

void RunLock::pause(const QString& what) {
    Progress::note(); // waiting for the other run is no stall
    QThread::msleep(kPollMilliseconds);
    if (m_waiting && !m_waiting()) {
        throw TarveloError(QStringLiteral("Eine andere Synchronisation läuft bereits: das Warten "
                                          "auf %1 wurde abgebrochen. Dieser Lauf hat nichts "
                                          "geändert")
                               .arg(what));
    }
}

void RunLock::unlockServer() noexcept {
    if (!m_serverLocked) {
        return;
    }
    m_serverLocked = false;
    try {
        if (!m_database.isOpen()) {
            return; // the session's end has released it
        }
        QSqlDatabase db = m_database.handle();
        QSqlQuery query(db);
        switch (m_database.server()) {
        case ConnectionSettings::Server::Postgres:
            query.exec(QStringLiteral("SELECT pg_advisory_unlock(%1)").arg(kPostgresKey));
            break;
        case ConnectionSettings::Server::MySql:
            query.exec(QStringLiteral("SELECT RELEASE_LOCK(%1)").arg(kMySqlName));
            break;
        case ConnectionSettings::Server::SqlServer:
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
