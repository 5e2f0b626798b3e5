#pragma once

#include <QString>

class Database;
class RoutesDataset;

// Start-up's connection: the connection string read from the configuration
// file, the database opened, the routes read. A failure raises DbError whose
// German message says which file or which part of the connection string is
// at fault, with the driver's own text set apart after it.
namespace DatabaseStart {
void open(Database& database, RoutesDataset& routes, const QString& iniFile);

// What Start and the export say when the database is not connected: that, and
// why (the message of the failed start, when there was one; without one, the
// connection the start opened has been lost).
QString notConnected(const QString& startFailure);
} // namespace DatabaseStart
