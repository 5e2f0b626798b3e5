#include "db/SqlExec.h"

#include "platform/Progress.h"
#include "platform/TarveloError.h"

#include <QSqlError>
#include <QSqlRecord>
#include <QStringDecoder>

#include <algorithm>

namespace {

// The server's own text as it was meant. MariaDB's ODBC driver counts a
// message's length in bytes, and Qt's driver takes that many characters: a
// NUL and left-over bytes follow the text. Qt's MySQL driver reads the
// server's UTF-8 as Latin-1 ("bÃ¶se"). Qt's PostgreSQL driver appends the
// error's code in parentheses, empty when the connection is gone.
QString serverText(QString text) {
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    if (nul >= 0) {
        text.truncate(nul);
    }
    text = text.trimmed();
    if (text.endsWith(QStringLiteral("()"))) {
        text.chop(2);
    }
    const bool latin1 =
        std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() <= 0xFF; });
    if (latin1 &&
        std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() >= 0x80; })) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded = utf8.decode(text.toLatin1());
        if (!utf8.hasError()) {
            return decoded.trimmed();
        }
    }
    return text.trimmed();
}

} // namespace

QString SqlExec::driverText(const QSqlError& error) {
    // What failed, in the toolkit's words (German where its translation is
    // installed), then the database's own text in parentheses: the two are
    // often in different languages and must not run together.
    const QString what = error.driverText().trimmed();
    const QString native = serverText(error.databaseText());
    if (what.isEmpty() && native.isEmpty()) {
        return QStringLiteral("Unbekannter Datenbankfehler");
    }
    if (what.isEmpty() || native.isEmpty()) {
        return what.isEmpty() ? native : what;
    }
    return what + QStringLiteral(" (") + native + u')';
}

void SqlExec::fail(const QSqlQuery& query) {
    throw DbError(driverText(query.lastError()));
}

void SqlExec::exec(QSqlQuery& query, const QString& sql) {
    const bool done = query.exec(sql);
    Progress::note();
    if (!done) {
        fail(query);
    }
}

void SqlExec::prepare(QSqlQuery& query, const QString& sql) {
    if (!query.prepare(sql)) {
        fail(query);
    }
}

void SqlExec::execPrepared(QSqlQuery& query) {
    const bool done = query.exec();
    Progress::note();
    if (!done) {
        fail(query);
    }
}

void SqlExec::execChange(QSqlQuery& query) {
    const bool done = query.exec();
    Progress::note();
    if (!done) {
        throw DbError(changeError(query.lastError(),
                                  QStringLiteral("Die Änderung konnte nicht gespeichert werden")));
    }
}

QString SqlExec::changeError(const QSqlError& error, const QString& sentence) {
    // The toolkit would speak of a row it could not fetch.
    const QString native = serverText(error.databaseText());
    const QString detail = native.isEmpty() ? error.driverText().trimmed() : native;
    return detail.isEmpty() ? sentence : sentence + QStringLiteral(" (") + detail + u')';
}

int SqlExec::column(const QSqlQuery& query, const QString& name) {
    const int index = query.record().indexOf(name);
    if (index < 0) {
        throw DbError(QStringLiteral("Die Abfrage liefert keine Spalte \"%1\"").arg(name));
    }
    return index;
}

QString SqlExec::text(const QString& value) {
    return value.isNull() ? QStringLiteral("") : value;
}
