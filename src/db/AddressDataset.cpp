#include "db/AddressDataset.h"

#include "db/Database.h"
#include "db/SqlExec.h"
#include "platform/TarveloError.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {
// The width of routeaddressaddress.
const int MaxAddressLength = 255;

void checkLength(const QString& address) {
    if (address.size() > MaxAddressLength) {
        throw DbError(
            QStringLiteral("Die Adresse ist länger als %1 Zeichen").arg(MaxAddressLength));
    }
}
} // namespace

AddressDataset::AddressDataset(Database& database, QObject* parent)
    : QObject(parent), m_database(database), m_lines(initialQueryLines()) {}

QStringList AddressDataset::initialQueryLines() {
    return {QStringLiteral("select routeaddressaddress from hm_routeaddresses"),
            QStringLiteral("order by routeaddressaddress")};
}

void AddressDataset::close() {
    if (!m_open && m_rows.isEmpty()) {
        return;
    }
    emit aboutToReset();
    m_rows.clear();
    m_current = -1;
    m_open = false;
    emit reset();
}

void AddressDataset::setQuery(const QStringList& lines, int routeId) {
    close();
    m_lines = lines;
    m_routeId = routeId;
}

void AddressDataset::open() {
    QVector<Row> rows;
    {
        QSqlQuery query(m_database.openHandle());
        query.setForwardOnly(true);
        SqlExec::exec(query, m_lines.join(QStringLiteral("\r\n")));
        const int column = SqlExec::column(query, QStringLiteral("routeaddressaddress"));
        while (query.next()) {
            rows.append({query.value(column).toString()});
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
    emit currentRowChanged(m_current);
}

void AddressDataset::moveTo(int row) {
    if (m_current != row) {
        m_current = row;
        emit currentRowChanged(m_current);
    }
}

void AddressDataset::setCurrentRow(int row) {
    moveTo(m_rows.isEmpty() ? -1 : qBound(0, row, int(m_rows.size())));
}

void AddressDataset::first() {
    setCurrentRow(0);
}

void AddressDataset::next() {
    if (!eof()) {
        setCurrentRow(m_current + 1);
    }
}

bool AddressDataset::eof() const {
    return m_current < 0 || m_current >= m_rows.size();
}

QString AddressDataset::Addressrouteaddressaddress() const {
    return eof() ? QString() : m_rows.at(m_current).address;
}

void AddressDataset::checkRow(int row) const {
    if (!m_open) {
        throw DbError(QStringLiteral("Die Datenmenge ist nicht geöffnet"));
    }
    if (row < 0 || row >= m_rows.size()) {
        throw DbError(QStringLiteral("Es gibt keinen Datensatz %1").arg(row + 1));
    }
}

// The key of a shown row: the lowest routeaddressid with the row's route and
// its address as read. Rows alike in both are alike in everything shown.
int AddressDataset::rowId(int row, const QString& missingText) {
    QSqlQuery query(m_database.openHandle());
    QString sql = QStringLiteral("SELECT MIN(routeaddressid) FROM hm_routeaddresses "
                                 "WHERE routeaddressaddress = ?");
    if (m_routeId >= 0) {
        sql += QStringLiteral(" AND routeaddressrouteid = ?");
    }
    SqlExec::prepare(query, sql);
    query.addBindValue(SqlExec::text(m_rows.at(row).address));
    if (m_routeId >= 0) {
        query.addBindValue(m_routeId);
    }
    SqlExec::execPrepared(query);
    if (!query.next() || query.value(0).isNull()) {
        throw DbError(missingText);
    }
    return query.value(0).toInt();
}

void AddressDataset::setAddress(int row, const QString& address) {
    checkRow(row);
    if (m_rows.at(row).address == address) {
        return;
    }
    checkLength(address);
    const QString missing = QStringLiteral("Die zu ändernde Zeile wurde nicht gefunden");
    const int id = rowId(row, missing);
    QSqlQuery query(m_database.openHandle());
    SqlExec::prepare(query, QStringLiteral("UPDATE hm_routeaddresses SET routeaddressaddress = ? "
                                           "WHERE routeaddressid = ?"));
    query.addBindValue(SqlExec::text(address));
    query.addBindValue(id);
    SqlExec::execPrepared(query);
    if (query.numRowsAffected() == 0) {
        throw DbError(missing);
    }
    m_rows[row].address = address;
    emit rowChanged(row);
}

int AddressDataset::appendRow(const QString& address) {
    if (!m_open) {
        throw DbError(QStringLiteral("Die Datenmenge ist nicht geöffnet"));
    }
    if (m_routeId < 0) {
        throw DbError(QStringLiteral("Keine Route geladen: die Adresse gehört zu keiner Route"));
    }
    checkLength(address);
    QSqlQuery query(m_database.openHandle());
    SqlExec::prepare(query, QStringLiteral("INSERT INTO hm_routeaddresses "
                                           "(routeaddressrouteid, routeaddressaddress) "
                                           "VALUES (?, ?)"));
    query.addBindValue(m_routeId);
    query.addBindValue(SqlExec::text(address));
    SqlExec::execPrepared(query);

    const int row = int(m_rows.size());
    emit aboutToAppendRow(row);
    m_rows.append({address});
    emit rowAppended(row);
    moveTo(row);
    return row;
}

void AddressDataset::deleteRow(int row) {
    checkRow(row);
    const QString missing = QStringLiteral("Die zu löschende Zeile wurde nicht gefunden");
    const int id = rowId(row, missing);
    QSqlQuery query(m_database.openHandle());
    SqlExec::prepare(query,
                     QStringLiteral("DELETE FROM hm_routeaddresses WHERE routeaddressid = ?"));
    query.addBindValue(id);
    SqlExec::execPrepared(query);
    if (query.numRowsAffected() == 0) {
        throw DbError(missing);
    }
    emit aboutToRemoveRow(row);
    m_rows.removeAt(row);
    emit rowRemoved(row);
    // The following row becomes current; after the last row, the one before.
    const int current = m_current;
    m_current = -2;
    if (current > row || current >= m_rows.size()) {
        setCurrentRow(current > row ? current - 1 : int(m_rows.size()) - 1);
    } else {
        setCurrentRow(current);
    }
}
