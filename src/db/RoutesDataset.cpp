#include "db/RoutesDataset.h"

#include "db/Database.h"
#include "db/SqlExec.h"
#include "platform/TarveloError.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

RoutesDataset::RoutesDataset(Database& database, QObject* parent)
    : DatasetModel(QStringLiteral("routedomainname"), parent), m_database(database) {}

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
    resetRows(true, [&] { m_rows = std::move(rows); });
}

void RoutesDataset::close() {
    resetRows(false, [this] { m_rows.clear(); });
}

qint64 RoutesDataset::routesrouteid() const {
    return eof() ? 0 : m_rows.at(currentRow()).routeid;
}

QString RoutesDataset::routesroutedomainname() const {
    return eof() ? QString() : m_rows.at(currentRow()).routedomainname;
}

void RoutesDataset::deleteCurrent() {
    requireOpen();
    if (eof()) {
        throw DbError::noCurrentRow();
    }
    const int row = currentRow();
    const std::shared_ptr<void> guard = guardChange();
    QSqlQuery query(m_database.openHandle());
    SqlExec::prepare(query, QStringLiteral("DELETE FROM hm_routes WHERE routeid = ?"));
    query.addBindValue(m_rows.at(row).routeid);
    SqlExec::execPrepared(query);

    beginRemoveRows(QModelIndex(), row, row);
    m_rows.removeAt(row);
    endRemoveRows();
    rowRemovedAt(row);
}

int RoutesDataset::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : recordCount();
}

QVariant RoutesDataset::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid) ||
        (role != Qt::DisplayRole && role != Qt::EditRole)) {
        return {};
    }
    return m_rows.at(index.row()).routedomainname;
}

bool RoutesDataset::removeRows(int row, int count, const QModelIndex& parent) {
    if (parent.isValid() || row < 0 || count < 1 || row + count > rowCount()) {
        return false;
    }
    try {
        const std::shared_ptr<void> guard = guardChange(); // once for all of them, not once a row
        for (int i = row + count - 1; i >= row; --i) {
            setCurrentRow(i);
            deleteCurrent();
        }
    } catch (const TarveloError& error) {
        reportError(error.message());
        return false;
    }
    return true;
}
