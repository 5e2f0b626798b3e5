#include "db/RouteAddressDataset.h"

#include "db/Database.h"
#include "db/RouteAddressStatements.h"
#include "db/SqlExec.h"
#include "platform/Progress.h"
#include "platform/TarveloError.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QVariant>

RouteAddressDataset::RouteAddressDataset(Database& database) : m_database(database) {}

RouteAddressDataset::~RouteAddressDataset() {
    rollbackBatch();
}

void RouteAddressDataset::open() {
    close();
    QSqlDatabase db = m_database.openHandle();

    RouteAddressRows rows;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    SqlExec::exec(query, RouteAddressStatements::selectAll());
    const int idColumn = SqlExec::column(query, QStringLiteral("routeaddressid"));
    const int addressColumn = SqlExec::column(query, QStringLiteral("routeaddressaddress"));
    while (query.next()) {
        rows.append(query.value(idColumn).toLongLong(), query.value(addressColumn).toString());
        if ((rows.size() & 0xFFF) == 0) {
            Progress::note(); // a long read is progress too
        }
    }
    if (query.lastError().isValid()) {
        SqlExec::fail(query);
    }
    query.finish();
    const RouteAddressStatements::AddressStorage storage =
        RouteAddressStatements::addressStorage(m_database);
    QString engineWithoutTransactions;
    if (storage.engine.compare(QStringLiteral("InnoDB"), Qt::CaseInsensitive) != 0) {
        engineWithoutTransactions = storage.engine;
    }

    auto remove = std::make_unique<QSqlQuery>(db);
    prepareChange(*remove, RouteAddressStatements::deleteById());
    auto insert = std::make_unique<QSqlQuery>(db);
    prepareChange(*insert, RouteAddressStatements::insert(m_database.server()));

    m_rows = std::move(rows);
    m_onlyBasicPlane = storage.onlyBasicPlane;
    m_engineWithoutTransactions = engineWithoutTransactions;
    m_db = db;
    m_delete = std::move(remove);
    m_insert = std::move(insert);
    m_open = true;
}

bool RouteAddressDataset::tooLong(QStringView address) const {
    return RouteAddressStatements::tooLong(address, m_database.server());
}

void RouteAddressDataset::prepareChange(QSqlQuery& query, const QString& sql) {
    // Prepared before the first change, where a server that has just gone
    // away is often first noticed: the toolkit's words alone would not say
    // that the table is untouched.
    if (!query.prepare(sql)) {
        throw DbError(SqlExec::changeError(
            query.lastError(), QStringLiteral("Die Änderungen an der Tabelle hm_routeaddresses "
                                              "lassen sich nicht vorbereiten; es wurde nichts "
                                              "geändert")));
    }
}

void RouteAddressDataset::close() {
    rollbackBatch();
    m_delete.reset();
    m_insert.reset();
    m_db = QSqlDatabase();
    m_rows = RouteAddressRows();
    m_onlyBasicPlane = false;
    m_engineWithoutTransactions.clear();
    m_open = false;
}

void RouteAddressDataset::requireOpen() const {
    if (!m_open) {
        throw DbError::notOpen();
    }
}

void RouteAddressDataset::deleteRow(qint64 routeaddressid) {
    requireOpen();
    m_delete->addBindValue(routeaddressid);
    execChange(*m_delete);
    m_delete->finish();
}

void RouteAddressDataset::insert(qint64 routeId, const QString& address) {
    requireOpen();
    m_insert->addBindValue(routeId);
    m_insert->addBindValue(m_database.text(address));
    execChange(*m_insert);
    m_insert->finish();
}

void RouteAddressDataset::execChange(QSqlQuery& query) {
    try {
        SqlExec::execChange(query);
    } catch (const DbError&) {
        // Inside a transaction nothing is stored before its commit. Stored at
        // once, a change whose answer went with the connection may well be in
        // the table: "not stored" would then be false. An SQLite file has no
        // connection to lose, and asking it again after it ran out of memory
        // crashes Qt's driver.
        if (m_inBatch || m_database.server() == ConnectionSettings::Server::Sqlite ||
            m_database.answers()) {
            throw;
        }
        throw OutcomeUnknownError(SqlExec::changeError(
            query.lastError(), QStringLiteral("Die Verbindung zur Datenbank ist abgebrochen; ob "
                                              "die Änderung gespeichert wurde, ist offen")));
    }
}

void RouteAddressDataset::beginBatch() {
    requireOpen();
    if (!m_db.transaction()) {
        throw DbError(SqlExec::driverText(m_db.lastError()));
    }
    m_inBatch = true;
}

void RouteAddressDataset::commitBatch() {
    requireOpen();
    if (!m_inBatch) {
        return;
    }
    if (!m_db.commit()) {
        const QString text = SqlExec::driverText(m_db.lastError());
        // A server that refused the commit has undone the transaction; one
        // whose answer went with the connection may have stored all of it.
        const bool outcomeUnknown = !m_database.answers();
        // PostgreSQL ends a transaction whose commit fails; a rollback after
        // it would only draw the server's warning onto standard error.
        if (m_database.server() == ConnectionSettings::Server::Postgres) {
            m_inBatch = false;
        }
        rollbackBatch();
        if (outcomeUnknown) {
            throw OutcomeUnknownError(
                QStringLiteral("Die Verbindung zur Datenbank ist beim Abschluss der Transaktion "
                               "abgebrochen; ob ihre Änderungen gespeichert wurden, ist offen (%1)")
                    .arg(text));
        }
        throw DbError(text);
    }
    m_inBatch = false;
}

void RouteAddressDataset::rollbackBatch() noexcept {
    if (!m_inBatch) {
        return;
    }
    m_inBatch = false;
    try {
        m_db.rollback();
    } catch (...) {
    }
}
