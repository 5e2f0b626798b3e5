#include "ScratchInstall.h"

#include "TestDatabases.h"
#include "db/Database.h"
#include "platform/AsciiCase.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

// Golden files: the real executable run unattended on a recorded installation
// (address list, exception file, table rows, command line), its outputs
// compared byte for byte with the expected files beside the inputs. The
// layout of a case folder is described in golden/README.md.
//
// TARVELO_GOLDEN_UPDATE=1 rewrites the expected files from what the program
// does now, for a deliberate change; review the difference before committing.

namespace {

const QString kGoldenDir = QStringLiteral(TARVELO_SOURCE_DIR "/tests/e2e/golden");

// The roads that must keep a golden case; a folder lost or renamed fails.
const QStringList kRequiredCases = {
    "all_routes_every_change",
    "deletion_guard_refused",
    "domain_filter",
    "dry_run",
    "empty_file_switch",
    "excepted_entries",
    "failed_insert",
    "first_of_two_routes",
    "missing_list",
    "refresh_alone",
    "whole_road_domain_refresh",
    "windows_1252_list",
};

bool updating() {
    return qEnvironmentVariable("TARVELO_GOLDEN_UPDATE") == QLatin1String("1");
}

std::vector<std::string> goldenCaseNames() {
    std::vector<std::string> names;
    for (const QString& name :
         QDir(kGoldenDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        names.push_back(name.toStdString());
    }
    return names;
}

QByteArray readBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw std::runtime_error("cannot read " + path.toStdString());
    }
    return file.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size()) {
        throw std::runtime_error("cannot write " + path.toStdString());
    }
}

[[noreturn]] void sqlFailure(const QString& what, const QSqlQuery& query) {
    throw std::runtime_error((what + ": " + query.lastError().text()).toStdString());
}

// tables.txt: "route <routeid> <routedomainname>" and
// "address <routeaddressrouteid> <routeaddressaddress>" lines, UTF-8; the
// value is the rest of the line, blanks included. Addresses get their
// routeaddressid in the order of the file. '#' lines and empty lines are
// notes.
void loadTables(const QString& connection, const QString& tablesFile,
                const QString& statementFile) {
    Database database;
    database.setConnectionString(connection);
    database.open();
    QSqlDatabase db = database.handle();
    if (!db.transaction()) {
        throw std::runtime_error("cannot begin a transaction");
    }
    const QString routeSql = routeWithIdInsert();
    const QString addressSql = routeAddressInsert();
    const QStringList lines = QString::fromUtf8(readBytes(tablesFile)).split(u'\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QString& line = lines[n];
        if (line.isEmpty() || line.startsWith(u'#')) {
            continue;
        }
        const QString kind = line.section(u' ', 0, 0);
        bool ok = false;
        const qint64 id = line.section(u' ', 1, 1).toLongLong(&ok);
        const QString value = line.section(u' ', 2);
        if (!ok || (kind != u"route" && kind != u"address") || line.contains(u'\r')) {
            throw std::runtime_error(QStringLiteral("%1:%2: not a table row: %3")
                                         .arg(tablesFile)
                                         .arg(n + 1)
                                         .arg(line)
                                         .toStdString());
        }
        QSqlQuery query(db);
        const QString& sql = kind == u"route" ? routeSql : addressSql;
        if (!query.prepare(sql)) {
            sqlFailure(sql, query);
        }
        query.addBindValue(id);
        query.addBindValue(value.isNull() ? QStringLiteral("") : value);
        if (!query.exec()) {
            sqlFailure(sql, query);
        }
    }
    if (!db.commit()) {
        throw std::runtime_error("cannot commit the table rows");
    }
    // One statement as it stands, a trigger's ';' inside its body included.
    if (QFile::exists(statementFile)) {
        QSqlQuery query(db);
        const QString sql = QString::fromUtf8(readBytes(statementFile));
        if (!query.exec(sql)) {
            sqlFailure(sql, query);
        }
    }
}

QStringList readArguments(const QString& argsFile, const QString& dir) {
    const QString text = QString::fromUtf8(readBytes(argsFile));
    if (text.contains(u'\r') || !text.endsWith(u'\n')) {
        throw std::runtime_error(argsFile.toStdString() +
                                 ": one parameter per line, each ended by LF");
    }
    QStringList arguments = text.chopped(1).split(u'\n');
    for (QString& argument : arguments) {
        argument.replace(QStringLiteral("@DIR@"), dir);
    }
    return arguments;
}

// A moment read from a log line or a file name lies within the run.
class RunWindow {
public:
    void open() { m_start = QDateTime::currentDateTime().addMSecs(-1000); }
    void close() { m_end = QDateTime::currentDateTime().addMSecs(1000); }
    bool holds(const QDateTime& moment) const {
        return moment.isValid() && moment >= m_start && moment <= m_end;
    }
    bool holdsDate(const QDate& date) const {
        return date.isValid() && date >= m_start.date() && date <= m_end.date();
    }

private:
    QDateTime m_start;
    QDateTime m_end;
};

const QByteArray kTimeToken = "@ZEIT@";

// The scratch directory and the name a protocol file got from the clock,
// replaced by fixed tokens; all else stays as it was, byte for byte.
QByteArray maskPathAndFileNames(QByteArray bytes, const QByteArray& dir) {
    bytes.replace(dir, "@DIR@");
    // Where names ignore case, the list's path comes back lower-cased.
    bytes.replace(AsciiCase::lower(QString::fromLocal8Bit(dir)).toLocal8Bit(), "@DIR@");
    static const QRegularExpression fileName(QStringLiteral("hmail-\\d{8}-\\d{6}"));
    QString text = QString::fromLatin1(bytes);
    text.replace(fileName, QStringLiteral("hmail-") + QString::fromLatin1(kTimeToken));
    return text.toLatin1();
}

// The date and time that open every log line, checked to be the moment of
// the run in the German shapes, then masked.
QByteArray maskLog(const QByteArray& bytes, const QByteArray& dir, const RunWindow& window) {
    static const QRegularExpression stamp(
        QStringLiteral("^(\\d\\d\\.\\d\\d\\.\\d{4})( \\d\\d:\\d\\d:\\d\\d)?: "),
        QRegularExpression::MultilineOption);
    QString text = QString::fromLatin1(maskPathAndFileNames(bytes, dir));
    QString out;
    qsizetype from = 0;
    for (auto it = stamp.globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        const QDate date = QDate::fromString(match.captured(1), QStringLiteral("dd.MM.yyyy"));
        if (match.captured(2).isEmpty()) {
            EXPECT_TRUE(window.holdsDate(date)) << match.captured(0).toStdString();
        } else {
            const QTime time =
                QTime::fromString(match.captured(2).mid(1), QStringLiteral("HH:mm:ss"));
            EXPECT_TRUE(window.holds(QDateTime(date, time))) << match.captured(0).toStdString();
        }
        out += QStringView(text).mid(from, match.capturedStart() - from);
        out += QString::fromLatin1(kTimeToken) + QStringLiteral(": ");
        from = match.capturedEnd();
    }
    out += QStringView(text).mid(from);
    return out.toLatin1();
}

// The files the run left in the protocol directory, by kind.
QMap<QString, QByteArray> protocolOutputs(const ScratchInstall& install, const RunWindow& window) {
    static const QRegularExpression name(
        QStringLiteral("^hmail-(\\d{8}-\\d{6})(-fehler|-test)?\\.log$"));
    const QByteArray dir = install.dir().toLocal8Bit();
    QMap<QString, QByteArray> outputs;
    const QDir protocols(install.path("prot"));
    for (const QString& file : protocols.entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                                   QDir::NoDotAndDotDot)) {
        const auto match = name.match(file);
        if (!match.hasMatch()) {
            ADD_FAILURE() << "unexpected file in the protocol directory: " << file.toStdString();
            continue;
        }
        EXPECT_TRUE(window.holds(
            QDateTime::fromString(match.captured(1), QStringLiteral("yyyyMMdd-HHmmss"))))
            << "the name tells the moment of the run: " << file.toStdString();
        const QString kind = match.captured(2) == u"-fehler" ? QStringLiteral("record.log")
                             : match.captured(2) == u"-test" ? QStringLiteral("dryrun.log")
                                                             : QStringLiteral("protocol.log");
        EXPECT_FALSE(outputs.contains(kind)) << "two files of one kind: " << file.toStdString();
        outputs[kind] = maskPathAndFileNames(readBytes(protocols.filePath(file)), dir);
    }
    return outputs;
}

QByteArray rowsText(const QString& connection) {
    QByteArray text;
    for (const auto& row : routeAddressRows(connection)) {
        text += QByteArray::number(row.first) + ' ' + row.second.toUtf8() + '\n';
    }
    return text;
}

class GoldenCase : public ::testing::TestWithParam<std::string> {
protected:
    QString caseDir() const { return kGoldenDir + u'/' + QString::fromStdString(GetParam()); }
    QString expectedDir() const { return caseDir() + QStringLiteral("/expected"); }

    // Everything one run produced, masked, under the names of expected/.
    QMap<QString, QByteArray> runCase() {
        ScratchInstall install;
        const QDir inputs(caseDir() + QStringLiteral("/input"));
        for (const QString& file : inputs.entryList(QDir::Files | QDir::Hidden)) {
            install.writeFile(file, readBytes(inputs.filePath(file)));
        }
        const QString connection = createSqliteDatabase(install.path("hmailserver.db"));
        loadTables(connection, caseDir() + QStringLiteral("/tables.txt"),
                   caseDir() + QStringLiteral("/statement.sql"));
        install.setIni("SQL", "Provider", connection);
        install.useProtocolDirectory();
        install.installStandIn();
        const QStringList arguments =
            readArguments(caseDir() + QStringLiteral("/args"), install.dir());

        RunWindow window;
        window.open();
        const auto result =
            install.run(arguments, {"TARVELO_STANDIN_LOG=" + install.path("standin.log")});
        window.close();
        if (!result.finished) {
            throw std::runtime_error("the program did not end by itself");
        }

        const QByteArray dir = install.dir().toLocal8Bit();
        QMap<QString, QByteArray> outputs = protocolOutputs(install, window);
        outputs["status"] = QByteArray::number(result.exitCode) + '\n';
        outputs["stderr"] = maskPathAndFileNames(result.standardError.toUtf8(), dir);
        outputs["log.txt"] = maskLog(install.readFile("tarvelo.log"), dir, window);
        outputs["rows.txt"] = rowsText(connection);
        if (QFile::exists(install.path("standin.log"))) {
            outputs["refresh.txt"] = install.readFile("standin.log");
        }
        return outputs;
    }

    void rewriteExpected(const QMap<QString, QByteArray>& outputs) const {
        QDir expected(expectedDir());
        expected.mkpath(".");
        for (const QString& stale : expected.entryList(QDir::Files | QDir::Hidden)) {
            if (!outputs.contains(stale)) {
                expected.remove(stale);
            }
        }
        for (auto it = outputs.begin(); it != outputs.end(); ++it) {
            writeBytes(expected.filePath(it.key()), it.value());
        }
        std::cout << "rewrote " << expectedDir().toStdString() << "\n";
    }

    void compareWithExpected(const QMap<QString, QByteArray>& outputs) const {
        const QDir expected(expectedDir());
        ASSERT_TRUE(expected.exists())
            << expectedDir().toStdString() << " is missing (TARVELO_GOLDEN_UPDATE=1 writes it)";
        QStringList names = expected.entryList(QDir::Files | QDir::Hidden);
        for (auto it = outputs.begin(); it != outputs.end(); ++it) {
            if (!names.contains(it.key())) {
                names.append(it.key());
            }
        }
        for (const QString& name : names) {
            SCOPED_TRACE(name.toStdString());
            if (!outputs.contains(name)) {
                ADD_FAILURE() << "the run produced no " << name.toStdString();
                continue;
            }
            if (!expected.exists(name)) {
                ADD_FAILURE() << "the run produced " << name.toStdString()
                              << ", which is not expected:\n"
                              << outputs[name].toStdString();
                continue;
            }
            // '-' marks the expected bytes, '+' what the run produced.
            EXPECT_EQ(readBytes(expected.filePath(name)).toStdString(),
                      outputs[name].toStdString());
        }
    }
};

} // namespace

TEST(GoldenCases, FolderHoldsEveryRequiredCaseComplete) {
    ASSERT_TRUE(QDir(kGoldenDir).exists()) << kGoldenDir.toStdString();
    const std::vector<std::string> found = goldenCaseNames();
    for (const QString& required : kRequiredCases) {
        EXPECT_TRUE(std::find(found.begin(), found.end(), required.toStdString()) != found.end())
            << "golden case missing: " << required.toStdString();
    }
    static const QRegularExpression testName(QStringLiteral("^[A-Za-z0-9_]+$"));
    for (const std::string& name : found) {
        SCOPED_TRACE(name);
        const QString dir = kGoldenDir + u'/' + QString::fromStdString(name);
        EXPECT_TRUE(testName.match(QString::fromStdString(name)).hasMatch())
            << "a case name is a test name: letters, digits and '_' only";
        EXPECT_TRUE(QFile::exists(dir + "/args"));
        EXPECT_TRUE(QFile::exists(dir + "/tables.txt"));
        EXPECT_TRUE(QDir(dir + "/input").exists());
        if (!updating()) {
            for (const char* always : {"status", "stderr", "log.txt", "rows.txt"}) {
                EXPECT_TRUE(QFile::exists(dir + "/expected/" + always)) << always;
            }
        }
    }
}

TEST_P(GoldenCase, OutputsMatchTheExpectedFilesByteForByte) {
    const QMap<QString, QByteArray> outputs = runCase();
    if (updating()) {
        rewriteExpected(outputs);
        return;
    }
    compareWithExpected(outputs);
}

INSTANTIATE_TEST_SUITE_P(Golden, GoldenCase, ::testing::ValuesIn(goldenCaseNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             return info.param;
                         });
