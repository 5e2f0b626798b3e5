#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

class Database;

// The dataset `Address`: the addresses of one route, as its query text
// selects them, shown by the address grid. Rows can be edited, appended and
// deleted; each change is written back at once.
class AddressDataset : public QObject {
    Q_OBJECT
public:
    explicit AddressDataset(Database& database, QObject* parent = nullptr);

    // The query text before the first route is loaded.
    static QStringList initialQueryLines();

    void close();
    // Replaces the query text (closing the dataset first). routeId is the
    // route whose rows it selects, the route that appended rows belong to;
    // -1 for a query over all routes, which takes no appended rows.
    void setQuery(const QStringList& lines, int routeId);
    QStringList queryLines() const { return m_lines; }
    void open(); // raises DbError
    bool isOpen() const { return m_open; }

    int rowCount() const { return m_rows.size(); }
    QString addressAt(int row) const { return m_rows.at(row).address; }

    int currentRow() const { return m_current; } // -1 without rows
    void setCurrentRow(int row);
    void first();
    void next();
    bool eof() const;
    // Field of the current row; empty text without one.
    QString Addressrouteaddressaddress() const;

    // Grid edits, each written to hm_routeaddresses at once (DbError). The
    // query selects no key: a row is found by its route and its address.
    void setAddress(int row, const QString& address);
    int appendRow(const QString& address);
    void deleteRow(int row);

signals:
    void aboutToReset();
    void reset();
    void rowChanged(int row);
    void aboutToAppendRow(int row);
    void rowAppended(int row);
    void aboutToRemoveRow(int row);
    void rowRemoved(int row);
    void currentRowChanged(int row);

private:
    struct Row {
        QString address;
    };
    void checkRow(int row) const;
    int rowId(int row, const QString& missingText);
    void moveTo(int row);

    Database& m_database;
    QStringList m_lines;
    // The route the query selects; -1 (the initial query) for all routes.
    int m_routeId = -1;
    QVector<Row> m_rows;
    int m_current = -1;
    bool m_open = false;
};
