#include "base/front_end.h"
#include "core/host_call.h"
#include "core/sys_calls.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t CallPc = 0x30002;  // the word after a host call at $30000

int destroyRequests = 0;
struct CountingFrontEnd : HeadlessFrontEnd {
    void requestQuit() override { ++destroyRequests; }
};
CountingFrontEnd testFrontEnd;

class HostCallTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(memoryAllocate(16));
        sysInstallHostCalls();
    }
    static void TearDownTestSuite()
    {
        sysRemoveHostCalls();
        memoryRelease();
    }
    void SetUp() override
    {
        destroyRequests = 0;
        frontEndInstall(&testFrontEnd);
        cpu.hostCallPc = CallPc;
        guestWriteLong(CallPc, 0);
    }
    void TearDown() override { frontEndInstall(nullptr); }

    static int32_t call(uint16_t word) { return hostCall((word >> 8) & 0xF, (word >> 4) & 0xF, word & 0xF); }
};

}  // namespace

TEST_F(HostCallTest, UnassignedWordsAreIllegalAndTouchNothing)
{
    // Unassigned SYS slots, the unassigned groups, bad register numbers, and groups whose
    // devices are not built yet.
    for (uint16_t word : {0xA008, 0xA00F, 0xA017, 0xA1D0, 0xA500, 0xA600, 0xA800, 0xA900, 0xAE10, 0xAF10, 0xA0FD}) {
        cpu.D[0] = 0x12345678;
        EXPECT_EQ(call(word), HostCallResult::Illegal) << std::hex << word;
        EXPECT_EQ(cpu.hostCallPc, CallPc) << std::hex << word;
        EXPECT_EQ(cpu.D[0], 0x12345678u);
    }
    EXPECT_EQ(destroyRequests, 0);
}

TEST_F(HostCallTest, QuitWithCheckWordSkipsItAndStops)
{
    for (uint16_t word = 0xA000; word <= 0xA007; ++word) {
        cpu.hostCallPc = CallPc;
        guestWriteWord(CallPc, HostCallCheckWord);
        EXPECT_EQ(call(word), HostCallResult::Stop) << std::hex << word;
        EXPECT_EQ(cpu.hostCallPc, CallPc + 2);
    }
    EXPECT_EQ(destroyRequests, 8);
}

TEST_F(HostCallTest, QuitWithoutCheckWordIsIllegalAndLeavesThePc)
{
    for (uint16_t next : {0x0000, 0x4AFA, 0xFB4A, 0x4E71}) {
        guestWriteWord(CallPc, next);
        EXPECT_EQ(call(0xA000), HostCallResult::Illegal) << std::hex << next;
        EXPECT_EQ(cpu.hostCallPc, CallPc);
    }
    EXPECT_EQ(destroyRequests, 0);
}

TEST_F(HostCallTest, QuitWithoutGuiStillStops)
{
    frontEndInstall(nullptr);
    guestWriteWord(CallPc, HostCallCheckWord);
    EXPECT_EQ(call(0xA000), HostCallResult::Stop);
}

TEST(HostCallDecode, PairedGroupsUseTheLowNibblesTopBit)
{
    EXPECT_EQ(HostCallDecode::pairedIndex(0x0, 0x0), 0u);
    EXPECT_EQ(HostCallDecode::pairedIndex(0x0, 0x8), 1u);
    EXPECT_EQ(HostCallDecode::pairedIndex(0xF, 0xF), 31u);
    EXPECT_EQ(HostCallDecode::pairedRegister(0xE), 6u);
    EXPECT_TRUE(HostCallDecode::isRegister(7));
    EXPECT_FALSE(HostCallDecode::isRegister(8));
}

namespace {
unsigned lastArg = 99;
int32_t recordArg(unsigned arg)
{
    lastArg = arg;
    return 0;
}
}  // namespace

TEST_F(HostCallTest, GroupDecodingDecidesWhatReachesAnInstalledOperation)
{
    struct Slot {
        unsigned group, index;
    };
    const Slot slots[] = {{HostCallGroupId::Scr, 0}, {HostCallGroupId::Scr, 15}, {HostCallGroupId::Snd, 3},
                          {HostCallGroupId::Ip, 4},  {HostCallGroupId::Dos, 25}, {HostCallGroupId::Flp, 6}};
    for (Slot s : slots) ASSERT_TRUE(hostCallInstall(s.group, s.index, recordArg));

    struct Case {
        uint16_t word;
        int32_t result;
        unsigned arg;
    } cases[] = {
        {0xA105, 0, 5},                        // register 5
        {0xA108, HostCallResult::Illegal, 0},  // 8 is no register
        {0xA1F3, 0, 3},                        // SCR 15: the low nibble selects
        {0xA1FB, 0, 11},
        {0xA73F, 0, 15},                       // SND 3: selector too
        {0xA7E0, HostCallResult::Illegal, 0},  // SND has no sub-operation 14
        {0xAA04, 0, 0},
        {0xAA14, HostCallResult::Illegal, 0},  // IP: the sub-operation must be 0
        {0xAA05, HostCallResult::Illegal, 0},  // IP: only five operations
        {0xADCE, 0, 6},                        // DOS index 25, register 6
        {0xADC6, HostCallResult::Illegal, 0},  // index 24 is empty
        {0xAF06, 0, 0},
        {0xAF07, HostCallResult::Illegal, 0},
        {0xA500, HostCallResult::Illegal, 0},
    };
    for (const Case& c : cases) {
        lastArg = 99;
        EXPECT_EQ(call(c.word), c.result) << std::hex << c.word;
        if (c.result == 0)
            EXPECT_EQ(lastArg, c.arg) << std::hex << c.word;
        else
            EXPECT_EQ(lastArg, 99u) << std::hex << c.word;
    }

    // Slots the catalogue does not have cannot be filled.
    EXPECT_FALSE(hostCallInstall(HostCallGroupId::Inp, 4, recordArg));
    EXPECT_FALSE(hostCallInstall(0x5, 0, recordArg));
    EXPECT_FALSE(hostCallInstall(HostCallGroupId::Flp, 7, recordArg));
    for (Slot s : slots) hostCallRemove(s.group, s.index);
    EXPECT_EQ(call(0xA105), HostCallResult::Illegal);
}

TEST_F(HostCallTest, SysAndTheClockAnswerOnlyWhileInstalled)
{
    // Nothing is installed behind the machine's back: GetRamSize and the clock's slot in
    // INP exist only between their parts' start and shut-down.
    cpu.A[0] = 0;
    sysRemoveHostCalls();
    EXPECT_EQ(call(0xA020), HostCallResult::Illegal);
    EXPECT_EQ(cpu.A[0], 0u);
    sysInstallHostCalls();
    EXPECT_EQ(call(0xA020), HostCallResult::KeepRegisters);
    EXPECT_EQ(cpu.A[0], mem.ramSize);
    EXPECT_EQ(call(0xA400), HostCallResult::Illegal);
}
