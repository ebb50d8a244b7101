// Host-side loopback peers for the socket device's tests: listeners, clients and small
// servers that run on their own threads while the device or a guest program talks to them.
#pragma once

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace loopback {

inline sockaddr_in address(uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// A socket that closes itself.
struct Fd {
    int fd = -1;
    Fd() = default;
    explicit Fd(int f) : fd(f) {}
    Fd(Fd&& o) noexcept : fd(o.fd) { o.fd = -1; }
    Fd& operator=(Fd&& o) noexcept
    {
        reset();
        fd = o.fd;
        o.fd = -1;
        return *this;
    }
    ~Fd() { reset(); }
    void reset()
    {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
};

inline uint16_t localPort(int fd)
{
    sockaddr_in a{};
    socklen_t l = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &l);
    return ntohs(a.sin_port);
}

// A TCP listener on 127.0.0.1 at a port the host chooses.
inline Fd listenTcp(int backlog = 64)
{
    Fd s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    int one = 1;
    setsockopt(s.fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a = address(0);
    if (::bind(s.fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(s.fd, backlog) != 0)
        throw std::runtime_error("cannot listen on loopback");
    return s;
}

inline Fd bindUdp()
{
    Fd s(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    sockaddr_in a = address(0);
    if (::bind(s.fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) throw std::runtime_error("cannot bind UDP");
    return s;
}

// A port on which nothing listens (it was free a moment ago).
inline uint16_t closedPort()
{
    Fd s = listenTcp();
    return localPort(s.fd);
}

inline Fd connectTcp(uint16_t port)
{
    Fd s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in a = address(port);
    if (::connect(s.fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) s.reset();
    return s;
}

// A connection attempt that goes on in the background.
inline Fd connectTcpInBackground(uint16_t port)
{
    Fd s(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    sockaddr_in a = address(port);
    (void)::connect(s.fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    return s;
}

inline bool sendAll(int fd, const void* data, size_t length)
{
    auto p = static_cast<const uint8_t*>(data);
    while (length > 0) {
        ssize_t n = ::send(fd, p, length, MSG_NOSIGNAL);
        if (n <= 0) return false;
        p += n;
        length -= size_t(n);
    }
    return true;
}

inline bool sendAll(int fd, const std::string& text) { return sendAll(fd, text.data(), text.size()); }

// Reads until the peer closes or `limit` bytes came.
inline std::string receiveAll(int fd, size_t limit = SIZE_MAX)
{
    std::string out;
    char buffer[65536];
    while (out.size() < limit) {
        ssize_t n = ::recv(fd, buffer, std::min(sizeof buffer, limit - out.size()), 0);
        if (n <= 0) break;
        out.append(buffer, size_t(n));
    }
    return out;
}

// A TCP echo server on its own thread: every connection gets back what it sends, from a
// single poll loop, so that many connections cost no threads. Counts the bytes it echoed.
class EchoServer {
public:
    EchoServer() : listener_(listenTcp(4096)), port_(localPort(listener_.fd))
    {
        if (::pipe2(wake_, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        thread_ = std::thread([this] { run(); });
    }
    ~EchoServer()
    {
        char c = 0;
        (void)!::write(wake_[1], &c, 1);
        thread_.join();
        ::close(wake_[0]);
        ::close(wake_[1]);
    }
    uint16_t port() const { return port_; }
    uint64_t bytesEchoed() const { return echoed_.load(); }
    size_t connectionsSeen() const { return accepted_.load(); }
    // Everything received from the first connection (for checking what the guest sent).
    std::string firstConnectionData() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return first_;
    }

private:
    struct Peer {
        int fd;
        std::string pending;
        bool first;
    };

    void run()
    {
        std::vector<Peer> peers;
        std::vector<char> buffer(65536);
        while (true) {
            std::vector<pollfd> fds;
            fds.push_back({wake_[0], POLLIN, 0});
            fds.push_back({listener_.fd, POLLIN, 0});
            for (Peer& p : peers) fds.push_back({p.fd, short(POLLIN | (p.pending.empty() ? 0 : POLLOUT)), 0});
            if (::poll(fds.data(), fds.size(), 1000) < 0 && errno != EINTR) break;
            if (fds[0].revents) break;
            // Peers accepted below were not in this poll.
            size_t polled = peers.size();
            if (fds[1].revents & POLLIN) {
                int c = ::accept4(listener_.fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
                if (c >= 0) {
                    peers.push_back({c, {}, accepted_.load() == 0});
                    ++accepted_;
                }
            }
            for (size_t i = 0; i < polled; ++i) {
                Peer& p = peers[i];
                short re = fds[i + 2].revents;
                bool drop = false;
                if (re & POLLOUT) {
                    ssize_t n = ::send(p.fd, p.pending.data(), p.pending.size(), MSG_NOSIGNAL);
                    if (n > 0) {
                        p.pending.erase(0, size_t(n));
                        echoed_ += uint64_t(n);
                    }
                }
                // Reading stops while much is unsent, so a slow reader slows its writer.
                if ((re & (POLLIN | POLLHUP | POLLERR)) && p.pending.size() < (1u << 20)) {
                    ssize_t n = ::recv(p.fd, buffer.data(), buffer.size(), 0);
                    if (n > 0) {
                        p.pending.append(buffer.data(), size_t(n));
                        if (p.first) {
                            std::lock_guard<std::mutex> lock(mutex_);
                            first_.append(buffer.data(), size_t(n));
                        }
                    } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                        drop = true;
                    }
                }
                if (drop) {
                    ::close(p.fd);
                    peers.erase(peers.begin() + long(i));
                    fds.erase(fds.begin() + long(i) + 2);
                    --polled;
                    --i;
                }
            }
        }
        for (Peer& p : peers) ::close(p.fd);
    }

    Fd listener_;
    uint16_t port_;
    int wake_[2] = {-1, -1};
    std::thread thread_;
    std::atomic<uint64_t> echoed_{0};
    std::atomic<size_t> accepted_{0};
    mutable std::mutex mutex_;
    std::string first_;
};

}  // namespace loopback
