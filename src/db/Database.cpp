#include "db/Database.h"

#include "db/ConnectionString.h"
#include "platform/TarveloError.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

namespace {
QAtomicInt connectionCounter;

QString driverText(const QSqlError& error) {
    const QString text = error.text().trimmed();
    return text.isEmpty() ? QStringLiteral("Unbekannter Datenbankfehler") : text;
}

// SQLite creates a missing file on open; the mail server's database must
// exist. The URI form with mode=rw opens read-write and never creates.
QString sqliteUri(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    return QUrl::fromLocalFile(absolute).toString(QUrl::FullyEncoded) + QStringLiteral("?mode=rw");
}
} // namespace

Database::Database()
    : m_name(QStringLiteral("tarvelo-db-%1").arg(connectionCounter.fetchAndAddRelaxed(1) + 1)) {}

Database::~Database() {
    if (QSqlDatabase::contains(m_name)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
}

void Database::setConnectionString(const QString& connectionString) {
    m_connectionString = connectionString;
}

void Database::open() {
    close();
    const ConnectionSettings settings = parseConnectionString(m_connectionString);

    QString databaseName = settings.databaseName;
    QString options = settings.options;
    if (settings.driver == u"QSQLITE") {
        const QFileInfo file(settings.databaseName);
        if (!file.exists()) {
            throw DbError(QStringLiteral("Die Datenbank \"%1\" wurde nicht gefunden")
                              .arg(settings.databaseName));
        }
        if (!file.isFile()) {
            throw DbError(
                QStringLiteral("\"%1\" ist keine Datenbankdatei").arg(settings.databaseName));
        }
        databaseName = sqliteUri(settings.databaseName);
        options = QStringLiteral("QSQLITE_OPEN_URI");
    }

    if (QSqlDatabase::contains(m_name)) {
        QSqlDatabase::removeDatabase(m_name);
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(settings.driver, m_name);
    if (!db.isValid()) {
        throw DbError(QStringLiteral("Der Datenbanktreiber %1 ist nicht verfügbar: %2")
                          .arg(settings.driver, driverText(db.lastError())));
    }
    db.setDatabaseName(databaseName);
    if (!settings.host.isEmpty()) {
        db.setHostName(settings.host);
    }
    if (settings.port > 0) {
        db.setPort(settings.port);
    }
    db.setUserName(settings.user);
    db.setPassword(settings.password);
    db.setConnectOptions(options);
    if (!db.open()) {
        throw DbError(driverText(db.lastError()));
    }
    if (settings.driver == u"QSQLITE") {
        // A file that is no SQLite database opens without complaint; the
        // first read tells.
        QSqlQuery probe(db);
        if (!probe.exec(QStringLiteral("select count(*) from sqlite_master"))) {
            const QString text = driverText(probe.lastError());
            probe.finish();
            db.close();
            throw DbError(text);
        }
    }
}

void Database::close() {
    if (QSqlDatabase::contains(m_name)) {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
    }
}

bool Database::isOpen() const {
    return QSqlDatabase::contains(m_name) && QSqlDatabase::database(m_name, false).isOpen();
}

QSqlDatabase Database::handle() const {
    return QSqlDatabase::database(m_name, false);
}

QSqlDatabase Database::openHandle() const {
    if (!isOpen()) {
        throw DbError(QStringLiteral("Die Verbindung zur Datenbank ist nicht geöffnet"));
    }
    return QSqlDatabase::database(m_name, false);
}
