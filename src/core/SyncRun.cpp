#include "core/SyncRun.h"

#include "core/ActivityLog.h"
#include "core/ExceptionList.h"
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
#include <array>
#include <exception>
#include <future>
#include <optional>
#include <span>
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

class SyncRun {
public:
    explicit SyncRun(SyncContext& context)
        : m_context(context), m_window(context.window), m_domain(context.window.domain()),
          m_allRoutes(m_domain == kAllRoutes) {}

    void run();

private:
    void synchronise();
    void deletePass();
    void insertPass();
    void writeProtocolFile();
    // One line of the protocol, one line of the pane and of the file
    // whatever the entry holds.
    void addProtocolLine(const QString& line);

    SyncContext& m_context;
    WindowState& m_window;
    const QString m_domain;
    const bool m_allRoutes;
    // The entries of Liste that named no row of RA2 when it was read (ASCII
    // case ignored), in list order: the only ones the table can lack.
    std::vector<int> m_unnamed;
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
    // The list is read and excepted on a helper thread while RA2 reads the
    // table: the two take about as long, and neither needs the other. The
    // helper touches Liste and the exceptions only, and nothing touches them
    // here until it is done. Without a thread to spare it runs on get().
    std::future<void> listRead = std::async(std::launch::async | std::launch::deferred, [&] {
        m_context.Liste.assign(TextFile::readLines(listFile));
        exceptions->apply(m_context.Liste);
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

    deletePass();
    insertPass();

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
void SyncRun::deletePass() {
    RouteAddressDataset& RA2 = m_context.RA2;
    const WorkingList& Liste = m_context.Liste;
    // Each entry marks the rows it names, through the dataset's own index:
    // a marked row is wanted. Some thousands of entries at a time.
    m_unnamed.clear();
    const std::span<const QString> entries(Liste.lines().constData(), Liste.lines().size());
    std::array<bool, 16384> named{};
    for (size_t from = 0; from < entries.size(); from += named.size()) {
        m_window.runWorking();
        const size_t count = std::min(named.size(), entries.size() - from);
        RA2.mark(entries.subspan(from, count), named.data());
        for (size_t i = 0; i < count; ++i) {
            if (!named[i]) {
                m_unnamed.push_back(int(from + i));
            }
        }
    }
    const QStringMatcher filter(m_domain);
    if (m_context.guards.maxDelete) {
        // Counted before the first deletion: beyond the limit, nothing goes.
        qint64 inFilter = 0;
        qint64 stale = 0;
        for (RA2.first(); !RA2.eof(); RA2.next()) {
            if (m_allRoutes || filter.indexIn(AsciiCase::lower(RA2.routeaddressaddress())) >= 0) {
                ++inFilter;
                if (!RA2.marked()) {
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
        if (RA2.marked()) {
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
// An entry that named a row when the table was read is found there still:
// the delete pass keeps every row an entry names. So only the unnamed entries
// are routed and looked up; the lookup still finds what the pass inserted
// before them.
void SyncRun::insertPass() {
    RoutesDataset& routes = m_context.routes;
    RouteAddressDataset& RA2 = m_context.RA2;
    const WorkingList& Liste = m_context.Liste;

    QStringList names;
    names.reserve(routes.rowCount());
    for (int i = 0; i < routes.rowCount(); ++i) {
        names.append(AsciiCase::lower(routes.row(i).routedomainname));
    }
    const RouteMatcher matcher(names, m_domain);

    // The unnamed entries grouped by their route, in list order within each
    // group.
    std::vector<int> routeOf(m_unnamed.size());
    std::vector<int> groupStart(static_cast<size_t>(routes.rowCount()) + 1, 0);
    for (size_t u = 0; u < m_unnamed.size(); ++u) {
        const int route = matcher.routeFor(AsciiCase::lower(Liste.at(m_unnamed[u])));
        routeOf[u] = route;
        if (route >= 0) {
            ++groupStart[static_cast<size_t>(route) + 1];
        }
    }
    for (size_t r = 1; r < groupStart.size(); ++r) {
        groupStart[r] += groupStart[r - 1];
    }
    std::vector<int> grouped(static_cast<size_t>(groupStart.back()));
    {
        std::vector<int> fill(groupStart.begin(), groupStart.end() - 1);
        for (size_t u = 0; u < m_unnamed.size(); ++u) {
            const int route = routeOf[u];
            if (route >= 0) {
                grouped[static_cast<size_t>(fill[static_cast<size_t>(route)]++)] = m_unnamed[u];
            }
        }
    }
    routeOf = {};
    m_unnamed = {};

    while (!routes.eof()) {
        const size_t route = static_cast<size_t>(routes.currentRow());
        const qint64 routeId = routes.routesrouteid();
        const QString prefix = QStringLiteral("Insert %1 ").arg(routeId);
        for (int k = groupStart[route]; k < groupStart[route + 1]; ++k) {
            m_window.runWorking();
            const QString& entry = Liste.at(grouped[static_cast<size_t>(k)]);
            if (RA2.locate(entry)) {
                continue;
            }
            addProtocolLine(prefix + entry);
            RA2.insert(routeId, entry);
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
