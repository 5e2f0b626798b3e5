#include "db/ServerOdbc.h"

#include "platform/TarveloError.h"

ConnectionSettings ServerOdbc::forThisPlatform(const ConnectionSettings& parsed) {
    // SQL Server's driver here, FreeTDS, knows no strict encryption (TDS 8):
    // it would end the login with "Local configuration error".
    if (parsed.encryption.contains(QStringLiteral("Encrypt=strict"), Qt::CaseInsensitive)) {
        throw DbError(QStringLiteral("Encrypt=strict (TDS 8) kennt der SQL-Server-Treiber FreeTDS "
                                     "nicht; mit Encrypt=yes verschlüsselt er die Verbindung"));
    }
    return parsed;
}
