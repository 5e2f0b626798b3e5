#include "db/RouteAddressDataset.h"

#include "db/Database.h"
#include "db/SqlExec.h"
#include "platform/AsciiCase.h"
#include "platform/Progress.h"
#include "platform/TarveloError.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QVariant>

RouteAddressDataset::RouteAddressDataset(Database& database) : m_database(database) {}

RouteAddressDataset::~RouteAddressDataset() = default;

void RouteAddressDataset::open() {
    close();
    QSqlDatabase db = m_database.openHandle();

    QVector<Row> rows;
    {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        SqlExec::exec(query, QStringLiteral("select routeaddressid, routeaddressrouteid, "
                                            "routeaddressaddress from hm_routeaddresses "
                                            "order by routeaddressid"));
        const int idColumn = SqlExec::column(query, QStringLiteral("routeaddressid"));
        const int routeColumn = SqlExec::column(query, QStringLiteral("routeaddressrouteid"));
        const int addressColumn = SqlExec::column(query, QStringLiteral("routeaddressaddress"));
        while (query.next()) {
            Row row;
            row.id = query.value(idColumn).toLongLong();
            row.routeId = query.value(routeColumn).toLongLong();
            row.address = query.value(addressColumn).toString();
            rows.append(std::move(row));
            if ((rows.size() & 0xFFF) == 0) {
                Progress::note(); // a long read is progress too
            }
        }
        if (query.lastError().isValid()) {
            SqlExec::fail(query);
        }
    }

    auto remove = std::make_unique<QSqlQuery>(db);
    SqlExec::prepare(*remove,
                     QStringLiteral("DELETE FROM hm_routeaddresses WHERE routeaddressid = ?"));
    const bool returning = db.driverName() == u"QPSQL";
    QString insertSql = QStringLiteral("INSERT INTO hm_routeaddresses "
                                       "(routeaddressrouteid, routeaddressaddress) VALUES (?, ?)");
    if (returning) {
        insertSql += QStringLiteral(" RETURNING routeaddressid");
    }
    auto insert = std::make_unique<QSqlQuery>(db);
    SqlExec::prepare(*insert, insertSql);

    // Chains of equal lower-cased addresses run in row order: built from the
    // back, each row goes in front of the chain.
    QHash<QString, int> heads;
    heads.reserve(rows.size());
    for (qsizetype i = rows.size() - 1; i >= 0; --i) {
        QString key = AsciiCase::lower(rows[i].address);
        const auto it = heads.find(key);
        if (it == heads.end()) {
            rows[i].nextSame = -1;
            heads.insert(std::move(key), int(i));
        } else {
            rows[i].nextSame = it.value();
            it.value() = int(i);
        }
    }

    m_rows = std::move(rows);
    m_firstByAddress = std::move(heads);
    m_delete = std::move(remove);
    m_insert = std::move(insert);
    m_insertReturnsId = returning;
    m_live = int(m_rows.size());
    m_current = 0;
    m_open = true;
}

void RouteAddressDataset::close() {
    m_delete.reset();
    m_insert.reset();
    m_rows = QVector<Row>();
    m_firstByAddress = QHash<QString, int>();
    m_current = 0;
    m_live = 0;
    m_open = false;
}

void RouteAddressDataset::skipDeleted() {
    while (m_current < m_rows.size() && m_rows.at(m_current).deleted) {
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
    return eof() ? 0 : m_rows.at(m_current).routeId;
}

QString RouteAddressDataset::routeaddressaddress() const {
    return eof() ? QString() : m_rows.at(m_current).address;
}

void RouteAddressDataset::indexRow(int index) {
    Row& row = m_rows[index];
    row.nextSame = -1;
    auto it = m_firstByAddress.find(AsciiCase::lower(row.address));
    if (it == m_firstByAddress.end()) {
        m_firstByAddress.insert(AsciiCase::lower(row.address), index);
        return;
    }
    int tail = it.value();
    while (m_rows.at(tail).nextSame >= 0) {
        tail = m_rows.at(tail).nextSame;
    }
    m_rows[tail].nextSame = index;
}

void RouteAddressDataset::unindexRow(int index) {
    const auto it = m_firstByAddress.find(AsciiCase::lower(m_rows.at(index).address));
    if (it == m_firstByAddress.end()) {
        return;
    }
    const int following = m_rows.at(index).nextSame;
    if (it.value() == index) {
        if (following < 0) {
            m_firstByAddress.erase(it);
        } else {
            it.value() = following;
        }
    } else {
        int previous = it.value();
        while (previous >= 0 && m_rows.at(previous).nextSame != index) {
            previous = m_rows.at(previous).nextSame;
        }
        if (previous >= 0) {
            m_rows[previous].nextSame = following;
        }
    }
    m_rows[index].nextSame = -1;
}

void RouteAddressDataset::deleteCurrent() {
    if (!m_open) {
        throw DbError::notOpen();
    }
    if (eof()) {
        throw DbError::noCurrentRow();
    }
    if (!m_testRun) {
        m_delete->addBindValue(m_rows.at(m_current).id);
        SqlExec::execPrepared(*m_delete);
        m_delete->finish();
    }

    unindexRow(m_current);
    Row& row = m_rows[m_current];
    row.deleted = true;
    row.address = QString();
    --m_live;
    skipDeleted();
}

qint64 RouteAddressDataset::insertedId(qint64 routeId, const QString& address) {
    if (m_insertReturnsId) {
        if (!m_insert->next()) {
            SqlExec::fail(*m_insert);
        }
        return m_insert->value(0).toLongLong();
    }
    const QVariant id = m_insert->lastInsertId();
    if (id.isValid() && !id.isNull()) {
        return id.toLongLong();
    }
    // A driver that cannot tell: the newest row with these values is ours.
    QSqlQuery query(m_database.openHandle());
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

void RouteAddressDataset::insert(qint64 routeId, const QString& address) {
    if (!m_open) {
        throw DbError::notOpen();
    }
    qint64 id = --m_testRunIds;
    if (!m_testRun) {
        m_insert->addBindValue(routeId);
        m_insert->addBindValue(SqlExec::text(address));
        SqlExec::execPrepared(*m_insert);
        id = insertedId(routeId, address);
        m_insert->finish();
    }

    Row row;
    row.id = id;
    row.routeId = routeId;
    row.address = address;
    m_rows.append(std::move(row));
    const int index = int(m_rows.size()) - 1;
    indexRow(index);
    ++m_live;
    m_current = index;
}

bool RouteAddressDataset::locate(const QString& text) {
    if (!m_open) {
        throw DbError::notOpen();
    }
    const auto it = m_firstByAddress.constFind(AsciiCase::lower(text));
    if (it == m_firstByAddress.constEnd()) {
        return false;
    }
    m_current = it.value();
    return true;
}
