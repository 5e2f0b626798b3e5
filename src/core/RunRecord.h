#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <mutex>

// What a synchronisation run has done so far, kept beside the pane, for the
// record of a run that fails: the pane goes with the process, and no
// protocol file is written then, so without it nobody could tell which
// changes reached the database. The watchdog of an unattended run reads it
// from its own thread.
class RunRecord {
public:
    // The run has written its protocol header; a record is due from now on
    // if it fails. An empty directory means no protocol files, and no record.
    void begin(const QString& protocolDir, const QString& header);
    void add(const QString& line);
    // The run completed: no record is due.
    void end();

    bool active() const;
    QStringList lines() const;

    // Writes "hmail-YYYYMMDD-HHMMSS-fehler.log" into the protocol directory:
    // the lines so far, then "Fehler: " and the message. Does nothing when no
    // record is due; raises the file's error when it cannot be written.
    void writeFailure(const QString& message, const QDateTime& now);

    static QString failureFileName(const QDateTime& now);

private:
    mutable std::mutex m_mutex;
    bool m_active = false;
    QString m_dir;
    QStringList m_lines;
};
