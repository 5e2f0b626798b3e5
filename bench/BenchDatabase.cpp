#include "BenchDatabase.h"

#include "db/Database.h"

#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <stdexcept>

namespace {

[[noreturn]] void fail(const QString& what, const QSqlQuery& query) {
    throw std::runtime_error(
        (what + QStringLiteral(": ") + query.lastError().text()).toStdString());
}

void exec(QSqlQuery& query, const QString& sql) {
    if (!query.exec(sql)) {
        fail(sql, query);
    }
}

QStringList schemaStatements(const QString& fileName) {
    QFile file(QStringLiteral(TARVELO_SOURCE_DIR "/schema/") + fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        throw std::runtime_error("cannot read " + file.fileName().toStdString());
    }
    QString text;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        if (!line.trimmed().startsWith(QStringLiteral("--"))) {
            text += line + u'\n';
        }
    }
    QStringList statements;
    for (const QString& statement : text.split(u';')) {
        if (!statement.trimmed().isEmpty()) {
            statements.append(statement.trimmed());
        }
    }
    return statements;
}

void fill(Database& database, const BenchData& data, bool postgres) {
    QSqlDatabase db = database.handle();
    QSqlQuery query(db);
    for (const QString& statement : schemaStatements(postgres ? QStringLiteral("postgresql.sql")
                                                              : QStringLiteral("sqlite.sql"))) {
        exec(query, statement);
    }
    if (!db.transaction()) {
        throw std::runtime_error("cannot begin a transaction");
    }
    const QString routeSql = QStringLiteral(
        "INSERT INTO hm_routes (routeid, routedomainname, routedescription, routetargetsmthost, "
        "routetargetsmtport, routenooftries, routeminutesbetweentry, routealladdresses, "
        "routeuseauthentication, routeauthenticationusername, routeauthenticationpassword, "
        "routetreatsecurityaslocal, routeconnectionsecurity, routetreatsenderaslocaldomain) "
        "VALUES (?, ?, '', 'localhost', 25, 4, 15, 0, 0, '', '', 0, 0, 0)");
    QSqlQuery routes(db);
    if (!routes.prepare(routeSql)) {
        fail(routeSql, routes);
    }
    for (const auto& [id, name] : data.routes) {
        routes.addBindValue(id);
        routes.addBindValue(name);
        if (!routes.exec()) {
            fail(routeSql, routes);
        }
    }
    // Many rows per statement: a round trip per row would dominate on a server.
    const int perStatement = postgres ? 500 : 1;
    auto rowSql = [](int count) {
        QString sql = QStringLiteral(
            "INSERT INTO hm_routeaddresses (routeaddressrouteid, routeaddressaddress) VALUES ");
        for (int i = 0; i < count; ++i) {
            sql += i == 0 ? QStringLiteral("(?, ?)") : QStringLiteral(", (?, ?)");
        }
        return sql;
    };
    QSqlQuery rows(db);
    const QString fullSql = rowSql(perStatement);
    if (!rows.prepare(fullSql)) {
        fail(fullSql, rows);
    }
    const int total = int(data.rows.size());
    int at = 0;
    while (at < total) {
        const int count = std::min(perStatement, total - at);
        QSqlQuery* query = &rows;
        QSqlQuery tail(db);
        if (count < perStatement) {
            if (!tail.prepare(rowSql(count))) {
                fail(rowSql(count), tail);
            }
            query = &tail;
        }
        for (int i = 0; i < count; ++i) {
            query->addBindValue(data.rows.at(at + i).first);
            query->addBindValue(data.rows.at(at + i).second);
        }
        if (!query->exec()) {
            fail(fullSql, *query);
        }
        at += count;
    }
    if (!db.commit()) {
        throw std::runtime_error("cannot commit");
    }
    exec(query, QStringLiteral("ANALYZE"));
}

// Runs one statement on the server's maintenance database.
void onServer(const QString& server, const QString& sql) {
    Database database;
    database.setConnectionString(server);
    database.open();
    QSqlQuery query(database.handle());
    exec(query, QStringLiteral("SET client_min_messages = warning"));
    exec(query, sql);
}

} // namespace

BenchDatabase::BenchDatabase(QString server, QString workDir)
    : m_server(std::move(server)), m_workDir(std::move(workDir)) {}

QString BenchDatabase::connectionString(const QString& name) const {
    if (isPostgres()) {
        return withConnectionKey(m_server, QStringLiteral("Initial Catalog"), name);
    }
    return QStringLiteral("Provider=SQLite;Data Source=") + QDir(m_workDir).filePath(name + ".db");
}

// The names are the benchmark's own (letters, digits, '_'): no user text.
QString BenchDatabase::create(const QString& name, const BenchData& data) {
    drop(name);
    if (isPostgres()) {
        onServer(m_server, QStringLiteral("CREATE DATABASE ") + name);
    } else {
        QFile file(QDir(m_workDir).filePath(name + ".db"));
        if (!file.open(QIODevice::WriteOnly)) {
            throw std::runtime_error("cannot create " + file.fileName().toStdString());
        }
    }
    const QString connection = connectionString(name);
    Database database;
    database.setConnectionString(connection);
    database.open();
    fill(database, data, isPostgres());
    return connection;
}

QString BenchDatabase::copy(const QString& from, const QString& to) {
    drop(to);
    if (isPostgres()) {
        onServer(m_server, QStringLiteral("CREATE DATABASE %1 TEMPLATE %2").arg(to, from));
    } else if (!QFile::copy(QDir(m_workDir).filePath(from + ".db"),
                            QDir(m_workDir).filePath(to + ".db"))) {
        throw std::runtime_error("cannot copy " + from.toStdString());
    }
    return connectionString(to);
}

void BenchDatabase::drop(const QString& name) {
    if (isPostgres()) {
        onServer(m_server, QStringLiteral("DROP DATABASE IF EXISTS ") + name);
    } else {
        QFile::remove(QDir(m_workDir).filePath(name + ".db"));
    }
}

QList<BenchDatabase::Row> BenchDatabase::tableRows(const QString& connectionString) {
    Database database;
    database.setConnectionString(connectionString);
    database.open();
    QSqlQuery query(database.handle());
    query.setForwardOnly(true);
    exec(query, QStringLiteral("select routeaddressid, routeaddressrouteid, routeaddressaddress "
                               "from hm_routeaddresses order by routeaddressid"));
    QList<Row> rows;
    while (query.next()) {
        rows.append({query.value(0).toInt(), query.value(1).toInt(), query.value(2).toString()});
    }
    return rows;
}
