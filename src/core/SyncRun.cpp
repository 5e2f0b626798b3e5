#include "core/SyncRun.h"

#include "core/ActivityLog.h"
#include "core/ErrorReporter.h"
#include "core/ExceptionList.h"
#include "core/NulLines.h"
#include "core/PlanApplier.h"
#include "core/RunLock.h"
#include "core/RunRecord.h"
#include "core/SyncPlan.h"
#include "core/WindowState.h"
#include "core/WorkingList.h"
#include "db/RouteAddressDataset.h"
#include "db/RouteAddressStatements.h"
#include "db/RoutesDataset.h"
#include "platform/Clock.h"
#include "platform/NativeFile.h"
#include "platform/OneLine.h"
#include "platform/RegularFile.h"
#include "platform/StopSignals.h"
#include "platform/TarveloError.h"
#include "platform/TextFile.h"

#include <QStringList>

#include <exception>
#include <optional>

namespace {

// Why the mail server's column would not keep an address to insert as it
// stands; empty where it would. Longer than the column, or with a character
// beyond what the column holds: some servers refuse it in the middle of the
// run, after the deletions, others cut or keep it. Starting with a second
// byte-order mark, or holding U+FFFE or U+FFFF: stored or read back changed,
// and inserted anew every night.
QString whyUnstorable(const QString& address, const RouteAddressDataset& table) {
    using namespace RouteAddressStatements;
    if (table.tooLong(address)) {
        return QStringLiteral("ist länger als %1 Zeichen und passt nicht in die Tabelle "
                              "hm_routeaddresses")
            .arg(kAddressLength);
    }
    const QString changed = whyNotKeptAsWritten(address);
    if (!changed.isEmpty()) {
        return changed;
    }
    if (table.holdsOnlyBasicPlane() && beyondBasicPlane(address)) {
        return QStringLiteral("enthält ein Zeichen, das die Tabelle hm_routeaddresses (utf8) "
                              "nicht speichern kann");
    }
    return {};
}

// From the moment the run takes the Start button and the routes grid until
// it gives them back: on every way out the button is enabled, the grid
// follows the routes again and RA2 is closed.
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
            m_context.RA2.close();
        } catch (...) {
        }
        m_context.window.setSyncEnabled(true);
        m_context.routes.enableControls();
    }
    RunControls(const RunControls&) = delete;
    RunControls& operator=(const RunControls&) = delete;

    // The normal end: RA2 closed, the button enabled, the first route current
    // and the grid following it again.
    void finish() {
        m_context.RA2.close();
        m_context.window.setSyncEnabled(true);
        m_context.routes.first();
        m_context.routes.enableControls();
        m_taken = false;
    }

private:
    SyncContext& m_context;
    bool m_taken = true;
};

class SyncRun {
public:
    explicit SyncRun(SyncContext& context)
        : m_context(context), m_window(context.window), m_domain(context.window.domain()) {}

    void run();

private:
    void synchronise();
    // Writes the record of a run that failed once its protocol was begun:
    // the changes made, the failed one, the error.
    void recordFailure(const QString& message);
    // The list read, its excepted entries replaced by "-".
    void readList(const QString& listFile, const ExceptionList& exceptions);
    // Raises what forbids the plan before any change is made.
    void refuse(const SyncPlan& plan, const QString& listFile) const;
    // Makes the plan's changes; returns how many were stored.
    int apply(const SyncPlan& plan);
    // A line already made one line: the header and PlannedChange's lines are.
    void addProtocolLine(const QString& line);
    // Escape in the window, or a signal from outside.
    bool stopAsked() const {
        return m_window.stopRequested() || !StopSignals::received().isEmpty();
    }
    void writeProtocolFile(ProtocolKind kind);
    // Raises when the protocol folder cannot take the protocol file.
    void refuseUnwritableProtocol() const;
    void stopped(const SyncPlan& plan, int stored);

    SyncContext& m_context;
    WindowState& m_window;
    const QString m_domain;
    SyncPlan m_plan;
    // The protocol: the header and one line per change, as the pane shows them.
    QStringList m_protocol;
    // One run at a time; let go when the run is over, its record written.
    std::optional<RunLock> m_lock;
};

void SyncRun::run() {
    RunRecord* record = m_context.guards.record;
    try {
        synchronise();
    } catch (const TarveloError& error) {
        recordFailure(error.message());
        throw;
    } catch (const std::exception& error) {
        // Memory that ran out while the changes were made: those made still
        // need their record, which has kept room for itself.
        recordFailure(ErrorReporter::messageOf(error));
        throw;
    } catch (...) {
        if (record != nullptr) {
            record->end(); // its plan goes with this run
        }
        throw;
    }
}

void SyncRun::recordFailure(const QString& message) {
    RunRecord* record = m_context.guards.record;
    if (record == nullptr || !record->active()) {
        return;
    }
    // The record must not hide the run's own error.
    try {
        record->writeFailure(message, m_context.clock.now());
    } catch (const TarveloError& lost) {
        // Said in the log, so that nobody looks for the record in vain.
        try {
            m_context.log.LogMessage(QStringLiteral("Fehler: ") + lost.message());
        } catch (const TarveloError&) {
        }
    }
}

void SyncRun::synchronise() {
    const RunGuards& guards = m_context.guards;
    if (m_domain.isEmpty()) {
        m_window.setZaehler(QStringLiteral("keine Domain angegeben"));
        return;
    }
    const WindowRunScope windowRun(m_window);
    // From here on a stop from outside (a service manager, Ctrl+C) is noted
    // and heard where the run can stop cleanly: in the wait for another run,
    // before the first change and after each.
    const StopSignals outsideStops;
    m_context.log.LogMessage(QStringLiteral("Domain: ") + m_domain);
    m_context.log.LogMessage(QStringLiteral("Verarbeite: ") + m_window.emailliste());
    if (guards.dryRun) {
        m_context.log.LogMessage(QStringLiteral("Testlauf: die Datenbank wird nicht geändert"));
    }

    std::optional<ExceptionList> exceptions(ExceptionList::load(m_context.exceptionFile));
    RunControls controls(m_context);
    const QString listFile = m_window.emailliste();
    if (!RegularFile::exists(listFile)) { // a FIFO, device or socket is no list
        m_context.listMissing = true;
        return;
    }
    // Held from before the list is read to the run's end, its records written.
    if (!guards.lockFile.isEmpty()) {
        // The window breathes while the run waits for another run's lock;
        // Escape gives the wait up.
        m_lock.emplace(guards.lockFile, *guards.database, guards.lockWait, [this] {
            m_window.runWaiting();
            return !stopAsked();
        });
    }
    readList(listFile, *exceptions);
    exceptions.reset();

    m_context.routes.first();
    m_window.clearProtokoll();
    addProtocolLine(OneLine::forProtocol(QStringLiteral("Datei: ") + listFile));
    // The protocol is the only trace of what a run deletes: a folder that
    // cannot take it stops the run before its first change, not after its last.
    if (!guards.dryRun) {
        refuseUnwritableProtocol();
    }
    // A dry run changes nothing: should it fail, there is nothing to record,
    // and a "-fehler" file would read as a real run's failure.
    if (guards.record != nullptr && !guards.dryRun) {
        guards.record->begin(m_context.ProtokollDir, m_protocol.constFirst());
    }
    m_window.runWorking();
    m_context.RA2.open();
    m_window.runWorking();

    // A member: the record of a failure reads it after this function is left.
    m_plan = planSynchronisation(m_domain, m_context.Liste, m_context.routes.rows(),
                                 m_context.RA2.rows());
    const SyncPlan& plan = m_plan;
    refuse(plan, listFile);
    if (guards.record != nullptr) {
        guards.record->planned(plan);
    }
    int stored = 0;
    // A breath takes in an Escape pressed while the plan was made, so that
    // it stops the run before its first change.
    m_window.runWaiting();
    if (guards.dryRun) {
        // The status bar offers Escape here too: a preview cut short is no
        // preview, so it saves nothing that could pass for one.
        for (const PlannedChange& change : plan.changes) {
            if (stopAsked()) {
                controls.finish();
                if (guards.record != nullptr) {
                    guards.record->end();
                }
                m_window.setZaehler(QStringLiteral("Testlauf abgebrochen"));
                m_context.log.logStopSignal();
                m_context.log.LogMessage(
                    QStringLiteral("Testlauf abgebrochen: es wurde nichts geändert"));
                return;
            }
            addProtocolLine(change.protocolLine());
            m_window.runWorking();
        }
    } else {
        stored = apply(plan);
    }
    m_window.runWorking(); // the last lines show while the run still works

    controls.finish();
    if (m_context.reloadAddresses) {
        m_context.reloadAddresses();
    }
    if (stored < static_cast<int>(plan.changes.size()) && !guards.dryRun) {
        stopped(plan, stored);
        return;
    }
    writeProtocolFile(guards.dryRun ? ProtocolKind::DryRun : ProtocolKind::Completed);
    if (guards.record != nullptr) {
        guards.record->end();
    }
    // A completed run counts the pane's lines, its file line included, as
    // it always has; a preview counts the changes it would make.
    m_window.setZaehler(guards.dryRun
                            ? QStringLiteral("%1 Änderungen geplant").arg(plan.changes.size())
                            : QStringLiteral("%1 Änderungen").arg(m_protocol.size()));
    m_context.log.LogMessage(QStringLiteral("Ende DBsync"));
}

void SyncRun::readList(const QString& listFile, const ExceptionList& exceptions) {
    QStringList lines = TextFile::readLines(listFile);
    NulLines::refuse(lines, QStringLiteral("Adressliste"));
    m_context.Liste.assign(std::move(lines));
    m_window.runWorking();
    exceptions.apply(m_context.Liste);
    m_window.runWorking();
}

void SyncRun::refuse(const SyncPlan& plan, const QString& listFile) const {
    for (const PlannedChange& change : plan.changes) {
        if (change.kind != PlannedChange::Kind::Insert) {
            continue;
        }
        const QString why = whyUnstorable(change.address, m_context.RA2);
        if (why.isEmpty()) {
            continue;
        }
        // The list keeps the file's order, its excepted lines "-", until
        // "Ausnahme hinzufügen" sorts it; only then is the file read again.
        const QStringList lines =
            m_context.Liste.sorted() ? TextFile::readLines(listFile) : m_context.Liste.lines();
        const qsizetype line = lines.indexOf(change.address) + 1;
        QString shown = change.address.left(40);
        if (shown.back().isHighSurrogate()) {
            shown.chop(1); // not half a character
        }
        const bool cut = m_context.RA2.tooLong(change.address);
        throw TarveloError(
            QStringLiteral("Zeile %1 der Adressliste %2: \"%3%4\". Es wurde nichts geändert")
                .arg(line)
                .arg(why, OneLine::forLog(shown), cut ? QStringLiteral("...") : QString()));
    }
    // A batch that fails is rolled back: on a table without transactions its
    // changes would stay, and the record, which lists what was committed,
    // would not name them.
    const QString& engine = m_context.RA2.engineWithoutTransactions();
    if (m_context.guards.batch > 0 && !engine.isEmpty()) {
        throw TarveloError(QStringLiteral("/batch: braucht Transaktionen, doch die Tabelle "
                                          "hm_routeaddresses (%1) kennt keine. Es wurde nichts "
                                          "geändert")
                               .arg(engine));
    }
    const std::optional<DeleteLimit>& limit = m_context.guards.maxDelete;
    if (limit && limit->exceededBy(plan.deletions, plan.rowsInFilter)) {
        throw TarveloError(limit->refusal(plan.deletions, plan.rowsInFilter, m_domain));
    }
}

int SyncRun::apply(const SyncPlan& plan) {
    RunRecord* record = m_context.guards.record;
    int shown = 0;
    int inHand = -1;
    int inHandEnd = -1;
    const ApplyHooks hooks{
        .inHand =
            [&](int change) {
                inHand = change;
                inHandEnd = change + 1;
                if (record != nullptr) {
                    record->progress(shown, change);
                }
                m_window.runWorking();
            },
        .committing =
            [&](int first, int end) {
                inHand = first;
                inHandEnd = end;
                if (record != nullptr) {
                    record->progress(shown, first, end);
                }
            },
        .stored =
            [&](int stored) {
                // The pane shows what is in the table.
                for (; shown < stored; ++shown) {
                    addProtocolLine(plan.changes[static_cast<size_t>(shown)].protocolLine());
                }
                inHand = -1;
                if (record != nullptr) {
                    record->progress(stored, -1);
                }
            },
        .stopRequested = [&] { return stopAsked(); },
    };
    try {
        return applyPlan(plan, m_context.RA2, m_context.guards.batch, hooks);
    } catch (const TarveloError&) {
        // The pane ends with the changes in hand, as the record does: the
        // change that failed, or a transaction whose commit went unanswered.
        for (int i = inHand; i >= 0 && i < inHandEnd; ++i) {
            addProtocolLine(plan.changes[static_cast<size_t>(i)].protocolLine());
        }
        throw;
    }
}

void SyncRun::stopped(const SyncPlan& plan, int stored) {
    const QString closing = QStringLiteral("Abgebrochen nach %1 von %2 geplanten Änderungen")
                                .arg(stored)
                                .arg(plan.changes.size());
    // Said before the record is written: a record that cannot be written
    // must not hide that the run was stopped.
    m_window.setZaehler(QStringLiteral("%1 Änderungen, abgebrochen").arg(stored));
    m_context.log.logStopSignal();
    m_context.log.LogMessage(QStringLiteral("Synchronisation abgebrochen: %1 von %2 Änderungen "
                                            "gemacht")
                                 .arg(stored)
                                 .arg(plan.changes.size()));
    RunRecord* record = m_context.guards.record;
    if (record != nullptr) {
        record->writeStop(closing, m_context.clock.now());
    }
}

void SyncRun::writeProtocolFile(ProtocolKind kind) {
    if (m_context.ProtokollDir.isEmpty()) {
        return;
    }
    if (!m_protocol.isEmpty()) {
        writeProtocol(m_context.ProtokollDir, m_context.clock.now(), kind, m_protocol);
    }
}

void SyncRun::refuseUnwritableProtocol() const {
    if (m_context.ProtokollDir.isEmpty()) {
        return;
    }
    const QDateTime now = m_context.clock.now();
    const QString path =
        m_context.ProtokollDir + protocolFileName(now.date(), now.time(), ProtocolKind::Completed);
    // The record of a stopped run has the longest name: a prefix that
    // leaves room for the protocol only would lose it.
    const QString longest =
        m_context.ProtokollDir + protocolFileName(now.date(), now.time(), ProtocolKind::Stopped);
    // The message names the file that cannot be made.
    for (const QString& name : {path, longest}) {
        if (!NativeFile::canCreateBeside(name)) {
            throw TarveloError(
                QStringLiteral("Datei %1 kann nicht erstellt werden. Es wurde nichts geändert")
                    .arg(name));
        }
    }
}

void SyncRun::addProtocolLine(const QString& line) {
    m_protocol.append(line);
    m_window.addProtokollLine(m_protocol.constLast());
}

} // namespace

void runSynchronisation(SyncContext& context) {
    SyncRun(context).run();
}
