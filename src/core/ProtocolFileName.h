#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

// The files a synchronisation run leaves in the protocol directory: the
// protocol of a completed run, that of a dry run, the record of a failed
// run and that of a run stopped in the window.
enum class ProtocolKind { Completed, DryRun, Failed, Stopped };

// "hmail-YYYYMMDD-HHMMSS.log" for a date read and a time read after it, with
// "-test", "-fehler" or "-abbruch" before ".log" for the other kinds.
QString protocolFileName(const QDate& date, const QTime& time,
                         ProtocolKind kind = ProtocolKind::Completed);

// Where in dir (ending in its separator, or a name prefix) the file of a run
// ending at moment goes: the name of that moment, or where an earlier run's
// file holds it, that of the next second whose name is free. The protocol is
// the only account of what a run changed, and two runs can end at the same
// local time: one after the other in the same second, or an hour apart in
// the hour the clocks go back.
QString unusedProtocolPath(const QString& dir, const QDateTime& moment, ProtocolKind kind);
