// Guest programs drive the serial ports of the real emulator; the test is the peer on the
// other side of a pseudo-terminal and reads the program's reports and the port's log.
#include "guest_runner.h"
#include "ser_pty.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <future>
#include <sys/ioctl.h>

namespace {

using namespace std::chrono_literals;

constexpr uint8_t Ready = 'R';
constexpr uint8_t Ack = 'A';
constexpr uint8_t GotIt = 'G';

// Byte i of the bulk stream, as the guest program computes it.
uint8_t pattern(uint32_t i) { return uint8_t(i ^ (i >> 8) ^ (i >> 16)); }

class SerProgram : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(pty.ok()); }

    // Runs `image` with SER1 on the pseudo-terminal while `peer` talks to it. `debugMask`
    // is given to -DBG; `serialIni` adds keys to the Serial section.
    GuestRun run(const char* image, const std::function<void(TestPty&)>& peer, const std::string& debugMask = "0",
                 const std::string& serialIni = "", std::chrono::milliseconds limit = 30s)
    {
        GuestRunOptions options;
        options.args = {"-OS", image, "-DBG", debugMask};
        options.timeLimit = limit;
        options.iniContents = "[Emulation]\nMemory=4\n[Serial]\nPort1=1\nDevice1=" + pty.slavePath() + "\n" + serialIni;
        std::future<GuestRun> running = std::async(std::launch::async, [options] { return runGuest(options); });
        peer(pty);
        GuestRun result = running.get();
        EXPECT_TRUE(result.exited && result.exitCode == 0) << result.describe();
        return result;
    }

    static void expectReady(TestPty& p)
    {
        std::vector<uint8_t> r = p.read(1);
        ASSERT_EQ(r, std::vector<uint8_t>{Ready});
    }

    TestPty pty;
};

TEST_F(SerProgram, EveryByteValueBothWays)
{
    std::vector<uint8_t> fromGuest;
    GuestRun r = run(GUEST_SER_BYTES, [&](TestPty& p) {
        expectReady(p);
        std::vector<uint8_t> up(256);
        for (unsigned i = 0; i < 256; ++i) up[i] = uint8_t(i);
        EXPECT_EQ(p.write(up), 256u);
        fromGuest = p.read(256);
        p.write(&Ack, 1);
    });
    ASSERT_EQ(fromGuest.size(), 256u) << r.describe();
    for (unsigned i = 0; i < 256; ++i) EXPECT_EQ(fromGuest[i], 255 - i) << i;
    EXPECT_TRUE(r.linesInOrder({"open 00000000", "received 00000100 wrong 00000000", "ack 00000000 00000041"}))
        << r.describe();
}

TEST_F(SerProgram, MegabyteEachWayWithNothingLostOrReordered)
{
    constexpr uint32_t Size = 1 << 20;
    std::vector<uint8_t> down(Size);
    for (uint32_t i = 0; i < Size; ++i) down[i] = pattern(i);
    std::vector<uint8_t> fromGuest;
    double downSeconds = 0, upSeconds = 0;
    GuestRun r = run(
        GUEST_SER_BULK,
        [&](TestPty& p) {
            expectReady(p);
            auto t0 = std::chrono::steady_clock::now();
            EXPECT_EQ(p.write(down, 60s), Size);
            auto t1 = std::chrono::steady_clock::now();
            fromGuest = p.read(Size, 60s);
            auto t2 = std::chrono::steady_clock::now();
            p.write(&Ack, 1);
            downSeconds = std::chrono::duration<double>(t1 - t0).count();
            upSeconds = std::chrono::duration<double>(t2 - t1).count();
        },
        "0", "", 120s);
    ASSERT_EQ(fromGuest.size(), Size) << r.describe();
    size_t wrong = 0, first = Size;
    for (uint32_t i = 0; i < Size; ++i)
        if (fromGuest[i] != pattern(i) && wrong++ == 0) first = i;
    EXPECT_EQ(wrong, 0u) << "first wrong byte at " << first;
    EXPECT_TRUE(r.linesInOrder({"open 00000000", "received 00100000 wrong 00000000", "ack 00000000 00000041"}))
        << r.describe();
    // The peer's write ends when the guest has nearly all of it; the guest's stream ends at
    // the peer.
    printf("[ figures ] 1 MB to the guest in %.2f s, 1 MB from the guest in %.2f s\n", downSeconds, upSeconds);
}

TEST_F(SerProgram, FullReceiveRingTakesRtsOffUntilTheGuestDrainsIt)
{
    bool modemLinesReadable = false;
    bool rtsSeenOff = false;
    GuestRun r = run(
        GUEST_SER_RTS,
        [&](TestPty& p) {
            expectReady(p);
            std::vector<uint8_t> burst(1800, 0x55);
            EXPECT_EQ(p.write(burst), burst.size());
            // Where the host reports the lines of a pseudo-terminal, look at RTS directly.
            int bits = 0;
            std::this_thread::sleep_for(500ms);
            if (ioctl(p.master(), TIOCMGET, &bits) == 0) {
                modemLinesReadable = true;
                rtsSeenOff = !(bits & TIOCM_RTS);
            }
        },
        "8");
    if (modemLinesReadable) {
        EXPECT_TRUE(rtsSeenOff);
    }
    // The state the port records, as it logs it.
    EXPECT_TRUE(r.linesInOrder({"open 00000000", "ser1: RTS off", "draining", "ser1: RTS on", "drained 00000708"}))
        << r.describe();
}

TEST_F(SerProgram, OpenCloseSequencesHoldTheLineUntilTheNextOpen)
{
    GuestRun r = run(
        GUEST_SER_SEQUENCES, [](TestPty&) {}, "9");
    EXPECT_TRUE(r.linesInOrder({"open2 ffffffed", "ser1: Opening port", "open tx 00000000", "ser1: Opening port",
                                "ser1: Windows port already open", "open rx 00000000", "ser1: Closing port", "closed",
                                "ser1: Opening port", "ser1: Close forced", "ser1: Cleanup start", "ser1: Cleanup end",
                                "reopen 00000000", "tx closed", "ser1: Closing port", "rx closed", "ZEM: Close ser",
                                "ser1: Close forced", "ser1: Cleanup end"}))
        << r.describe();
    // One host line for the two directions, the threads ended at the close, and nothing
    // let go of the line between the close and the next open.
    int opened = r.findLine("open tx 00000000"), added = r.findLine("open rx 00000000");
    int closed = r.findLine("closed"), reopened = r.findLine("reopen 00000000");
    ASSERT_TRUE(opened >= 0 && added > opened && closed > added && reopened > closed) << r.describe();
    std::vector<std::string> lines = r.lines();
    auto count = [&](const std::string& prefix, int from, int to) {
        int n = 0;
        for (int i = from; i < to; ++i) n += lines[size_t(i)].rfind(prefix, 0) == 0;
        return n;
    };
    EXPECT_EQ(count("ser1: Handle:", opened, added), 0);
    EXPECT_EQ(count("ser1: Cleanup start", added, closed + 1), 0);
    EXPECT_EQ(count("ser1: Handle:", closed, reopened), 1);
    for (const char* quit : {"ser1: Send quit!", "ser1: Receive quit!", "ser1: Status quit!"})
        EXPECT_GE(r.findLine(quit), added) << quit;
    EXPECT_EQ(count("ser1: ...leaving Windows port open", 0, int(lines.size())), 0);
}

TEST_F(SerProgram, LeavePortsOpenKeepsTheLineAndItsThreads)
{
    GuestRun r = run(
        GUEST_SER_SEQUENCES, [](TestPty&) {}, "9", "LeavePortsOpen=1\n");
    EXPECT_TRUE(r.linesInOrder({"open rx 00000000", "ser1: Closing port", "ser1: ...leaving Windows port open",
                                "closed", "ser1: Opening port", "ser1: Windows port already open", "reopen 00000000",
                                "rx closed", "ZEM: Close ser", "ser1: Close forced"}))
        << r.describe();
    int shutDown = r.findLine("ZEM: Close ser");
    ASSERT_GE(shutDown, 0);
    // The threads run on until shut-down lets the line go; the line was opened once.
    for (const char* quit : {"ser1: Send quit!", "ser1: Receive quit!", "ser1: Status quit!"})
        EXPECT_GT(r.findLine(quit), shutDown) << quit;
    int handles = 0;
    for (const std::string& line : r.lines()) handles += line.rfind("ser1: Handle:", 0) == 0;
    EXPECT_EQ(handles, 1);
}

TEST_F(SerProgram, PeerVanishingMidTransfer)
{
    GuestRun r = run(GUEST_SER_HANGUP, [](TestPty& p) {
        expectReady(p);
        std::vector<uint8_t> some(100, 0x33);
        EXPECT_EQ(p.write(some), some.size());
        EXPECT_EQ(p.read(1), std::vector<uint8_t>{GotIt});
        p.hangUp();
    });
    EXPECT_TRUE(r.linesInOrder({"open 00000000", "received 00000064", "carrier 00000000", "sent", "reopen ffffffed"}))
        << r.describe();
    EXPECT_TRUE(r.contains("ser1: Error in WaitCommEvent")) << r.describe();
}

}  // namespace
