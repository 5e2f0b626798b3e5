#include "core/ProtocolFileName.h"

#include "core/Mtools.h"

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
