#include "db/AddressModel.h"

#include "db/AddressDataset.h"
#include "platform/TarveloError.h"

#include <QtDebug>

AddressModel::AddressModel(AddressDataset& dataset, QObject* parent)
    : QAbstractTableModel(parent), m_dataset(dataset) {
    connect(&m_dataset, &AddressDataset::aboutToReset, this, [this] { beginResetModel(); });
    connect(&m_dataset, &AddressDataset::reset, this, [this] { endResetModel(); });
    connect(&m_dataset, &AddressDataset::aboutToAppendRow, this,
            [this](int row) { beginInsertRows(QModelIndex(), row, row); });
    connect(&m_dataset, &AddressDataset::rowAppended, this, [this] { endInsertRows(); });
    connect(&m_dataset, &AddressDataset::aboutToRemoveRow, this,
            [this](int row) { beginRemoveRows(QModelIndex(), row, row); });
    connect(&m_dataset, &AddressDataset::rowRemoved, this, [this] { endRemoveRows(); });
    connect(&m_dataset, &AddressDataset::rowChanged, this, [this](int row) {
        const QModelIndex cell = index(row, 0);
        emit dataChanged(cell, cell, {Qt::DisplayRole, Qt::EditRole});
    });
}

int AddressModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_dataset.rowCount();
}

int AddressModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 1;
}

QVariant AddressModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        return m_dataset.addressAt(index.row());
    }
    return {};
}

QVariant AddressModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (orientation == Qt::Horizontal) {
        return section == 0 ? QVariant(QStringLiteral("routeaddressaddress")) : QVariant();
    }
    return section + 1;
}

Qt::ItemFlags AddressModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid()) {
        f |= Qt::ItemIsEditable;
    }
    return f;
}

bool AddressModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return false;
    }
    try {
        m_dataset.setAddress(index.row(), value.toString());
    } catch (const TarveloError& error) {
        reportError(error.message());
        return false;
    }
    return true;
}

bool AddressModel::appendAddress(const QString& address) {
    try {
        m_dataset.appendRow(address);
    } catch (const TarveloError& error) {
        reportError(error.message());
        return false;
    }
    return true;
}

bool AddressModel::removeRows(int row, int count, const QModelIndex& parent) {
    if (parent.isValid() || row < 0 || count < 1 || row + count > rowCount()) {
        return false;
    }
    try {
        for (int i = row + count - 1; i >= row; --i) {
            m_dataset.deleteRow(i);
        }
    } catch (const TarveloError& error) {
        reportError(error.message());
        return false;
    }
    return true;
}

void AddressModel::reportError(const QString& message) const {
    if (m_errorSink) {
        m_errorSink(message);
    } else {
        qWarning().noquote() << message;
    }
}
