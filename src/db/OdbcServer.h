#pragma once

#include "db/ConnectionString.h"

#include <QSqlDatabase>

// The database system behind an open ODBC connection, for its lock and its
// bounds on waits. The driver names it (Qt reads its name through
// SQLGetInfo); a name Qt does not know, such as MariaDB's own driver's
// "MariaDB", the server tells by its version text. OtherOdbc when neither
// says.
ConnectionSettings::Server odbcServer(const QSqlDatabase& db);
