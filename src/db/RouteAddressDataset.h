#pragma once

#include "db/RouteAddressRows.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <memory>

class Database;

// The dataset `RA2`: all of hm_routeaddresses, read when opened in
// routeaddressid order, with the fields the synchronisation plans with.
// Deletions (by key) and insertions reach the database at once (autocommit),
// or, between beginBatch() and commitBatch(), with the transaction.
class RouteAddressDataset {
public:
    explicit RouteAddressDataset(Database& database);
    ~RouteAddressDataset();

    void open(); // raises DbError
    void close();
    bool isOpen() const { return m_open; }

    // The rows as read when opened; changes made since do not show here.
    const RouteAddressRows& rows() const { return m_rows; }
    // Whether the address column holds only characters of the Basic
    // Multilingual Plane: the mail server's MySQL tables are utf8 (three
    // bytes a character), where an emoji is refused or stored as "?".
    bool holdsOnlyBasicPlane() const { return m_onlyBasicPlane; }
    // Whether the address is longer than the column, counted as the server
    // behind counts it.
    bool tooLong(QStringView address) const;
    // The table's storage engine where it keeps no transactions (MyISAM on
    // an older MySQL): a rollback there leaves the changes made; else empty.
    const QString& engineWithoutTransactions() const { return m_engineWithoutTransactions; }

    // A dataset that is not open refuses changes (DbError). A change stored
    // at once whose answer is lost with the connection raises
    // OutcomeUnknownError: the server may have stored it.
    void deleteRow(qint64 routeaddressid);
    void insert(qint64 routeId, const QString& address);

    // A transaction around the changes that follow, on the dataset's
    // connection; rollbackBatch() never raises (it runs while an error is on
    // its way out) and does nothing without an open transaction. A commit
    // whose answer is lost with the connection raises OutcomeUnknownError.
    void beginBatch();
    void commitBatch();
    void rollbackBatch() noexcept;

private:
    void requireOpen() const;
    static void prepareChange(QSqlQuery& query, const QString& sql);
    void execChange(QSqlQuery& query);

    Database& m_database;
    RouteAddressRows m_rows;
    bool m_onlyBasicPlane = false;
    QString m_engineWithoutTransactions;
    bool m_open = false;
    bool m_inBatch = false;
    QSqlDatabase m_db; // the connection the statements below run on, while open
    std::unique_ptr<QSqlQuery> m_delete;
    std::unique_ptr<QSqlQuery> m_insert;
};
