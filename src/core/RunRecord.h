#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <memory>
#include <mutex>

struct SyncPlan;

// What a synchronisation run has done so far, for the record of a run that
// fails or is stopped: the pane goes with the process, and no protocol file
// is written then, so without it nobody could tell which changes reached the
// database. The watchdog of an unattended run writes it from its own thread.
class RunRecord {
public:
    // The run has written its protocol header; a record is due from now on
    // if it fails. An empty directory means no protocol files, and no record.
    void begin(const QString& protocolDir, const QString& header);
    // The plan the run applies; it stays unchanged until end(). Raises
    // std::bad_alloc, before the first change, when the memory the record of
    // every change would take is not to be had.
    void planned(const SyncPlan& plan);
    // The plan's first `stored` changes are in the database; the change
    // `inHand` is being made (-1: none), or with `inHandEnd` the changes from
    // `inHand` up to it, a transaction being committed.
    void progress(int stored, int inHand, int inHandEnd = -1);
    // How many changes the transaction being committed holds; 0 when none is.
    int changesBeingCommitted() const;
    // The run completed: no record is due.
    void end();

    bool active() const;

    // Writes "hmail-YYYYMMDD-HHMMSS-fehler.log": the header, the stored
    // changes, the changes in hand, and "Fehler: " with the message. Does
    // nothing when no record is due; raises the file's error when it cannot
    // be written, after putting its lines on standard error.
    void writeFailure(const QString& message, const QDateTime& now);
    // Writes "hmail-YYYYMMDD-HHMMSS-abbruch.log": the header, the stored
    // changes and the closing line; as writeFailure when it cannot be written.
    void writeStop(const QString& closing, const QDateTime& now);

private:
    // The header and the stored changes, then the change in hand if asked,
    // and the directory; ends the record. Empty when none is due.
    QStringList takeLines(bool withChangeInHand, QString& dir);

    mutable std::mutex m_mutex;
    bool m_active = false;
    QString m_dir;
    QString m_header;
    const SyncPlan* m_plan = nullptr;
    int m_stored = 0;
    int m_inHand = -1;
    int m_inHandEnd = -1;
    // Kept back from the plan on, and let go when the record is written: a
    // run that fails because memory ran out still finds room for the record
    // of the changes it made. Never touched, so it takes no real memory.
    std::unique_ptr<char[]> m_reserve;
};
