#include "core/RouteBrowsing.h"

#include "db/AddressDataset.h"
#include "db/RoutesDataset.h"
#include "platform/Ansi.h"
#include "platform/TarveloError.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The export file while it is written. A write that fails closes it and
// removes it (a regular file only: never a device the user named).
class ExportFile {
public:
    explicit ExportFile(const QString& path) : m_name(QFile::encodeName(path)) {
        m_fd = ::open(m_name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (m_fd < 0) {
            throw IoError::fromErrno(errno);
        }
        struct stat info {};
        m_regular = ::fstat(m_fd, &info) == 0 && S_ISREG(info.st_mode);
    }
    ~ExportFile() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    ExportFile(const ExportFile&) = delete;
    ExportFile& operator=(const ExportFile&) = delete;

    void write(const QByteArray& bytes) {
        const char* data = bytes.constData();
        qsizetype left = bytes.size();
        while (left > 0) {
            const ssize_t written = ::write(m_fd, data, static_cast<size_t>(left));
            if (written < 0) {
                if (errno == EINTR) {
                    continue;
                }
                fail(errno);
            }
            if (written == 0) {
                fail(ENOSPC);
            }
            data += written;
            left -= written;
        }
    }

    void close() {
        const int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0) {
            const int err = errno;
            discard();
            throw IoError::fromErrno(err);
        }
    }

private:
    [[noreturn]] void fail(int err) {
        ::close(m_fd);
        m_fd = -1;
        discard();
        throw IoError::fromErrno(err);
    }
    void discard() {
        if (m_regular) {
            ::unlink(m_name.constData());
        }
    }

    QByteArray m_name;
    int m_fd = -1;
    bool m_regular = false;
};

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
    ExportFile file(path);
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
