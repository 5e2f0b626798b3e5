#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

// A listening socket on 127.0.0.1 that nobody accepts from: the kernel
// completes each connection, and no byte ever comes back, as from a frozen
// server. On a port the system chooses, or the first free one of a range
// (an X display's 6000 + n).
class SilentListener {
public:
    explicit SilentListener(int firstPort = 0, int lastPort = 0) {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        for (int port = firstPort; m_fd >= 0 && port <= lastPort && m_port == 0; ++port) {
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(static_cast<uint16_t>(port));
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            socklen_t length = sizeof address;
            if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
                ::listen(m_fd, 8) == 0 &&
                ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
                m_port = ntohs(address.sin_port);
            }
        }
        if (m_port == 0) {
            throw std::runtime_error("cannot listen on 127.0.0.1");
        }
    }
    ~SilentListener() { ::close(m_fd); }
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;
    int port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};
