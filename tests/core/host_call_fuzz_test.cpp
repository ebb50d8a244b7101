// Every host-call word with random registers over random guest memory, for a bounded
// time: whatever the guest passes, no operation may touch host memory outside guest RAM
// (the sanitizer build turns any such access into a failure) or hang.
#include "core/gui_link.h"
#include "core/host_call.h"
#include "core/log.h"
#include "core/sys_calls.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <unistd.h>

namespace {

// Answers at once and opens nothing.
const GuiLink quietLink{
    [] {},
    [](const std::string&) {},
    [] { return false; },
    [] {},
    [](const std::string&) { return true; },
    [] { return std::optional<std::string>(std::string(70000, 'c')); },
    [](const std::string&, const std::string&) { return 2; },
};

// DebugPrint and the log would flood the test output; they go to /dev/null meanwhile.
class QuietStandardError {
public:
    QuietStandardError() : saved_(dup(STDERR_FILENO))
    {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, STDERR_FILENO);
        close(null);
    }
    ~QuietStandardError()
    {
        dup2(saved_, STDERR_FILENO);
        close(saved_);
    }

private:
    int saved_;
};

// Accelerator words never reach the dispatcher; Idle may sleep for as long as the guest
// asks, and SetHostClock would really set this machine's clock.
bool skipped(uint32_t word)
{
    return (word & 0xFF00) == 0xAB00 || (word & 0xFFF8) == 0xA0B0 || (word & 0xFFF0) == 0xA400;
}

std::chrono::seconds fuzzDuration()
{
    const char* text = getenv("ZEM_FUZZ_SECONDS");
    return std::chrono::seconds(text ? std::max(1, atoi(text)) : 20);
}

}  // namespace

TEST(HostCallFuzz, RandomRegistersAndMemoryStayInsideGuestRam)
{
    ASSERT_TRUE(memoryAllocate(1));
    guiLinkInstall(&quietLink);
    std::mt19937 random(20261210);
    auto randomWord = [&] { return uint32_t(random()); };
    // Register values that hit the interesting places more often than chance would.
    auto interesting = [&]() -> uint32_t {
        switch (random() % 6) {
        case 0: return mem.ramSize - (random() % 64);
        case 1: return random() % 0x100;
        case 2: return 0x20000 + random() % 0x10000;
        case 3: return 0xFFFFFFFF - (random() % 16);
        default: return randomWord();
        }
    };

    uint64_t calls = 0;
    {
        QuietStandardError quiet;
        auto end = std::chrono::steady_clock::now() + fuzzDuration();
        while (std::chrono::steady_clock::now() < end) {
            // Fresh random memory now and then: strings, lengths and texts of every kind.
            if (calls % 4096 == 0) {
                for (uint32_t a = 0; a < mem.ramSize; a += 4) guestWriteLong(a, randomWord());
                for (int i = 0; i < 64; ++i) guestWriteByte(random() % mem.ramSize, 0);
            }
            for (uint32_t word = 0xA000; word <= 0xAFFF; word += 1 + random() % 32) {
                if (skipped(word)) continue;
                for (unsigned i = 0; i < 8; ++i) {
                    cpu.D[i] = interesting();
                    cpu.A[i] = interesting();
                }
                cpu.hostCallPc = interesting() & ~1u;
                hostCall((word >> 8) & 0xF, (word >> 4) & 0xF, word & 0xF);
                ++calls;
            }
        }
    }
    zlogSetMask(0);
    guiLinkInstall(nullptr);
    sysResetState();
    memoryRelease();
    EXPECT_GT(calls, 0u);
    RecordProperty("calls", std::to_string(calls));
}
