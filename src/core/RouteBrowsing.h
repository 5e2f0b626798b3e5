#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class AddressDataset;
class RoutesDataset;

// The addresses of the current route in the dataset `Address`, and their
// export to a text file.
namespace RouteBrowsing {
// The query text that selects the addresses of one route.
QStringList addressQuery(qint64 routeId);

// Loads the addresses of the current route of routes into Address (route id
// 0 without a current row). Raises DbError.
void loadAddresses(const RoutesDataset& routes, AddressDataset& Address);

// The name the save dialog proposes: the domain name of the route whose
// addresses Address holds, and ".txt". The keyboard moves the current route
// without loading its addresses, so the file is named after the addresses it
// gets, not after the highlighted route. Before any route was loaded, the
// current route's name (empty without a current row); a loaded route that was
// deleted since keeps its name, for the grid still shows its addresses. A
// character no file name may hold (a path separator, a quotation mark, one
// of : * ? < > | or a control character) is proposed as '_'.
QString exportFileName(const RoutesDataset& routes, const AddressDataset& Address);

// Writes the rows of Address, first to last, one address per line, each
// ended by CR LF, in Windows-1252 ('?' for characters it lacks). An existing
// file is replaced; a route without addresses gives an empty file. Address
// stands at its end afterwards. A file that cannot be created or written
// raises IoError ("Dateizugriff verweigert", "E/A-Fehler %d", ...); a file
// left incomplete by a failed write, or by any other failure on the way, is
// removed. Address not open raises DbError before any file is touched.
void exportAddresses(AddressDataset& Address, const QString& path);

// The save dialog: shown with the proposed file name; the chosen path, or no
// value when the user cancels.
using SaveDialog = std::function<std::optional<QString>(const QString& proposedName)>;

// The whole export command: propose, ask, write. Cancelling writes nothing.
// Returns whether a file was written.
bool runExportCommand(const RoutesDataset& routes, AddressDataset& Address, const SaveDialog& ask);
} // namespace RouteBrowsing
