// The fast synchronisation run against its literal, step-by-step transcription
// (SyncReference.h) on generated installations: same rows deleted and
// inserted, same protocol, pane, counter, log, protocol file and list.

#include "SyncReference.h"
#include "SyncTestBed.h"
#include "TestBackend.h"

#include "QStringPrinter.h"
#include "core/RouteBrowsing.h"
#include "platform/TarveloError.h"
#include "platform/TextFile.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

class Generator {
public:
    explicit Generator(unsigned seed) : m_random(seed) {}

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }
    bool chance(int percent) { return below(100) < percent; }
    template <typename T> const T& pick(const QList<T>& items) {
        return items.at(below(int(items.size())));
    }

    // Some ASCII letters turned to capitals.
    QString mangleCase(const QString& text) {
        if (!chance(30)) {
            return text;
        }
        QString out = text;
        for (QChar& c : out) {
            if (c >= u'a' && c <= u'z' && chance(40)) {
                c = QChar(c.unicode() - 32);
            }
        }
        return out;
    }

    QString domain(const QStringList& routeNames) {
        static const QStringList extra = {"example.co",    "other.org",    "example.com.evil",
                                          "b.org.x",       "example.comx", "m\u00fcller.de",
                                          "M\u00dcLLER.de"};
        const QString base = (!routeNames.isEmpty() && chance(70)) ? pick(routeNames) : pick(extra);
        return mangleCase(base);
    }

    // A few letters, mostly from a small set so that exceptions made the same
    // way overlap them ("xbq" against ">xbc" and ">b"), now and then any
    // letter of either case.
    QString word(int most) {
        static const QString few = QStringLiteral("xbcqzXBCQZ");
        QString out;
        for (int n = below(most) + 1; n > 0; --n) {
            if (chance(85)) {
                out += few.at(below(int(few.size())));
            } else {
                const int letter = below(52);
                out += QChar(letter < 26 ? u'a' + letter : u'A' + letter - 26);
            }
        }
        return out;
    }

    QString address(const QStringList& routeNames) {
        if (chance(15)) {
            return word(4) + u'@' + domain(routeNames);
        }
        static const QStringList locals = {"a",    "b", "Ab",     "x.y", "boss", "spam",
                                           "info", "-", "\u00e4", "Z",   ""};
        const int kind = below(100);
        if (kind < 60) {
            return mangleCase(pick(locals)) + u'@' + domain(routeNames);
        }
        if (kind < 68) {
            return pick(locals) + u'@' + domain(routeNames) + u'@' + domain(routeNames);
        }
        if (kind < 74) {
            return pick(locals) + u'@' + domain(routeNames) + pick(QStringList{".x", "x", "-1"});
        }
        if (kind < 80) {
            return mangleCase(pick(locals));
        }
        if (kind < 85) {
            return QString();
        }
        if (kind < 88) {
            return QStringLiteral("-");
        }
        if (kind < 91) {
            return QStringLiteral(">") + pick(locals) + u'@' + domain(routeNames);
        }
        if (kind < 93) {
            // Longer than a prefix line can hold.
            return QString(250, u'l') + QStringLiteral("@b.org");
        }
        return QStringLiteral("mail.") + pick(locals) + u'@' + domain(routeNames);
    }

    QString exceptionLine() {
        if (chance(40)) {
            return (chance(50) ? QStringLiteral(">") : QString()) + word(3);
        }
        static const QStringList lines = {
            "spam", "SPAM", "example", "@b.org", "x", ">boss", ">BOSS@", ">", "", ">a@", ">-", "-",
            "\u00e4", "@EXAMPLE.COM", ">mail.", "@", ">>", "zz",
            ">" + QString(250, u'l') + "@b.org", ">" + QString(255, u'l') + "nothing-here",
            ">" + QString(256, u'l'),
            // The 255th character of the rest decides; a
            // 256th does not count.
            ">" + QString(250, u'l') + "@b.oX", ">" + QString(250, u'l') + "@b.orX"};
        return pick(lines);
    }

    QString filter(const QStringList& routeNames) {
        const int kind = below(100);
        if (kind < 35) {
            return QStringLiteral("*");
        }
        if (kind < 65 && !routeNames.isEmpty()) {
            QString name = pick(routeNames);
            for (QChar& c : name) {
                if (c >= u'A' && c <= u'Z') {
                    c = QChar(c.unicode() + 32);
                }
            }
            return u'@' + name;
        }
        static const QStringList others = {
            "@Example.com", "@example.com", "example", "@",  "", "@unknown.org", "-",
            "@b.org",       "b.org",        "**",      "@ex"};
        return pick(others);
    }

    std::mt19937 m_random;
};

struct Installation {
    QList<SeedRoute> routes;
    QList<TableRow> rows;
    QStringList list;
    QStringList exceptions;
    QString domain;
    bool listMissing = false;
    bool exceptionsMissing = false;
    bool protocolFile = false;
};

Installation generate(Generator& g) {
    static const QStringList names = {"example.com",
                                      "example.com.au",
                                      "Example.com",
                                      "sub.example.com",
                                      "b.org",
                                      "a.b.org",
                                      "",
                                      "x",
                                      "EXAMPLE.net",
                                      "mail.example.net",
                                      "ex",
                                      "m\u00fcller.de"};
    Installation in;
    QList<int> ids;
    for (int id = 1; id <= 60; ++id) {
        ids.append(id);
    }
    std::shuffle(ids.begin(), ids.end(), g.m_random);
    const int routeCount = g.below(7);
    QStringList routeNames;
    for (int i = 0; i < routeCount; ++i) {
        const QString name = g.pick(names);
        in.routes.append({ids.at(i), name});
        routeNames.append(name);
    }
    const int entryCount = g.below(31);
    for (int i = 0; i < entryCount; ++i) {
        if (!in.list.isEmpty() && g.chance(15)) {
            in.list.append(g.mangleCase(g.pick(in.list)));
        } else {
            in.list.append(g.address(routeNames));
        }
    }
    const int rowCount = g.below(26);
    for (int i = 0; i < rowCount; ++i) {
        int routeId = 999;
        if (!in.routes.isEmpty() && g.chance(85)) {
            routeId = g.pick(in.routes).id;
        }
        QString address;
        if (!in.list.isEmpty() && g.chance(45)) {
            address = g.mangleCase(g.pick(in.list));
        } else if (!in.rows.isEmpty() && g.chance(10)) {
            address = g.mangleCase(g.pick(in.rows).second);
        } else {
            address = g.address(routeNames);
        }
        in.rows.append({routeId, address});
    }
    const int exceptionCount = g.chance(30) ? 0 : g.below(5) + 1;
    for (int i = 0; i < exceptionCount; ++i) {
        in.exceptions.append(g.exceptionLine());
    }
    in.domain = g.filter(routeNames);
    in.listMissing = g.chance(3);
    in.exceptionsMissing = g.chance(2);
    in.protocolFile = g.chance(50);
    return in;
}

std::string describe(const Installation& in) {
    QString text = QStringLiteral("Domain '%1'\nRouten:").arg(in.domain);
    for (const SeedRoute& r : in.routes) {
        text += QStringLiteral(" %1=%2").arg(r.id).arg(r.name);
    }
    text += QStringLiteral("\nZeilen:");
    for (const TableRow& r : in.rows) {
        text += QStringLiteral(" %1:%2").arg(r.first).arg(r.second);
    }
    text += QStringLiteral("\nListe: ") + in.list.join(u'|');
    text += QStringLiteral("\nAusnahmen: ") + in.exceptions.join(u'|');
    return text.toStdString();
}

// What a run leaves behind, for comparison.
struct Outcome {
    QString error;
    QList<TableRow> rows;
    QStringList pane;
    QString zaehler;
    bool syncEnabled = false;
    QStringList liste;
    QByteArray log;
    QByteArray protocolFile;
    bool operator==(const Outcome&) const = default;
};

void PrintTo(const Outcome& o, std::ostream* out) {
    *out << "error=" << o.error.toStdString() << "\nrows:";
    for (const TableRow& r : o.rows) {
        *out << " " << r.first << ":" << r.second.toStdString();
    }
    *out << "\npane: " << o.pane.join(u'|').toStdString()
         << "\nzaehler: " << o.zaehler.toStdString()
         << "\nliste: " << o.liste.join(u'|').toStdString()
         << "\nprotocol: " << o.protocolFile.toStdString();
}

class SyncDifferential : public ::testing::Test {
protected:
    SyncDifferential() = default;
    explicit SyncDifferential(const QString& connectionString) : m_bed(connectionString) {}

    struct Side {
        explicit Side(SyncTestBed& bed, const QString& name)
            : window(), logFile(bed.dir.filePath(name + QStringLiteral(".log"))),
              log(logFile, bed.clock, window),
              protocolDir(bed.dir.filePath(name + QStringLiteral("-protokoll")) + u'/') {
            QDir().mkpath(protocolDir);
            QFile::remove(logFile);
            QFile::remove(protocolDir + QStringLiteral("hmail-20240305-070809.log"));
        }
        RecordingWindowState window;
        QString logFile;
        ActivityLog log;
        QString protocolDir;
        WorkingList Liste;

        void prepare(const Installation& in, const QString& listFile, bool sorted) {
            window.setDomain(in.domain);
            window.setEmailliste(listFile);
            window.addProtokollLine(QStringLiteral("früher"));
            Liste.setSorted(sorted);
            Liste.assign({QStringLiteral("alt"), QStringLiteral("Alt@b.org")});
        }
        Outcome outcome(QString error, QList<TableRow> rows) const {
            Outcome o;
            o.error = std::move(error);
            o.rows = std::move(rows);
            o.pane = window.protokollLines();
            o.zaehler = window.zaehler();
            o.syncEnabled = window.syncEnabled();
            o.liste = Liste.lines();
            o.log = fileBytes(logFile);
            o.protocolFile = fileBytes(protocolDir + QStringLiteral("hmail-20240305-070809.log"));
            return o;
        }
    };

    // Runs the fast run on the database and the literal run on the stand-ins;
    // every tenth case the literal run also on the database.
    void compare(const Installation& in, bool sorted, bool literalOnDatabase) {
        m_bed.seed(in.routes, in.rows);
        const QList<TableRow> initialRows = m_bed.rows();
        const QList<Route> routeOrder = m_bed.routes.rows();
        if (in.listMissing) {
            QFile::remove(m_bed.listFile);
        } else {
            m_bed.writeList(in.list);
        }
        if (in.exceptionsMissing) {
            QFile::remove(m_bed.exceptionFile);
        } else {
            m_bed.writeExceptions(in.exceptions);
        }

        Side fast(m_bed, QStringLiteral("schnell"));
        fast.prepare(in, m_bed.listFile, sorted);
        SyncContext fastContext{.window = fast.window,
                                .log = fast.log,
                                .Liste = fast.Liste,
                                .routes = m_bed.routes,
                                .RA2 = m_bed.RA2,
                                .exceptionFile = m_bed.exceptionFile,
                                .ProtokollDir = in.protocolFile ? fast.protocolDir : QString(),
                                .clock = m_bed.clock,
                                .reloadAddresses = [this] {
                                    RouteBrowsing::loadAddresses(m_bed.routes, m_bed.Address);
                                }};
        QString fastError;
        try {
            runSynchronisation(fastContext);
        } catch (const TarveloError& e) {
            fastError = e.message();
        }
        const Outcome fastOutcome = fast.outcome(fastError, m_bed.rows());
        EXPECT_TRUE(m_bed.routesGridFollows());
        EXPECT_FALSE(m_bed.RA2.isOpen());

        Side literal(m_bed, QStringLiteral("woertlich"));
        literal.prepare(in, m_bed.listFile, sorted);
        reference::TableModel table(initialRows);
        reference::RoutesModel routes(routeOrder);
        reference::Context<reference::RoutesModel, reference::TableModel> literalContext{
            literal.window,
            literal.log,
            literal.Liste,
            routes,
            table,
            m_bed.exceptionFile,
            in.protocolFile ? literal.protocolDir : QString(),
            m_bed.clock,
            nullptr};
        QString literalError;
        try {
            reference::btsyncClick(literalContext);
        } catch (const TarveloError& e) {
            literalError = e.message();
        }
        const Outcome literalOutcome = literal.outcome(literalError, table.rows());
        EXPECT_FALSE(routes.controlsDisabled());
        EXPECT_FALSE(table.isOpen());
        if (fastError.contains(QStringLiteral("länger als 255 Zeichen"))) {
            // Where the steps would insert an address longer than the mail
            // server's column, the run changes nothing at all.
            EXPECT_EQ(fastOutcome.rows, initialRows) << describe(in);
            EXPECT_TRUE(std::any_of(literalOutcome.pane.begin(), literalOutcome.pane.end(),
                                    [](const QString& line) {
                                        return line.startsWith(QStringLiteral("Insert ")) &&
                                               line.size() > 255 + 8;
                                    }))
                << describe(in);
            return;
        }
        ASSERT_EQ(fastOutcome, literalOutcome) << describe(in);
        EXPECT_EQ(fast.window.buttonHistory, literal.window.buttonHistory);

        if (literalOnDatabase) {
            m_bed.seed(in.routes, in.rows);
            Side onDatabase(m_bed, QStringLiteral("datenbank"));
            onDatabase.prepare(in, m_bed.listFile, sorted);
            reference::DatabaseTable onDatabaseTable(m_bed.RA2);
            reference::Context<RoutesDataset, reference::DatabaseTable> dbContext{
                onDatabase.window,
                onDatabase.log,
                onDatabase.Liste,
                m_bed.routes,
                onDatabaseTable,
                m_bed.exceptionFile,
                in.protocolFile ? onDatabase.protocolDir : QString(),
                m_bed.clock,
                nullptr};
            QString dbError;
            try {
                reference::btsyncClick(dbContext);
            } catch (const TarveloError& e) {
                dbError = e.message();
            }
            ASSERT_EQ(onDatabase.outcome(dbError, m_bed.rows()), literalOutcome) << describe(in);
        }
    }

    SyncTestBed m_bed;
};

// The database's share on the servers: their collations, key types and
// drivers under the same generated installations, every case also run
// literally on the database.
class SyncDifferentialOnServer : public SyncDifferential,
                                 public ::testing::WithParamInterface<Backend> {
protected:
    SyncDifferentialOnServer()
        : SyncDifferential(createBackendDatabase(GetParam(), QString(), false)) {}
};

// The servers hold at most 255 characters an address, where SQLite takes any
// text; the stand-in table has no such bound.
bool fitsTheServersColumns(const Installation& in) {
    for (const TableRow& row : in.rows) {
        if (row.second.size() > 255) {
            return false;
        }
    }
    for (const QString& entry : in.list) {
        if (entry.size() > 255) {
            return false;
        }
    }
    return true;
}

TEST_P(SyncDifferentialOnServer, FastRunMatchesTheLiteralRunOnTheDatabase) {
    Generator g(20261208);
    for (int n = 0; n < 150;) {
        const Installation in = generate(g);
        if (!fitsTheServersColumns(in)) {
            continue;
        }
        SCOPED_TRACE(n++);
        compare(in, n % 2 == 1, true);
        if (HasFatalFailure()) {
            return;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Servers, SyncDifferentialOnServer, ::testing::ValuesIn(serverBackends()),
                         backendName);

TEST_F(SyncDifferential, FastRunMatchesTheLiteralRunOnGeneratedInstallations) {
    Generator g(20240305);
    int changedRuns = 0;
    for (int n = 0; n < 1200; ++n) {
        const Installation in = generate(g);
        SCOPED_TRACE(n);
        compare(in, false, n % 10 == 0);
        compare(in, true, n % 10 == 5);
        if (HasFatalFailure()) {
            return;
        }
        if (m_bed.rows() != in.rows) {
            ++changedRuns;
        }
    }
    // The generator must reach the interesting cases, not only empty runs.
    EXPECT_GT(changedRuns, 600);
}

} // namespace
