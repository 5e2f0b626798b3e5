#pragma once

#include <QAbstractTableModel>

#include <functional>

class RoutesDataset;

// The grid `Routen` over the dataset `routes`: one column, routedomainname,
// read-only. Removing a row deletes the route from hm_routes.
class RoutesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit RoutesModel(RoutesDataset& dataset, QObject* parent = nullptr);

    // Receives the message of a database error raised inside a model call
    // (which must not cross Qt's event loop); the call then returns false.
    void setErrorSink(std::function<void(const QString&)> sink) { m_errorSink = std::move(sink); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

private:
    void reportError(const QString& message) const;

    RoutesDataset& m_dataset;
    std::function<void(const QString&)> m_errorSink;
};
