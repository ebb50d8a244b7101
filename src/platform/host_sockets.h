// Thin layer over the host's sockets: IPv4 only, every socket non-blocking, and every
// failure reported in one numbering whatever the host. The numbering is the classic
// socket-library one that guest drivers were written against, so the device's error
// maps can be keyed on it directly.
#pragma once

#include <cstddef>
#include <cstdint>

namespace SocketError {
constexpr int None = 0;
constexpr int Interrupted = 10004;
constexpr int Access = 10013;
constexpr int Fault = 10014;
constexpr int Invalid = 10022;
constexpr int TooManyFiles = 10024;
constexpr int WouldBlock = 10035;
constexpr int InProgress = 10036;
constexpr int Already = 10037;
constexpr int NotSocket = 10038;
constexpr int DestinationRequired = 10039;
constexpr int MessageSize = 10040;
constexpr int ProtocolType = 10041;
constexpr int NoProtocolOption = 10042;
constexpr int ProtocolNotSupported = 10043;
constexpr int SocketTypeNotSupported = 10044;
constexpr int OperationNotSupported = 10045;
constexpr int ProtocolFamilyNotSupported = 10046;
constexpr int AddressFamilyNotSupported = 10047;
constexpr int AddressInUse = 10048;
constexpr int AddressNotAvailable = 10049;
constexpr int NetworkDown = 10050;
constexpr int NetworkUnreachable = 10051;
constexpr int NetworkReset = 10052;
constexpr int ConnectionAborted = 10053;
constexpr int ConnectionReset = 10054;
constexpr int NoBuffers = 10055;
constexpr int IsConnected = 10056;
constexpr int NotConnected = 10057;
constexpr int Shutdown = 10058;
constexpr int TimedOut = 10060;
constexpr int ConnectionRefused = 10061;
constexpr int HostDown = 10064;
constexpr int HostUnreachable = 10065;
constexpr int ProcessLimit = 10067;
constexpr int Disconnected = 10101;
constexpr int TypeNotFound = 10109;
constexpr int HostNotFound = 11001;
constexpr int TryAgain = 11002;
constexpr int NoRecovery = 11003;
constexpr int NoData = 11004;
// A host failure with no counterpart above: this base plus the host's own number.
constexpr int OtherBase = 30000;
}  // namespace SocketError

using HostSocket = int;
constexpr HostSocket NoSocket = -1;

// An IPv4 socket address in host numbers. `family` is the guest's family word; 2 is IPv4,
// and the calls refuse any other.
struct SocketAddress {
    uint16_t family = 0;
    uint16_t port = 0;
    uint32_t ip = 0;  // 127.0.0.1 is 0x7F000001
};
constexpr uint16_t AddressFamilyIpv4 = 2;

// Ready states of one socket after a wait.
struct SocketReady {
    bool readable = false;
    bool writable = false;
    bool failed = false;  // an error is pending (a refused connection, for one)
};

// Process-wide set-up and clean-up of the socket library. False when sockets cannot be used.
bool socketsStartUp();
void socketsCleanUp();

// A new non-blocking IPv4 socket, stream or datagram; NoSocket with `error` set on failure.
HostSocket socketCreate(bool stream, int& error);
void socketClose(HostSocket s);

// Each returns 0 or a SocketError code. A connection that cannot be made at once gives
// WouldBlock and goes on in the background.
int socketConnect(HostSocket s, const SocketAddress& to);
int socketBind(HostSocket s, const SocketAddress& local);
int socketListen(HostSocket s, int backlog);
int socketShutdown(HostSocket s, int how);
// The accepted socket is non-blocking too.
HostSocket socketAccept(HostSocket s, SocketAddress& peer, int& error);

// Byte counts, or -1 with `error` set. `flags` are the guest's: 1 out-of-band, 2 peek,
// 4 do not route; other bits are refused.
long socketSend(HostSocket s, const void* data, size_t length, uint32_t flags, int& error);
long socketReceive(HostSocket s, void* data, size_t length, uint32_t flags, int& error);
long socketSendTo(HostSocket s, const void* data, size_t length, uint32_t flags, const SocketAddress& to, int& error);
long socketReceiveFrom(HostSocket s, void* data, size_t length, uint32_t flags, SocketAddress& from, int& error);

// Waits at most `timeoutMicroseconds` (0: only looks) for the socket to become readable
// or writable as asked. A socket with a pending error counts as ready and says so.
SocketReady socketWait(HostSocket s, bool forRead, bool forWrite, long timeoutMicroseconds);
// The pending error of a connection made in the background, cleared by reading it.
int socketPendingError(HostSocket s);
// Bytes that can be read at once.
int socketReadableBytes(HostSocket s, uint32_t& count);

int socketLocalAddress(HostSocket s, SocketAddress& address);
int socketPeerAddress(HostSocket s, SocketAddress& address);

// Options by the guest's level and option numbers (the classic socket-library ones).
// Values are passed in the host's byte order; `length` is the value buffer's size on
// entry and the value's size on return.
int socketGetOption(HostSocket s, int32_t level, int32_t name, uint8_t* value, size_t& length);
int socketSetOption(HostSocket s, int32_t level, int32_t name, const uint8_t* value, size_t length);

// The SocketError code of a host error number (for tests and the name services).
int socketErrorFromHost(int hostError);
