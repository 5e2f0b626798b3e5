#include "db/RoutesDataset.h"

#include "db/Database.h"
#include "db/SqlExec.h"
#include "platform/TarveloError.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

RoutesDataset::RoutesDataset(Database& database, QObject* parent)
    : QObject(parent), m_database(database) {}

QStringList RoutesDataset::queryLines() {
    return {QStringLiteral("select "),           QStringLiteral("  routeid,"),
            QStringLiteral("  routedomainname"), QString(),
            QStringLiteral("from hm_routes"),    QStringLiteral("order by routedomainname")};
}

void RoutesDataset::open() {
    QVector<Route> rows;
    {
        QSqlQuery query(m_database.openHandle());
        query.setForwardOnly(true);
        SqlExec::exec(query, queryLines().join(QStringLiteral("\r\n")));
        const int idColumn = SqlExec::column(query, QStringLiteral("routeid"));
        const int nameColumn = SqlExec::column(query, QStringLiteral("routedomainname"));
        while (query.next()) {
            rows.append({query.value(idColumn).toLongLong(), query.value(nameColumn).toString()});
        }
        if (query.lastError().isValid()) {
            SqlExec::fail(query);
        }
    }
    emit aboutToReset();
    m_rows = std::move(rows);
    m_current = m_rows.isEmpty() ? -1 : 0;
    m_open = true;
    emit reset();
    if (m_disabled == 0) {
        emit currentRowChanged(m_current);
    }
}

void RoutesDataset::close() {
    emit aboutToReset();
    m_rows.clear();
    m_current = -1;
    m_open = false;
    emit reset();
}

void RoutesDataset::moveTo(int index) {
    if (m_current == index) {
        return;
    }
    m_current = index;
    if (m_disabled == 0) {
        emit currentRowChanged(m_current);
    }
}

void RoutesDataset::setCurrentRow(int index) {
    if (m_rows.isEmpty()) {
        moveTo(-1);
        return;
    }
    moveTo(qBound(0, index, int(m_rows.size())));
}

void RoutesDataset::first() {
    requireOpen();
    setCurrentRow(0);
}

void RoutesDataset::next() {
    requireOpen();
    if (!eof()) {
        setCurrentRow(m_current + 1);
    }
}

bool RoutesDataset::eof() const {
    return m_current < 0 || m_current >= m_rows.size();
}

qint64 RoutesDataset::routesrouteid() const {
    return eof() ? 0 : m_rows.at(m_current).routeid;
}

QString RoutesDataset::routesroutedomainname() const {
    return eof() ? QString() : m_rows.at(m_current).routedomainname;
}

void RoutesDataset::requireOpen() const {
    if (!m_open) {
        throw DbError::notOpen();
    }
}

void RoutesDataset::deleteCurrent() {
    requireOpen();
    if (eof()) {
        throw DbError::noCurrentRow();
    }
    QSqlQuery query(m_database.openHandle());
    SqlExec::prepare(query, QStringLiteral("DELETE FROM hm_routes WHERE routeid = ?"));
    query.addBindValue(m_rows.at(m_current).routeid);
    SqlExec::execPrepared(query);

    const int row = m_current;
    emit aboutToRemoveRow(row);
    m_rows.removeAt(row);
    emit rowRemoved(row);
    // The following row becomes current; after the last row, the one before.
    m_current = -2; // forces the signal for the row now at this place
    setCurrentRow(row < m_rows.size() ? row : int(m_rows.size()) - 1);
}

void RoutesDataset::disableControls() {
    ++m_disabled;
}

void RoutesDataset::enableControls() {
    if (m_disabled == 0) {
        return;
    }
    if (--m_disabled == 0) {
        emit currentRowChanged(m_current);
    }
}
