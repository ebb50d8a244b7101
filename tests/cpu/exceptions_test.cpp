// Exception processing: frames, stacks, trace, interrupts, RTE, STOP and the illegal and
// privileged exits.
#include <atomic>
#include <chrono>
#include <thread>

#include "cpu_fixture.h"

namespace {

constexpr uint16_t kIllegalFv = 0x0010, kPrivilegeFv = 0x0020, kInterruptFv = 0x0068;

struct Record {
    uint32_t sp;
    uint16_t handlerSr, stackedSr;
    uint32_t stackedPc;
    uint16_t formatVector;
    uint32_t latch, instruction;
};

Record record(unsigned i)
{
    const uint32_t a = 0x2000 + 24 * i;
    return {guestReadLong(a),      guestReadWord(a + 4),  guestReadWord(a + 6), guestReadLong(a + 8),
            guestReadWord(a + 12), guestReadLong(a + 14), guestReadLong(a + 18)};
}

TEST_F(CpuTest, GuestSeesTheFramesOfEveryExceptionKind)
{
    ASSERT_TRUE(runProgram("exceptions"));
    constexpr uint32_t ssp = 0x8000;
    struct Expect {
        const char* what;
        uint16_t fv;
        int pcOffset;  // stacked PC relative to the instruction
        unsigned frame;
        uint16_t handlerSystem, stackedSystem;  // high bytes of the SRs
    };
    const Expect expect[] = {
        {"TRAP #5", 0x0094, 2, 8, 0x27, 0x27},
        {"zero divide", 0x2014, 4, 12, 0x27, 0x27},
        {"CHK above the bound", 0x2018, 4, 12, 0x27, 0x27},
        {"CHK below zero", 0x2018, 4, 12, 0x27, 0x27},
        {"odd JMP target", 0x200C, 0, 12, 0x27, 0x27},
        {"ILLEGAL", kIllegalFv, 0, 8, 0x27, 0x27},
        {"BKPT", kIllegalFv, 0, 8, 0x27, 0x27},
        {"MOVES", kIllegalFv, 0, 8, 0x27, 0x27},
        {"MOVEC SFC", kIllegalFv, 0, 8, 0x27, 0x27},
        {"privileged in user mode", kPrivilegeFv, 0, 8, 0x20, 0x00},
        {"line F", 0x002C, 0, 8, 0x20, 0x20},
        {"TRAPV", 0x201C, 2, 12, 0x20, 0x20},
        {"TRAPEQ.W", 0x201C, 4, 12, 0x20, 0x20},
        {"trace on change of flow after NOP", 0x2024, 2, 12, 0x27, 0x47},
        {"trace of every instruction", 0x2024, 2, 12, 0x27, 0xA7},
    };
    for (unsigned i = 0; i < std::size(expect); ++i) {
        const Expect& e = expect[i];
        const Record r = record(i);
        SCOPED_TRACE(e.what);
        EXPECT_EQ(r.formatVector, e.fv);
        EXPECT_EQ(r.stackedPc, r.instruction + e.pcOffset);
        EXPECT_EQ(r.sp, ssp - e.frame);
        EXPECT_EQ(r.handlerSr >> 8, e.handlerSystem);
        EXPECT_EQ(r.stackedSr >> 8, e.stackedSystem);
        if (e.frame == 12 && e.fv != 0x200C) {
            EXPECT_EQ(r.latch, r.instruction);
        }
    }
    EXPECT_EQ(record(4).latch, 0x1000u) << "address error latches the target with bit 0 clear";
    EXPECT_EQ(record(2).stackedSr & 0x08, 0) << "CHK above the bound: N = 0";
    EXPECT_EQ(record(3).stackedSr & 0x08, 0x08) << "CHK below zero: N = 1";

    const Record trapTraced = record(15);
    EXPECT_EQ(trapTraced.formatVector, 0x2024);
    EXPECT_EQ(trapTraced.stackedPc, guestReadLong(0x10000 + 4 * 38)) << "trace fires at the trap handler";
    EXPECT_EQ(trapTraced.sp, ssp - 8 - 12) << "trap frame below the trace frame";
    EXPECT_EQ(trapTraced.stackedSr >> 8, 0xA7) << "TRAP keeps T1";
    EXPECT_EQ(trapTraced.latch, trapTraced.instruction);

    const Record oddWithTrace = record(16);
    EXPECT_EQ(oddWithTrace.formatVector, 0x200C) << "address error comes before the trace";
    EXPECT_EQ(oddWithTrace.stackedPc, oddWithTrace.instruction);
    EXPECT_EQ(oddWithTrace.latch, 0x2000u);

    EXPECT_EQ(guestReadWord(0x1800), 0x0000) << "MOVE from SR in user mode";
    EXPECT_EQ(guestReadWord(0x1802), 0x600D) << "TRAPNE not taken";
    EXPECT_EQ(guestReadWord(0x1804), 0x600D) << "RESET";
    EXPECT_EQ(record(17).formatVector, 0) << "no further exception";
}

// Opcodes outside the map, each stacking the PC of its own first word.
class IllegalWords : public CpuTest, public ::testing::WithParamInterface<std::array<uint16_t, 3>> {};

TEST_P(IllegalWords, StackThePcOfTheInstructionWord)
{
    const auto& w = GetParam();
    loadCode({w[0], w[1], w[2]});
    step();
    EXPECT_EQ(pc(), kHandler);
    const Frame f = frameAt(cpu.A[7]);
    EXPECT_EQ(f.formatVector, kIllegalFv);
    EXPECT_EQ(f.pc, kCode);
    EXPECT_EQ(cpu.A[7], 0x8000u - 8);
}

INSTANTIATE_TEST_SUITE_P(Map, IllegalWords,
                         ::testing::Values(std::array<uint16_t, 3>{0x4848},          // BKPT #0
                                           std::array<uint16_t, 3>{0x0E50, 0x1000},  // MOVES
                                           std::array<uint16_t, 3>{0x06C0},          // CALLM
                                           std::array<uint16_t, 3>{0x4E78}, std::array<uint16_t, 3>{0x4E7C},
                                           std::array<uint16_t, 3>{0x4E00},          // 4E00-4E3F
                                           std::array<uint16_t, 3>{0x4140},          // 4140-417F
                                           std::array<uint16_t, 3>{0x7100},          // MOVEQ with bit 8 set
                                           std::array<uint16_t, 3>{0x1048},          // MOVEA.B
                                           std::array<uint16_t, 3>{0x013C, 0x0001},  // BTST D0,#imm
                                           std::array<uint16_t, 3>{0x29C0},          // MOVE.L D0 to an immediate
                                           std::array<uint16_t, 3>{0x41C0},          // LEA D0
                                           std::array<uint16_t, 3>{0x4ED8},          // JMP (A0)+
                                           std::array<uint16_t, 3>{0x4E7B, 0x0000},  // MOVEC D0,SFC
                                           std::array<uint16_t, 3>{0x4E7A, 0x1005},  // MOVEC from an unassigned code
                                           std::array<uint16_t, 3>{0xAB20},          // beyond the accelerator words
                                           std::array<uint16_t, 3>{0xA123},          // host call without a handler
                                           std::array<uint16_t, 3>{0xAB05},          // accelerator without a handler
                                           std::array<uint16_t, 3>{0x4AFC}),         // ILLEGAL
                         [](const auto& info) { return wordsLabel(info.param); });

class PrivilegedWords : public CpuTest, public ::testing::WithParamInterface<std::array<uint16_t, 3>> {};

TEST_P(PrivilegedWords, TrapInUserMode)
{
    const auto& w = GetParam();
    loadCode({w[0], w[1], w[2]});
    cpu.usp = 0x6000;
    cpu.srSystem = 0x00;
    cpuSrChanged();  // to user mode: A7 = USP
    ASSERT_EQ(cpu.A[7], 0x6000u);
    step();
    const Frame f = frameAt(cpu.A[7]);
    EXPECT_EQ(cpu.A[7], 0x8000u - 8) << "frame on the interrupt stack";
    EXPECT_EQ(f.formatVector, kPrivilegeFv);
    EXPECT_EQ(f.pc, kCode);
    EXPECT_EQ(f.sr >> 8, 0);
}

INSTANTIATE_TEST_SUITE_P(Supervisor, PrivilegedWords,
                         ::testing::Values(std::array<uint16_t, 3>{0x46FC, 0x2700},   // MOVE #,SR
                                           std::array<uint16_t, 3>{0x007C, 0x0700},   // ORI to SR
                                           std::array<uint16_t, 3>{0x4E72, 0x2000},   // STOP
                                           std::array<uint16_t, 3>{0x4E73},           // RTE
                                           std::array<uint16_t, 3>{0x4E70},           // RESET
                                           std::array<uint16_t, 3>{0x4E60},           // MOVE A0,USP
                                           std::array<uint16_t, 3>{0x4E7A, 0x0801}),  // MOVEC VBR,D0
                         [](const auto& info) { return wordsLabel(info.param); });

TEST_F(CpuTest, InterruptIsDroppedAtMaskTwoAndTakenBelow)
{
    loadCode({0x4E71, 0x4E71});
    cpu.srSystem = 0x22;
    cpuSrChanged();
    cpuRequestInterrupt();
    step();
    EXPECT_EQ(pc(), kCode + 2) << "dropped: the NOP ran";
    EXPECT_EQ(cpu.A[7], 0x8000u);
    EXPECT_EQ(cpu.nextStep.load(), NextStep::Loop);

    cpu.srSystem = 0x21;
    cpuSrChanged();
    cpuRequestInterrupt();
    step();
    EXPECT_EQ(pc(), kHandler + 2) << "accepted before the next instruction, then one NOP of the handler";
    const Frame f = frameAt(cpu.A[7]);
    EXPECT_EQ(f.formatVector, kInterruptFv);
    EXPECT_EQ(f.pc, kCode + 2);
    EXPECT_EQ(f.sr >> 8, 0x21);
    EXPECT_EQ(sr() >> 8, 0x22) << "mask 2, supervisor";
}

TEST_F(CpuTest, InterruptInMasterModeLeavesAThrowawayFrameAndRteUnwindsBoth)
{
    loadCode({0x4E71});
    poke(kHandler, {0x4E73});  // the interrupt handler is a bare RTE
    cpu.msp = 0x7000;
    cpu.srSystem = 0x30;  // S = 1, M = 1, mask 0
    cpuSrChanged();
    ASSERT_EQ(cpu.A[7], 0x7000u);
    cpu.flags = CpuFlag::Z;
    cpuRequestInterrupt();
    step();  // acceptance, then the handler's RTE
    // The frames are still in memory below the stack pointers.
    const Frame master = frameAt(0x7000 - 8);
    EXPECT_EQ(master.formatVector, kInterruptFv);
    EXPECT_EQ(master.pc, kCode);
    EXPECT_EQ(master.sr, 0x3004);
    const Frame throwaway = frameAt(0x8000 - 8);
    EXPECT_EQ(throwaway.formatVector, 0x1000 | kInterruptFv);
    EXPECT_EQ(throwaway.pc, kCode);
    EXPECT_EQ(throwaway.sr, 0x3004);
    // RTE took both frames and returned to master mode.
    EXPECT_EQ(pc(), kCode);
    EXPECT_EQ(sr(), 0x3004);
    EXPECT_EQ(cpu.A[7], 0x7000u);
    EXPECT_EQ(cpu.isp, 0x8000u);
}

TEST_F(CpuTest, InterruptHandlerRunsOnTheInterruptStackWithMClear)
{
    loadCode({0x4E71});
    cpu.msp = 0x7000;
    cpu.srSystem = 0x30;
    cpuSrChanged();
    cpuRequestInterrupt();
    step();  // acceptance and the first handler NOP
    EXPECT_EQ(sr() >> 8, 0x22);
    EXPECT_EQ(cpu.A[7], 0x8000u - 8);
    EXPECT_EQ(cpu.msp, 0x7000u - 8);
}

struct RteCase {
    uint16_t format;
    uint32_t popped;
};
class RteFormats : public CpuTest, public ::testing::WithParamInterface<RteCase> {};

TEST_P(RteFormats, PopTheFrameSize)
{
    loadCode({0x4E73});
    const uint32_t frame = 0x7000;
    poke(frame, {0x2015, 0x0004, 0x1000, uint16_t(GetParam().format << 12 | 0x0018)});
    cpu.A[7] = frame;
    step();
    EXPECT_EQ(pc(), 0x41000u);
    EXPECT_EQ(sr(), 0x2015);
    EXPECT_EQ(cpu.A[7], frame + GetParam().popped);
}

INSTANTIATE_TEST_SUITE_P(Formats, RteFormats,
                         ::testing::Values(RteCase{0, 8}, RteCase{2, 12}, RteCase{9, 12}, RteCase{15, 12}),
                         [](const auto& info) { return "Format" + std::to_string(info.param.format); });

TEST_F(CpuTest, RteIntoTraceArmsItForTheInstructionReturnedTo)
{
    loadCode({0x4E73});
    poke(0x7000, {0x8700, 0x0004, 0x1000, 0x0000});
    poke(0x41000, {0x7001});  // MOVEQ #1,D0
    cpu.A[7] = 0x7000;
    step();  // RTE
    EXPECT_EQ(cpu.nextStep.load(), NextStep::TraceArm);
    step();  // MOVEQ, then the trace exception
    EXPECT_EQ(cpu.D[0], 1u);
    EXPECT_EQ(pc(), kHandler);
    const Frame f = frameAt(cpu.A[7]);
    EXPECT_EQ(f.formatVector, 0x2024);
    EXPECT_EQ(f.pc, 0x41002u);
    EXPECT_EQ(f.latch, 0x41000u);
    EXPECT_EQ(sr() >> 8, 0x27) << "trace bits cleared, S set, mask kept";
}

TEST_F(CpuTest, StopWaitsForAnInterruptAndStacksTheFollowingWord)
{
    loadCode({0x4E72, 0x2000, 0x4E71});
    std::atomic<bool> stopped{false};
    std::thread timer([&] {
        while (!stopped.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(4));
            cpuRequestInterrupt();
        }
    });
    step();  // STOP, returns once the tick arrives
    stopped = true;
    timer.join();
    EXPECT_EQ(pc(), kCode + 4);
    step();  // the interrupt is accepted before the next instruction
    const Frame f = frameAt(cpu.A[7]);
    EXPECT_EQ(f.formatVector, kInterruptFv);
    EXPECT_EQ(f.pc, kCode + 4);
    EXPECT_EQ(f.sr >> 8, 0x20);
}

TEST_F(CpuTest, StopRequestEndsTheRunEvenWhileStopped)
{
    poke(kCode, {0x4E72, 0x2700});  // STOP with interrupts masked: only a stop request ends it
    std::thread stopper([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        cpuRequestStop();
    });
    cpuRun();
    stopper.join();
    EXPECT_EQ(cpuGetPc(), kCode + 4);
}

TEST_F(CpuTest, MovecReachesTheStackSlotsAndVbr)
{
    // MOVEC D0,VBR; MOVEC D1,MSP; MOVEC ISP,D2; MOVEC D3,USP; MOVEC CACR,D4; TRAP #0
    loadCode({0x4E7B, 0x0801, 0x4E7B, 0x1803, 0x4E7A, 0x2804, 0x4E7B, 0x3800, 0x4E7A, 0x4002, 0x4E40});
    cpu.D[0] = 0x40000;
    cpu.D[1] = 0x7000;
    cpu.D[3] = 0x6000;
    cpu.D[4] = 0xFFFFFFFF;
    guestWriteLong(0x40080, 0x50000);
    step(6);
    EXPECT_EQ(cpu.vbr, 0x40000u);
    EXPECT_EQ(cpu.msp, 0x7000u);
    EXPECT_EQ(cpu.D[2], 0x8000u) << "ISP is the live A7 while M = 0";
    EXPECT_EQ(cpu.usp, 0x6000u);
    EXPECT_EQ(cpu.D[4], 0u) << "CACR reads 0";
    EXPECT_EQ(pc(), 0x50000u) << "TRAP #0 reads its vector at VBR + $80";
    EXPECT_EQ(frameAt(cpu.A[7]).formatVector, 0x0080);
}

TEST_F(CpuTest, HostCallCanArmTraceForTheNextInstruction)
{
    static auto handler = +[](unsigned, unsigned, unsigned) -> int32_t {
        cpuSetTrace();
        return HostCallResult::KeepRegisters;
    };
    loadCode({0xA100, 0x7005, 0x4E71});
    cpuSetHostCallHandler(handler);
    step();  // host call
    EXPECT_EQ(cpu.nextStep.load(), NextStep::TraceArm);
    step();  // MOVEQ, then trace
    EXPECT_EQ(cpu.D[0], 5u);
    const Frame f = frameAt(cpu.A[7]);
    EXPECT_EQ(f.formatVector, 0x2024);
    EXPECT_EQ(f.pc, kCode + 4);
    EXPECT_EQ(f.latch, kCode + 2);
}

TEST_F(CpuTest, ResetStartsAt30000InSupervisorModeWithMaskSeven)
{
    static auto quit = +[](unsigned, unsigned, unsigned) -> int32_t { return HostCallResult::Stop; };
    poke(kCode, {0x40C1, 0x200F, 0xA000});  // MOVE SR,D1; MOVE.L A7,D0; host call
    cpu.A[7] = 0x1234;
    cpu.vbr = 0x1000;
    cpuSetHostCallHandler(quit);
    cpuRun();
    EXPECT_EQ(cpu.D[1] & 0xFFFF, 0x2700u);
    EXPECT_EQ(cpu.D[0], 0u);
    EXPECT_EQ(cpu.vbr, 0u);
    EXPECT_EQ(cpuGetPc(), kCode + 6);
}

}  // namespace
