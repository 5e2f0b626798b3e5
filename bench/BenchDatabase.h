#pragma once

#include "ConnectionKey.h"

#include "BenchData.h"

#include <QList>
#include <QString>

// The benchmark's databases: SQLite files, or databases on a PostgreSQL
// server, made from schema/ and filled fast (one transaction, prepared
// statements).
class BenchDatabase {
public:
    // server: empty for SQLite files in workDir, else the connection string of
    // a PostgreSQL server on which databases may be created.
    BenchDatabase(QString server, QString workDir);

    bool isPostgres() const { return !m_server.isEmpty(); }
    QString backendName() const { return isPostgres() ? "PostgreSQL" : "SQLite"; }

    // Creates the database name (replacing one of that name) with the schema
    // and the data; returns its connection string.
    QString create(const QString& name, const BenchData& data);
    // Copies database from into a new database to; returns its connection string.
    QString copy(const QString& from, const QString& to);
    void drop(const QString& name);
    QString connectionString(const QString& name) const;

    struct Row {
        int id;
        int routeId;
        QString address;
    };
    static QList<Row> tableRows(const QString& connectionString);

private:
    QString m_server;
    QString m_workDir;
};
