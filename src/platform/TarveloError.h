#pragma once

#include <QString>
#include <exception>

// An error whose text the user is shown as it stands (German). Handlers do
// not catch it: the guard at the event-loop boundary reports it once, and so
// does a grid model's edit (the view calls it from the event loop, which no
// exception may cross) through its error sink.
class TarveloError : public std::exception {
public:
    explicit TarveloError(QString message);
    const QString& message() const { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// A file-system failure carrying the Windows-style error code behind it.
class IoError : public TarveloError {
public:
    IoError(int code, QString message);
    // The runtime's message for a Windows error code: 2 "Datei nicht gefunden", ...
    static IoError fromCode(int code);
    // Maps errno onto the Windows code and builds the error from it.
    static IoError fromErrno(int err);
    static int windowsCodeFromErrno(int err);
    int code() const { return m_code; }

private:
    int m_code;
};

// An error of the database layer, carrying the driver's text.
class DbError : public TarveloError {
public:
    using TarveloError::TarveloError;
    // A move or change on a dataset that is not open.
    static DbError notOpen();
    // A change of the current row where there is none.
    static DbError noCurrentRow();
};

// A change or a commit whose answer was lost with the connection: whether
// the database stored it, nobody can tell.
class OutcomeUnknownError : public DbError {
public:
    using DbError::DbError;
};
