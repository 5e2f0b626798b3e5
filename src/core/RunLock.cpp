#include "core/RunLock.h"

#include "db/ServerLock.h"
#include "platform/Progress.h"
#include "platform/TarveloError.h"

#include <QFileInfo>
#include <QThread>

namespace {

constexpr int kPollMilliseconds = 100;

TarveloError busy(const QString& what, std::chrono::milliseconds wait) {
    return TarveloError(QStringLiteral("Eine andere Synchronisation läuft bereits: %1 wurde in %2 "
                                       "Sekunden nicht frei. Dieser Lauf hat nichts geändert")
                            .arg(what, QString::number(wait.count() / 1000)));
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
        takeFileLock(lockFile, deadline);
        lockServer(deadline);
    } catch (...) {
        m_file.close();
        throw;
    }
}

std::unique_ptr<RunLock> RunLock::forGridChange(const QString& lockFile, Database& database) {
    return std::unique_ptr<RunLock>(new RunLock(lockFile, database, GridChange{}));
}

RunLock::RunLock(const QString& lockFile, Database& database, GridChange)
    : m_database(database), m_wait(0) {
    const auto refused = [](const QString& what) {
        return TarveloError(QStringLiteral("Eine Synchronisation läuft gerade (%1 ist belegt): "
                                           "die Änderung wurde nicht gespeichert. Bitte nach "
                                           "ihrem Ende wiederholen")
                                .arg(what));
    };
    try {
        m_file.open(lockFile);
        if (!m_file.tryLock()) {
            throw refused(QStringLiteral("die Sperrdatei \"%1\"").arg(lockFile));
        }
    } catch (const IoError&) {
        m_file.close(); // no run of this installation can hold what cannot be made
    }
    if (ServerLock::offered(m_database)) {
        if (!ServerLock::tryLock(m_database)) {
            throw refused(QStringLiteral("die Sperre in der Datenbank"));
        }
        m_serverLocked = true;
    }
}

RunLock::~RunLock() {
    unlockServer();
    m_file.close();
}

void RunLock::takeFileLock(const QString& path, qint64 deadline) {
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
    if (!ServerLock::offered(m_database)) {
        return; // no lock of the server's own: the lock file must do
    }
    for (;;) {
        if (ServerLock::tryLock(m_database)) {
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
    if (m_serverLocked) {
        m_serverLocked = false;
        ServerLock::unlock(m_database);
    }
}
