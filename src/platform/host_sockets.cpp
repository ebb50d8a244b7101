#include "platform/host_sockets.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Guest flag bits that mean the same on every host.
constexpr uint32_t GuestOutOfBand = 1;
constexpr uint32_t GuestPeek = 2;
constexpr uint32_t GuestDontRoute = 4;

int lastError() { return socketErrorFromHost(errno); }

bool translateFlags(uint32_t guest, int& host)
{
    if (guest & ~(GuestOutOfBand | GuestPeek | GuestDontRoute)) return false;
    host = MSG_NOSIGNAL;  // a closed peer is an error result, never a signal
    if (guest & GuestOutOfBand) host |= MSG_OOB;
    if (guest & GuestPeek) host |= MSG_PEEK;
    if (guest & GuestDontRoute) host |= MSG_DONTROUTE;
    return true;
}

sockaddr_in toHost(const SocketAddress& a)
{
    sockaddr_in s{};
    s.sin_family = AF_INET;
    s.sin_port = htons(a.port);
    s.sin_addr.s_addr = htonl(a.ip);
    return s;
}

SocketAddress fromHost(const sockaddr_in& s)
{
    SocketAddress a;
    a.family = s.sin_family == AF_INET ? AddressFamilyIpv4 : uint16_t(s.sin_family);
    a.port = ntohs(s.sin_port);
    a.ip = ntohl(s.sin_addr.s_addr);
    return a;
}

// ---- options ---------------------------------------------------------------------------

namespace GuestLevel {
constexpr int32_t Socket = 0xFFFF;
constexpr int32_t Ip = 0;
constexpr int32_t Tcp = 6;
}  // namespace GuestLevel

enum class ValueForm { Int, Linger, Error };

struct OptionMap {
    int32_t guestLevel;
    int32_t guestName;
    int hostLevel;
    int hostName;
    ValueForm form;
};

constexpr OptionMap Options[] = {
    {GuestLevel::Socket, 0x0001, SOL_SOCKET, SO_DEBUG, ValueForm::Int},
    {GuestLevel::Socket, 0x0002, SOL_SOCKET, SO_ACCEPTCONN, ValueForm::Int},
    {GuestLevel::Socket, 0x0004, SOL_SOCKET, SO_REUSEADDR, ValueForm::Int},
    {GuestLevel::Socket, 0x0008, SOL_SOCKET, SO_KEEPALIVE, ValueForm::Int},
    {GuestLevel::Socket, 0x0010, SOL_SOCKET, SO_DONTROUTE, ValueForm::Int},
    {GuestLevel::Socket, 0x0020, SOL_SOCKET, SO_BROADCAST, ValueForm::Int},
    {GuestLevel::Socket, 0x0080, SOL_SOCKET, SO_LINGER, ValueForm::Linger},
    {GuestLevel::Socket, 0x0100, SOL_SOCKET, SO_OOBINLINE, ValueForm::Int},
    {GuestLevel::Socket, 0x1001, SOL_SOCKET, SO_SNDBUF, ValueForm::Int},
    {GuestLevel::Socket, 0x1002, SOL_SOCKET, SO_RCVBUF, ValueForm::Int},
    {GuestLevel::Socket, 0x1003, SOL_SOCKET, SO_SNDLOWAT, ValueForm::Int},
    {GuestLevel::Socket, 0x1004, SOL_SOCKET, SO_RCVLOWAT, ValueForm::Int},
    {GuestLevel::Socket, 0x1007, SOL_SOCKET, SO_ERROR, ValueForm::Error},
    {GuestLevel::Socket, 0x1008, SOL_SOCKET, SO_TYPE, ValueForm::Int},
    {GuestLevel::Ip, 3, IPPROTO_IP, IP_TOS, ValueForm::Int},
    {GuestLevel::Ip, 4, IPPROTO_IP, IP_TTL, ValueForm::Int},
    {GuestLevel::Tcp, 1, IPPROTO_TCP, TCP_NODELAY, ValueForm::Int},
};

const OptionMap* findOption(int32_t level, int32_t name)
{
    for (const OptionMap& o : Options)
        if (o.guestLevel == level && o.guestName == name) return &o;
    return nullptr;
}

// The guest's linger value: two 16-bit fields, on/off and seconds.
struct GuestLinger {
    uint16_t onOff;
    uint16_t seconds;
};

}  // namespace

int socketErrorFromHost(int e)
{
    switch (e) {
    case 0:
        return SocketError::None;
    case EINTR:
        return SocketError::Interrupted;
    case EACCES:
    case EPERM:
        return SocketError::Access;
    case EFAULT:
        return SocketError::Fault;
    case EINVAL:
        return SocketError::Invalid;
    case EMFILE:
    case ENFILE:
        return SocketError::TooManyFiles;
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    // A background connection is what the classic library calls "would block".
    case EINPROGRESS:
        return SocketError::WouldBlock;
    case EALREADY:
        return SocketError::Already;
    case EBADF:
    case ENOTSOCK:
        return SocketError::NotSocket;
    case EDESTADDRREQ:
        return SocketError::DestinationRequired;
    case EMSGSIZE:
        return SocketError::MessageSize;
    case EPROTOTYPE:
        return SocketError::ProtocolType;
    case ENOPROTOOPT:
        return SocketError::NoProtocolOption;
    case EPROTONOSUPPORT:
        return SocketError::ProtocolNotSupported;
    case ESOCKTNOSUPPORT:
        return SocketError::SocketTypeNotSupported;
    case EOPNOTSUPP:
        return SocketError::OperationNotSupported;
    case EPFNOSUPPORT:
        return SocketError::ProtocolFamilyNotSupported;
    case EAFNOSUPPORT:
        return SocketError::AddressFamilyNotSupported;
    case EADDRINUSE:
        return SocketError::AddressInUse;
    case EADDRNOTAVAIL:
        return SocketError::AddressNotAvailable;
    case ENETDOWN:
        return SocketError::NetworkDown;
    case ENETUNREACH:
        return SocketError::NetworkUnreachable;
    case ENETRESET:
        return SocketError::NetworkReset;
    case ECONNABORTED:
        return SocketError::ConnectionAborted;
    case ECONNRESET:
        return SocketError::ConnectionReset;
    case ENOBUFS:
    case ENOMEM:
        return SocketError::NoBuffers;
    case EISCONN:
        return SocketError::IsConnected;
    case ENOTCONN:
        return SocketError::NotConnected;
    // Sending on a connection whose sending side is gone.
    case EPIPE:
        return SocketError::Shutdown;
    case ETIMEDOUT:
        return SocketError::TimedOut;
    case ECONNREFUSED:
        return SocketError::ConnectionRefused;
    case EHOSTDOWN:
        return SocketError::HostDown;
    case EHOSTUNREACH:
        return SocketError::HostUnreachable;
    default:
        return SocketError::OtherBase + e;
    }
}

// Nothing to start on this host; a socket that cannot be had (a sandbox without network
// calls) leaves the device unusable, as a library that does not start would.
bool socketsStartUp()
{
    int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) return false;
    ::close(s);
    return true;
}

void socketsCleanUp() {}

HostSocket socketCreate(bool stream, int& error)
{
    int s = ::socket(AF_INET, (stream ? SOCK_STREAM : SOCK_DGRAM) | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    error = s < 0 ? lastError() : SocketError::None;
    return s < 0 ? NoSocket : s;
}

void socketClose(HostSocket s)
{
    if (s != NoSocket) ::close(s);
}

int socketConnect(HostSocket s, const SocketAddress& to)
{
    // Another family could mean "dissolve the connection" to the host.
    if (to.family != AddressFamilyIpv4) return SocketError::AddressFamilyNotSupported;
    sockaddr_in a = toHost(to);
    return ::connect(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0 ? 0 : lastError();
}

int socketBind(HostSocket s, const SocketAddress& local)
{
    if (local.family != AddressFamilyIpv4) return SocketError::AddressFamilyNotSupported;
    sockaddr_in a = toHost(local);
    return ::bind(s, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0 ? 0 : lastError();
}

int socketListen(HostSocket s, int backlog) { return ::listen(s, backlog) == 0 ? 0 : lastError(); }

int socketShutdown(HostSocket s, int how) { return ::shutdown(s, how) == 0 ? 0 : lastError(); }

HostSocket socketAccept(HostSocket s, SocketAddress& peer, int& error)
{
    sockaddr_in a{};
    socklen_t length = sizeof a;
    int n = ::accept4(s, reinterpret_cast<sockaddr*>(&a), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (n < 0) {
        error = lastError();
        return NoSocket;
    }
    error = SocketError::None;
    peer = fromHost(a);
    return n;
}

long socketSend(HostSocket s, const void* data, size_t length, uint32_t flags, int& error)
{
    int hostFlags = 0;
    if (!translateFlags(flags, hostFlags)) {
        error = SocketError::OperationNotSupported;
        return -1;
    }
    ssize_t n = ::send(s, data, length, hostFlags);
    error = n < 0 ? lastError() : SocketError::None;
    return long(n);
}

long socketReceive(HostSocket s, void* data, size_t length, uint32_t flags, int& error)
{
    int hostFlags = 0;
    if (!translateFlags(flags, hostFlags)) {
        error = SocketError::OperationNotSupported;
        return -1;
    }
    ssize_t n = ::recv(s, data, length, hostFlags);
    error = n < 0 ? lastError() : SocketError::None;
    return long(n);
}

long socketSendTo(HostSocket s, const void* data, size_t length, uint32_t flags, const SocketAddress& to, int& error)
{
    int hostFlags = 0;
    if (!translateFlags(flags, hostFlags)) {
        error = SocketError::OperationNotSupported;
        return -1;
    }
    if (to.family != AddressFamilyIpv4) {
        error = SocketError::AddressFamilyNotSupported;
        return -1;
    }
    sockaddr_in a = toHost(to);
    ssize_t n = ::sendto(s, data, length, hostFlags, reinterpret_cast<const sockaddr*>(&a), sizeof a);
    error = n < 0 ? lastError() : SocketError::None;
    return long(n);
}

long socketReceiveFrom(HostSocket s, void* data, size_t length, uint32_t flags, SocketAddress& from, int& error)
{
    int hostFlags = 0;
    if (!translateFlags(flags, hostFlags)) {
        error = SocketError::OperationNotSupported;
        return -1;
    }
    sockaddr_in a{};
    socklen_t alen = sizeof a;
    ssize_t n = ::recvfrom(s, data, length, hostFlags, reinterpret_cast<sockaddr*>(&a), &alen);
    if (n < 0) {
        error = lastError();
        return -1;
    }
    error = SocketError::None;
    from = fromHost(a);
    return long(n);
}

SocketReady socketWait(HostSocket s, bool forRead, bool forWrite, long timeoutMicroseconds)
{
    SocketReady ready;
    pollfd p{};
    p.fd = s;
    p.events = short((forRead ? POLLIN : 0) | (forWrite ? POLLOUT : 0));
    timespec limit{timeoutMicroseconds / 1000000, (timeoutMicroseconds % 1000000) * 1000};
    int n = ::ppoll(&p, 1, &limit, nullptr);
    if (n <= 0) return ready;
    // A hang-up leaves the rest of the data (and the end of file) to be read.
    ready.readable = (p.revents & (POLLIN | POLLHUP)) != 0;
    ready.writable = (p.revents & POLLOUT) != 0;
    ready.failed = (p.revents & (POLLERR | POLLNVAL)) != 0;
    return ready;
}

int socketPendingError(HostSocket s)
{
    int value = 0;
    socklen_t length = sizeof value;
    if (::getsockopt(s, SOL_SOCKET, SO_ERROR, &value, &length) != 0) return lastError();
    return socketErrorFromHost(value);
}

int socketReadableBytes(HostSocket s, uint32_t& count)
{
    int n = 0;
    if (::ioctl(s, FIONREAD, &n) != 0) return lastError();
    count = uint32_t(n);
    return 0;
}

int socketLocalAddress(HostSocket s, SocketAddress& address)
{
    sockaddr_in a{};
    socklen_t length = sizeof a;
    if (::getsockname(s, reinterpret_cast<sockaddr*>(&a), &length) != 0) return lastError();
    address = fromHost(a);
    return 0;
}

int socketPeerAddress(HostSocket s, SocketAddress& address)
{
    sockaddr_in a{};
    socklen_t length = sizeof a;
    if (::getpeername(s, reinterpret_cast<sockaddr*>(&a), &length) != 0) return lastError();
    address = fromHost(a);
    return 0;
}

int socketGetOption(HostSocket s, int32_t level, int32_t name, uint8_t* value, size_t& length)
{
    const OptionMap* o = findOption(level, name);
    if (!o) return SocketError::NoProtocolOption;
    if (o->form == ValueForm::Linger) {
        if (length < sizeof(GuestLinger)) return SocketError::Fault;
        linger l{};
        socklen_t hostLength = sizeof l;
        if (::getsockopt(s, o->hostLevel, o->hostName, &l, &hostLength) != 0) return lastError();
        GuestLinger g{uint16_t(l.l_onoff), uint16_t(l.l_linger)};
        memcpy(value, &g, sizeof g);
        length = sizeof g;
        return 0;
    }
    if (length < sizeof(int32_t)) return SocketError::Fault;
    int v = 0;
    socklen_t hostLength = sizeof v;
    if (::getsockopt(s, o->hostLevel, o->hostName, &v, &hostLength) != 0) return lastError();
    int32_t out = o->form == ValueForm::Error ? socketErrorFromHost(v) : int32_t(v);
    memcpy(value, &out, sizeof out);
    length = sizeof out;
    return 0;
}

int socketSetOption(HostSocket s, int32_t level, int32_t name, const uint8_t* value, size_t length)
{
    const OptionMap* o = findOption(level, name);
    if (!o || o->form == ValueForm::Error) return SocketError::NoProtocolOption;
    if (o->form == ValueForm::Linger) {
        if (length < sizeof(GuestLinger)) return SocketError::Fault;
        GuestLinger g;
        memcpy(&g, value, sizeof g);
        linger l{g.onOff, g.seconds};
        return ::setsockopt(s, o->hostLevel, o->hostName, &l, sizeof l) == 0 ? 0 : lastError();
    }
    // Flags may come as a single byte, as the classic library accepts.
    int v = 0;
    if (length >= sizeof(int32_t)) {
        int32_t in;
        memcpy(&in, value, sizeof in);
        v = in;
    } else if (length >= 1) {
        v = value[0];
    } else {
        return SocketError::Fault;
    }
    return ::setsockopt(s, o->hostLevel, o->hostName, &v, sizeof v) == 0 ? 0 : lastError();
}
