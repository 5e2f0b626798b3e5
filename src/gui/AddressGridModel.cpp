#include "gui/AddressGridModel.h"

#include "db/AddressModel.h"

AddressGridModel::AddressGridModel(AddressModel& source, QObject* parent)
    : QAbstractTableModel(parent), m_source(source), m_sourceRows(source.rowCount()) {
    connect(&m_source, &QAbstractItemModel::modelAboutToBeReset, this,
            [this] { beginResetModel(); });
    connect(&m_source, &QAbstractItemModel::modelReset, this, [this] {
        m_sourceRows = m_source.rowCount();
        m_pending = false;
        endResetModel();
    });
    connect(&m_source, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this](const QModelIndex&, int first, int last) {
                if (!m_posting) {
                    beginInsertRows(QModelIndex(), first, last);
                }
            });
    connect(&m_source, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) {
                m_sourceRows += last - first + 1;
                if (m_posting) {
                    // The stored row takes the place of the empty one.
                    m_pending = false;
                } else {
                    endInsertRows();
                }
            });
    connect(&m_source, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) {
                beginRemoveRows(QModelIndex(), first, last);
            });
    connect(&m_source, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex&, int first, int last) {
                m_sourceRows -= last - first + 1;
                endRemoveRows();
            });
    connect(&m_source, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight,
                   const QList<int>& roles) {
                emit dataChanged(index(topLeft.row(), topLeft.column()),
                                 index(bottomRight.row(), bottomRight.column()), roles);
            });
}

int AddressGridModel::appendPendingRow() {
    if (!m_pending) {
        beginInsertRows(QModelIndex(), m_sourceRows, m_sourceRows);
        m_pending = true;
        endInsertRows();
    }
    return m_sourceRows;
}

void AddressGridModel::cancelPendingRow() {
    // The view moves its current row off the row while it goes, which asks
    // for the row to go once more.
    if (m_pending && !m_cancelling) {
        m_cancelling = true;
        beginRemoveRows(QModelIndex(), m_sourceRows, m_sourceRows);
        m_pending = false;
        endRemoveRows();
        m_cancelling = false;
    }
}

int AddressGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_sourceRows + (m_pending ? 1 : 0);
}

int AddressGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_source.columnCount();
}

QVariant AddressGridModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    if (isPendingRow(index.row())) {
        return (role == Qt::DisplayRole || role == Qt::EditRole) ? QVariant(QString()) : QVariant();
    }
    return m_source.data(m_source.index(index.row(), index.column()), role);
}

QVariant AddressGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical && isPendingRow(section)) {
        return role == Qt::DisplayRole ? QVariant(QStringLiteral("*")) : QVariant();
    }
    return m_source.headerData(section, orientation, role);
}

Qt::ItemFlags AddressGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    if (isPendingRow(index.row())) {
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
    }
    return m_source.flags(m_source.index(index.row(), index.column()));
}

bool AddressGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return false;
    }
    if (!isPendingRow(index.row())) {
        return m_source.setData(m_source.index(index.row(), index.column()), value, role);
    }
    const QString address = value.toString();
    if (address.isEmpty()) {
        return false; // nothing entered: the row stays empty, and unstored
    }
    m_posting = true;
    const bool stored = m_source.appendAddress(address);
    m_posting = false;
    if (stored) {
        const QModelIndex cell = this->index(index.row(), 0);
        emit dataChanged(cell, cell, {Qt::DisplayRole, Qt::EditRole});
        emit headerDataChanged(Qt::Vertical, index.row(), index.row());
    }
    return stored;
}

bool AddressGridModel::removeRows(int row, int count, const QModelIndex& parent) {
    if (parent.isValid() || row < 0 || count < 1 || row + count > rowCount()) {
        return false;
    }
    if (m_pending && row + count - 1 == m_sourceRows) {
        cancelPendingRow();
        --count;
    }
    return count == 0 || m_source.removeRows(row, count);
}
