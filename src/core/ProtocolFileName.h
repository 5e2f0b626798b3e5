#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTime>

// The files a synchronisation run leaves in the protocol directory: the
// protocol of a completed run, that of a dry run, the record of a failed
// run and that of a run stopped in the window.
enum class ProtocolKind { Completed, DryRun, Failed, Stopped };

// "hmail-YYYYMMDD-HHMMSS.log" for a date read and a time read after it, with
// "-test", "-fehler" or "-abbruch" before ".log" for the other kinds.
QString protocolFileName(const QDate& date, const QTime& time,
                         ProtocolKind kind = ProtocolKind::Completed);

// Writes the lines as the file in dir (ending in its separator, or a name
// prefix) of a run ending at moment: under the name of that moment, or where
// another run's file holds it, that of the next second whose name is free.
// The protocol is the only account of what a run changed, and two runs can
// end at the same local time: one after the other in the same second, two
// installations sharing the folder at once, or an hour apart in the hour the
// clocks go back. Raises "Datei … kann nicht erstellt werden", nothing left
// at the name.
void writeProtocol(const QString& dir, const QDateTime& moment, ProtocolKind kind,
                   const QStringList& lines);
