#pragma once

#include "db/ConnectionString.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariant>

// The connection `database`: one Qt SQL connection of its own, opened from an
// ADO-style connection string, never prompting.
class Database {
public:
    Database();
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    void setConnectionString(const QString& connectionString);
    QString connectionString() const { return m_connectionString; }

    // Raises DbError carrying the driver's text; an SQLite file that does not
    // exist is an error, never created.
    void open();
    void close();
    bool isOpen() const;
    // Whether the open connection still answers a statement: a server ends
    // connections left idle for hours (MySQL's wait_timeout) and every one
    // when it restarts, while the connection still counts as open here.
    bool answers() const;

    // The Qt connection; closed or invalid while the connection is not open.
    QSqlDatabase handle() const;
    // The open Qt connection; raises DbError while the connection is closed.
    QSqlDatabase openHandle() const;
    // The server behind the connection last opened.
    ConnectionSettings::Server server() const { return m_server; }
    // A text to bind as a statement's value on this connection: the empty
    // text as such, never NULL. To MySQL and MariaDB through ODBC it goes as
    // its UTF-8 bytes: Qt's ODBC driver counts a text's terminating NUL into
    // its length, and MariaDB's driver stores that NUL with the text.
    QVariant text(const QString& value) const;

private:
    QString m_name;
    QString m_connectionString;
    ConnectionSettings::Server m_server = ConnectionSettings::Server::OtherOdbc;
    bool m_textAsBytes = false;
};
