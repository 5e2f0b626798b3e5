#include "db/RouteAddressDataset.h"

#include "db/Database.h"
#include "db/RouteAddressStatements.h"
#include "db/SqlExec.h"
#include "db/SqliteNativeRead.h"
#include "platform/Progress.h"
#include "platform/TarveloError.h"

#include <QSqlError>
#include <QVariant>

RouteAddressDataset::RouteAddressDataset(Database& database) : m_database(database) {}

RouteAddressDataset::~RouteAddressDataset() = default;

void RouteAddressDataset::open() {
    close();
    QSqlDatabase db = m_database.openHandle();

    RouteAddressRows rows;
    static const char kSelect[] = "select routeaddressid, routeaddressrouteid, "
                                  "routeaddressaddress from hm_routeaddresses "
                                  "order by routeaddressid";
    if (!SqliteNativeRead::routeAddresses(db, kSelect, rows)) {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        SqlExec::exec(query, QString::fromLatin1(kSelect));
        const int idColumn = SqlExec::column(query, QStringLiteral("routeaddressid"));
        const int routeColumn = SqlExec::column(query, QStringLiteral("routeaddressrouteid"));
        const int addressColumn = SqlExec::column(query, QStringLiteral("routeaddressaddress"));
        while (query.next()) {
            const QString address = query.value(addressColumn).toString();
            rows.append(query.value(idColumn).toLongLong(), query.value(routeColumn).toLongLong(),
                        address);
            if ((rows.size() & 0xFFF) == 0) {
                Progress::note(); // a long read is progress too
            }
        }
        if (query.lastError().isValid()) {
            SqlExec::fail(query);
        }
    }

    auto remove = std::make_unique<QSqlQuery>(db);
    SqlExec::prepare(*remove, RouteAddressStatements::deleteById());
    auto insert = std::make_unique<QSqlQuery>(db);
    SqlExec::prepare(*insert, RouteAddressStatements::insert(m_database.server()));

    m_rows = std::move(rows);
    m_db = db;
    m_delete = std::move(remove);
    m_insert = std::move(insert);
    m_live = m_rows.size();
    m_current = 0;
    m_open = true;
}

void RouteAddressDataset::close() {
    m_delete.reset();
    m_insert.reset();
    m_db = QSqlDatabase();
    m_rows = RouteAddressRows();
    m_current = 0;
    m_live = 0;
    m_open = false;
}

void RouteAddressDataset::skipDeleted() {
    while (m_current < m_rows.size() && m_rows.isDeleted(m_current)) {
        ++m_current;
    }
}

void RouteAddressDataset::first() {
    if (!m_open) {
        throw DbError::notOpen();
    }
    m_current = 0;
    skipDeleted();
}

void RouteAddressDataset::next() {
    if (!m_open) {
        throw DbError::notOpen();
    }
    if (!eof()) {
        ++m_current;
        skipDeleted();
    }
}

bool RouteAddressDataset::eof() const {
    return !m_open || m_current >= m_rows.size();
}

qint64 RouteAddressDataset::routeaddressrouteid() const {
    return eof() ? 0 : m_rows.routeId(m_current);
}

QString RouteAddressDataset::routeaddressaddress() const {
    return eof() ? QString() : m_rows.address(m_current);
}

void RouteAddressDataset::deleteCurrent() {
    if (!m_open) {
        throw DbError::notOpen();
    }
    if (eof()) {
        throw DbError::noCurrentRow();
    }
    if (!m_testRun) {
        m_delete->addBindValue(m_rows.id(m_current));
        SqlExec::execPrepared(*m_delete);
        m_delete->finish();
    }

    m_rows.remove(m_current);
    --m_live;
    skipDeleted();
}

void RouteAddressDataset::insert(qint64 routeId, const QString& address) {
    if (!m_open) {
        throw DbError::notOpen();
    }
    qint64 id = --m_testRunIds;
    if (!m_testRun) {
        m_insert->addBindValue(routeId);
        m_insert->addBindValue(m_database.text(address));
        SqlExec::execPrepared(*m_insert);
        id = RouteAddressStatements::insertedId(*m_insert, m_database, routeId, address);
        m_insert->finish();
    }

    m_current = m_rows.append(id, routeId, address);
    ++m_live;
}
