#pragma once

#include "db/DatasetModel.h"

#include <QString>
#include <QStringList>
#include <QVector>

class Database;

struct Route {
    qint64 routeid = 0;
    QString routedomainname;
};

// The dataset `routes`: the route list read once into memory (a static
// cursor), ordered by routedomainname, with a current row; and the model of
// the grid `Routen`, read-only, where removing a row deletes the route.
class RoutesDataset : public DatasetModel {
    Q_OBJECT
public:
    explicit RoutesDataset(Database& database, QObject* parent = nullptr);

    // The query's text, line by line, as the dataset runs it.
    static QStringList queryLines();

    void open(); // raises DbError
    void close();

    int recordCount() const override { return int(m_rows.size()); }
    const QList<Route>& rows() const { return m_rows; }

    // Fields of the current row: 0 and the empty text without one.
    qint64 routesrouteid() const;
    QString routesroutedomainname() const;

    // Deletes the current row from hm_routes and from the list.
    void deleteCurrent();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

private:
    Database& m_database;
    QVector<Route> m_rows;
};
