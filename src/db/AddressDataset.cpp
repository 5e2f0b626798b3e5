#include "db/AddressDataset.h"

#include "db/Database.h"
#include "db/RouteAddressStatements.h"
#include "db/SqlExec.h"
#include "platform/Blanks.h"
#include "platform/TarveloError.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {
void checkLength(const QString& address, ConnectionSettings::Server server) {
    if (RouteAddressStatements::tooLong(address, server)) {
        throw DbError(QStringLiteral("Die Adresse ist länger als %1 Zeichen")
                          .arg(RouteAddressStatements::kAddressLength));
    }
}

// A line break comes into the cell editor with a paste of two lines. The
// grid would show one address where the table holds two lines, and the
// export, one address a line, would write them as two.
void checkLineBreaks(const QString& address) {
    if (address.contains(u'\r') || address.contains(u'\n')) {
        throw DbError(QStringLiteral("Die Adresse enthält einen Zeilenumbruch"));
    }
}

void checkKeptAsWritten(const QString& address) {
    const QString why = RouteAddressStatements::whyNotKeptAsWritten(address);
    if (!why.isEmpty()) {
        throw DbError(QStringLiteral("Die Adresse ") + why);
    }
}

// The statement run for the query text: the text as written, with the key
// routeaddressid put first into its select list. Rows, their order and the
// query text itself stay as given; each row comes with the key that its
// changes are written back by. Only a select can carry the key.
QString keyedStatement(const QStringList& lines) {
    const QString text = lines.join(QStringLiteral("\r\n"));
    static const QRegularExpression select(QStringLiteral("^\\s*select\\s"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = select.match(text);
    if (!match.hasMatch()) {
        throw DbError(QStringLiteral("Die Abfrage der Adressen muss mit \"select\" beginnen"));
    }
    const qsizetype keyword = match.capturedEnd() - 1;
    return text.left(keyword) + QStringLiteral(" routeaddressid,") + text.mid(keyword);
}
} // namespace

AddressDataset::AddressDataset(Database& database, QObject* parent)
    : DatasetModel(QStringLiteral("routeaddressaddress"), parent), m_database(database),
      m_lines(initialQueryLines()) {}

QStringList AddressDataset::initialQueryLines() {
    return {QStringLiteral("select routeaddressaddress from hm_routeaddresses"),
            QStringLiteral("order by routeaddressaddress")};
}

void AddressDataset::close() {
    if (!isOpen() && m_rows.isEmpty() && !m_pending) {
        return;
    }
    resetRows(false, [this] {
        m_rows.clear();
        m_pending = false;
    });
}

void AddressDataset::setQuery(const QStringList& lines, qint64 routeId, const QString& routeName) {
    close();
    m_lines = lines;
    m_routeId = routeId;
    m_routeName = routeName;
}

void AddressDataset::open() {
    QVector<Row> rows;
    {
        QSqlQuery query(m_database.openHandle());
        query.setForwardOnly(true);
        SqlExec::exec(query, keyedStatement(m_lines));
        const int idColumn = SqlExec::column(query, QStringLiteral("routeaddressid"));
        const int addressColumn = SqlExec::column(query, QStringLiteral("routeaddressaddress"));
        while (query.next()) {
            rows.append(
                {query.value(idColumn).toLongLong(), query.value(addressColumn).toString()});
        }
        if (query.lastError().isValid()) {
            SqlExec::fail(query);
        }
    }
    resetRows(true, [&] {
        m_rows = std::move(rows);
        m_pending = false;
    });
}

QString AddressDataset::Addressrouteaddressaddress() const {
    return eof() ? QString() : m_rows.at(currentRow()).address;
}

void AddressDataset::checkRow(int row) const {
    requireOpen();
    if (row < 0 || row >= m_rows.size()) {
        throw DbError(QStringLiteral("Es gibt keinen Datensatz %1").arg(row + 1));
    }
}

bool AddressDataset::rowExists(qint64 id) {
    QSqlQuery query(m_database.openHandle());
    SqlExec::prepare(query, QStringLiteral("SELECT COUNT(*) FROM hm_routeaddresses "
                                           "WHERE routeaddressid = ?"));
    query.addBindValue(id);
    SqlExec::execPrepared(query);
    if (!query.next()) {
        SqlExec::fail(query);
    }
    return query.value(0).toLongLong() > 0;
}

// MySQL's utf8 column holds no character beyond the basic plane: a strict
// server refuses it, any other stores '?' instead and reports success, so
// the row would hold another address than the grid shows.
void AddressDataset::checkCharacters(const QString& address) {
    if (RouteAddressStatements::beyondBasicPlane(address) &&
        RouteAddressStatements::addressStorage(m_database).onlyBasicPlane) {
        throw DbError(QStringLiteral("Die Adresse enthält ein Zeichen, das die Tabelle "
                                     "hm_routeaddresses (utf8) nicht speichern kann"));
    }
}

void AddressDataset::setAddress(int row, const QString& address) {
    checkRow(row);
    if (m_rows.at(row).address == address) {
        return;
    }
    if (Blanks::trimmed(address).isEmpty()) {
        // An address emptied in place, or left with blanks only, would stay
        // in the table as a row no mail can match.
        throw DbError(QStringLiteral("Eine Adresse kann nicht geleert werden: \"%1\" bleibt "
                                     "stehen (Löschen mit Strg+Entf)")
                          .arg(m_rows.at(row).address));
    }
    checkLength(address, m_database.server());
    checkLineBreaks(address);
    checkKeptAsWritten(address);
    checkCharacters(address);
    const std::shared_ptr<void> guard = guardChange();
    const qint64 id = m_rows.at(row).id;
    QSqlQuery query(m_database.openHandle());
    SqlExec::prepare(query, QStringLiteral("UPDATE hm_routeaddresses SET routeaddressaddress = ? "
                                           "WHERE routeaddressid = ?"));
    query.addBindValue(m_database.text(address));
    query.addBindValue(id);
    SqlExec::execPrepared(query);
    // MySQL counts only rows whose value changed: none affected may still
    // mean the row is there, holding that text already.
    if (query.numRowsAffected() <= 0 && !rowExists(id)) {
        throw DbError(QStringLiteral("Die zu ändernde Zeile wurde nicht gefunden"));
    }
    m_rows[row].address = address;
    const QModelIndex cell = index(row, 0);
    emit dataChanged(cell, cell, {Qt::DisplayRole, Qt::EditRole});
}

// Stores a row for the loaded route and returns its routeaddressid.
qint64 AddressDataset::insertRow(const QString& address) {
    requireOpen();
    if (m_routeId < 0) {
        throw DbError(QStringLiteral("Keine Route geladen: die Adresse gehört zu keiner Route"));
    }
    checkLength(address, m_database.server());
    checkLineBreaks(address);
    checkKeptAsWritten(address);
    checkCharacters(address);
    const std::shared_ptr<void> guard = guardChange();
    const QSqlDatabase db = m_database.openHandle();
    QSqlQuery query(db);
    SqlExec::prepare(query, RouteAddressStatements::insert(m_database.server()));
    query.addBindValue(m_routeId);
    query.addBindValue(m_database.text(address));
    SqlExec::execPrepared(query);
    return RouteAddressStatements::insertedId(query, m_database, m_routeId, address);
}

void AddressDataset::deleteRow(int row) {
    checkRow(row);
    const std::shared_ptr<void> guard = guardChange();
    QSqlQuery query(m_database.openHandle());
    SqlExec::prepare(query, RouteAddressStatements::deleteById());
    query.addBindValue(m_rows.at(row).id);
    SqlExec::execPrepared(query);
    if (query.numRowsAffected() == 0) {
        throw DbError(QStringLiteral("Die zu löschende Zeile wurde nicht gefunden"));
    }
    beginRemoveRows(QModelIndex(), row, row);
    m_rows.removeAt(row);
    endRemoveRows();
    rowRemovedAt(row);
}

int AddressDataset::appendPendingRow() {
    if (!isOpen()) {
        return -1;
    }
    if (!m_pending) {
        const int row = recordCount();
        beginInsertRows(QModelIndex(), row, row);
        m_pending = true;
        m_pendingText.clear();
        endInsertRows();
    }
    return recordCount();
}

void AddressDataset::cancelPendingRow() {
    // The view moves its current row off the row while it goes, which asks
    // for the row to go once more.
    if (m_pending && !m_cancelling) {
        m_cancelling = true;
        const int row = recordCount();
        beginRemoveRows(QModelIndex(), row, row);
        m_pending = false;
        endRemoveRows();
        m_cancelling = false;
    }
}

int AddressDataset::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : recordCount() + (m_pending ? 1 : 0);
}

QVariant AddressDataset::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid) ||
        (role != Qt::DisplayRole && role != Qt::EditRole)) {
        return {};
    }
    return isPendingRow(index.row()) ? m_pendingText : m_rows.at(index.row()).address;
}

QVariant AddressDataset::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role == Qt::DisplayRole && orientation == Qt::Vertical && isPendingRow(section)) {
        return QStringLiteral("*");
    }
    return DatasetModel::headerData(section, orientation, role);
}

Qt::ItemFlags AddressDataset::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid()) {
        f |= Qt::ItemIsEditable;
    }
    return f;
}

bool AddressDataset::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return false;
    }
    const int row = index.row();
    const QString address = value.toString();
    try {
        if (!isPendingRow(row)) {
            setAddress(row, address);
            return true;
        }
        if (Blanks::trimmed(address).isEmpty()) {
            return false; // nothing entered: the row stays empty, and unstored
        }
        // The stored row takes the place of the pending one.
        const qint64 id = insertRow(address);
        m_rows.append({id, address});
        m_pending = false;
    } catch (const TarveloError& error) {
        // A new address the database refused stays in its row, unstored, for
        // the user to correct rather than type again.
        if (isPendingRow(row)) {
            m_pendingText = address;
            emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
        }
        reportError(error.message());
        return false;
    }
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    emit headerDataChanged(Qt::Vertical, row, row);
    moveTo(row, true);
    return true;
}

bool AddressDataset::removeRows(int row, int count, const QModelIndex& parent) {
    if (parent.isValid() || row < 0 || count < 1 || row + count > rowCount()) {
        return false;
    }
    if (isPendingRow(row + count - 1)) {
        cancelPendingRow();
        --count;
    }
    try {
        // Once for all of them, not once a row.
        const std::shared_ptr<void> guard = count > 0 ? guardChange() : nullptr;
        for (int i = row + count - 1; i >= row; --i) {
            deleteRow(i);
        }
    } catch (const TarveloError& error) {
        reportError(error.message());
        return false;
    }
    return true;
}
