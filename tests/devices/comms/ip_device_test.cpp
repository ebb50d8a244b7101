// The socket device driven through its host calls on guest memory, against loopback peers
// that the tests run: connection states, line and counted transfers, the lookup-error
// cells, bad guest input, and that shut-down leaves no host socket behind.
#include "core/guest_error.h"
#include "core/host_call.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"
#include "devices/comms/ip_codes.h"
#include "devices/comms/ip_device.h"
#include "loopback.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sys/resource.h>

namespace {

constexpr uint32_t NameAt = 0x40000;
constexpr uint32_t Buffer = 0x41000;
constexpr uint32_t Block = 0x42000;
constexpr uint32_t AddressAt = 0x42100;
constexpr uint32_t NoCell = 0xFFFF;
constexpr uint32_t ModeConnect = 1, ModeBind = 2;

size_t openDescriptors()
{
    size_t n = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
    return n;
}

class IpDeviceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(memoryAllocate(1)); }
    static void TearDownTestSuite() { memoryRelease(); }
    void SetUp() override
    {
        memset(cpu.D, 0, sizeof cpu.D);
        memset(cpu.A, 0, sizeof cpu.A);
        memset(guestRange(0x40000, 0x10000), 0, 0x10000);
        ASSERT_TRUE(ipStart());
    }
    void TearDown() override { ipShutDown(); }

    static int32_t call(unsigned low) { return hostCall(0xA, 0, low); }

    static void putName(const std::string& name)
    {
        guestWriteWord(NameAt, uint16_t(name.size()));
        memcpy(guestRange(NameAt + 2, uint32_t(name.size())), name.data(), name.size());
    }
    static void putText(uint32_t at, const std::string& text)
    {
        memcpy(guestRange(at, uint32_t(text.size() + 1)), text.c_str(), text.size() + 1);
    }
    static std::string cText(uint32_t at) { return reinterpret_cast<const char*>(guestRange(at, 1)); }
    static std::string bytesAt(uint32_t at, size_t n)
    {
        return std::string(reinterpret_cast<const char*>(guestRange(at, uint32_t(n))), n);
    }

    // Opens a channel; the handle (when it opened) in `handle`.
    static int32_t open(const std::string& name, uint32_t mode, uint32_t& handle, uint32_t channel = NoCell)
    {
        putName(name);
        cpu.A[1] = NameAt;
        cpu.D[3] = mode;
        cpu.D[1] = channel;
        cpu.A[0] = 0;
        int32_t r = call(IpCall::Open);
        handle = cpu.A[0];
        return r;
    }
    static uint32_t openOk(const std::string& name, uint32_t mode, uint32_t channel = NoCell)
    {
        uint32_t h = 0;
        int32_t r = open(name, mode, h, channel);
        EXPECT_EQ(r, 0) << name;
        return h;
    }
    static std::string target(uint16_t port) { return "TCP_127.0.0.1:" + std::to_string(port); }

    static int32_t op(uint32_t handle, uint32_t code)
    {
        cpu.A[0] = handle;
        cpu.D[0] = code;
        return call(IpCall::Operation);
    }
    // Repeats an operation while it answers "not complete", for at most `limit`.
    static int32_t opUntilDone(uint32_t handle, uint32_t code,
                               std::chrono::milliseconds limit = std::chrono::seconds(5),
                               const std::function<void()>& before = {})
    {
        auto end = std::chrono::steady_clock::now() + limit;
        int32_t r;
        do {
            if (before) before();
            r = op(handle, code);
        } while (r == GuestError::NotComplete && std::chrono::steady_clock::now() < end);
        return r;
    }
    static std::string describe(uint32_t handle)
    {
        cpu.A[0] = handle;
        cpu.A[1] = Buffer;
        cpu.D[2] = 200;
        if (call(IpCall::Describe) != 0) return "<failed>";
        return bytesAt(Buffer + 2, guestReadWord(Buffer));
    }
    static int32_t close(uint32_t handle)
    {
        cpu.A[0] = handle;
        return call(IpCall::Close);
    }
    static uint32_t lastErrorNumber(uint32_t handle)
    {
        EXPECT_EQ(op(handle, IpOp::ErrorNumber), 0);
        return cpu.D[1];
    }

    // A connected pair: the device's TCP channel and the host's end of it.
    struct Pair {
        uint32_t handle;
        loopback::Fd host;
    };
    static Pair connectedPair()
    {
        loopback::Fd listener = loopback::listenTcp();
        uint32_t h = openOk(target(loopback::localPort(listener.fd)), ModeConnect);
        loopback::Fd host(::accept(listener.fd, nullptr, nullptr));
        EXPECT_EQ(describe(h).substr(describe(h).size() - 4), " (c)") << "a loopback connection is made at once";
        return {h, std::move(host)};
    }
};

TEST_F(IpDeviceTest, ConnectThatTakesLongerThanTheWaitGoesOnInTheBackground)
{
    // A listener whose queue is full drops further attempts, so a new connection hangs
    // until the queue drains and the attempt is repeated.
    loopback::Fd listener = loopback::listenTcp(0);
    const uint16_t port = loopback::localPort(listener.fd);
    std::vector<loopback::Fd> fillers;
    for (int i = 0; i < 4; ++i) fillers.push_back(loopback::connectTcpInBackground(port));

    uint32_t h = openOk(target(port), ModeConnect);
    EXPECT_EQ(describe(h), target(port) + " (ci)");
    EXPECT_EQ(op(h, IpOp::InputPending), GuestError::NotComplete);
    EXPECT_EQ(op(h, IpOp::FetchByte), GuestError::NotComplete);

    std::vector<loopback::Fd> accepted;
    auto drain = [&] {
        pollfd p{listener.fd, POLLIN, 0};
        while (::poll(&p, 1, 0) > 0) accepted.emplace_back(::accept(listener.fd, nullptr, nullptr));
    };
    EXPECT_EQ(opUntilDone(h, IpOp::Connect, std::chrono::seconds(10), drain), 0);
    EXPECT_EQ(describe(h).substr(0, 4), "TCP_");
    EXPECT_EQ(describe(h).substr(describe(h).size() - 4), " (c)");
    cpu.D[1] = 'Q';
    EXPECT_EQ(op(h, IpOp::SendByte), 0);
    drain();
    std::string got;
    for (loopback::Fd& a : accepted) {
        char c;
        pollfd p{a.fd, POLLIN, 0};
        if (::poll(&p, 1, 2000) > 0 && ::recv(a.fd, &c, 1, MSG_DONTWAIT) == 1) got += c;
    }
    EXPECT_EQ(got, "Q");
}

TEST_F(IpDeviceTest, ConnectToAClosedPortIsRefused)
{
    uint32_t h = 0;
    EXPECT_EQ(open(target(loopback::closedPort()), ModeConnect, h), GuestError::HostAccessDenied);
    EXPECT_EQ(ipOpenObjectCount(), 0u);
}

TEST_F(IpDeviceTest, ListeningChannelAcceptsThroughAnSckChannel)
{
    const uint16_t port = loopback::closedPort();
    uint32_t server = openOk(target(port), ModeBind);
    cpu.D[1] = 5;
    ASSERT_EQ(op(server, IpOp::Listen), 0);
    EXPECT_EQ(describe(server), "TCP_127.0.0.1:" + std::to_string(port) + " (l)");
    EXPECT_EQ(op(server, IpOp::InputPending), GuestError::NotComplete);

    uint32_t accepted = 0;
    EXPECT_EQ(open("SCK_", server, accepted), GuestError::NotComplete);

    loopback::Fd client = loopback::connectTcp(port);
    ASSERT_GE(client.fd, 0);
    const uint16_t clientPort = loopback::localPort(client.fd);
    EXPECT_EQ(opUntilDone(server, IpOp::InputPending), 0);
    ASSERT_EQ(open("sck_", server, accepted), 0);
    EXPECT_NE(accepted, server);
    EXPECT_GT(accepted, 4u);
    EXPECT_EQ(describe(accepted), "TCP_127.0.0.1:" + std::to_string(clientPort) + " (c)");

    ASSERT_TRUE(loopback::sendAll(client.fd, "ping"));
    cpu.A[1] = Buffer;
    cpu.D[1] = 0;
    cpu.D[2] = 4;
    EXPECT_EQ(opUntilDone(accepted, IpOp::FetchMultiple), 0);
    EXPECT_EQ(bytesAt(Buffer, 4), "ping");

    // A lone SCK channel has no socket: no socket operation, and no accepting on it.
    uint32_t lone = openOk("SCK_", 0);
    EXPECT_EQ(describe(lone), "SCK_");
    EXPECT_EQ(op(lone, IpOp::Receive), GuestError::EndOfFile);
    EXPECT_EQ(op(lone, IpOp::InputPending), GuestError::EndOfFile);
    uint32_t none = 0;
    EXPECT_EQ(open("SCK_", lone, none), GuestError::ChannelNotOpen);
    EXPECT_EQ(open("SCK_", accepted, none), GuestError::ChannelNotOpen);  // connected, not listening
}

TEST_F(IpDeviceTest, FetchLineStopsAfterTheLineEndOrWhenTheBufferIsFull)
{
    Pair p = connectedPair();
    ASSERT_TRUE(loopback::sendAll(p.host.fd, "ab\ncd"));
    cpu.A[1] = Buffer;
    cpu.D[1] = 0xABCD0000;  // the upper word is not the count's
    cpu.D[2] = 100;
    EXPECT_EQ(opUntilDone(p.handle, IpOp::FetchLine), 0);
    EXPECT_EQ(cpu.D[1], 0xABCD0003u);
    EXPECT_EQ(cpu.A[1], Buffer + 3);
    EXPECT_EQ(bytesAt(Buffer, 3), "ab\n");

    cpu.D[1] = 0;
    EXPECT_EQ(op(p.handle, IpOp::FetchLine), GuestError::NotComplete);
    EXPECT_EQ(cpu.D[1], 2u);  // "cd", no line end yet
    ASSERT_TRUE(loopback::sendAll(p.host.fd, "efg\n"));
    cpu.D[2] = 4;
    EXPECT_EQ(opUntilDone(p.handle, IpOp::FetchLine), GuestError::BufferFull);
    EXPECT_EQ(cpu.D[1], 4u);
    EXPECT_EQ(bytesAt(Buffer + 3, 4), "cdef");
    EXPECT_EQ(op(p.handle, IpOp::FetchLine), 0) << "a full count on entry is done";

    cpu.D[1] = 0;
    cpu.D[2] = 10;
    EXPECT_EQ(opUntilDone(p.handle, IpOp::FetchLine), 0);
    EXPECT_EQ(cpu.D[1], 2u);
    EXPECT_EQ(bytesAt(cpu.A[1] - 2, 2), "g\n");
}

TEST_F(IpDeviceTest, PeerClosingEndsTheStream)
{
    Pair p = connectedPair();
    ASSERT_TRUE(loopback::sendAll(p.host.fd, "xy"));
    p.host.reset();
    cpu.A[1] = Buffer;
    cpu.D[1] = 0;
    cpu.D[2] = 10;
    EXPECT_EQ(opUntilDone(p.handle, IpOp::FetchMultiple), GuestError::EndOfFile);
    EXPECT_EQ(cpu.D[1], 2u);
    EXPECT_EQ(bytesAt(Buffer, 2), "xy");
    EXPECT_EQ(op(p.handle, IpOp::FetchByte), GuestError::EndOfFile);
    cpu.A[1] = Buffer;
    cpu.D[2] = 10;
    EXPECT_EQ(op(p.handle, IpOp::Receive), GuestError::EndOfFile);
    EXPECT_EQ(op(p.handle, IpOp::InputPending), 0) << "the end of the stream is waiting to be read";
}

TEST_F(IpDeviceTest, CountedSendAdvancesAndStopsAtTheTotal)
{
    Pair p = connectedPair();
    for (uint32_t i = 0; i < 256; ++i) guestWriteByte(Buffer + i, uint8_t(i));
    cpu.A[1] = Buffer;
    cpu.D[1] = 0x55550000;
    cpu.D[2] = 0x66660100;  // words: 0 of 256
    EXPECT_EQ(opUntilDone(p.handle, IpOp::SendString), 0);
    EXPECT_EQ(cpu.D[1], 0x55550100u);
    EXPECT_EQ(cpu.A[1], Buffer + 256);
    std::string got = loopback::receiveAll(p.host.fd, 256);
    ASSERT_EQ(got.size(), 256u);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(uint8_t(got[size_t(i)]), i);

    cpu.A[1] = Buffer;
    cpu.D[1] = 3;
    cpu.D[2] = 3;
    EXPECT_EQ(op(p.handle, IpOp::SendMultiple), 0);
    EXPECT_EQ(cpu.A[1], Buffer);

    // Plain send and receive report their counts in D1.
    cpu.A[1] = Buffer;
    cpu.D[1] = 0;
    cpu.D[2] = 5;
    EXPECT_EQ(op(p.handle, IpOp::Send), 0);
    EXPECT_EQ(cpu.D[1], 5u);
    EXPECT_EQ(cpu.A[1], Buffer + 5);
    EXPECT_EQ(loopback::receiveAll(p.host.fd, 5), std::string("\0\1\2\3\4", 5));
    ASSERT_TRUE(loopback::sendAll(p.host.fd, "hello"));
    EXPECT_EQ(opUntilDone(p.handle, IpOp::InputPending), 0);
    cpu.A[1] = Buffer;
    cpu.D[1] = BytesReadableRequest;
    EXPECT_EQ(op(p.handle, IpOp::Control), 0);
    EXPECT_EQ(bytesAt(Buffer, 4), std::string("\5\0\0\0", 4));
    cpu.A[1] = Buffer;
    cpu.D[1] = 0;
    cpu.D[2] = 100;
    EXPECT_EQ(op(p.handle, IpOp::Receive), 0);
    EXPECT_EQ(cpu.D[1], 5u);
    EXPECT_EQ(bytesAt(Buffer, 5), "hello");
}

TEST_F(IpDeviceTest, DatagramsCarryTheirSender)
{
    loopback::Fd peer = loopback::bindUdp();
    const uint16_t peerPort = loopback::localPort(peer.fd);
    uint32_t h = openOk("UDP_127.0.0.1:" + std::to_string(loopback::closedPort()), ModeBind);

    // Send to the peer: an 8-byte block with the address pointer and its length.
    const uint8_t address[16] = {0, 2, uint8_t(peerPort >> 8), uint8_t(peerPort), 127, 0, 0, 1};
    memcpy(guestRange(AddressAt, 16), address, 16);
    guestWriteLong(Block, AddressAt);
    guestWriteLong(Block + 4, 16);
    putText(Buffer, "datagram");
    cpu.A[1] = Buffer;
    cpu.A[2] = Block;
    cpu.D[1] = 0;
    cpu.D[2] = 8;
    EXPECT_EQ(op(h, IpOp::SendTo), 8);
    char got[64];
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    ASSERT_EQ(::recvfrom(peer.fd, got, sizeof got, 0, reinterpret_cast<sockaddr*>(&from), &fromLength), 8);
    EXPECT_EQ(std::string(got, 8), "datagram");

    ASSERT_EQ(::sendto(peer.fd, "back", 4, 0, reinterpret_cast<sockaddr*>(&from), fromLength), 4);
    memset(guestRange(AddressAt, 16), 0xEE, 16);
    cpu.A[1] = Buffer;
    cpu.D[2] = 100;
    EXPECT_EQ(opUntilDone(h, IpOp::ReceiveFrom), 4);
    EXPECT_EQ(bytesAt(Buffer, 4), "back");
    EXPECT_EQ(bytesAt(AddressAt, 16), std::string(reinterpret_cast<const char*>(address), 16));
    EXPECT_EQ(guestReadLong(Block + 4), 16u);

    // Without an address pointer the length becomes 0; a short one is refused.
    ASSERT_EQ(::sendto(peer.fd, "x", 1, 0, reinterpret_cast<sockaddr*>(&from), fromLength), 1);
    guestWriteLong(Block, 0);
    cpu.A[1] = Buffer;
    EXPECT_EQ(opUntilDone(h, IpOp::ReceiveFrom), 1);
    EXPECT_EQ(guestReadLong(Block + 4), 0u);
    guestWriteLong(Block, AddressAt);
    guestWriteLong(Block + 4, 15);
    EXPECT_EQ(op(h, IpOp::ReceiveFrom), GuestError::BadParameter);
}

TEST_F(IpDeviceTest, LookupErrorCellBelongsToTheGuestChannel)
{
    uint32_t first = openOk("SCK_", 0, 0x00010005);
    putText(Buffer, "no-such-host.invalid");
    cpu.A[1] = Buffer;
    cpu.A[2] = Block;
    EXPECT_EQ(op(first, IpOp::HostByName), GuestError::BadParameter);
    EXPECT_EQ(op(first, IpOp::LookupError), 0);
    EXPECT_EQ(cpu.D[1], 1u);
    cpu.A[1] = Buffer;
    EXPECT_EQ(op(first, IpOp::LookupErrorText), 0);
    EXPECT_EQ(cText(Buffer), "Host not found");

    // The same channel again keeps the cell; another channel in the slot clears it.
    uint32_t same = openOk("SCK_", 0, 0x00010005);
    EXPECT_EQ(op(same, IpOp::LookupError), 0);
    EXPECT_EQ(cpu.D[1], 1u);
    uint32_t other = openOk("SCK_", 0, 0x00020005);
    EXPECT_EQ(op(other, IpOp::LookupError), 0);
    EXPECT_EQ(cpu.D[1], 0u);
    cpu.A[1] = Buffer;
    EXPECT_EQ(op(other, IpOp::LookupErrorText), 0);
    EXPECT_EQ(cText(Buffer), "No error");

    uint32_t cellless = openOk("SCK_", 0, 512);
    EXPECT_EQ(op(cellless, IpOp::LookupError), IpResult::NoLookupCell);
    cpu.A[1] = Buffer;
    EXPECT_EQ(op(cellless, IpOp::HostByName), IpResult::NoLookupCell);
}

TEST_F(IpDeviceTest, OptionsPassThroughInHostOrder)
{
    Pair p = connectedPair();
    const uint8_t on[4] = {1, 0, 0, 0};
    memcpy(guestRange(Buffer, 4), on, 4);
    cpu.A[1] = Buffer;
    cpu.D[1] = 4;
    cpu.D[2] = 6;  // the TCP level
    cpu.A[2] = 1;  // no delay
    EXPECT_EQ(op(p.handle, IpOp::SetOption), 0);
    memset(guestRange(Buffer, 8), 0, 8);
    cpu.A[1] = Buffer;
    cpu.D[1] = 8;
    EXPECT_EQ(op(p.handle, IpOp::GetOption), 0);
    EXPECT_EQ(cpu.D[1], 4u);
    EXPECT_NE(guestReadByte(Buffer), 0);

    cpu.A[1] = Buffer;
    cpu.D[1] = 4;
    cpu.D[2] = 0xFFFF;  // socket level
    cpu.A[2] = 0x1008;  // type
    EXPECT_EQ(op(p.handle, IpOp::GetOption), 0);
    EXPECT_EQ(bytesAt(Buffer, 4), std::string("\1\0\0\0", 4));

    cpu.A[2] = 0x7777;
    EXPECT_EQ(op(p.handle, IpOp::GetOption), GuestError::BadParameter);
    EXPECT_EQ(lastErrorNumber(p.handle), 44u);
}

// Guest input the device must refuse without touching memory it was not given.
TEST_F(IpDeviceTest, BadGuestInputIsRefused)
{
    Pair p = connectedPair();
    uint32_t udp = openOk("UDP_", 0);
    uint32_t closed = openOk("SCK_", 0);
    ASSERT_EQ(close(closed), 0);
    const uint32_t beyond = mem.ramSize - 2;
    const uint32_t neverIssued = 0x00FEDCBA;

    struct Case {
        const char* what;
        std::function<int32_t()> run;
        int32_t expected;
    };
    auto withRegs = [&](uint32_t handle, uint32_t code, std::function<void()> set) {
        return [=] {
            set();
            return op(handle, code);
        };
    };
    const Case cases[] = {
        {"operation on a handle never issued", [&] { return op(neverIssued, IpOp::InputPending); },
         GuestError::ChannelNotOpen},
        {"operation on a closed handle", [&] { return op(closed, IpOp::FetchByte); }, GuestError::ChannelNotOpen},
        {"close of a closed handle", [&] { return close(closed); }, GuestError::ChannelNotOpen},
        {"describe of a handle never issued", [&] { return (cpu.A[0] = 3, call(IpCall::Describe)); },
         GuestError::ChannelNotOpen},
        {"listen on a datagram socket", withRegs(udp, IpOp::Listen, [] { cpu.D[1] = 1; }), GuestError::ChannelNotOpen},
        {"accept on a datagram socket",
         [&] {
             uint32_t h;
             return open("SCK_", udp, h);
         },
         GuestError::ChannelNotOpen},
        {"fetch on an unconnected socket", withRegs(udp, IpOp::FetchByte, [] {}), GuestError::EndOfFile},
        {"operation code above 127", withRegs(p.handle, 128, [] {}), GuestError::NotImplemented},
        {"unassigned operation code", withRegs(p.handle, 126, [] {}), GuestError::NotImplemented},
        {"control request other than bytes readable",
         withRegs(p.handle, IpOp::Control,
                  [] {
                      cpu.D[1] = 0x4004667E;
                      cpu.A[1] = Buffer;
                  }),
         GuestError::NotImplemented},
        {"fetch string into a buffer past RAM",
         withRegs(p.handle, IpOp::FetchString,
                  [=] {
                      cpu.A[1] = beyond;
                      cpu.D[1] = 0;
                      cpu.D[2] = 4;
                  }),
         GuestError::BadParameter},
        {"send multiple from a buffer past RAM",
         withRegs(p.handle, IpOp::SendMultiple,
                  [=] {
                      cpu.A[1] = beyond;
                      cpu.D[1] = 0;
                      cpu.D[2] = 0x100000;
                  }),
         GuestError::BadParameter},
        {"receive with a size reaching past RAM",
         withRegs(p.handle, IpOp::Receive,
                  [=] {
                      cpu.A[1] = Buffer;
                      cpu.D[2] = mem.ramSize;
                  }),
         GuestError::BadParameter},
        {"host entry buffer past RAM",
         withRegs(p.handle, IpOp::HostByName,
                  [=] {
                      putText(Buffer, "localhost");
                      cpu.A[1] = Buffer;
                      cpu.A[2] = beyond;
                  }),
         GuestError::BadParameter},
        {"address block past RAM",
         withRegs(udp, IpOp::SendTo,
                  [=] {
                      cpu.A[1] = Buffer;
                      cpu.D[2] = 1;
                      cpu.A[2] = beyond;
                  }),
         GuestError::BadParameter},
        {"bind with an address shorter than 16",
         withRegs(udp, IpOp::Bind,
                  [] {
                      cpu.A[2] = AddressAt;
                      cpu.D[1] = 8;
                  }),
         GuestError::BadParameter},
        {"host name larger than its buffer",
         withRegs(p.handle, IpOp::HostName,
                  [] {
                      cpu.A[1] = Buffer;
                      cpu.D[2] = 1;
                  }),
         GuestError::BadParameter},
        {"local address into 15 bytes",
         withRegs(p.handle, IpOp::LocalAddress,
                  [] {
                      cpu.A[1] = Buffer;
                      cpu.D[2] = 15;
                  }),
         GuestError::BadParameter},
        {"address text written past the end of RAM",
         withRegs(p.handle, IpOp::BinaryToText,
                  [=] {
                      cpu.A[1] = Buffer;
                      cpu.A[2] = mem.ramSize - 4;
                  }),
         GuestError::BadParameter},
        {"connect on a connected socket",
         withRegs(p.handle, IpOp::Connect,
                  [] {
                      const uint8_t a[16] = {0, 2, 0, 7, 127, 0, 0, 1};
                      memcpy(guestRange(AddressAt, 16), a, 16);
                      cpu.A[2] = AddressAt;
                      cpu.D[1] = 16;
                  }),
         GuestError::InUse},
        {"connect with another address family",
         withRegs(udp, IpOp::Connect,
                  [] {
                      guestWriteWord(AddressAt, 0);
                      cpu.A[2] = AddressAt;
                      cpu.D[1] = 16;
                  }),
         GuestError::NotImplemented},
        {"send of length 0",
         withRegs(p.handle, IpOp::SendString,
                  [] {
                      cpu.A[1] = Buffer;
                      cpu.D[1] = 0;
                      cpu.D[2] = 0;
                  }),
         0},
        {"counted fetch with the count past the total",
         withRegs(p.handle, IpOp::FetchMultiple,
                  [=] {
                      cpu.A[1] = beyond;
                      cpu.D[1] = 9;
                      cpu.D[2] = 4;
                  }),
         0},
        {"open mode above 2",
         [&] {
             uint32_t h;
             return open(target(1), 3, h);
         },
         GuestError::BadParameter},
        {"open name of 128 characters",
         [&] {
             uint32_t h;
             return open("TCP_" + std::string(124, 'a'), 0, h);
         },
         GuestError::BadName},
        {"open name shorter than its prefix",
         [&] {
             uint32_t h;
             return open("TCP", 0, h);
         },
         GuestError::NotFound},
        {"open of another device",
         [&] {
             uint32_t h;
             return open("SER1", 0, h);
         },
         GuestError::NotFound},
        {"open with port 0",
         [&] {
             uint32_t h;
             return open("TCP_127.0.0.1:0", ModeConnect, h);
         },
         GuestError::BadName},
        {"open with a port above 65535",
         [&] {
             uint32_t h;
             return open("TCP_127.0.0.1:65536", ModeConnect, h);
         },
         GuestError::BadName},
        {"open with the name past RAM",
         [&] {
             cpu.A[1] = beyond;
             cpu.D[3] = 0;
             return call(IpCall::Open);
         },
         GuestError::BadParameter},
        {"describe into a buffer too small",
         [&] {
             cpu.A[0] = p.handle;
             cpu.A[1] = Buffer;
             cpu.D[2] = 6;
             return call(IpCall::Describe);
         },
         GuestError::BufferFull},
        {"describe past RAM",
         [&] {
             cpu.A[0] = p.handle;
             cpu.A[1] = beyond;
             cpu.D[2] = 200;
             return call(IpCall::Describe);
         },
         GuestError::BadParameter},
    };
    const size_t before = ipOpenObjectCount();
    for (const Case& c : cases) {
        memset(guestRange(beyond - 14, 16), 0x5A, 16);
        EXPECT_EQ(c.run(), c.expected) << c.what;
        EXPECT_EQ(bytesAt(beyond - 14, 16), std::string(16, 0x5A)) << c.what << " wrote near the end of RAM";
    }
    EXPECT_EQ(ipOpenObjectCount(), before) << "a refused open left an object behind";

    // A bad address leaves the fault as the last error.
    cpu.A[1] = beyond;
    cpu.D[1] = 0;
    cpu.D[2] = 4;
    EXPECT_EQ(op(p.handle, IpOp::FetchString), GuestError::BadParameter);
    EXPECT_EQ(lastErrorNumber(p.handle), 14u);
}

TEST_F(IpDeviceTest, ShutDownAndCloseAllLeaveNoHostSocketOpen)
{
    const size_t start = openDescriptors();
    loopback::Fd listener = loopback::listenTcp(512);
    const uint16_t port = loopback::localPort(listener.fd);
    const size_t withListener = openDescriptors();
    // More than the 256 entries of the classic table.
    for (int i = 0; i < 300; ++i) openOk(i % 2 ? "UDP_" : target(port), i % 2 ? 0 : ModeConnect);
    EXPECT_EQ(openDescriptors(), withListener + 300);
    EXPECT_EQ(call(IpCall::CloseAll), 0);
    EXPECT_EQ(ipOpenObjectCount(), 0u);
    EXPECT_EQ(openDescriptors(), withListener);

    for (int i = 0; i < 10; ++i) openOk("UDP_", 0);
    ipShutDown();
    EXPECT_EQ(openDescriptors(), withListener);
    listener.reset();
    EXPECT_EQ(openDescriptors(), start);
    uint32_t h = 0;
    EXPECT_EQ(open("UDP_", 0, h), HostCallResult::Illegal) << "no group after shut-down";
    ASSERT_TRUE(ipStart());
}

}  // namespace
