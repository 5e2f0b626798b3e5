#pragma once

#include <QString>

// What an ADO-style connection string ("Provider=...;Data Source=...") says,
// translated for a Qt SQL driver.
struct ConnectionSettings {
    QString driver;       // QSQLITE, QPSQL, QMYSQL, QODBC
    QString databaseName; // file (SQLite), database, or the ODBC connection string
    QString host;
    int port = -1;
    QString user;
    QString password;
    QString options; // driver connect options
};

// Raises DbError for an empty string, an unknown provider or a missing key.
ConnectionSettings parseConnectionString(const QString& connectionString);
