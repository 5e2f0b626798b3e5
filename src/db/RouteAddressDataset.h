#pragma once

#include "db/RouteAddressRows.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringView>

#include <memory>

class Database;

// The dataset `RA2`: all of hm_routeaddresses, read when opened in
// routeaddressid order, with the two fields the synchronisation uses.
// Deletes and inserts reach the database at once (autocommit).
class RouteAddressDataset {
public:
    explicit RouteAddressDataset(Database& database);
    ~RouteAddressDataset();

    void open(); // raises DbError
    void close();
    bool isOpen() const { return m_open; }

    // Moves; a dataset that is not open refuses them (DbError), as it
    // refuses delete and insert.
    void first();
    void next();
    bool eof() const;

    qint64 routeaddressrouteid() const;  // 0 without a current row
    QString routeaddressaddress() const; // empty without a current row

    // Deletes the current row; the following row becomes current.
    void deleteCurrent();
    // Appends a row and stores it at once; the new row becomes current.
    void insert(qint64 routeId, const QString& address);
    // The number of the current row among rows(); rows().size() at the end.
    int currentRow() const { return m_current; }
    // The rows as read and changed since, for finding addresses in them.
    const RouteAddressRows& rows() const { return m_rows; }

    int recordCount() const { return m_live; }

    // A test run: deletes and inserts change the rows held here, as a real
    // run would, and send no statement to the database.
    void setTestRun(bool testRun) { m_testRun = testRun; }
    bool testRun() const { return m_testRun; }

private:
    void skipDeleted();

    Database& m_database;
    RouteAddressRows m_rows;
    int m_current = 0;
    int m_live = 0;
    bool m_open = false;
    QSqlDatabase m_db; // the connection the statements below run on, while open
    std::unique_ptr<QSqlQuery> m_delete;
    std::unique_ptr<QSqlQuery> m_insert;
    bool m_testRun = false;
    qint64 m_testRunIds = 0; // ids of rows a test run inserted: below zero
};
