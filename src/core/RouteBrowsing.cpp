#include "core/RouteBrowsing.h"

#include "db/AddressDataset.h"
#include "db/RoutesDataset.h"
#include "platform/Ansi.h"
#include "platform/NativeFile.h"
#include "platform/TarveloError.h"

namespace {

constexpr qsizetype kChunk = 64 * 1024;

// While the export walks the addresses the grid stays where it is: following
// every row would scroll and repaint it once per address. Afterwards it
// shows the dataset's end, where the walk left it.
class ControlsDisabled {
public:
    explicit ControlsDisabled(AddressDataset& Address) : m_address(Address) {
        m_address.disableControls();
    }
    ~ControlsDisabled() { m_address.enableControls(); }
    ControlsDisabled(const ControlsDisabled&) = delete;
    ControlsDisabled& operator=(const ControlsDisabled&) = delete;

private:
    AddressDataset& m_address;
};

// A route's name is the mail server's text, not a file name. A slash or
// backslash in it would send the export into another folder, a quotation
// mark makes the save dialog keep only the part after it (the export of
// another route could be overwritten unasked), and the other characters
// Windows refuses in a name (':' even names a stream there) fail or mislead.
// Each becomes '_': the file is written where the dialog shows, under the
// name it shows. A domain name holds none of them.
QString asFileName(QString name) {
    static constexpr QStringView kRefused = u"\\/:*?\"<>|";
    for (QChar& c : name) {
        if (c.unicode() < 0x20 || kRefused.contains(c)) {
            c = u'_';
        }
    }
    return name;
}

} // namespace

QStringList RouteBrowsing::addressQuery(qint64 routeId) {
    return {QStringLiteral("select routeaddressaddress from hm_routeaddresses"),
            QStringLiteral("where routeaddressrouteid = %1").arg(routeId),
            QStringLiteral("order by routeaddressaddress")};
}

void RouteBrowsing::loadAddresses(const RoutesDataset& routes, AddressDataset& Address) {
    const qint64 routeId = routes.routesrouteid();
    Address.close();
    Address.setQuery(addressQuery(routeId), routeId, routes.routesroutedomainname());
    Address.open();
}

QString RouteBrowsing::exportFileName(const RoutesDataset& routes, const AddressDataset& Address) {
    const QString route =
        Address.routeId() < 0 ? routes.routesroutedomainname() : Address.routeName();
    return asFileName(route) + QStringLiteral(".txt");
}

void RouteBrowsing::exportAddresses(AddressDataset& Address, const QString& path) {
    if (!Address.isOpen()) {
        throw DbError::notOpen();
    }
    NativeFile::Output file(path);
    const ControlsDisabled still(Address);
    QByteArray buffer;
    buffer.reserve(kChunk + 1024);
    for (Address.first(); !Address.eof(); Address.next()) {
        buffer += Ansi::encode(Address.Addressrouteaddressaddress());
        buffer += "\r\n";
        if (buffer.size() >= kChunk) {
            file.write(buffer);
            buffer.clear();
        }
    }
    file.write(buffer);
    file.close();
}

bool RouteBrowsing::runExportCommand(const RoutesDataset& routes, AddressDataset& Address,
                                     const SaveDialog& ask) {
    const std::optional<QString> path = ask(exportFileName(routes, Address));
    if (!path) {
        return false;
    }
    exportAddresses(Address, *path);
    return true;
}
