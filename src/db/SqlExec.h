#pragma once

#include <QSqlError>
#include <QSqlQuery>
#include <QString>

// Checked statements: every failure raises DbError with the driver's text.
namespace SqlExec {
void exec(QSqlQuery& query, const QString& sql);
void prepare(QSqlQuery& query, const QString& sql);
void execPrepared(QSqlQuery& query);
// The same for a prepared change of the table (a delete, an insert): its
// failure says that the change was not stored, then the database's words.
void execChange(QSqlQuery& query);
// The text of a failed change: the sentence, then the database's words.
QString changeError(const QSqlError& error, const QString& sentence);
// Index of a result column by name; raises DbError when the result lacks it.
int column(const QSqlQuery& query, const QString& name);
[[noreturn]] void fail(const QSqlQuery& query);
// The driver's text of an error, never empty: what failed, and the
// database's own text in parentheses after it.
QString driverText(const QSqlError& error);
// A text to bind: the empty text as such, never as NULL.
QString text(const QString& value);
} // namespace SqlExec
