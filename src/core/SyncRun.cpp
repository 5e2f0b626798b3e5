#include "core/SyncRun.h"

#include "core/ActivityLog.h"
#include "core/EntryIndex.h"
#include "core/ExceptionList.h"
#include "core/ListCoverage.h"
#include "core/Mtools.h"
#include "core/RouteMatcher.h"
#include "core/RunLock.h"
#include "core/RunRecord.h"
#include "core/WindowState.h"
#include "core/WorkingList.h"
#include "db/RouteAddressDataset.h"
#include "db/RoutesDataset.h"
#include "platform/AsciiCase.h"
#include "platform/Clock.h"
#include "platform/OneLine.h"
#include "platform/RegularFile.h"
#include "platform/TarveloError.h"
#include "platform/TextFile.h"

#include <QFileInfo>
#include <QStringMatcher>

#include <algorithm>
#include <exception>
#include <future>
#include <optional>
#include <vector>

namespace {

const QString kAllRoutes = QStringLiteral("*");

// From the moment the run takes the Start button and the routes grid until
// it gives them back: on every way out the button is enabled, the grid
// follows the routes again and RA2 is closed if the run opened it.
class RunControls {
public:
    explicit RunControls(SyncContext& context) : m_context(context) {
        m_context.routes.disableControls();
        m_context.window.setSyncEnabled(false);
    }
    ~RunControls() {
        if (!m_taken) {
            return;
        }
        // Runs while an error is on its way out: it must not throw.
        try {
            if (m_ra2Opened) {
                m_context.RA2.close();
                m_context.RA2.setTestRun(false);
            }
        } catch (...) {
        }
        m_context.window.setSyncEnabled(true);
        m_context.routes.enableControls();
    }
    RunControls(const RunControls&) = delete;
    RunControls& operator=(const RunControls&) = delete;

    void openRA2() {
        m_ra2Opened = true;
        m_context.RA2.setTestRun(m_context.guards.testRun);
        m_context.RA2.open();
    }

    // The normal end: RA2 closed, the button enabled, the first route current
    // and the grid following it again.
    void finish() {
        m_context.RA2.close();
        m_context.RA2.setTestRun(false);
        m_ra2Opened = false;
        m_context.window.setSyncEnabled(true);
        m_context.routes.first();
        m_context.routes.enableControls();
        m_taken = false;
    }

private:
    SyncContext& m_context;
    bool m_taken = true;
    bool m_ra2Opened = false;
};

// The entries to insert, grouped by their route in the routes' order, in
// list order within a route: route r's are entries[start[r]..start[r + 1]).
struct InsertGroups {
    std::vector<int> start;
    std::vector<int> entries;
};

InsertGroups groupByRoute(const std::vector<int>& candidates, const WorkingList& Liste,
                          const RouteMatcher& matcher, int routeCount) {
    InsertGroups groups;
    std::vector<int> routeOf(candidates.size());
    groups.start.assign(static_cast<size_t>(routeCount) + 1, 0);
    for (size_t u = 0; u < candidates.size(); ++u) {
        const int route = matcher.routeFor(AsciiCase::lower(Liste.at(candidates[u])));
        routeOf[u] = route;
        if (route >= 0) {
            ++groups.start[static_cast<size_t>(route) + 1];
        }
    }
    for (size_t r = 1; r < groups.start.size(); ++r) {
        groups.start[r] += groups.start[r - 1];
    }
    groups.entries.resize(static_cast<size_t>(groups.start.back()));
    std::vector<int> fill(groups.start.begin(), groups.start.end() - 1);
    for (size_t u = 0; u < candidates.size(); ++u) {
        const int route = routeOf[u];
        if (route >= 0) {
            groups.entries[static_cast<size_t>(fill[static_cast<size_t>(route)]++)] = candidates[u];
        }
    }
    return groups;
}

class SyncRun {
public:
    explicit SyncRun(SyncContext& context)
        : m_context(context), m_window(context.window), m_domain(context.window.domain()),
          m_allRoutes(m_domain == kAllRoutes) {}

    void run();

private:
    void synchronise();
    void deletePass(ListCoverage& coverage);
    void insertPass(ListCoverage& coverage, const InsertGroups& groups);
    void writeProtocolFile();
    // One line of the protocol, one line of the pane and of the file
    // whatever the entry holds.
    void addProtocolLine(const QString& line);

    SyncContext& m_context;
    WindowState& m_window;
    const QString m_domain;
    const bool m_allRoutes;
    // The protocol: the header and one line per change, as the pane shows them.
    QStringList m_protocol;
};

bool isExistingFile(const QString& path) {
    return RegularFile::exists(path); // a FIFO, device or socket is no list
}

void SyncRun::run() {
    RunRecord* record = m_context.guards.record;
    try {
        synchronise();
    } catch (const TarveloError& error) {
        if (record != nullptr && record->active()) {
            // The record must not hide the run's own error.
            try {
                record->writeFailure(error.message(), m_context.clock.now());
            } catch (const TarveloError&) {
            }
        }
        throw;
    }
}

void SyncRun::synchronise() {
    RunRecord* record = m_context.guards.record;
    if (m_domain.isEmpty()) {
        m_window.setZaehler(QStringLiteral("keine Domain angegeben"));
        return;
    }
    const WindowRunScope windowRun(m_window);
    m_context.log.LogMessage(QStringLiteral("Domain: ") + m_domain);
    m_context.log.LogMessage(QStringLiteral("Verarbeite: ") + m_window.emailliste());
    if (m_context.guards.testRun) {
        m_context.log.LogMessage(QStringLiteral("Testlauf: die Datenbank wird nicht geändert"));
    }

    std::optional<ExceptionList> exceptions(ExceptionList::load(m_context.exceptionFile));

    RunControls controls(m_context);
    const QString listFile = m_window.emailliste();
    if (!isExistingFile(listFile)) {
        return;
    }
    // Held from before the list is read to the run's end.
    std::optional<RunLock> lock;
    if (!m_context.guards.lockFile.isEmpty()) {
        // The window breathes while the run waits for another run's lock.
        lock.emplace(m_context.guards.lockFile, *m_context.guards.database,
                     m_context.guards.lockWait, [this] { m_window.runWorking(); });
    }
    // The list is read, excepted and its entries hashed on a helper thread
    // while RA2 reads the table: the two take about as long, and neither
    // needs the other. The helper touches Liste, the exceptions and the index
    // only, and nothing touches them here until it is done. Without a thread
    // to spare it runs on get().
    std::optional<EntryIndex> entries;
    std::future<void> listRead = std::async(std::launch::async | std::launch::deferred, [&] {
        m_context.Liste.assign(TextFile::readLines(listFile));
        exceptions->apply(m_context.Liste);
        entries.emplace(m_context.Liste.lines());
    });
    std::exception_ptr tableFailure;
    try {
        controls.openRA2();
    } catch (...) {
        tableFailure = std::current_exception();
    }
    // A failed read of the list is reported first, as if it had been read
    // before the table.
    listRead.get();
    exceptions.reset();
    entries->build();
    m_window.runWorking();

    m_context.routes.first();
    m_window.clearProtokoll();
    addProtocolLine(QStringLiteral("Datei: ") + listFile);
    if (record != nullptr) {
        record->begin(m_context.ProtokollDir, m_protocol.constFirst());
    }
    m_window.runWorking();
    if (tableFailure) {
        std::rethrow_exception(tableFailure);
    }

    QStringList names;
    names.reserve(m_context.routes.rowCount());
    for (int i = 0; i < m_context.routes.rowCount(); ++i) {
        names.append(AsciiCase::lower(m_context.routes.row(i).routedomainname));
    }
    const RouteMatcher matcher(names, m_domain);
    const int routeCount = m_context.routes.rowCount();
    {
        // Liste stays as it is from here to the end of the insert pass. The
        // entries no row names are grouped by their route on the helper,
        // while the delete pass runs; what the helper uses outlives it.
        InsertGroups groups;
        ListCoverage coverage(*entries, m_context.RA2.rows());
        coverage.start([&] {
            groups = groupByRoute(coverage.unnamed(), m_context.Liste, matcher, routeCount);
        });
        deletePass(coverage);
        insertPass(coverage, groups);
    }
    entries.reset(); // not needed past the insert pass

    controls.finish();
    if (m_context.reloadAddresses) {
        m_context.reloadAddresses();
    }

    writeProtocolFile();
    if (record != nullptr) {
        record->end();
    }
    m_window.setZaehler(QStringLiteral("%1 Änderungen").arg(m_protocol.size()));
    m_context.log.LogMessage(QStringLiteral("Ende DBsync"));
}

// Every row of the table, whatever its route, in the table's order: a row
// whose address no list entry names (ASCII case ignored) is deleted when its
// lower-cased address contains the domain filter, or the filter is "*".
void SyncRun::deletePass(ListCoverage& coverage) {
    RouteAddressDataset& RA2 = m_context.RA2;
    const QStringMatcher filter(m_domain);
    if (m_context.guards.maxDelete) {
        // Counted before the first deletion: beyond the limit, nothing goes.
        qint64 inFilter = 0;
        qint64 stale = 0;
        for (RA2.first(); !RA2.eof(); RA2.next()) {
            if (m_allRoutes || filter.indexIn(AsciiCase::lower(RA2.routeaddressaddress())) >= 0) {
                ++inFilter;
                if (!coverage.names(RA2.currentRow())) {
                    ++stale;
                }
            }
        }
        if (m_context.guards.maxDelete->exceededBy(stale, inFilter)) {
            throw TarveloError(m_context.guards.maxDelete->refusal(stale, inFilter));
        }
    }
    RA2.first();
    while (!RA2.eof()) {
        m_window.runWorking();
        if (coverage.names(RA2.currentRow())) {
            RA2.next();
            continue;
        }
        const QString address = AsciiCase::lower(RA2.routeaddressaddress());
        if (m_allRoutes || filter.indexIn(address) >= 0) {
            // The line goes first: after a failed delete the pane shows it.
            addProtocolLine(QStringLiteral("Delete ") + address);
            RA2.deleteCurrent(); // the following row becomes current
        } else {
            RA2.next();
        }
    }
}

// Route by route in the routes' order, and within a route in the list's
// order, every entry that falls to the route and that the table lacks (ASCII
// case ignored, any route) is inserted as written in the list.
//
// Whether the table holds an entry is known without searching it: a row an
// entry named when the table was read is there still (the delete pass keeps
// it), and the pass notes each entry it inserts. So only the entries the
// table lacked are routed.
void SyncRun::insertPass(ListCoverage& coverage, const InsertGroups& groups) {
    RoutesDataset& routes = m_context.routes;
    RouteAddressDataset& RA2 = m_context.RA2;
    const WorkingList& Liste = m_context.Liste;
    coverage.finish();

    while (!routes.eof()) {
        const size_t route = static_cast<size_t>(routes.currentRow());
        const qint64 routeId = routes.routesrouteid();
        const QString prefix = QStringLiteral("Insert %1 ").arg(routeId);
        for (int k = groups.start[route]; k < groups.start[route + 1]; ++k) {
            m_window.runWorking();
            const int entry = groups.entries[static_cast<size_t>(k)];
            if (coverage.holds(entry)) {
                continue; // inserted before, from an equal entry
            }
            addProtocolLine(prefix + Liste.at(entry));
            RA2.insert(routeId, Liste.at(entry));
            coverage.hold(entry);
        }
        routes.next();
    }
    // The last lines show while the run still works.
    m_window.runWorking();
}

void SyncRun::writeProtocolFile() {
    if (m_context.ProtokollDir.isEmpty()) {
        return;
    }
    const QDate date = m_context.clock.now().date();
    const QTime time = m_context.clock.now().time();
    QString name = protocolFileName(date, time);
    if (m_context.guards.testRun) {
        name.insert(name.size() - 4, QStringLiteral("-test"));
    }
    const QString path = m_context.ProtokollDir + name;
    if (!m_protocol.isEmpty()) {
        TextFile::replaceLinesNoFollow(path, m_protocol);
    }
}

void SyncRun::addProtocolLine(const QString& line) {
    m_protocol.append(OneLine::forProtocol(line));
    m_window.addProtokollLine(m_protocol.constLast());
    if (m_context.guards.record != nullptr) {
        m_context.guards.record->add(m_protocol.constLast());
    }
}

} // namespace

QString protocolFileName(const QDate& date, const QTime& time) {
    return QStringLiteral("hmail-") + QString::number(date.year()) + Mtools::PadTwo(date.month()) +
           Mtools::PadTwo(date.day()) + QStringLiteral("-") + Mtools::PadTwo(time.hour()) +
           Mtools::PadTwo(time.minute()) + Mtools::PadTwo(time.second()) + QStringLiteral(".log");
}

void runSynchronisation(SyncContext& context) {
    SyncRun(context).run();
}
