// The threaded handlers against the plain table: the same random instruction streams from
// the same states must leave the same registers and the same memory.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "cpu/cpu.h"
#include "cpu/memory.h"

namespace {

constexpr uint32_t kRamMegabytes = 1;  // small: wild addresses hit RAM and the read-only tail
constexpr unsigned kRounds = 400;
constexpr unsigned kWordsPerRound = 256;
constexpr unsigned kInstructionsPerRound = 400;

struct Outcome {
    uint64_t executed;
    uint32_t regs[16];
    uint32_t msp, isp, usp, vbr, pc, latch;
    uint16_t sr;
    uint8_t x;
    NextStep step;
    std::vector<uint8_t> ram;
};

Outcome capture(uint64_t executed)
{
    Outcome o{};
    o.executed = executed;
    for (unsigned i = 0; i < 16; ++i) o.regs[i] = cpuRegister(i);
    // The slot of the active stack pointer is stale while it is active.
    *cpu.activeSlot = cpu.A[7];
    o.msp = cpu.msp;
    o.isp = cpu.isp;
    o.usp = cpu.usp;
    o.vbr = cpu.vbr;
    o.pc = cpuGetPc();
    o.latch = cpu.instrLatch;
    o.sr = cpuGetSr();
    o.x = cpu.x & 1;
    o.step = cpu.nextStep.load();
    o.ram.assign(mem.base, mem.base + mem.ramSize);
    return o;
}

std::string differences(const Outcome& a, const Outcome& b)
{
    std::ostringstream out;
    out << std::hex;
    if (a.executed != b.executed) out << " executed " << a.executed << "/" << b.executed;
    for (unsigned i = 0; i < 16; ++i)
        if (a.regs[i] != b.regs[i])
            out << " " << (i < 8 ? 'D' : 'A') << (i & 7) << " " << a.regs[i] << "/" << b.regs[i];
    if (a.msp != b.msp || a.isp != b.isp || a.usp != b.usp) out << " stack pointers";
    if (a.vbr != b.vbr) out << " vbr";
    if (a.pc != b.pc) out << " pc " << a.pc << "/" << b.pc;
    if (a.latch != b.latch) out << " latch " << a.latch << "/" << b.latch;
    if (a.sr != b.sr || a.x != b.x) out << " sr " << a.sr << "/" << b.sr;
    if (a.step != b.step) out << " nextStep " << int(a.step) << "/" << int(b.step);
    for (size_t i = 0; i < a.ram.size(); ++i) {
        if (a.ram[i] != b.ram[i]) {
            out << " memory from $" << i;
            break;
        }
    }
    return out.str();
}

TEST(CpuDispatch, ThreadedHandlersMatchThePlainTableOnRandomStreams)
{
    cpuReset();
    if (!cpuThreadedDispatch()) GTEST_SKIP() << "this build has no threaded dispatch";
    ASSERT_TRUE(memoryAllocate(kRamMegabytes));
    // Stop rarely, so that most rounds run their full length.
    cpuSetHostCallHandler(+[](unsigned group, unsigned, unsigned low) -> int32_t {
        if (group == 15 && low == 2) return HostCallResult::Stop;
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
    cpuSetStopWaits(false);  // no other thread: STOP continues at once
    std::mt19937 rng(20261210);
    auto any = [&] { return uint32_t(rng()); };
    testing::internal::CaptureStderr();  // the read-only tail logs every dropped store
    unsigned mismatches = 0;
    std::string first;
    uint64_t executed = 0;
    for (unsigned round = 0; round < kRounds && mismatches < 5; ++round) {
        cpuReset();
        std::memset(mem.base, 0, mem.ramSize);
        const uint32_t code = any() & mem.mask & ~1u;
        for (unsigned i = 0; i < kWordsPerRound; ++i) guestWriteWord(code + 2 * i, uint16_t(any()));
        for (unsigned v = 0; v < 64; ++v) guestWriteLong(4 * v, (code + 2 * (any() % kWordsPerRound)) & ~1u);
        uint32_t regs[16];
        for (auto& r : regs) r = any();
        const uint32_t usp = any(), msp = any(), isp = any();
        // Trace bits too: the trace steps run instructions through both forms as well.
        const uint8_t system = uint8_t(any()) & 0xF7;
        const uint16_t flags = uint16_t(any()) & (CpuFlag::N | CpuFlag::Z | CpuFlag::V | CpuFlag::C);
        const std::vector<uint8_t> start(mem.base, mem.base + mem.ramSize);

        Outcome outcome[2];
        for (int threaded = 0; threaded < 2; ++threaded) {
            cpuReset();
            std::memcpy(mem.base, start.data(), start.size());
            for (unsigned i = 0; i < 16; ++i) cpuRegister(i) = regs[i];
            cpu.usp = usp;
            cpu.msp = msp;
            cpu.isp = isp;
            cpu.A[7] = isp;  // reset leaves the interrupt stack active
            cpu.srSystem = system;
            cpuSrChanged();
            cpu.flags = flags;
            cpuSetPc(code);
            cpuSetPlainDispatch(!threaded);
            outcome[threaded] = capture(cpuRunFor(kInstructionsPerRound));
        }
        executed += outcome[1].executed;
        const std::string diff = differences(outcome[0], outcome[1]);
        if (!diff.empty()) {
            if (mismatches++ == 0) first = "round " + std::to_string(round) + " (plain/threaded):" + diff;
        }
    }
    testing::internal::GetCapturedStderr();
    cpuSetPlainDispatch(false);
    cpuSetStopWaits(true);
    cpuSetHostCallHandler(nullptr);
    cpuSetAccelHandler(nullptr);
    memoryRelease();
    EXPECT_EQ(mismatches, 0u) << first;
    EXPECT_GE(executed, uint64_t(kRounds) * kInstructionsPerRound / 2);
}

}  // namespace
