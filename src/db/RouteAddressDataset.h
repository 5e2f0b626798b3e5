#pragma once

#include <QHash>
#include <QSqlQuery>
#include <QString>
#include <QVector>

#include <memory>

class Database;

// The dataset `RA2`: all of hm_routeaddresses, read when opened in
// routeaddressid order, with the two fields the synchronisation uses.
// Deletes and inserts reach the database at once (autocommit); locate uses
// an in-memory index that ignores ASCII case, never a scan.
class RouteAddressDataset {
public:
    explicit RouteAddressDataset(Database& database);
    ~RouteAddressDataset();

    void open(); // raises DbError
    void close();
    bool isOpen() const { return m_open; }

    // Moves; a dataset that is not open refuses them (DbError), as it
    // refuses locate, delete and insert.
    void first();
    void next();
    bool eof() const;

    qint64 routeaddressrouteid() const;  // 0 without a current row
    QString routeaddressaddress() const; // empty without a current row

    // Deletes the current row; the following row becomes current.
    void deleteCurrent();
    // Appends a row and stores it at once; the new row becomes current.
    void insert(qint64 routeId, const QString& address);
    // Makes the first row whose address equals text (ASCII case ignored)
    // current and returns true; false when there is none.
    bool locate(const QString& text);

    int recordCount() const { return m_live; }

    // A test run: deletes and inserts change the rows held here, as a real
    // run would, and send no statement to the database.
    void setTestRun(bool testRun) { m_testRun = testRun; }
    bool testRun() const { return m_testRun; }

private:
    struct Row {
        qint64 id = 0;
        qint64 routeId = 0;
        QString address;
        int nextSame = -1; // next row with the same lower-cased address
        bool deleted = false;
    };
    void indexRow(int index);
    void unindexRow(int index);
    void skipDeleted();
    qint64 insertedId(qint64 routeId, const QString& address);

    Database& m_database;
    QVector<Row> m_rows;
    QHash<QString, int> m_firstByAddress; // lower-cased address -> first row
    int m_current = 0;
    int m_live = 0;
    bool m_open = false;
    std::unique_ptr<QSqlQuery> m_delete;
    std::unique_ptr<QSqlQuery> m_insert;
    bool m_insertReturnsId = false; // INSERT ... RETURNING (PostgreSQL)
    bool m_testRun = false;
    qint64 m_testRunIds = 0; // ids of rows a test run inserted: below zero
};
