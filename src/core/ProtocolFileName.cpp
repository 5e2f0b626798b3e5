#include "core/ProtocolFileName.h"

#include "core/Mtools.h"

#include "platform/NativeFile.h"
#include "platform/TarveloError.h"
#include "platform/TextFile.h"

#include <QFile>

namespace {

QString kindSuffix(ProtocolKind kind) {
    switch (kind) {
    case ProtocolKind::Completed:
        break;
    case ProtocolKind::DryRun:
        return QStringLiteral("-test");
    case ProtocolKind::Failed:
        return QStringLiteral("-fehler");
    case ProtocolKind::Stopped:
        return QStringLiteral("-abbruch");
    }
    return QString();
}

} // namespace

QString protocolFileName(const QDate& date, const QTime& time, ProtocolKind kind) {
    return QStringLiteral("hmail-") + QString::number(date.year()) + Mtools::PadTwo(date.month()) +
           Mtools::PadTwo(date.day()) + QStringLiteral("-") + Mtools::PadTwo(time.hour()) +
           Mtools::PadTwo(time.minute()) + Mtools::PadTwo(time.second()) + kindSuffix(kind) +
           QStringLiteral(".log");
}

void writeProtocol(const QString& dir, const QDateTime& moment, ProtocolKind kind,
                   const QStringList& lines) {
    for (QDateTime name = moment;; name = name.addSecs(1)) {
        // One reading of the moment: read twice around midnight, the name
        // would carry the old day's date with the new day's time.
        const QString path = dir + protocolFileName(name.date(), name.time(), kind);
        // The name is held by an empty file before the protocol takes its
        // place: another run looking at the folder meanwhile passes it over.
        const NativeFile::Claim claim = NativeFile::claimName(path);
        if (claim == NativeFile::Claim::Taken) {
            continue;
        }
        try {
            TextFile::replaceLinesNoFollow(path, lines);
        } catch (const TarveloError&) {
            if (claim == NativeFile::Claim::Made) {
                QFile::remove(path);
            }
            throw;
        }
        return;
    }
}
