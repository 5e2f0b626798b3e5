#include "db/DatasetModel.h"

#include "platform/TarveloError.h"

#include <QtDebug>

DatasetModel::DatasetModel(QString columnName, QObject* parent)
    : QAbstractTableModel(parent), m_columnName(std::move(columnName)) {}

void DatasetModel::first() {
    requireOpen();
    moveTo(0);
}

void DatasetModel::next() {
    requireOpen();
    if (!eof()) {
        moveTo(m_current + 1);
    }
}

void DatasetModel::disableControls() {
    ++m_disabled;
}

void DatasetModel::enableControls() {
    if (m_disabled == 0) {
        return;
    }
    if (--m_disabled == 0) {
        emit currentRowChanged(m_current);
    }
}

int DatasetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 1;
}

QVariant DatasetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (orientation == Qt::Horizontal) {
        return section == 0 ? QVariant(m_columnName) : QVariant();
    }
    return section + 1;
}

void DatasetModel::requireOpen() const {
    if (!m_open) {
        throw DbError::notOpen();
    }
}

void DatasetModel::resetRows(bool open, const std::function<void()>& replace) {
    beginResetModel();
    replace();
    m_open = open;
    m_current = open && recordCount() > 0 ? 0 : -1;
    endResetModel();
    if (open && m_disabled == 0) {
        emit currentRowChanged(m_current);
    }
}

void DatasetModel::moveTo(int row, bool tellAlways) {
    const int to = recordCount() == 0 ? -1 : qBound(0, row, recordCount());
    if (to == m_current && !tellAlways) {
        return;
    }
    m_current = to;
    if (m_disabled == 0) {
        emit currentRowChanged(m_current);
    }
}

void DatasetModel::rowRemovedAt(int row) {
    moveTo(m_current > row ? m_current - 1 : qMin(m_current, recordCount() - 1), true);
}

void DatasetModel::reportError(const QString& message) const {
    if (m_errorSink) {
        m_errorSink(message);
    } else {
        qWarning().noquote() << message;
    }
}

std::shared_ptr<void> DatasetModel::guardChange() const {
    return m_changeGuard ? m_changeGuard() : nullptr;
}
