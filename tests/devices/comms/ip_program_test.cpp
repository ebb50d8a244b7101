// Guest programs use the socket device through the real emulator against loopback servers
// that the tests run; each program prints what it found with DebugPrint.
#include "guest_runner.h"
#include "loopback.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

constexpr const char* Ini = "[Emulation]\nMemory=4\n";

GuestRun runProgram(const char* image, const std::string& commandLine,
                    std::chrono::milliseconds limit = std::chrono::seconds(60))
{
    GuestRun run = runGuestProgram(image, {"-CMDLINE", commandLine}, Ini, limit);
    EXPECT_TRUE(run.started);
    EXPECT_FALSE(run.timedOut) << run.describe();
    EXPECT_TRUE(run.exited && run.exitCode == 0) << run.describe();
    return run;
}

void expectLines(const GuestRun& run, const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) EXPECT_TRUE(run.hasLine(line)) << "missing: " << line << "\n" << run.describe();
}

std::string hex(uint32_t v)
{
    char text[9];
    snprintf(text, sizeof text, "%08x", v);
    return text;
}

std::string tcpName(uint16_t port) { return "TCP_127.0.0.1:" + std::to_string(port); }

}  // namespace

TEST(IpProgram, TcpEchoCarriesEveryByteValueAndAMegabyteEachWay)
{
    loopback::EchoServer echo;
    GuestRun run = runProgram(GUEST_TCP_ECHO, tcpName(echo.port()));
    expectLines(run, {
                         "open 00000000",
                         "sent256 00000000 00000100",
                         "fetched256 00000000 00000100",
                         "bytes256 wrong 00000000",
                         "megabyte sent 00100000 received 00100000 failure 00000000 wrong 00000000",
                         "line 00000000 count 0000000b <first line>",
                         "line 00000000 count 00000007 <second>",
                         "byte 00000000 0000005a",
                         "close 00000000",
                         "after close fffffffa",
                     });
    EXPECT_TRUE(run.contains("describe 00000000 <TCP_127.0.0.1:" + std::to_string(echo.port()) + " (c)>"))
        << run.describe();
    EXPECT_TRUE(run.contains("control 00000000 01 00 00 00")) << run.describe();

    // What the server received: the 256 values, then the megabyte pattern.
    std::string got = echo.firstConnectionData();
    ASSERT_GE(got.size(), 256u + 0x100000u);
    for (uint32_t i = 0; i < 256; ++i) ASSERT_EQ(uint8_t(got[i]), i);
    for (uint32_t i = 0; i < 0x100000; ++i)
        ASSERT_EQ(uint8_t(got[256 + i]), uint8_t(i + (i >> 8))) << "at " << i;
}
