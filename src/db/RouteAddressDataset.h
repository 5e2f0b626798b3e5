#pragma once

#include "db/RouteAddressRows.h"

#include <QSqlQuery>
#include <QString>
#include <QStringView>

#include <memory>
#include <span>

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
    bool locate(QStringView text);

    // Marks every row whose address equals text (ASCII case ignored) without
    // moving; false when there is none. A mark stays with its row until the
    // dataset is closed; rows inserted later start unmarked.
    bool mark(QStringView text);
    // mark() for each of texts, named[i] receiving what it returns for
    // texts[i]; quicker for many texts than one call each.
    void mark(std::span<const QString> texts, bool* named);
    // Whether the current row is marked; false without a current row.
    bool marked() const;

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
    std::unique_ptr<QSqlQuery> m_delete;
    std::unique_ptr<QSqlQuery> m_insert;
    bool m_testRun = false;
    qint64 m_testRunIds = 0; // ids of rows a test run inserted: below zero
};
