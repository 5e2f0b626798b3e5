#include "db/SqliteNativeRead.h"

#include "db/RouteAddressRows.h"
#include "db/SqlExec.h"
#include "platform/AsciiRun.h"
#include "platform/Progress.h"
#include "platform/TarveloError.h"

#include <QCoreApplication>
#include <QSqlDriver>
#include <QSqlError>
#include <QVariant>

#include <dlfcn.h>
#include <sqlite3.h>

namespace {

// The few entry points of the loaded library, found at run time: the core
// does not link SQLite itself, so it can only ever call the copy the driver
// uses.
struct Library {
    decltype(&sqlite3_prepare_v2) prepare = nullptr;
    decltype(&sqlite3_step) step = nullptr;
    decltype(&sqlite3_finalize) finalize = nullptr;
    decltype(&sqlite3_column_int64) columnInt64 = nullptr;
    decltype(&sqlite3_column_type) columnType = nullptr;
    decltype(&sqlite3_column_text) columnText = nullptr;
    decltype(&sqlite3_column_blob) columnBlob = nullptr;
    decltype(&sqlite3_column_text16) columnText16 = nullptr;
    decltype(&sqlite3_column_bytes16) columnBytes16 = nullptr;
    decltype(&sqlite3_column_bytes) columnBytes = nullptr;
    decltype(&sqlite3_errmsg16) errmsg16 = nullptr;

    bool complete() const {
        return prepare && step && finalize && columnInt64 && columnType && columnText &&
               columnBlob && columnText16 && columnBytes16 && columnBytes && errmsg16;
    }
};

template <typename F> void resolve(void* handle, const char* name, F& function) {
    function = reinterpret_cast<F>(dlsym(handle, name));
}

// Null unless the shared libsqlite3 is loaded already, i.e. by the driver.
const Library* loadedLibrary() {
    static const Library library = [] {
        Library found;
        void* handle = dlopen("libsqlite3.so.0", RTLD_LAZY | RTLD_NOLOAD);
        if (handle == nullptr) {
            return found;
        }
        resolve(handle, "sqlite3_prepare_v2", found.prepare);
        resolve(handle, "sqlite3_step", found.step);
        resolve(handle, "sqlite3_finalize", found.finalize);
        resolve(handle, "sqlite3_column_int64", found.columnInt64);
        resolve(handle, "sqlite3_column_type", found.columnType);
        resolve(handle, "sqlite3_column_text", found.columnText);
        resolve(handle, "sqlite3_column_blob", found.columnBlob);
        resolve(handle, "sqlite3_column_text16", found.columnText16);
        resolve(handle, "sqlite3_column_bytes16", found.columnBytes16);
        resolve(handle, "sqlite3_column_bytes", found.columnBytes);
        resolve(handle, "sqlite3_errmsg16", found.errmsg16);
        // The reference stays: the driver holds the library for the
        // program's life anyway.
        return found;
    }();
    return library.complete() ? &library : nullptr;
}

// As the driver words its own failures: SQLite's text, then the driver's.
[[noreturn]] void fail(const Library& library, sqlite3* connection, const char* what) {
    const QString text =
        QString::fromUtf16(static_cast<const char16_t*>(library.errmsg16(connection)));
    // Worded as the driver's error is, in the toolkit's translation.
    throw DbError(
        SqlExec::driverText(QSqlError(QCoreApplication::translate("QSQLiteResult", what), text)));
}

// Finalizes the statement on every way out.
class Statement {
public:
    Statement(const Library& library, sqlite3_stmt* statement)
        : m_library(library), m_statement(statement) {}
    ~Statement() { m_library.finalize(m_statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* get() const { return m_statement; }

private:
    const Library& m_library;
    sqlite3_stmt* m_statement;
};

} // namespace

bool SqliteNativeRead::routeAddresses(const QSqlDatabase& db, const char* sql,
                                      RouteAddressRows& rows) {
    if (db.driverName() != QStringLiteral("QSQLITE") || db.driver() == nullptr) {
        return false;
    }
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0) {
        return false;
    }
    sqlite3* connection = *static_cast<sqlite3* const*>(handle.constData());
    const Library* library = loadedLibrary();
    if (connection == nullptr || library == nullptr) {
        return false;
    }

    sqlite3_stmt* prepared = nullptr;
    if (library->prepare(connection, sql, -1, &prepared, nullptr) != SQLITE_OK) {
        library->finalize(prepared);
        fail(*library, connection, "Unable to execute statement");
    }
    const Statement statement(*library, prepared);
    int result = SQLITE_ROW;
    while ((result = library->step(statement.get())) == SQLITE_ROW) {
        sqlite3_stmt* row = statement.get();
        const qint64 id = library->columnInt64(row, 0);
        const qint64 routeId = library->columnInt64(row, 1);
        // Plain ASCII is stored as SQLite keeps it. Anything else is made
        // into text as the driver makes it: a BLOB's bytes read as UTF-8,
        // text through SQLite's own UTF-16, which treats bytes that are no
        // UTF-8 its own way.
        const bool blob = library->columnType(row, 2) == SQLITE_BLOB;
        const auto* text = static_cast<const char*>(blob ? library->columnBlob(row, 2)
                                                         : library->columnText(row, 2));
        const int size = library->columnBytes(row, 2);
        if (asciiPrefix(text, size) == size) {
            rows.append(id, routeId, QLatin1StringView(text, size));
        } else if (blob) {
            rows.append(id, routeId, QString::fromUtf8(text, size));
        } else {
            const auto* wide = static_cast<const char16_t*>(library->columnText16(row, 2));
            rows.append(id, routeId, QStringView(wide, library->columnBytes16(row, 2) / 2));
        }
        if ((rows.size() & 0xFFF) == 0) {
            Progress::note(); // a long read is progress too
        }
    }
    if (result != SQLITE_DONE) {
        fail(*library, connection, "Unable to fetch row");
    }
    Progress::note();
    return true;
}
