#include "core/RouteBrowsing.h"

#include "db/AddressDataset.h"
#include "db/RoutesDataset.h"
#include "platform/Ansi.h"
#include "platform/NativeFile.h"
#include "platform/TarveloError.h"

namespace {

constexpr qsizetype kChunk = 64 * 1024;

} // namespace

QStringList RouteBrowsing::addressQuery(qint64 routeId) {
    return {QStringLiteral("select routeaddressaddress from hm_routeaddresses"),
            QStringLiteral("where routeaddressrouteid = %1").arg(routeId),
            QStringLiteral("order by routeaddressaddress")};
}

void RouteBrowsing::loadAddresses(const RoutesDataset& routes, AddressDataset& Address) {
    const qint64 routeId = routes.routesrouteid();
    Address.close();
    Address.setQuery(addressQuery(routeId), routeId);
    Address.open();
}

QString RouteBrowsing::exportFileName(const RoutesDataset& routes, const AddressDataset& Address) {
    const qint64 loaded = Address.routeId();
    if (loaded < 0 || loaded == routes.routesrouteid()) {
        return routes.routesroutedomainname() + QStringLiteral(".txt");
    }
    for (int i = 0; i < routes.rowCount(); ++i) {
        if (routes.row(i).routeid == loaded) {
            return routes.row(i).routedomainname + QStringLiteral(".txt");
        }
    }
    return QStringLiteral(".txt");
}

void RouteBrowsing::exportAddresses(AddressDataset& Address, const QString& path) {
    if (!Address.isOpen()) {
        throw DbError::notOpen();
    }
    NativeFile::Output file(path);
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
