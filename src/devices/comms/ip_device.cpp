#include "devices/comms/ip_device.h"

#include "core/guest_error.h"
#include "core/guest_strings.h"
#include "core/guest_write.h"
#include "core/host_call.h"
#include "log/log.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"
#include "devices/comms/ip_address.h"
#include "devices/comms/ip_codes.h"
#include "devices/comms/ip_errors.h"
#include "devices/comms/ip_internal.h"
#include "platform/host_names.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

namespace {

// ---- limits and fixed numbers ----------------------------------------------------------

constexpr size_t NamePrefixLength = 4;
constexpr size_t NameMax = 127;  // TCP and UDP names of 128 characters or more are refused
constexpr uint32_t ModeMax = 2;  // 0 open only, 1 connect, 2 bind
constexpr uint32_t ModeConnect = 1;
constexpr uint32_t ModeBind = 2;
constexpr uint32_t SmallestHandle = 5;  // the open call tells a handle from a mode by this
constexpr uint32_t SckModeMax = 4;
constexpr long ConnectWaitMicroseconds = 20000;
constexpr long SendWaitMicroseconds = 5;
constexpr unsigned LookupCellCount = 512;
constexpr uint32_t FirstHandle = 0x00010000;
constexpr uint8_t LineEnd = '\n';
// The most one receive moves through the device's staging buffer; the guest asks again for
// the rest.
constexpr size_t ReceiveChunk = 256 * 1024;

// ---- device state (processor thread only) ----------------------------------------------

struct LookupCellSlot {
    int32_t value = 0;
    uint16_t tag = 0;
};

bool ready = false;
std::unordered_map<uint32_t, std::unique_ptr<IpObject>> objects;
uint32_t nextHandle = FirstHandle;
std::array<LookupCellSlot, LookupCellCount> cells{};
std::vector<uint8_t> staging;

uint32_t& D(unsigned n) { return cpu.D[n]; }
uint32_t& A(unsigned n) { return cpu.A[n]; }

void setLowWord(uint32_t& r, uint32_t value) { r = (r & 0xFFFF0000u) | (value & 0xFFFFu); }

IpObject* findObject(uint32_t handle)
{
    auto it = objects.find(handle);
    return it == objects.end() ? nullptr : it->second.get();
}

uint32_t issueHandle()
{
    while (nextHandle < SmallestHandle || objects.count(nextHandle)) ++nextHandle;
    return nextHandle++;
}

void closeObjectSocket(IpObject& o)
{
    socketClose(o.socket);
    o.socket = NoSocket;
}

// ---- open ------------------------------------------------------------------------------

bool startsWith(const std::string& name, const char* prefix)
{
    for (size_t i = 0; i < NamePrefixLength; ++i)
        if (std::toupper(static_cast<unsigned char>(name[i])) != prefix[i]) return false;
    return true;
}

// The port of a channel name: a service of the protocol, else a decimal number. 0 when it
// is neither or lies beyond the port range.
uint16_t portOf(const std::string& text, bool tcp)
{
    ServiceEntryData service;
    if (serviceByName(text, tcp ? "TCP" : "UDP", service) == 0) return uint16_t(service.port);
    if (text.empty() || text.size() > 5) return 0;
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + uint32_t(c - '0');
    }
    return value > UINT16_MAX ? 0 : uint16_t(value);
}

// Waits briefly for a connection made in the background; state 2 when it was made, 1 when
// it is still going on. Nothing else when it failed: the error comes back.
int connectWithWait(IpObject& o)
{
    zlog(LogCat::Ip, "IP: Would block. Selecting...\n");
    SocketReady r = socketWait(o.socket, false, true, ConnectWaitMicroseconds);
    bool done = r.writable || r.failed;
    zlog(LogCat::Ip, "IP: Select %i\n", done ? 1 : 0);
    if (!done) {
        o.state = IpState::Connecting;
        return 0;
    }
    // A refused connection also ends the wait; only a clean one counts as made.
    int error = socketPendingError(o.socket);
    if (error != SocketError::None) return error;
    o.state = IpState::Connected;
    return 0;
}

int32_t openSocketChannel(const std::string& name, int kind, IpObject& o)
{
    zlog(LogCat::Ip, "IP: Open TCP or UDP socket: %i\n", kind);
    if (name.size() > NameMax) return GuestError::BadName;
    const uint32_t mode = D(3);
    if (mode > ModeMax) return GuestError::BadParameter;

    std::string rest = name.substr(NamePrefixLength);
    size_t colon = rest.find(':');
    std::string host = rest.substr(0, colon);
    std::string port = colon == std::string::npos ? std::string() : rest.substr(colon + 1);
    zlog(LogCat::Ip, "IP: Host \"%s\", port \"%s\"\n", host.c_str(), port.c_str());

    int error = 0;
    o.kind = kind;
    o.socket = socketCreate(kind == IpKind::Tcp, error);
    if (o.socket == NoSocket) {
        zlog(LogCat::Ip, "IP: Failed to open socket: %i\n", error);
        return GuestError::OutOfMemory;
    }
    if ((mode != ModeConnect && mode != ModeBind) || host.empty() || port.empty()) return 0;

    auto fail = [&](int e) {
        closeObjectSocket(o);
        return ipGuestError(e);
    };
    HostEntryData entry;
    uint32_t ip = 0;
    if (hostByName(host, entry) == 0 && !entry.addresses.empty()) {
        const std::vector<uint8_t>& b = entry.addresses.front();
        ip = uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
    } else if (auto dotted = dottedToAddress(host)) {
        ip = *dotted;
    } else {
        return fail(SocketError::HostNotFound);
    }
    uint16_t portNumber = portOf(port, kind == IpKind::Tcp);
    if (portNumber == 0) {
        closeObjectSocket(o);
        return GuestError::BadName;
    }
    o.address = SocketAddress{AddressFamilyIpv4, portNumber, ip};
    o.hasAddress = true;

    if (mode == ModeConnect) {
        zlog(LogCat::Ip, "IP: Connecting...\n");
        error = socketConnect(o.socket, o.address);
        if (error == SocketError::WouldBlock)
            error = connectWithWait(o);
        else if (error == SocketError::None)
            o.state = IpState::Connected;
    } else {
        zlog(LogCat::Ip, "IP: Binding...\n");
        error = socketBind(o.socket, o.address);
        if (error == SocketError::None) o.state = IpState::Connected;
    }
    return error == SocketError::None ? 0 : fail(error);
}

int32_t openAccepting(IpObject& o)
{
    zlog(LogCat::Ip, "IP: SCK requested\n");
    o.kind = IpKind::Sck;
    const uint32_t mode = D(3);
    if (mode <= SckModeMax) return 0;
    IpObject* listener = findObject(mode);
    if (!listener || listener->kind != IpKind::Tcp || listener->state != IpState::Listening)
        return GuestError::ChannelNotOpen;
    int error = 0;
    SocketAddress peer;
    HostSocket accepted = socketAccept(listener->socket, peer, error);
    if (accepted == NoSocket) return socketFailure(*listener, error);
    o.kind = IpKind::Tcp;
    o.state = IpState::Connected;
    o.socket = accepted;
    o.address = peer;
    o.hasAddress = true;
    return 0;
}

void tieLookupCell(IpObject& o, uint32_t channel)
{
    unsigned index = channel & 0xFFFF;
    if (index >= LookupCellCount) return;
    uint16_t tag = uint16_t(channel >> 16);
    if (cells[index].tag != tag) cells[index] = LookupCellSlot{0, tag};
    o.cell = int(index);
}

int32_t ipOpen(unsigned)
{
    if (!ready) return GuestError::NotFound;
    zlog(LogCat::Ip, "IP: Open\n");
    std::string name;
    if (getGuestStringAlloc(name, A(1)) != 0) return GuestError::BadParameter;
    if (name.size() < NamePrefixLength) return GuestError::NotFound;

    auto o = std::make_unique<IpObject>();
    int32_t result;
    if (startsWith(name, "TCP_"))
        result = openSocketChannel(name, IpKind::Tcp, *o);
    else if (startsWith(name, "UDP_"))
        result = openSocketChannel(name, IpKind::Udp, *o);
    else if (startsWith(name, "SCK_"))
        result = openAccepting(*o);
    else
        return GuestError::NotFound;
    if (result != 0) {
        closeObjectSocket(*o);
        return result;
    }
    tieLookupCell(*o, D(1));
    uint32_t handle = issueHandle();
    objects.emplace(handle, std::move(o));
    A(0) = handle;
    return 0;
}

// ---- close, describe -------------------------------------------------------------------

int32_t ipClose(unsigned)
{
    zlog(LogCat::Ip, "IP: Closing socket\n");
    auto it = objects.find(A(0));
    if (it == objects.end()) return GuestError::ChannelNotOpen;
    closeObjectSocket(*it->second);
    objects.erase(it);
    return 0;
}

void closeEverything()
{
    for (auto& [handle, o] : objects) closeObjectSocket(*o);
    objects.clear();
}

int32_t ipCloseAll(unsigned)
{
    closeEverything();
    return 0;
}

int32_t ipDescribe(unsigned)
{
    IpObject* o = findObject(A(0));
    if (!o) return GuestError::ChannelNotOpen;
    static const char* const Prefixes[] = {"TCP_", "UDP_", "SCK_"};
    static const char* const States[] = {" (nc)", " (ci)", " (c)", " (l)"};
    if (o->kind < IpKind::Tcp || o->kind > IpKind::Sck) return GuestError::BadName;
    std::string text = Prefixes[o->kind];
    if (o->hasAddress && o->address.family == AddressFamilyIpv4) {
        text += socketAddressText(o->address);
        text += States[o->state];
    }
    const uint32_t total = uint32_t(2 + text.size());
    if (!readGuest(A(1), total)) return GuestError::BadParameter;
    if (total > (D(2) & 0xFFFF)) return GuestError::BufferFull;
    std::vector<uint8_t> bytes(total);
    bytes[0] = uint8_t(text.size() >> 8);
    bytes[1] = uint8_t(text.size());
    memcpy(bytes.data() + 2, text.data(), text.size());
    writeGuest(A(1), bytes.data(), bytes.size());
    return 0;
}

// ---- socket operations: transfer -------------------------------------------------------

// Bytes received into the staging buffer (at most `want`), or a negative guest result:
// -1 when nothing is waiting, -10 at the end of the stream.
long receiveSome(IpObject& o, size_t want, uint32_t flags = 0)
{
    if (!socketWait(o.socket, true, false, 0).readable) return GuestError::NotComplete;
    want = std::min(want, ReceiveChunk);
    if (staging.size() < want) staging.resize(want);
    int error = 0;
    long n = socketReceive(o.socket, staging.data(), want, flags, error);
    zlog(LogCat::Ip, "IP: IPRead result %i\n", int(n));
    if (n < 0) return socketFailure(o, error);
    if (n == 0 && want > 0) return GuestError::EndOfFile;
    return n;
}

long sendSome(IpObject& o, const uint8_t* data, size_t length)
{
    zlog(LogCat::Ip, "IP: IPWrite %i\n", int(length));
    if (!socketWait(o.socket, false, true, SendWaitMicroseconds).writable) return GuestError::NotComplete;
    int error = 0;
    long n = socketSend(o.socket, data, length, 0, error);
    zlog(LogCat::Ip, "IP: IPWrite result %i\n", int(n));
    if (n < 0) return socketFailure(o, error);
    return n;
}

int32_t fetchByte(IpObject& o)
{
    long n = receiveSome(o, 1);
    if (n < 0) return int32_t(n);
    D(1) = (D(1) & 0xFFFFFF00u) | staging[0];
    return 0;
}

int32_t fetchLine(IpObject& o)
{
    uint32_t count = D(1) & 0xFFFF;
    const uint32_t size = D(2) & 0xFFFF;
    if (count >= size) return 0;
    if (!readGuest(A(1), size - count)) return badAddress(o);
    // Look at what is waiting, then take it up to and including the line end.
    long n = receiveSome(o, size - count, 2 /* peek */);
    if (n < 0) return int32_t(n);
    const uint8_t* end = std::find(staging.data(), staging.data() + n, LineEnd);
    bool lineEnds = end != staging.data() + n;
    size_t take = lineEnds ? size_t(end - staging.data()) + 1 : size_t(n);
    int error = 0;
    long got = socketReceive(o.socket, staging.data(), take, 0, error);
    if (got < 0) return socketFailure(o, error);
    writeGuest(A(1), staging.data(), size_t(got));
    A(1) += uint32_t(got);
    count += uint32_t(got);
    setLowWord(D(1), count);
    if (lineEnds && size_t(got) == take) return 0;
    return count >= size ? GuestError::BufferFull : GuestError::NotComplete;
}

// Operations 3, 7, 72 and 73: D1 counts what is done, D2 is the total.
template <bool Sending, bool Words>
int32_t transferCounted(IpObject& o)
{
    uint32_t count = Words ? D(1) & 0xFFFF : D(1);
    const uint32_t total = Words ? D(2) & 0xFFFF : D(2);
    if (count >= total) return 0;
    const uint32_t want = total - count;
    const uint8_t* guest = readGuest(A(1), want);
    if (!guest) return badAddress(o);
    long n;
    if constexpr (Sending) {
        n = sendSome(o, guest, want);
    } else {
        n = receiveSome(o, want);
        if (n > 0) writeGuest(A(1), staging.data(), size_t(n));
    }
    if (n < 0) return int32_t(n);
    A(1) += uint32_t(n);
    count += uint32_t(n);
    if (Words)
        setLowWord(D(1), count);
    else
        D(1) = count;
    return count >= total ? 0 : GuestError::NotComplete;
}

int32_t sendByte(IpObject& o)
{
    uint8_t byte = uint8_t(D(1));
    long n = sendSome(o, &byte, 1);
    if (n < 0) return int32_t(n);
    return n == 1 ? 0 : GuestError::NotComplete;
}

int32_t inputPending(IpObject& o)
{
    return socketWait(o.socket, true, false, 0).readable ? 0 : GuestError::NotComplete;
}

int32_t sendPlain(IpObject& o)
{
    const uint8_t* data = readGuest(A(1), D(2));
    if (!data) return badAddress(o);
    int error = 0;
    long n = socketSend(o.socket, data, D(2), D(1), error);
    if (n < 0) return socketFailure(o, error);
    D(1) = uint32_t(n);
    A(1) += uint32_t(n);
    return 0;
}

int32_t receivePlain(IpObject& o)
{
    const uint32_t size = D(2);
    if (!readGuest(A(1), size)) return badAddress(o);
    size_t want = std::min<size_t>(size, ReceiveChunk);
    if (staging.size() < want) staging.resize(want);
    int error = 0;
    long n = socketReceive(o.socket, staging.data(), want, D(1), error);
    if (n < 0) return socketFailure(o, error);
    // A stream that gives nothing has ended; an empty datagram is a message of its own.
    if (n == 0 && want > 0 && o.kind == IpKind::Tcp) return GuestError::EndOfFile;
    writeGuest(A(1), staging.data(), size_t(n));
    D(1) = uint32_t(n);
    return 0;
}

// The 8-byte block at A2: pointer to a guest socket address, and its length.
struct AddressBlock {
    uint32_t pointer;
    uint32_t length;
};

std::optional<AddressBlock> addressBlock()
{
    const uint8_t* b = readGuest(A(2), 8);
    if (!b) return std::nullopt;
    return AddressBlock{uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3],
                        uint32_t(b[4]) << 24 | uint32_t(b[5]) << 16 | uint32_t(b[6]) << 8 | b[7]};
}

int32_t sendTo(IpObject& o)
{
    auto block = addressBlock();
    const uint8_t* data = readGuest(A(1), D(2));
    if (!block || !data) return badAddress(o);
    if (block->length < GuestSocketAddressSize) return socketFailure(o, SocketError::Fault);
    const uint8_t* address = readGuest(block->pointer, GuestSocketAddressSize);
    if (!address) return badAddress(o);
    int error = 0;
    long n = socketSendTo(o.socket, data, D(2), D(1), socketAddressFromGuest(address), error);
    if (n < 0) return socketFailure(o, error);
    return int32_t(n);
}

int32_t receiveFrom(IpObject& o)
{
    auto block = addressBlock();
    const uint32_t size = D(2);
    if (!block || !readGuest(A(1), size)) return badAddress(o);
    if (block->pointer != 0) {
        if (block->length < GuestSocketAddressSize) return socketFailure(o, SocketError::Fault);
        if (!readGuest(block->pointer, GuestSocketAddressSize)) return badAddress(o);
    }
    size_t want = std::min<size_t>(size, ReceiveChunk);
    if (staging.size() < want) staging.resize(want);
    int error = 0;
    SocketAddress from;
    long n = socketReceiveFrom(o.socket, staging.data(), want, D(1), from, error);
    if (n < 0) return socketFailure(o, error);
    if (n == 0 && want > 0 && o.kind == IpKind::Tcp) return GuestError::EndOfFile;
    writeGuest(A(1), staging.data(), size_t(n));
    uint8_t length[4] = {0, 0, 0, 0};
    if (block->pointer != 0) {
        uint8_t address[GuestSocketAddressSize];
        socketAddressToGuest(from, address);
        writeGuest(block->pointer, address, sizeof address);
        length[3] = uint8_t(GuestSocketAddressSize);
    }
    writeGuest(A(2) + 4, length, sizeof length);
    return int32_t(n);
}

// ---- socket operations: set-up ---------------------------------------------------------

constexpr uint32_t OptionValueMax = 64;

int32_t getOption(IpObject& o)
{
    const uint32_t length = D(1);
    if (!readGuest(A(1), length)) return badAddress(o);
    uint8_t value[OptionValueMax] = {};
    size_t got = std::min(length, OptionValueMax);
    int error = socketGetOption(o.socket, int32_t(D(2)), int32_t(A(2)), value, got);
    if (error) return socketFailure(o, error);
    writeGuest(A(1), value, got);
    D(1) = uint32_t(got);
    return 0;
}

int32_t setOption(IpObject& o)
{
    const uint32_t length = D(1);
    const uint8_t* value = readGuest(A(1), length);
    if (!value) return badAddress(o);
    int error = socketSetOption(o.socket, int32_t(D(2)), int32_t(A(2)), value, length);
    return error ? socketFailure(o, error) : 0;
}

int32_t shutDownSocket(IpObject& o)
{
    int error = socketShutdown(o.socket, int(D(1)));
    return error ? socketFailure(o, error) : 0;
}

std::optional<SocketAddress> guestSocketAddress(IpObject& o, int32_t& result)
{
    const uint8_t* bytes = readGuest(A(2), GuestSocketAddressSize);
    if (!bytes) {
        result = badAddress(o);
        return std::nullopt;
    }
    if (D(1) < GuestSocketAddressSize) {
        result = socketFailure(o, SocketError::Fault);
        return std::nullopt;
    }
    return socketAddressFromGuest(bytes);
}

int32_t bindSocket(IpObject& o)
{
    int32_t result = 0;
    auto address = guestSocketAddress(o, result);
    if (!address) return result;
    int error = socketBind(o.socket, *address);
    if (error) return socketFailure(o, error);
    o.address = *address;
    o.hasAddress = true;
    o.state = IpState::Connected;
    return 0;
}

int32_t connectSocket(IpObject& o)
{
    int32_t result = 0;
    auto address = guestSocketAddress(o, result);
    if (!address) return result;
    // Some hosts answer the first repeated connect after a background one with success,
    // whatever the address: a stream that has its peer is refused here instead.
    SocketAddress peer;
    if (o.kind == IpKind::Tcp && o.state == IpState::Connected && socketPeerAddress(o.socket, peer) == 0)
        return socketFailure(o, SocketError::IsConnected);
    int error = socketConnect(o.socket, *address);
    if (error == SocketError::WouldBlock) {
        o.address = *address;
        o.hasAddress = true;
        o.state = IpState::Connecting;
        o.lastError = error;
        return GuestError::NotComplete;
    }
    if (error) return socketFailure(o, error);
    o.address = *address;
    o.hasAddress = true;
    o.state = IpState::Connected;
    return 0;
}

int32_t listenSocket(IpObject& o)
{
    if (o.kind != IpKind::Tcp) return GuestError::ChannelNotOpen;
    int error = socketListen(o.socket, int(D(1)));
    if (error) return socketFailure(o, error);
    o.state = IpState::Listening;
    return 0;
}

int32_t addressOf(IpObject& o, bool peer)
{
    if (!readGuest(A(1), GuestSocketAddressSize)) return badAddress(o);
    if (D(2) < GuestSocketAddressSize) return socketFailure(o, SocketError::Fault);
    SocketAddress address;
    int error = peer ? socketPeerAddress(o.socket, address) : socketLocalAddress(o.socket, address);
    if (error) return socketFailure(o, error);
    uint8_t bytes[GuestSocketAddressSize];
    socketAddressToGuest(address, bytes);
    writeGuest(A(1), bytes, sizeof bytes);
    D(1) = GuestSocketAddressSize;
    return 0;
}

int32_t bytesReadable(IpObject& o)
{
    if (D(1) != BytesReadableRequest) return GuestError::NotImplemented;
    if (!readGuest(A(1), 4)) return badAddress(o);
    uint32_t count = 0;
    int error = socketReadableBytes(o.socket, count);
    if (error) return socketFailure(o, error);
    const uint8_t bytes[4] = {uint8_t(count), uint8_t(count >> 8), uint8_t(count >> 16), uint8_t(count >> 24)};
    writeGuest(A(1), bytes, sizeof bytes);
    return 0;
}

// ---- dispatch of the socket operations -------------------------------------------------

enum class OpClass {
    Any,        // every object
    NotSck,     // any but an object without a socket of its own
    Socket,     // not an SCK object
    Connected,  // state 2
};

using SocketOperation = int32_t (*)(IpObject&);

struct OperationSlot {
    uint32_t code;
    OpClass opClass;
    SocketOperation run;
};

const OperationSlot Operations[] = {
    {IpOp::InputPending, OpClass::NotSck, inputPending},
    {IpOp::FetchByte, OpClass::Connected, fetchByte},
    {IpOp::FetchLine, OpClass::Connected, fetchLine},
    {IpOp::FetchString, OpClass::Connected, transferCounted<false, true>},
    {IpOp::SendByte, OpClass::Connected, sendByte},
    {IpOp::SendString, OpClass::Connected, transferCounted<true, true>},
    {IpOp::FetchMultiple, OpClass::Connected, transferCounted<false, false>},
    {IpOp::SendMultiple, OpClass::Connected, transferCounted<true, false>},
    {IpOp::Listen, OpClass::Any, listenSocket},
    {IpOp::Send, OpClass::Connected, sendPlain},
    {IpOp::SendTo, OpClass::Socket, sendTo},
    {IpOp::Receive, OpClass::Socket, receivePlain},
    {IpOp::ReceiveFrom, OpClass::Socket, receiveFrom},
    {IpOp::GetOption, OpClass::Any, getOption},
    {IpOp::SetOption, OpClass::Any, setOption},
    {IpOp::ShutDown, OpClass::Any, shutDownSocket},
    {IpOp::Bind, OpClass::Socket, bindSocket},
    {IpOp::Connect, OpClass::Socket, connectSocket},
    {IpOp::LocalAddress, OpClass::Any, [](IpObject& o) { return addressOf(o, false); }},
    {IpOp::PeerAddress, OpClass::Any, [](IpObject& o) { return addressOf(o, true); }},
    {IpOp::Control, OpClass::Any, bytesReadable},
};

const OperationSlot* findOperation(uint32_t code)
{
    for (const OperationSlot& s : Operations)
        if (s.code == code) return &s;
    return nullptr;
}

// A connection made in the background: looks, without waiting, whether it has been made
// (state 2) or has failed (state 0, the error comes back). -1 while it goes on.
int32_t settleConnection(IpObject& o)
{
    SocketReady r = socketWait(o.socket, false, true, 0);
    if (!r.writable && !r.failed) return GuestError::NotComplete;
    int error = socketPendingError(o.socket);
    if (error != SocketError::None) {
        zlog(LogCat::Ip, "IP: Async connect error: %i\n", error);
        o.state = IpState::NotConnected;
        return socketFailure(o, error);
    }
    o.state = IpState::Connected;
    SocketAddress peer;
    if (socketPeerAddress(o.socket, peer) == 0) {
        o.address = peer;
        o.hasAddress = true;
    }
    return 0;
}

bool classAllows(OpClass c, const IpObject& o)
{
    switch (c) {
    case OpClass::Any:
        return true;
    case OpClass::NotSck:
    case OpClass::Socket:
        return o.kind != IpKind::Sck;
    case OpClass::Connected:
        return o.kind != IpKind::Sck && o.state == IpState::Connected;
    }
    return false;
}

int32_t ipOperation(unsigned)
{
    IpObject* o = findObject(A(0));
    if (!o) return GuestError::ChannelNotOpen;
    const uint32_t code = D(0);
    if (o->state == IpState::Connecting) {
        int32_t settled = settleConnection(*o);
        if (settled != 0) return settled;
        if (code == IpOp::Connect) return 0;
    }
    if (code > IpOp::Last) return GuestError::NotImplemented;
    if (const OperationSlot* slot = findOperation(code)) {
        if (!classAllows(slot->opClass, *o)) return GuestError::EndOfFile;
        return slot->run(*o);
    }
    if (auto result = ipNameOperation(code, *o)) return *result;
    return GuestError::NotImplemented;
}

struct CallSlot {
    unsigned index;
    HostOperation operation;
};

const CallSlot Calls[] = {
    {IpCall::Open, ipOpen},         {IpCall::Operation, ipOperation}, {IpCall::Close, ipClose},
    {IpCall::CloseAll, ipCloseAll}, {IpCall::Describe, ipDescribe},
};

}  // namespace

// ---- shared with the name operations ---------------------------------------------------

bool writeGuest(uint32_t address, const void* data, size_t length)
{
    if (length > UINT32_MAX) return false;
    return guestWriteFromHost(address, data, uint32_t(length));
}

const uint8_t* readGuest(uint32_t address, uint32_t length) { return guestRange(address, length); }

std::optional<std::string> guestText(uint32_t address, uint32_t extent)
{
    const uint8_t* p = readGuest(address, extent);
    if (!p) return std::nullopt;
    const void* end = memchr(p, 0, extent);
    if (!end) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(p), static_cast<const uint8_t*>(end) - p);
}

int32_t badAddress(IpObject& o)
{
    o.lastError = SocketError::Fault;
    return GuestError::BadParameter;
}

int32_t socketFailure(IpObject& o, int error)
{
    o.lastError = error;
    return ipGuestError(error);
}

int32_t* lookupCell(const IpObject& o) { return o.cell < 0 ? nullptr : &cells[size_t(o.cell)].value; }

// ---- start-up and shut-down ------------------------------------------------------------

bool ipStart()
{
    for (const CallSlot& c : Calls) hostCallInstall(HostCallGroupId::Ip, c.index, c.operation);
    objects.clear();
    cells = {};
    nextHandle = FirstHandle;
    ready = socketsStartUp();
    if (!ready) zlog(LogCat::Ip, "IP: Initialisation failed\n");
    return ready;
}

void ipShutDown()
{
    // Host sockets do not go with the socket library here: each one is closed.
    closeEverything();
    if (ready) socketsCleanUp();
    ready = false;
    staging.clear();
    staging.shrink_to_fit();
    for (const CallSlot& c : Calls) hostCallRemove(HostCallGroupId::Ip, c.index);
}

size_t ipOpenObjectCount() { return objects.size(); }

MachinePart ipPart()
{
    // A host without usable sockets leaves the device refusing every open; the machine
    // still starts.
    return {MachineSlot::Ip,
            [] {
                ipStart();
                return true;
            },
            ipShutDown};
}
