// Every host-call word with random registers over random guest memory, for a bounded
// time. Whatever the guest passes, after every call:
// - the host did not fault, and no access outside guest RAM happened (the sanitizer build
//   turns any such access into a failure);
// - every byte of guest RAM that changed lies in a range the call reported to the
//   display, and every reported range lies in RAM; the read-only tail still reads zero;
// - the processor state a host call never owns (the stack pointer slots, status byte,
//   VBR, X) is unchanged, and a call refused as illegal changed nothing at all.
#include "base/front_end.h"
#include "core/guest_write.h"
#include "core/host_call.h"
#include "log/log.h"
#include "core/sys_calls.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <fcntl.h>
#include <random>
#include <unistd.h>

namespace {

// Answers at once and opens nothing; the clipboard holds more than a QDOS string can.
struct QuietFrontEnd : HeadlessFrontEnd {
    void setWindowTitle(const std::string&) override {}
    bool clipboardPut(const std::string&) override { return true; }
    std::optional<std::string> clipboardText() override { return std::string(70000, 'c'); }
    int openFile(const std::string&, const std::string&) override { return ShellResult::FileNotFound; }
};
QuietFrontEnd quietFrontEnd;

// The ranges host code reported during one call, as guest offsets.
struct Reported {
    size_t from, to;
};
std::vector<Reported> reported;
bool reportedOutsideRam = false;

void recordHostWrite(uint8_t* host, size_t length)
{
    if (host < mem.base || host + length > mem.ramEnd) {
        reportedOutsideRam = true;
        return;
    }
    reported.push_back({size_t(host - mem.base), size_t(host - mem.base) + length});
}

bool coveredByReports(size_t offset)
{
    for (const Reported& r : reported)
        if (offset >= r.from && offset < r.to) return true;
    return false;
}

// The part of the processor state no host call may change (A7 itself may be an
// operation's result register).
struct Untouchable {
    uint32_t msp, isp, usp, vbr;
    uint32_t* activeSlot;
    uint8_t x, srSystem, srPrevious;
    bool operator==(const Untouchable&) const = default;
};
Untouchable untouchable()
{
    return {cpu.msp, cpu.isp, cpu.usp, cpu.vbr, cpu.activeSlot, cpu.x, cpu.srSystem, cpu.srPrevious};
}

// What an illegal word must leave as it was, beyond the untouchable part.
struct Visible {
    uint32_t d[8], a[8], pc;
    uint16_t flags;
    bool operator==(const Visible& o) const
    {
        return !memcmp(d, o.d, sizeof d) && !memcmp(a, o.a, sizeof a) && pc == o.pc && flags == o.flags;
    }
};
Visible visible()
{
    Visible v{};
    memcpy(v.d, cpu.D, sizeof v.d);
    memcpy(v.a, cpu.A, sizeof v.a);
    v.pc = cpu.hostCallPc;
    v.flags = cpu.flags;
    return v;
}

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

TEST(HostCallFuzz, RandomCallsWriteOnlyWhatTheyReportAndKeepTheProcessorState)
{
    // 3 MB: RAM ends below the address space's end, so there is a read-only tail.
    ASSERT_TRUE(memoryAllocate(3));
    ASSERT_LT(mem.ramSize, mem.mask + 1);
    frontEndInstall(&quietFrontEnd);
    sysInstallHostCalls();
    guestSetHostWriteObserver(recordHostWrite);
    std::mt19937 random(20261210);
    auto randomWord = [&] { return uint32_t(random()); };
    // Register values that hit the interesting places more often than chance would.
    auto interesting = [&]() -> uint32_t {
        switch (random() % 6) {
        case 0:
            return mem.ramSize - (random() % 64);
        case 1:
            return random() % 0x100;
        case 2:
            return 0x20000 + random() % 0x10000;
        case 3:
            return 0xFFFFFFFF - (random() % 16);
        default:
            return randomWord();
        }
    };

    std::vector<uint8_t> before(mem.ramSize);
    uint64_t calls = 0, failures = 0;
    constexpr uint64_t MaxReportedFailures = 10;
    auto fail = [&](uint32_t word, const std::string& what) {
        if (++failures <= MaxReportedFailures) ADD_FAILURE() << "word $" << std::hex << word << ": " << what;
    };
    {
        QuietStandardError quiet;
        auto end = std::chrono::steady_clock::now() + fuzzDuration();
        while (std::chrono::steady_clock::now() < end && failures == 0) {
            // Fresh random memory now and then: strings, lengths and texts of every kind.
            if (calls % 4096 == 0) {
                for (uint32_t a = 0; a < mem.ramSize; a += 4) guestWriteLong(a, randomWord());
                for (int i = 0; i < 64; ++i) guestWriteByte(random() % mem.ramSize, 0);
                for (uint32_t a = mem.ramSize; a <= mem.mask; a += 4093)
                    if (guestReadByte(a) != 0) fail(0, "the read-only tail changed");
            }
            for (uint32_t word = 0xA000; word <= 0xAFFF; word += 1 + random() % 32) {
                if (skipped(word)) continue;
                for (unsigned i = 0; i < 8; ++i) {
                    cpu.D[i] = interesting();
                    cpu.A[i] = interesting();
                }
                cpu.hostCallPc = interesting() & ~1u;
                memcpy(before.data(), mem.base, mem.ramSize);
                const Untouchable fixed = untouchable();
                const Visible seen = visible();
                reported.clear();

                const int32_t result = hostCall((word >> 8) & 0xF, (word >> 4) & 0xF, word & 0xF);
                ++calls;

                if (reportedOutsideRam) fail(word, "reported a write outside RAM");
                if (!(untouchable() == fixed)) fail(word, "changed the stack slots or the status byte");
                const bool memoryChanged = memcmp(before.data(), mem.base, mem.ramSize) != 0;
                if (result == HostCallResult::Illegal && (memoryChanged || !(visible() == seen)))
                    fail(word, "refused as illegal but changed registers or memory");
                if (memoryChanged) {
                    for (size_t i = 0; i < mem.ramSize; ++i)
                        if (before[i] != mem.base[i] && !coveredByReports(i)) {
                            fail(word, "wrote guest offset " + std::to_string(i) + " without telling the display");
                            break;
                        }
                }
            }
        }
    }
    guestSetHostWriteObserver(nullptr);
    sysRemoveHostCalls();
    zlogSetMask(0);
    frontEndInstall(nullptr);
    sysResetState();
    memoryRelease();
    EXPECT_GT(calls, 0u);
    RecordProperty("calls", std::to_string(calls));
}
