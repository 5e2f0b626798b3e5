#include "db/RoutesModel.h"

#include "db/RoutesDataset.h"
#include "platform/TarveloError.h"

#include <QtDebug>

RoutesModel::RoutesModel(RoutesDataset& dataset, QObject* parent)
    : QAbstractTableModel(parent), m_dataset(dataset) {
    connect(&m_dataset, &RoutesDataset::aboutToReset, this, [this] { beginResetModel(); });
    connect(&m_dataset, &RoutesDataset::reset, this, [this] { endResetModel(); });
    connect(&m_dataset, &RoutesDataset::aboutToRemoveRow, this,
            [this](int row) { beginRemoveRows(QModelIndex(), row, row); });
    connect(&m_dataset, &RoutesDataset::rowRemoved, this, [this] { endRemoveRows(); });
}

int RoutesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_dataset.rowCount();
}

int RoutesModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 1;
}

QVariant RoutesModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        return m_dataset.row(index.row()).routedomainname;
    }
    return {};
}

QVariant RoutesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (orientation == Qt::Horizontal) {
        return section == 0 ? QVariant(QStringLiteral("routedomainname")) : QVariant();
    }
    return section + 1;
}

bool RoutesModel::removeRows(int row, int count, const QModelIndex& parent) {
    if (parent.isValid() || row < 0 || count < 1 || row + count > rowCount()) {
        return false;
    }
    try {
        for (int i = row + count - 1; i >= row; --i) {
            m_dataset.setCurrentRow(i);
            m_dataset.deleteCurrent();
        }
    } catch (const TarveloError& error) {
        reportError(error.message());
        return false;
    }
    return true;
}

void RoutesModel::reportError(const QString& message) const {
    if (m_errorSink) {
        m_errorSink(message);
    } else {
        qWarning().noquote() << message;
    }
}
