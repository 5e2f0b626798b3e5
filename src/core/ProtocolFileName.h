#pragma once

#include <QDate>
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
