#pragma once

// A TCP relay on 127.0.0.1 in front of a real server that passes the
// server's first `budget` bytes of each connection on to the client and
// then goes silent, keeping both connections open: a network that stops
// delivering in the middle of an answer while the server itself is fine.
// The client's bytes keep flowing to the server throughout. Given a rate,
// it passes the server's bytes at most that fast (bytes a second, counted
// from the connection's start, a few KB ahead at most): a slow link.

#include <QString>

#include <arpa/inet.h>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

class StallingProxy {
public:
    StallingProxy(quint16 serverPort, size_t budget, size_t bytesPerSecond = 0)
        : m_serverPort(serverPort), m_budget(budget), m_rate(bytesPerSecond) {
        sockaddr_in address = loopback(0);
        socklen_t length = sizeof address;
        if (m_listener < 0 || ::pipe2(m_stop, O_CLOEXEC) != 0 ||
            ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_listener, 16) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            std::abort(); // no loopback: nothing a test could do
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { relay(); });
    }
    ~StallingProxy() {
        const char end = 0;
        [[maybe_unused]] auto written = ::write(m_stop[1], &end, 1);
        m_thread.join();
        for (const Link& link : m_links) {
            ::close(link.client);
            ::close(link.server);
        }
        ::close(m_listener);
        ::close(m_stop[0]);
        ::close(m_stop[1]);
    }
    StallingProxy(const StallingProxy&) = delete;
    StallingProxy& operator=(const StallingProxy&) = delete;

    // "127.0.0.1/<port>", the server part of a database name.
    QString hostPort() const { return QStringLiteral("127.0.0.1/%1").arg(m_port); }
    // Whether some connection has used up its budget and gone silent.
    bool stalled() const { return m_stalled; }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr size_t Burst = 4096;

    struct Link {
        int client;
        int server;
        Clock::time_point start = Clock::now();
        size_t delivered = 0;
        bool closed = false;
    };

    // How many of the server's bytes the link may pass on now.
    size_t allowance(const Link& link) const {
        size_t allowed = m_budget;
        if (m_rate) {
            const double seconds = std::chrono::duration<double>(Clock::now() - link.start).count();
            allowed = std::min(allowed, size_t(seconds * double(m_rate)) + Burst);
        }
        return allowed > link.delivered ? allowed - link.delivered : 0;
    }

    static sockaddr_in loopback(quint16 port) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        return address;
    }

    // Copies what one side has to the other; false when the side closed.
    static bool pass(int from, int to, size_t limit, size_t* count) {
        char buffer[4096];
        const ssize_t got = ::read(from, buffer, std::min(sizeof buffer, limit));
        if (got <= 0)
            return false;
        for (ssize_t sent = 0; sent < got;) {
            const ssize_t n = ::write(to, buffer + sent, size_t(got - sent));
            if (n <= 0)
                return false;
            sent += n;
        }
        if (count)
            *count += size_t(got);
        return true;
    }

    void relay() {
        for (;;) {
            std::vector<pollfd> watched{{m_stop[0], POLLIN, 0}, {m_listener, POLLIN, 0}};
            int timeout = -1;
            for (const Link& link : m_links) {
                if (link.closed)
                    continue;
                watched.push_back({link.client, POLLIN, 0});
                // A spent budget leaves the server's bytes where they are;
                // a spent rate, until the next few bytes are due.
                const bool due = allowance(link) > 0;
                watched.push_back({due ? link.server : -1, POLLIN, 0});
                if (!due && link.delivered < m_budget)
                    timeout = 5;
            }
            if (::poll(watched.data(), watched.size(), timeout) < 0)
                continue;
            if (watched[0].revents)
                return;
            // Only the links polled above: one accepted now has no slot yet.
            const size_t polled = m_links.size();
            if (watched[1].revents & POLLIN)
                accept();
            size_t slot = 2;
            for (size_t i = 0; i < polled; ++i) {
                Link& link = m_links[i];
                if (link.closed)
                    continue;
                const pollfd& fromClient = watched[slot++];
                const pollfd& fromServer = watched[slot++];
                if ((fromClient.revents & (POLLIN | POLLHUP)) &&
                    !pass(link.client, link.server, SIZE_MAX, nullptr))
                    link.closed = true;
                if (!link.closed && (fromServer.revents & (POLLIN | POLLHUP)) &&
                    !pass(link.server, link.client, allowance(link), &link.delivered))
                    link.closed = true;
                if (link.delivered >= m_budget)
                    m_stalled = true;
            }
        }
    }

    void accept() {
        const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            return;
        const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in address = loopback(m_serverPort);
        if (server < 0 ||
            ::connect(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(client);
            if (server >= 0)
                ::close(server);
            return;
        }
        m_links.push_back({client, server});
    }

    quint16 m_serverPort;
    size_t m_budget;
    size_t m_rate;
    int m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int m_stop[2] = {-1, -1};
    quint16 m_port = 0;
    std::atomic<bool> m_stalled{false};
    std::vector<Link> m_links; // the relay thread's own until it ends
    std::thread m_thread;
};
