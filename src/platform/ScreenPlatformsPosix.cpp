#include "platform/ScreenPlatforms.h"

#include "platform/Descriptor.h"

#include <QStringList>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// An X server answers a connection's first request in milliseconds, also
// through a forwarded display over a slow line.
constexpr std::chrono::seconds kAnswerBound(5);

// Waits until the socket is ready for `events` or the deadline has passed.
bool waitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
        if (ready > 0) {
            return true;
        }
        if (ready == 0 || errno != EINTR) {
            return false;
        }
    }
}

enum class Reach { Connected, Refused, Silent };

// The connection's first request, for a protocol version no server speaks:
// every server refuses it at once, and the probe never becomes a client,
// whose leaving would make a server without other clients start afresh
// just as the toolkit connects. Any reply, or the connection closed, is an
// answer.
bool repliesToSetup(int fd, Clock::time_point deadline) {
    const unsigned char setup[12] = {'l', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    if (::send(fd, setup, sizeof setup, MSG_NOSIGNAL) != sizeof setup) {
        return true; // closed already: the toolkit fails at once
    }
    return waitFor(fd, POLLIN, deadline);
}

// Connects to one address of the server and asks it.
Reach reach(int family, const sockaddr* address, socklen_t length, Clock::time_point deadline) {
    const Descriptor socket(::socket(family, SOCK_STREAM, 0));
    const int fd = socket.fd();
    if (fd < 0 || ::fcntl(fd, F_SETFL, O_NONBLOCK) != 0) {
        return Reach::Refused;
    }
    if (::connect(fd, address, length) != 0) {
        if (errno != EINPROGRESS && errno != EAGAIN) {
            return Reach::Refused;
        }
        if (!waitFor(fd, POLLOUT, deadline)) {
            return Reach::Silent;
        }
        int error = 0;
        socklen_t size = sizeof error;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
        if (error != 0) {
            return Reach::Refused;
        }
    }
    return repliesToSetup(fd, deadline) ? Reach::Connected : Reach::Silent;
}

Reach reachLocal(int display, Clock::time_point deadline) {
    const std::string path = "/tmp/.X11-unix/X" + std::to_string(display);
    // Linux servers listen under the abstract name first, as the client
    // library tries them.
    Reach found = Reach::Refused;
    for (const bool abstract : {true, false}) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path + (abstract ? 1 : 0), path.data(), path.size());
        const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() +
                                                   (abstract ? 1 : 0));
        found = reach(AF_UNIX, reinterpret_cast<const sockaddr*>(&address), length, deadline);
        if (found != Reach::Refused) {
            break;
        }
    }
    return found;
}

Reach reachRemote(const QByteArray& host, int display, Clock::time_point deadline) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* addresses = nullptr;
    const std::string port = std::to_string(6000 + display);
    if (::getaddrinfo(host.constData(), port.c_str(), &hints, &addresses) != 0) {
        return Reach::Refused;
    }
    Reach found = Reach::Refused;
    for (const addrinfo* entry = addresses; entry != nullptr && found == Reach::Refused;
         entry = entry->ai_next) {
        found = reach(entry->ai_family, entry->ai_addr, entry->ai_addrlen, deadline);
    }
    ::freeaddrinfo(addresses);
    return found;
}

// DISPLAY as "[protocol/][host]:number[.screen]"; forms this probe does not
// know are left to the toolkit.
bool xServerSilent(const QByteArray& display) {
    const qsizetype colon = display.lastIndexOf(':');
    if (colon < 0) {
        return false;
    }
    QByteArray host = display.left(colon);
    const QByteArray number = display.mid(colon + 1).split('.').constFirst();
    bool isNumber = false;
    const int n = number.toInt(&isNumber);
    if (!isNumber || n < 0 || n > 59535) {
        return false;
    }
    QByteArray protocol;
    if (const qsizetype slash = host.indexOf('/'); slash >= 0) {
        protocol = host.left(slash);
        host = host.mid(slash + 1);
    }
    if (host.startsWith('[') && host.endsWith(']')) {
        host = host.mid(1, host.size() - 2);
    }
    const auto deadline = Clock::now() + kAnswerBound;
    if (protocol == "unix" || (protocol.isEmpty() && (host.isEmpty() || host == "unix"))) {
        return reachLocal(n, deadline) == Reach::Silent;
    }
    if (protocol.isEmpty() || protocol == "tcp" || protocol == "inet" || protocol == "inet6") {
        return reachRemote(host, n, deadline) == Reach::Silent;
    }
    return false;
}

} // namespace

QByteArrayList ScreenPlatforms::available() {
    QByteArrayList platforms;
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) {
        platforms.append("xcb");
    }
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        platforms.append("wayland");
    }
    return platforms;
}

// A platform named here may bring a screen of its own (a frame buffer).
bool ScreenPlatforms::hidden() {
    return false;
}

// No desktop here hands a program a show command.
bool ScreenPlatforms::startsMinimised() {
    return false;
}

bool ScreenPlatforms::answers(const QByteArray& platform) {
    if (platform.split(':').constFirst().trimmed().toLower() != "xcb") {
        return true;
    }
    return !xServerSilent(qgetenv("DISPLAY"));
}

QString ScreenPlatforms::description() {
    QStringList displays;
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        if (!qEnvironmentVariableIsEmpty(variable)) {
            displays.append(QString::fromLatin1(variable) + u'=' + qEnvironmentVariable(variable));
        }
    }
    return displays.isEmpty() ? QStringLiteral("kein DISPLAY gesetzt") : displays.join(u", ");
}

QString ScreenPlatforms::textViewerSetting() {
    return QStringLiteral("Paket xdg-utils");
}
