// The serial host calls in process, through the dispatcher, against pseudo-terminals.
#include "config/settings.h"
#include "core/events.h"
#include "core/guest_error.h"
#include "core/host_call.h"
#include "core/ring_buffer.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"
#include "devices/comms/ser_calls.h"
#include "devices/comms/ser_port.h"
#include "platform/serial_line.h"
#include "ser_pty.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

constexpr uint32_t Buffer = 0x40000;
constexpr uint32_t LinkageTable = 0x41000;

int32_t call(uint16_t word) { return hostCall((word >> 8) & 0xF, (word >> 4) & 0xF, word & 0xF); }

void putString(uint32_t a, const std::string& text)
{
    guestWriteWord(a, uint16_t(text.size()));
    for (size_t i = 0; i < text.size(); ++i) guestWriteByte(a + 2 + uint32_t(i), uint8_t(text[i]));
}

std::string readString(uint32_t a)
{
    std::string s;
    for (uint32_t i = 0; i < guestReadWord(a); ++i) s += char(guestReadByte(a + 2 + i));
    return s;
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 3s)
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

double processCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

class SerPortTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(memoryAllocate(1)); }
    static void TearDownTestSuite() { memoryRelease(); }

    void SetUp() override
    {
        ASSERT_TRUE(pty.ok());
        settings = Settings{};
        settings.SerialPort[0] = 1;
        settings.SerialDevice[0] = pty.slavePath();
        eventSystemInit();
        serStartUp();
        serInstallHostCalls();
        memset(&cpu.D, 0, sizeof cpu.D);
        memset(&cpu.A, 0, sizeof cpu.A);
    }
    void TearDown() override
    {
        serRemoveHostCalls();
        serShutDown();
        eventSystemClose();
    }

    // Opens a guest port (1-8) through the host call; the guest result.
    static int32_t open(uint32_t port, uint32_t directions = SerDirection::Both)
    {
        cpu.D[1] = port | directions << 8;
        cpu.D[2] = 0;
        return call(0xA221);
    }

    // Announces a linkage table whose serial slots lead to two distinct addresses.
    static std::pair<uint32_t, uint32_t> announceLinkage()
    {
        for (unsigned slot = 0; slot < LinkageSlot::Count; ++slot)
            guestWriteWord(LinkageTable + slot * 2, uint16_t(0x100 + slot * 0x10));
        cpu.A[1] = LinkageTable;
        sysSetLinkage(0);
        return {eventLinkage(LinkageSlot::SerialTransmit), eventLinkage(LinkageSlot::SerialReceive)};
    }

    static bool queued(uint32_t key, uint32_t value)
    {
        for (const GuestEvent& e : eventQueueSnapshot())
            if (e.handler == key && e.value == value) return true;
        return false;
    }

    TestPty pty;
};

TEST_F(SerPortTest, BadGuestInputIsRefused)
{
    struct Case {
        const char* what;
        uint16_t word;
        std::function<void()> set;
        int32_t result;
    };
    const Case cases[] = {
        {"close port 0", 0xA210, [] { cpu.D[0] = 0; }, HostCallResult::Illegal},
        {"close port 9", 0xA213, [] { cpu.D[3] = 9; }, HostCallResult::Illegal},
        {"close port with high bits", 0xA210, [] { cpu.D[0] = 0x101; }, HostCallResult::Illegal},
        {"open port 0", 0xA220, [] { cpu.D[0] = 0x300; }, HostCallResult::Illegal},
        {"open port 9", 0xA220, [] { cpu.D[0] = 0x309; }, HostCallResult::Illegal},
        {"open with D7 (no handshake register)", 0xA227, [] { cpu.D[7] = 0x301; }, HostCallResult::Illegal},
        {"close directions of port 9", 0xA230, [] { cpu.D[0] = 0x309; }, HostCallResult::Illegal},
        {"send on port 0", 0xA240, [] { cpu.D[0] = 0; }, HostCallResult::Illegal},
        {"receive on port 9", 0xA260, [] { cpu.D[0] = 9; }, HostCallResult::Illegal},
        {"receive off port 0", 0xA270, [] { cpu.D[0] = 0; }, HostCallResult::Illegal},
        {"carrier of port 9", 0xA280, [] { cpu.D[0] = 9; }, HostCallResult::Illegal},
        {"baud rate of port 0", 0xA290, [] { cpu.D[0] = 0; }, HostCallResult::Illegal},
        {"receive ring of port 9", 0xA2E0, [] { cpu.D[1] = 9; }, HostCallResult::Illegal},
        {"transmit ring of port 0", 0xA2F0, [] { cpu.D[1] = 0; }, HostCallResult::Illegal},
        {"register 8 in the word", 0xA228, [] { cpu.D[0] = 0x301; }, HostCallResult::Illegal},
        {"unassigned sub-operation 12", 0xA2C0, [] {}, HostCallResult::Illegal},
        {"unassigned sub-operation 13", 0xA2D0, [] {}, HostCallResult::Illegal},
        {"host name of port 9", 0xA2A0,
         [] {
             cpu.D[0] = 9;
             cpu.A[0] = Buffer;
             cpu.D[1] = 20;
         },
         GuestError::BadParameter},
        {"host name into a buffer past RAM", 0xA2A0,
         [] {
             cpu.D[0] = 1;
             cpu.A[0] = mem.ramSize - 4;
             cpu.D[1] = 20;
         },
         GuestError::BadParameter},
        {"host name into a buffer too small", 0xA2A0,
         [] {
             cpu.D[0] = 1;
             cpu.A[0] = Buffer;
             cpu.D[1] = 5;
         },
         GuestError::BufferFull},
        {"set host name from past RAM", 0xA2B0,
         [] {
             cpu.D[0] = 1;
             cpu.A[0] = mem.ramSize - 1;
         },
         GuestError::BadParameter},
        {"set host name of port 0", 0xA2B0,
         [] {
             cpu.D[0] = 0;
             cpu.A[0] = Buffer;
             putString(Buffer, "COM2");
         },
         GuestError::BadParameter},
    };
    for (const Case& c : cases) {
        memset(&cpu.D, 0, sizeof cpu.D);
        memset(&cpu.A, 0, sizeof cpu.A);
        c.set();
        EXPECT_EQ(call(c.word), c.result) << c.what;
    }
    // None of it touched the port.
    EXPECT_FALSE(serPortState(0).held);
    EXPECT_EQ(serComNumber(0), 1u);
}

TEST_F(SerPortTest, HostNamesSetAndRead)
{
    struct Case {
        std::string name;
        int32_t result;
        unsigned com;  // COM number afterwards
    };
    const Case cases[] = {
        {"com3", 0, 3},
        {"COM64", 0, 64},
        {"Com07", 0, 7},
        {"COM65", GuestError::BadParameter, 1},
        {"COM0", GuestError::BadParameter, 1},
        {"COM", GuestError::BadParameter, 1},
        {"LPT1", GuestError::BadParameter, 1},
        {"COM1x", GuestError::BadParameter, 1},
        {"COM-1", GuestError::BadParameter, 1},
        {"COM000000000003", 0, 3},
        {"COM0000000000003", GuestError::BufferFull, 1},
    };
    for (const Case& c : cases) {
        serSetComNumber(0, 1);
        putString(Buffer, c.name);
        cpu.D[0] = 1;
        cpu.A[2] = Buffer;
        EXPECT_EQ(call(0xA2B2), c.result) << c.name;
        EXPECT_EQ(serComNumber(0), c.com) << c.name;
    }
    serSetComNumber(0, 12);
    cpu.D[0] = 1;
    cpu.D[1] = 7;  // "COM12" needs 2 + 5 bytes
    cpu.A[3] = Buffer + 0x100;
    EXPECT_EQ(call(0xA2A3), 0);
    EXPECT_EQ(readString(Buffer + 0x100), "COM12");
    cpu.D[1] = 6;
    EXPECT_EQ(call(0xA2A3), GuestError::BufferFull);
}

TEST_F(SerPortTest, PortCountAndClosingWhatIsNotOpen)
{
    cpu.D[0] = 0;
    EXPECT_EQ(call(0xA200), 8);
    cpu.D[0] = 5;
    EXPECT_EQ(call(0xA200), 1);
    // Closing a port never opened changes nothing, D0 included.
    cpu.D[0] = 0x1234;
    cpu.D[1] = 1;
    EXPECT_EQ(call(0xA211), HostCallResult::KeepRegisters);
    cpu.D[1] = 0x301;
    EXPECT_EQ(call(0xA231), HostCallResult::KeepRegisters);
    EXPECT_FALSE(serPortState(0).held);
}

TEST_F(SerPortTest, OpenFailuresMapToGuestCodes)
{
    namespace fs = std::filesystem;
    fs::path file = fs::temp_directory_path() / ("zem_ser_plain_" + std::to_string(getpid()));
    std::ofstream(file) << "not a terminal";
    struct Case {
        const char* what;
        unsigned com;
        std::string device;
        int32_t result;
    };
    std::vector<Case> cases = {
        {"COM number 0", 0, "", GuestError::NotImplemented},
        {"no such device", 1, "/dev/zem-no-such-tty", GuestError::NotImplemented},
        {"not a terminal", 1, file.string(), GuestError::NotComplete},
    };
    // The last COM number's default device, where this host has none.
    if (!fs::exists("/dev/ttyS63")) cases.push_back({"COM64 without a device", 64, "", GuestError::NotImplemented});
    for (const Case& c : cases) {
        settings.SerialPort[0] = uint8_t(c.com);
        settings.SerialDevice[0] = c.device;
        EXPECT_EQ(open(1), c.result) << c.what;
        EXPECT_FALSE(serPortState(0).held) << c.what;
    }
    fs::remove(file);

    // A line another program holds is in use; so is one port's line for a second port.
    settings.SerialPort[0] = 1;
    settings.SerialDevice[0] = pty.slavePath();
    int other = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(open(1), GuestError::InUse);
    close(other);
    EXPECT_EQ(open(1), 0);
    settings.SerialPort[1] = 2;
    settings.SerialDevice[1] = pty.slavePath();
    EXPECT_EQ(open(2), GuestError::InUse);
    // The default device stands for the COM number.
    settings.SerialDevice[2].clear();
    settings.SerialPort[2] = 5;
    EXPECT_EQ(serDevicePath(2), "/dev/ttyS4");
}

TEST_F(SerPortTest, BytesBothWaysWithEvents)
{
    auto [transmitKey, receiveKey] = announceLinkage();
    ASSERT_EQ(open(1), 0);
    SerPortState s = serPortState(0);
    EXPECT_TRUE(s.held);
    EXPECT_EQ(s.directions, SerDirection::Both);
    EXPECT_EQ(s.threadsRunning, SerQuit::All);
    EXPECT_EQ(s.eventMask, SerEventMask::Lines);

    cpu.D[0] = 1;
    call(0xA260);  // receive on
    s = serPortState(0);
    EXPECT_TRUE(s.receiving && s.rtsOn && s.rtsLine);
    EXPECT_EQ(s.eventMask, SerEventMask::LinesAndReceive);

    std::vector<uint8_t> all(256);
    for (unsigned i = 0; i < 256; ++i) all[i] = uint8_t(i);
    ASSERT_EQ(pty.write(all), all.size());
    RingBuffer& rx = serReceiveRing(0);
    ASSERT_TRUE(waitFor([&] { return rx.count() == 256; }));
    for (unsigned i = 0; i < 256; ++i) ASSERT_EQ(rx.get(), std::optional<uint8_t>(uint8_t(i)));
    EXPECT_TRUE(queued(receiveKey, 1));

    cpu.D[1] = 1;
    call(0xA2F4);
    EXPECT_EQ(cpu.D[4], serTransmitRingHandle(0));
    RingBuffer* tx = ringFromHandle(cpu.D[4]);
    ASSERT_NE(tx, nullptr);
    for (unsigned i = 0; i < 256; ++i) tx->put(uint8_t(255 - i));
    cpu.D[5] = 1;
    call(0xA245);  // send
    std::vector<uint8_t> got = pty.read(256, 3s);
    ASSERT_EQ(got.size(), 256u);
    for (unsigned i = 0; i < 256; ++i) EXPECT_EQ(got[i], 255 - i);
    EXPECT_TRUE(waitFor([&] { return queued(transmitKey, 1); }));

    // The guest's own transmit event.
    cpu.D[0] = 0x1207;
    EXPECT_EQ(call(0xA250), HostCallResult::KeepRegisters);
    EXPECT_TRUE(queued(transmitKey, 7));
}

TEST_F(SerPortTest, FullReceiveRingSwitchesRtsOffUntilReceiveOn)
{
    ASSERT_EQ(open(1), 0);
    cpu.D[0] = 1;
    call(0xA260);
    // More than the ring can take: the rest waits in the host line, nothing is dropped.
    std::vector<uint8_t> data(3000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 7 + (i >> 8));
    ASSERT_EQ(pty.write(data), data.size());
    RingBuffer& rx = serReceiveRing(0);
    ASSERT_TRUE(waitFor([&] { return rx.count() == SerLimits::RingSize - 1; }));
    SerPortState s = serPortState(0);
    EXPECT_FALSE(s.rtsOn);
    EXPECT_FALSE(s.rtsLine);
    int bits = 0;
    if (ioctl(pty.master(), TIOCMGET, &bits) == 0) {
        EXPECT_FALSE(bits & TIOCM_RTS);
    }

    std::vector<uint8_t> got;
    while (std::optional<uint8_t> b = rx.get()) got.push_back(*b);
    cpu.D[0] = 1;
    call(0xA260);  // the guest has drained the ring
    s = serPortState(0);
    EXPECT_TRUE(s.rtsOn);
    EXPECT_TRUE(s.rtsLine);
    ASSERT_TRUE(waitFor([&] { return rx.count() == data.size() - got.size(); }));
    while (std::optional<uint8_t> b = rx.get()) got.push_back(*b);
    EXPECT_EQ(got, data);

    // Exactly a ring's worth: the receive thread stops with the ring full and the line
    // empty, and must not take the empty line for a vanished peer when it goes on.
    std::vector<uint8_t> exact(SerLimits::RingSize - 1, 0x5A);
    ASSERT_EQ(pty.write(exact), exact.size());
    ASSERT_TRUE(waitFor([&] { return rx.count() == exact.size(); }));
    while (rx.get()) {}
    cpu.D[0] = 1;
    call(0xA260);
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(serPortState(0).hungUp);
    const uint8_t more[] = {1, 2, 3};
    ASSERT_EQ(pty.write(more, sizeof more), sizeof more);
    EXPECT_TRUE(waitFor([&] { return rx.count() == sizeof more; }));

    // Receive off drops RTS and stops watching for input.
    cpu.D[0] = 1;
    call(0xA270);
    s = serPortState(0);
    EXPECT_FALSE(s.receiving || s.rtsOn || s.rtsLine);
    EXPECT_EQ(s.eventMask, SerEventMask::Lines);
}

TEST_F(SerPortTest, BaudRates)
{
    struct Case {
        uint32_t asked, used;
        bool exact;
    };
    const Case cases[] = {{19200, 19200, true}, {20000, 19200, false},  {14400, 9600, false},
                          {0, 50, false},       {115200, 115200, true}, {4000000000u, 4000000, false}};
    for (const Case& c : cases) {
        BaudChoice b = serialNearestBaud(c.asked);
        EXPECT_EQ(b.rate, c.used) << c.asked;
        EXPECT_EQ(b.exact, c.exact) << c.asked;
    }
    cpu.D[0] = 1;
    cpu.D[1] = 9600;
    EXPECT_EQ(call(0xA290), 0);
    EXPECT_EQ(serPortState(0).baud, 9600u);
    ASSERT_EQ(open(1), 0);
    cpu.D[0] = 1;
    cpu.D[1] = 57600;
    EXPECT_EQ(call(0xA290), 0);
    EXPECT_EQ(serPortState(0).baud, 57600u);
}

TEST_F(SerPortTest, PeerVanishingDropsCarrierWithoutSpinning)
{
    ASSERT_EQ(open(1), 0);
    cpu.D[0] = 1;
    call(0xA260);
    cpu.D[3] = 1;
    EXPECT_EQ(call(0xA283), 0x80);  // a live peer on a line without modem lines
    pty.hangUp();
    ASSERT_TRUE(waitFor([] { return serPortState(0).hungUp; }));
    cpu.D[3] = 1;
    EXPECT_EQ(call(0xA283), 0);
    // Sending into the dead line fails quietly; the threads go on and idle.
    RingBuffer& tx = serTransmitRing(0);
    for (int i = 0; i < 100; ++i) tx.put(uint8_t(i));
    cpu.D[0] = 1;
    call(0xA240);
    double before = processCpuSeconds();
    std::this_thread::sleep_for(500ms);
    EXPECT_LT(processCpuSeconds() - before, 0.05);
    EXPECT_EQ(serPortState(0).threadsRunning, SerQuit::All);
}

TEST_F(SerPortTest, CloseEndsThreadsButHoldsTheLine)
{
    ASSERT_EQ(open(1, SerDirection::Transmit), 0);
    ASSERT_EQ(open(1, SerDirection::Receive), 0);  // adds the direction to the same line
    SerPortState s = serPortState(0);
    EXPECT_EQ(s.directions, SerDirection::Both);
    EXPECT_TRUE(s.rtsOn);
    // Bytes queued before the close still go out.
    RingBuffer& tx = serTransmitRing(0);
    for (int i = 0; i < 1000; ++i) tx.put(uint8_t(i));
    cpu.D[1] = 1;
    call(0xA211);
    ASSERT_TRUE(waitFor([] { return serPortState(0).threadsRunning == 0; }));
    s = serPortState(0);
    EXPECT_TRUE(s.held);
    EXPECT_EQ(s.quit, 0u);
    std::vector<uint8_t> got = pty.read(1000, 3s);
    ASSERT_EQ(got.size(), 1000u);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(got[i], uint8_t(i));
    // The held line is let go and taken anew.
    ASSERT_EQ(open(1), 0);
    EXPECT_EQ(serPortState(0).threadsRunning, SerQuit::All);
}

TEST_F(SerPortTest, LeavePortsOpenKeepsLineAndThreads)
{
    settings.LeavePortsOpen = 1;
    ASSERT_EQ(open(1), 0);
    cpu.D[0] = 1;
    call(0xA260);
    cpu.D[1] = 1;
    call(0xA211);
    SerPortState s = serPortState(0);
    EXPECT_EQ(s.directions, SerDirection::LeftOpen);
    EXPECT_EQ(s.threadsRunning, SerQuit::All);
    EXPECT_FALSE(s.rtsOn || s.rtsLine);
    ASSERT_EQ(open(1, SerDirection::Receive), 0);
    s = serPortState(0);
    EXPECT_EQ(s.directions, SerDirection::LeftOpen | SerDirection::Receive);
    EXPECT_TRUE(s.rtsOn && s.rtsLine);
}

}  // namespace
