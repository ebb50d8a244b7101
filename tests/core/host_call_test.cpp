#include "core/gui_link.h"
#include "core/host_call.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t CallPc = 0x30002;  // the word after a host call at $30000

int destroyRequests = 0;
void countDestroy() { ++destroyRequests; }
const GuiLink testLink{countDestroy};

class HostCallTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(memoryAllocate(16)); }
    static void TearDownTestSuite() { memoryRelease(); }
    void SetUp() override
    {
        destroyRequests = 0;
        guiLinkInstall(&testLink);
        cpu.hostCallPc = CallPc;
        guestWriteLong(CallPc, 0);
    }
    void TearDown() override { guiLinkInstall(nullptr); }

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
    guiLinkInstall(nullptr);
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
