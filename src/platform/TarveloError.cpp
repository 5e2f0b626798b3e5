#include "platform/TarveloError.h"

#include <cerrno>

TarveloError::TarveloError(QString message)
    : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}

IoError::IoError(int code, QString message) : TarveloError(std::move(message)), m_code(code) {}

IoError IoError::fromCode(int code) {
    switch (code) {
    case 2:
        return IoError(code, QStringLiteral("Datei nicht gefunden"));
    case 3:
        return IoError(code, QStringLiteral("Ungültiger Dateiname"));
    case 4:
        return IoError(code, QStringLiteral("Zu viele geöffnete Dateien"));
    case 5:
        return IoError(code, QStringLiteral("Dateizugriff verweigert"));
    case 233:
        return IoError(code, QStringLiteral("Niemand liest aus der Pipe"));
    default:
        return IoError(code, QStringLiteral("E/A-Fehler %1").arg(code));
    }
}

int IoError::windowsCodeFromErrno(int err) {
    switch (err) {
    case ENOENT:
        return 2;
    case ENAMETOOLONG:
    case ENOTDIR:
        return 3;
    case EMFILE:
    case ENFILE:
        return 4;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: // a folder where a file is wanted: Windows refuses access to it
        return 5;
    case ENOSPC:
    case EFBIG: // the file size limit: no more room for this file
#ifdef EDQUOT   // a disk quota: not known to the Windows runtime
    case EDQUOT:
#endif
        return 112;
    case EIO:
        return 1117; // a device error, not "access denied"
    case EINTR:
        return 95;
    case ENXIO: // a FIFO opened for writing that nobody reads from
    case EPIPE: // one whose reader has gone while it was written
        return 233;
    default:
        // errno numbers 2..5 mean other failures than the Windows codes of
        // the same numbers; any other errno is shown as it is.
        return (err >= 2 && err <= 5) ? 31 : err;
    }
}

IoError IoError::fromErrno(int err) {
    return fromCode(windowsCodeFromErrno(err));
}

DbError DbError::notOpen() {
    return DbError(QStringLiteral("Die Datenmenge ist nicht geöffnet"));
}

DbError DbError::noCurrentRow() {
    return DbError(QStringLiteral("Es gibt keinen aktuellen Datensatz"));
}
