// The attachment points: host-call words and their results, accelerator words, and the
// screen write watch.
#include <vector>

#include "cpu_fixture.h"

namespace {

struct HostCallSeen {
    unsigned group = 99, sub = 99, low = 99;
    uint32_t pcDuringCall = 0;
};
HostCallSeen seen;
int32_t nextResult;
int hostCallSkip;  // bytes of inline data the call consumes

int32_t recordingHostCall(unsigned group, unsigned sub, unsigned low)
{
    seen = {group, sub, low, cpuGetPc()};
    cpu.hostCallPc += hostCallSkip;
    cpu.D[0] = 0x55;  // what a call that answers in registers would do
    cpuSetC(true);
    return nextResult;
}

struct HostCallCase {
    const char* what;
    int32_t result;
    uint32_t d0;
    uint16_t ccr;
    uint32_t pc;
};

class HostCallResults : public CpuTest, public ::testing::WithParamInterface<HostCallCase> {};

TEST_P(HostCallResults, SetD0AndFlags)
{
    const HostCallCase& c = GetParam();
    loadCode({0xA5C3, 0x4E71, 0x4E71});
    cpuSetHostCallHandler(&recordingHostCall);
    nextResult = c.result;
    hostCallSkip = 0;
    cpu.x = 1;
    cpu.flags = CpuFlag::V;
    step();
    EXPECT_EQ(seen.group, 5u);
    EXPECT_EQ(seen.sub, 0xCu);
    EXPECT_EQ(seen.low, 3u);
    EXPECT_EQ(seen.pcDuringCall, kCode + 2);
    EXPECT_EQ(cpu.D[0], c.d0) << c.what;
    EXPECT_EQ(sr() & 0x1F, c.ccr) << c.what;
    EXPECT_EQ(pc(), c.pc) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Results, HostCallResults,
    ::testing::Values(HostCallCase{"plain value", 0, 0, 0x10 | 0x04, 0x30002},
                      HostCallCase{"negative error code", -7, uint32_t(-7), 0x10 | 0x08, 0x30002},
                      HostCallCase{"keep registers", HostCallResult::KeepRegisters, 0x55, 0x10 | 0x02 | 0x01, 0x30002},
                      // Illegal: vector 4, to the test handler at $20000.
                      HostCallCase{"illegal", HostCallResult::Illegal, 0x55, 0x10 | 0x02 | 0x01, 0x20000}),
    [](const auto& info) { return caseLabel(info.param.what); });

TEST_F(CpuTest, IllegalHostCallResultStacksTheWordItself)
{
    loadCode({0xA5C3});
    cpuSetHostCallHandler(&recordingHostCall);
    nextResult = HostCallResult::Illegal;
    hostCallSkip = 4;  // even when the call had moved the PC on
    step();
    const Frame f = frameAt(cpu.A[7]);
    EXPECT_EQ(f.formatVector, 0x0010);
    EXPECT_EQ(f.pc, kCode);
}

TEST_F(CpuTest, HostCallMaySkipInlineDataAndStopTheRun)
{
    poke(kCode, {0xA001, 0x1234, 0x5678, 0xA002});
    cpuSetHostCallHandler(+[](unsigned, unsigned, unsigned low) -> int32_t {
        if (low == 1) {
            cpu.hostCallPc += 4;
            return 1;
        }
        return HostCallResult::Stop;
    });
    cpuRun();
    EXPECT_EQ(cpu.D[0], 1u);
    EXPECT_EQ(cpuGetPc(), kCode + 8);
}

TEST_F(CpuTest, AcceleratorWordsGoToTheirHandlerOrTrap)
{
    static unsigned lastOp;
    cpuSetAccelHandler(+[](unsigned op) {
        lastOp = op;
        return op != 0x1F;
    });
    loadCode({0x4EB9, 0x0003, 0x1000, 0xAB1F});  // JSR $31000; the word is the subroutine
    poke(0x31000, {0xAB10});
    step(2);
    EXPECT_EQ(lastOp, 0x10u);
    EXPECT_EQ(pc(), kCode + 6) << "returned as RTS does";
    EXPECT_EQ(cpu.A[7], 0x8000u);
    step();
    EXPECT_EQ(lastOp, 0x1Fu);
    EXPECT_EQ(pc(), kHandler);
    EXPECT_EQ(frameAt(cpu.A[7]).pc, kCode + 6) << "a refused word traps at itself";
}

// The screen watch: a window of 64 bytes at $40000 and the 32 KB QL screen.
struct Note {
    bool ql;
    uint32_t address;
    unsigned size;
    bool operator==(const Note&) const = default;
};
std::vector<Note> notes;

class ScreenWatchTest : public CpuTest {
protected:
    static constexpr uint32_t kWindow = 0x40000, kWindowSize = 64;
    ScreenWatch watch{};
    void SetUp() override
    {
        CpuTest::SetUp();
        notes.clear();
        watch.screenStart = mem.base + kWindow;
        watch.screenEnd = mem.base + kWindow + kWindowSize;
        watch.screenNote = [](uint8_t* host, unsigned size) {
            notes.push_back({false, uint32_t(host - mem.base), size});
        };
        watch.qlScreenNote = [](uint32_t guest, unsigned size) { notes.push_back({true, guest, size}); };
        cpuSetScreenWatch(&watch);
    }
    // MOVE.<size> D0,(A0) at the given address.
    void storeAt(uint16_t moveOpcode, uint32_t address)
    {
        loadCode({moveOpcode});
        cpu.A[0] = address;
        cpu.D[0] = 0x11223344;
        step();
    }
};

TEST_F(ScreenWatchTest, WritesInsideTheWindowAreNotedWithTheirSize)
{
    storeAt(0x2080, kWindow + 4);   // MOVE.L
    storeAt(0x3080, kWindow + 10);  // MOVE.W
    storeAt(0x1080, kWindow);       // MOVE.B
    const std::vector<Note> expected{{false, kWindow + 4, 4}, {false, kWindow + 10, 2}, {false, kWindow, 1}};
    EXPECT_EQ(notes, expected);
    EXPECT_EQ(guestReadLong(kWindow + 4), 0x11223344u);
}

TEST_F(ScreenWatchTest, StoresAtTheWindowEndAreCutToWhatLiesInside)
{
    storeAt(0x3080, kWindow + kWindowSize - 1);  // word at the last byte: a byte
    storeAt(0x2080, kWindow + kWindowSize - 3);  // long within the last three: word, even
    storeAt(0x2080, kWindow + kWindowSize - 2);
    const std::vector<Note> expected{{false, kWindow + kWindowSize - 1, 1},
                                     {false, kWindow + kWindowSize - 4, 2},
                                     {false, kWindow + kWindowSize - 2, 2}};
    EXPECT_EQ(notes, expected);
}

TEST_F(ScreenWatchTest, QlScreenBelowTheWindowAndPlainRamAbove)
{
    storeAt(0x3080, 0x20000);
    storeAt(0x2080, 0x27FFC);
    storeAt(0x2080, 0x28000);                // just past the QL screen
    storeAt(0x2080, kWindow + kWindowSize);  // just past the window
    storeAt(0x3080, 0x1FFFE);
    const std::vector<Note> expected{{true, 0x20000, 2}, {true, 0x27FFC, 4}};
    EXPECT_EQ(notes, expected);
}

TEST_F(ScreenWatchTest, ReadModifyWriteAndMovemAreWatchedStackPushesAreNot)
{
    loadCode({0x5290, 0x48D0, 0x0003, 0x4850});  // ADDQ.L #1,(A0); MOVEM.L D0-D1,(A0); PEA (A0)
    cpu.A[0] = kWindow + 8;
    cpu.A[7] = kWindow + 40;
    step(3);
    const std::vector<Note> expected{{false, kWindow + 8, 4}, {false, kWindow + 8, 4}, {false, kWindow + 12, 4}};
    EXPECT_EQ(notes, expected);
    EXPECT_EQ(guestReadLong(kWindow + 36), kWindow + 8) << "the push still happened";
}

}  // namespace
