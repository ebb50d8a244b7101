// No instruction stream can hurt the host: random words from random register states run
// to completion in a fresh machine, whatever exceptions they raise.
#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "cpu_fixture.h"

namespace {

constexpr uint32_t kFuzzRamMegabytes = 2;  // a small mask, so wild addresses hit RAM and the tail
constexpr unsigned kRounds = 2000;
constexpr unsigned kWordsPerRound = 512;
constexpr unsigned kInstructionsPerRound = 600;

TEST(CpuRobustness, RandomInstructionWordsNeverCrashTheHost)
{
    ASSERT_TRUE(memoryAllocate(kFuzzRamMegabytes));
    std::mt19937 rng(20260610);
    auto any = [&] { return uint32_t(rng()); };
    static bool sawHostCall;
    cpuSetHostCallHandler(+[](unsigned, unsigned, unsigned low) -> int32_t {
        sawHostCall = true;
        switch (low & 3) {
        case 0:
            return HostCallResult::KeepRegisters;
        case 1:
            return HostCallResult::Illegal;
        default:
            return int32_t(low);
        }
    });
    cpuSetAccelHandler(+[](unsigned op) { return (op & 1) != 0; });
    // A timer as in the machine: interrupt requests every millisecond, which also ends
    // any STOP the words contain.
    std::atomic<bool> done{false};
    std::thread timer([&] {
        while (!done.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            cpuRequestInterrupt();
        }
    });
    uint64_t executed = 0;
    testing::internal::CaptureStderr();  // the read-only tail logs every dropped store
    for (unsigned round = 0; round < kRounds; ++round) {
        cpuReset();
        const uint32_t code = any() & mem.mask & ~1u;
        for (unsigned i = 0; i < kWordsPerRound; ++i) guestWriteWord(code + 2 * i, uint16_t(any()));
        // Vectors point into random code too, so exceptions keep executing noise.
        for (unsigned v = 0; v < 64; ++v) guestWriteLong(4 * v, (code + 2 * (any() % kWordsPerRound)) & ~1u);
        for (auto& d : cpu.D) d = any();
        for (auto& a : cpu.A) a = any();
        cpu.usp = any();
        cpu.msp = any();
        cpu.isp = any();
        cpu.srSystem = uint8_t(any()) & 0x37;  // no trace: keep the run about the words
        cpuSrChanged();
        cpu.flags = uint16_t(any()) & (CpuFlag::N | CpuFlag::Z | CpuFlag::V | CpuFlag::C);
        cpuSetPc(code);
        executed += cpuRunFor(kInstructionsPerRound);
        if (cpu.nextStep.load() == NextStep::Leave) cpu.nextStep.store(NextStep::Loop);
    }
    testing::internal::GetCapturedStderr();
    done = true;
    timer.join();
    cpuSetHostCallHandler(nullptr);
    cpuSetAccelHandler(nullptr);
    memoryRelease();
    EXPECT_GE(executed, uint64_t(kRounds) * kInstructionsPerRound * 9 / 10);
    EXPECT_TRUE(sawHostCall);
}

}  // namespace
