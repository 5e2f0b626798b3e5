#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

class Database;

struct Route {
    qint64 routeid = 0;
    QString routedomainname;
};

// The dataset `routes`: the route list read once into memory (a static
// cursor), ordered by routedomainname, with a current row.
class RoutesDataset : public QObject {
    Q_OBJECT
public:
    explicit RoutesDataset(Database& database, QObject* parent = nullptr);

    // The query's text, line by line, as the dataset runs it.
    static QStringList queryLines();

    void open(); // raises DbError
    void close();
    bool isOpen() const { return m_open; }

    int rowCount() const { return m_rows.size(); }
    const Route& row(int index) const { return m_rows.at(index); }
    const QList<Route>& rows() const { return m_rows; }

    int currentRow() const { return m_current; } // -1 without rows
    void setCurrentRow(int index);
    // Moves; a dataset that is not open refuses them (DbError).
    void first();
    void next();
    bool eof() const; // past the last row (or no rows)

    // Fields of the current row: 0 and the empty text without one.
    qint64 routesrouteid() const;
    QString routesroutedomainname() const;

    // Deletes the current row from hm_routes and from the list.
    void deleteCurrent();

    // While disabled, the bound grid does not follow the current row.
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return m_disabled > 0; }

signals:
    void aboutToReset();            // before rows are replaced
    void reset();                   // rows replaced
    void aboutToRemoveRow(int row); // before one row goes
    void rowRemoved(int row);
    void currentRowChanged(int row); // only while controls are enabled

private:
    void moveTo(int index);
    void requireOpen() const;

    Database& m_database;
    QVector<Route> m_rows;
    int m_current = -1;
    bool m_open = false;
    int m_disabled = 0;
};
