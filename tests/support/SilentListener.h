#pragma once

// A TCP socket on 127.0.0.1 that takes connections (the kernel completes
// them) and never answers: a server that has stopped responding.

#include <QString>

#include <arpa/inet.h>
#include <cstdlib>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

class SilentListener {
public:
    SilentListener() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_fd, 16) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            std::abort(); // no loopback: nothing a test could do
        m_port = ntohs(address.sin_port);
    }
    ~SilentListener() { ::close(m_fd); }
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;

    // "127.0.0.1/<port>", the server part of a database name.
    QString hostPort() const { return QStringLiteral("127.0.0.1/%1").arg(m_port); }

private:
    int m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    quint16 m_port = 0;
};
