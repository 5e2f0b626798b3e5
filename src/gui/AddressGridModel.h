#pragma once

#include <QAbstractTableModel>

class AddressModel;

// What the address grid shows: the addresses of the loaded route and, while
// the user appends one, an empty row after the last. That row is only in the
// grid; it reaches the database when text is entered into it, and it goes
// away without a trace when the user leaves it empty.
class AddressGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit AddressGridModel(AddressModel& source, QObject* parent = nullptr);

    // Adds the empty row (once) and returns its row number.
    int appendPendingRow();
    // Drops the empty row, if there is one.
    void cancelPendingRow();
    bool hasPendingRow() const { return m_pending; }
    bool isPendingRow(int row) const { return m_pending && row == m_sourceRows; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

private:
    AddressModel& m_source;
    int m_sourceRows = 0;
    bool m_pending = false;
    bool m_posting = false;    // the empty row is becoming a stored row
    bool m_cancelling = false; // the empty row is going
};
