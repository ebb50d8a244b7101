// The poll, Idle and the clock register seen from a guest program in the real emulator.
#include "guest_runner.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// The number a DebugPrint line "<label> %dN" reported (printed as 8 hex digits).
std::optional<uint32_t> reported(const GuestRun& run, const std::string& label)
{
    constexpr size_t HexDigits = 8;
    const std::string prefix = label + " ";
    for (const std::string& line : run.lines()) {
        if (line.size() != prefix.size() + HexDigits || line.compare(0, prefix.size(), prefix) != 0) continue;
        std::string digits = line.substr(prefix.size());
        if (digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) continue;
        return uint32_t(std::stoul(digits, nullptr, 16));
    }
    return std::nullopt;
}

int64_t guestSecondsNow()
{
    time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    return int64_t(timegm(&local)) + 283996800;  // local calendar reading since 1961-01-01
}

double childCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class TimingProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        ini = dir / "zem.ini";
        std::ofstream(ini) << "[Emulation]\nPowerManagement=1\n";
    }

    GuestRun run(const char* image)
    {
        GuestRunOptions options;
        options.args = {"-OS", image, "-INI", ini.string(), "-DBG", "1"};
        options.timeLimit = 30s;
        options.workingDirectory = dir.path().string();
        return runGuest(options);
    }

    zemtest::TempDir dir{"zem-timing"};
    fs::path ini;
};

TEST_F(TimingProgram, PollComesFiftyTimesASecondAndTheClockIsLocalTime)
{
    // The guest reads the clock once, somewhere inside the run; the run itself lasts one
    // to two clock seconds plus start-up and shut-down, longer on a busy host.
    const int64_t before = guestSecondsNow();
    GuestRun result = run(GUEST_POLL_COUNT);
    const int64_t after = guestSecondsNow();
    ASSERT_TRUE(result.exited && result.exitCode == 0) << result.describe();
    auto clock = reported(result, "clock");
    auto polls = reported(result, "polls");
    ASSERT_TRUE(clock && polls) << result.describe();
    EXPECT_GE(int64_t(*clock), before - 1) << result.describe();
    EXPECT_LE(int64_t(*clock), after + 1) << result.describe();
    // A poll the guest has not taken when the next one comes merges with it, so a starved
    // processor thread sees a few less.
    EXPECT_NEAR(double(*polls), 50.0, 5.0) << result.describe();
}

TEST_F(TimingProgram, PollStillArrivesWithBothCoresBusy)
{
    std::atomic<bool> stop{false};
    std::vector<std::thread> hogs;
    for (unsigned i = 0; i < std::max(2u, std::thread::hardware_concurrency()); ++i)
        hogs.emplace_back([&stop] {
            volatile uint64_t spin = 0;
            while (!stop.load(std::memory_order_relaxed)) spin = spin + 1;
        });
    GuestRun result = run(GUEST_POLL_COUNT);
    stop = true;
    for (auto& h : hogs) h.join();
    auto polls = reported(result, "polls");
    ASSERT_TRUE(polls) << result.describe();
    EXPECT_GT(*polls, 0u) << result.describe();
}

TEST_F(TimingProgram, IdleGuestLeavesTheHostProcessorAlone)
{
    double cpuBefore = childCpuSeconds();
    auto start = std::chrono::steady_clock::now();
    GuestRun result = run(GUEST_IDLE_SLEEP);
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double cpuUsed = childCpuSeconds() - cpuBefore;
    ASSERT_TRUE(result.exited && result.exitCode == 0) << result.describe();
    auto polls = reported(result, "idle end");
    ASSERT_TRUE(polls) << result.describe();
    // The poll kept coming while the guest slept: about 50 per second for 5-6 seconds.
    EXPECT_GE(*polls, 220u) << result.describe();
    // The whole run, start-up and shut-down included, is mostly the idle phase, long
    // enough that their cost does not hide the idle phase's.
    EXPECT_LT(cpuUsed, 0.10 * wall) << "CPU " << cpuUsed << " s of " << wall << " s\n" << result.describe();
}

}  // namespace
