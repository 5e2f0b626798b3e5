#include "SyncTestBed.h"

#include "TestDatabases.h"
#include "TestEnvironment.h"
#include "core/RouteBrowsing.h"
#include "platform/Ansi.h"
#include "platform/LineBreaks.h"
#include "platform/TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <stdexcept>

namespace {
[[noreturn]] void failed(const QString& what, const QSqlQuery& query) {
    throw std::runtime_error(
        (what + QStringLiteral(": ") + query.lastError().text()).toStdString());
}
} // namespace

void execOn(Database& database, const QString& sql) {
    QSqlQuery query(database.handle());
    if (!query.exec(sql)) {
        failed(sql, query);
    }
}

void seedTables(Database& database, const QList<SeedRoute>& routes, const QList<TableRow>& rows) {
    QSqlDatabase db = database.handle();
    if (!db.transaction()) {
        throw std::runtime_error("cannot begin a transaction");
    }
    execOn(database, QStringLiteral("DELETE FROM hm_routeaddresses"));
    execOn(database, QStringLiteral("DELETE FROM hm_routes"));
    {
        QSqlQuery query(db);
        const QString sql = routeWithIdInsert();
        if (!query.prepare(sql)) {
            failed(sql, query);
        }
        for (const SeedRoute& route : routes) {
            query.addBindValue(route.id);
            query.addBindValue(database.text(route.name));
            if (!query.exec()) {
                failed(sql, query);
            }
        }
    }
    {
        QSqlQuery query(db);
        const QString sql = routeAddressInsert();
        if (!query.prepare(sql)) {
            failed(sql, query);
        }
        for (const TableRow& row : rows) {
            query.addBindValue(row.first);
            // An empty address is a text, never NULL.
            query.addBindValue(database.text(row.second));
            if (!query.exec()) {
                failed(sql, query);
            }
        }
    }
    if (!db.commit()) {
        throw std::runtime_error("cannot commit");
    }
}

QList<TableRow> tableRows(Database& database) {
    QSqlQuery query(database.handle());
    query.setForwardOnly(true);
    const QString sql = QStringLiteral("select routeaddressrouteid, routeaddressaddress from "
                                       "hm_routeaddresses order by routeaddressid");
    if (!query.exec(sql)) {
        failed(sql, query);
    }
    QList<TableRow> rows;
    while (query.next()) {
        rows.append({query.value(0).toLongLong(), query.value(1).toString()});
    }
    return rows;
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QByteArray("<fehlt>");
    }
    return file.readAll();
}

QString scratchTemplate() {
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    const QString base = shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath();
    return base + QStringLiteral("/tarvelo-sync-XXXXXX");
}

SyncTestBed::SyncTestBed(const QString& connectionString)
    : logFile(dir.filePath(QStringLiteral("tarvelo.log"))),
      exceptionFile(dir.filePath(QStringLiteral("ausnahmen.txt"))),
      listFile(dir.filePath(QStringLiteral("liste.txt"))),
      protocolDir(dir.filePath(QStringLiteral("protokoll")) + u'/'), routes(database),
      RA2(database), Address(database), clock(QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9))),
      log(logFile, clock, window) {
    ensureCoreApplication();
    if (!dir.isValid()) {
        throw std::runtime_error("no scratch directory");
    }
    QDir().mkpath(protocolDir);
    connection = connectionString.isEmpty()
                     ? createSqliteDatabase(dir.filePath(QStringLiteral("hm.db")))
                     : connectionString;
    database.setConnectionString(connection);
    database.open();
    if (database.handle().driverName() == QStringLiteral("QSQLITE")) {
        // The runs write row by row; nothing here needs to survive a crash.
        execOn(database, QStringLiteral("PRAGMA synchronous=OFF"));
    }
    routes.open();
    writeExceptions({});
    window.setDomain(QStringLiteral("*"));
    window.setEmailliste(listFile);
}

SyncTestBed::~SyncTestBed() {
    RA2.close();
    Address.close();
    routes.close();
    database.close();
}

void SyncTestBed::seed(const QList<SeedRoute>& seedRoutes, const QList<TableRow>& seedRows) {
    seedTables(database, seedRoutes, seedRows);
    routes.open();
}

void SyncTestBed::writeList(const QStringList& lines) {
    TextFile::replaceLines(listFile, lines);
}

void SyncTestBed::writeExceptions(const QStringList& lines) {
    TextFile::replaceLines(exceptionFile, lines);
}

SyncContext SyncTestBed::context() {
    return SyncContext{
        .window = window,
        .log = log,
        .Liste = Liste,
        .routes = routes,
        .RA2 = RA2,
        .exceptionFile = exceptionFile,
        .ProtokollDir = ProtokollDir,
        .clock = clock,
        .reloadAddresses = [this] { RouteBrowsing::loadAddresses(routes, Address); }};
}

void SyncTestBed::run() {
    SyncContext c = context();
    runSynchronisation(c);
}

QStringList SyncTestBed::logFileLines() const {
    QFile file(logFile);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return LineBreaks::split(Ansi::decode(file.readAll()));
}

QStringList SyncTestBed::shownAddresses() const {
    QStringList addresses;
    for (int row = 0; row < Address.rowCount(); ++row) {
        addresses.append(Address.data(Address.index(row, 0)).toString());
    }
    return addresses;
}

bool SyncTestBed::routesGridFollows() {
    QSignalSpy moved(&routes, &RoutesDataset::currentRowChanged);
    const int row = routes.currentRow();
    routes.setCurrentRow(routes.rowCount());
    routes.setCurrentRow(row);
    return routes.rowCount() == 0 ? moved.isEmpty() : moved.size() == 2;
}
