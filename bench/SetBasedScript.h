#pragma once

#include <QSqlDatabase>
#include <QString>

// What a database administrator would write instead of the program, for the
// filter "*" on SQLite: one transaction that loads the address list and the
// exception lines into temporary tables, marks the excepted entries, deletes
// the rows no entry names and inserts the new entries into their routes, all
// with set-based statements. It makes the same changes as the run on the
// benchmark's installations, whose entries hold at most one "@" each; the
// benchmark checks that by comparing the tables afterwards.
//
// Runs it on db: BEGIN, the two files read and loaded, the statements, COMMIT.
void runSetBasedScript(QSqlDatabase& db, const QString& listFile, const QString& exceptionFile);
