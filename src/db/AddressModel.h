#pragma once

#include <QAbstractTableModel>

#include <functional>

class AddressDataset;

// The grid `DBGrid2` over the dataset `Address`: one editable column,
// routeaddressaddress. Edits, appended rows and removed rows are written to
// the database at once by the dataset.
class AddressModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit AddressModel(AddressDataset& dataset, QObject* parent = nullptr);

    // Receives the message of a database error raised inside a model call
    // (which must not cross Qt's event loop); the call then returns false.
    void setErrorSink(std::function<void(const QString&)> sink) { m_errorSink = std::move(sink); }

    // Appends a row for the loaded route; false (message to the sink) on error.
    bool appendAddress(const QString& address);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

private:
    void reportError(const QString& message) const;

    AddressDataset& m_dataset;
    std::function<void(const QString&)> m_errorSink;
};
