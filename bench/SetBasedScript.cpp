#include "SetBasedScript.h"

#include "platform/TextFile.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <stdexcept>

namespace {

void exec(QSqlQuery& query, const QString& sql) {
    if (!query.exec(sql)) {
        throw std::runtime_error(
            (sql + QStringLiteral(": ") + query.lastError().text()).toStdString());
    }
}

// Loads lines into a temporary table (number, text), as an import would.
void load(QSqlDatabase& db, const QString& table, const QStringList& lines) {
    QSqlQuery query(db);
    exec(query, QStringLiteral("CREATE TEMP TABLE %1 (pos INTEGER PRIMARY KEY, entry TEXT NOT "
                               "NULL)")
                    .arg(table));
    const QString sql = QStringLiteral("INSERT INTO %1 (pos, entry) VALUES (?, ?)").arg(table);
    if (!query.prepare(sql)) {
        throw std::runtime_error(sql.toStdString());
    }
    for (int i = 0; i < lines.size(); ++i) {
        query.addBindValue(i + 1);
        query.addBindValue(lines.at(i));
        if (!query.exec()) {
            throw std::runtime_error(query.lastError().text().toStdString());
        }
    }
}

// SQLite's lower() changes only A to Z, as the program does. Each text is
// lower-cased once.
const char* const kStatements[] = {
    "ALTER TABLE list ADD COLUMN low TEXT",
    "UPDATE list SET low = lower(entry)",
    "CREATE TEMP TABLE patterns AS SELECT lower(entry) AS fragment, CASE WHEN "
    "substr(entry, 1, 1) = '>' AND length(entry) > 1 THEN lower(substr(entry, 2, 255)) END "
    "AS prefix FROM exc WHERE entry <> ''",
    // The excepted entries become "-": a line found anywhere, or a ">" line's
    // rest (at most 255 characters) at the start.
    "UPDATE list SET entry = '-', low = '-' WHERE EXISTS (SELECT 1 FROM patterns WHERE "
    "instr(list.low, fragment) > 0 OR substr(list.low, 1, length(prefix)) = prefix)",
    // The rows that no entry names.
    "DELETE FROM hm_routeaddresses WHERE lower(routeaddressaddress) NOT IN "
    "(SELECT low FROM list)",
    // The entries the table lacks, each once, at its first place in the list.
    "CREATE TEMP TABLE fresh AS SELECT min(pos) AS pos, low FROM list "
    "WHERE instr(low, '@') > 0 AND low NOT IN "
    "(SELECT lower(routeaddressaddress) FROM hm_routeaddresses) GROUP BY low",
    "CREATE TEMP TABLE routes AS SELECT routeid, routedomainname AS name, "
    "lower(routedomainname) AS low FROM hm_routes",
    "CREATE INDEX temp.routes_low ON routes (low)",
    // An entry goes into the first route, in the order of the route names,
    // whose lower-cased name follows its "@": every length a name has is
    // tried.
    "CREATE TEMP TABLE matches AS SELECT DISTINCT f.pos AS pos, r.name AS name, r.routeid AS "
    "routeid FROM fresh f JOIN (SELECT DISTINCT length(low) AS n FROM routes) lengths "
    "JOIN routes r ON r.low = substr(f.low, instr(f.low, '@') + 1, lengths.n)",
    "INSERT INTO hm_routeaddresses (routeaddressrouteid, routeaddressaddress) "
    "SELECT m.routeid, l.entry FROM (SELECT pos, min(name) AS name FROM matches GROUP BY pos) "
    "chosen JOIN matches m ON m.pos = chosen.pos AND m.name = chosen.name "
    "JOIN list l ON l.pos = chosen.pos ORDER BY chosen.name, chosen.pos",
};

} // namespace

void runSetBasedScript(QSqlDatabase& db, const QString& listFile, const QString& exceptionFile) {
    if (!db.transaction()) {
        throw std::runtime_error("BEGIN failed");
    }
    load(db, QStringLiteral("list"), TextFile::readLines(listFile));
    load(db, QStringLiteral("exc"), TextFile::readLines(exceptionFile));
    QSqlQuery query(db);
    for (const char* statement : kStatements) {
        exec(query, QString::fromLatin1(statement));
    }
    if (!db.commit()) {
        throw std::runtime_error("COMMIT failed");
    }
}
