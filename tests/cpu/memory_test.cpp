// Guest memory geometry: the power-of-two mask, the read-only tail above RAM and the
// range check that host calls use.
#include <gtest/gtest.h>

#include <sys/mman.h>

#include <bit>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>

#include "cpu/cpu.h"
#include "cpu/memory.h"
#include "platform/memory_block.h"

namespace {

struct Geometry {
    uint32_t megabytes;
    uint32_t ramSize;
    uint32_t mask;
};

class MemoryGeometry : public ::testing::TestWithParam<Geometry> {
protected:
    void TearDown() override { memoryRelease(); }
};

TEST_P(MemoryGeometry, MaskIsNextPowerOfTwoMinusOne)
{
    const Geometry g = GetParam();
    ASSERT_TRUE(memoryAllocate(g.megabytes));
    EXPECT_EQ(mem.ramSize, g.ramSize);
    EXPECT_EQ(mem.mask, g.mask);
    EXPECT_EQ(mem.addressSpaceSize, g.mask + 1);
    EXPECT_EQ(mem.ramEnd, mem.base + g.ramSize);
    // The read-only tail reaches a host page past the mask, where the extension words of
    // an instruction at the top of the range come from: reading there must not fault.
    ASSERT_EQ(std::popcount(mem.pageSize), 1);
    EXPECT_EQ(mem.base[g.mask + mem.pageSize], 0);
    EXPECT_EQ(guestReadLong(g.mask - 1), 0u);
}

INSTANTIATE_TEST_SUITE_P(Sizes, MemoryGeometry,
                         ::testing::Values(Geometry{2, 0x200000, 0x1FFFFF}, Geometry{3, 0x300000, 0x3FFFFF},
                                           Geometry{5, 0x500000, 0x7FFFFF}, Geometry{16, 0x1000000, 0xFFFFFF},
                                           Geometry{128, 0x8000000, 0x7FFFFFF}, Geometry{255, 0xFF00000, 0xFFFFFFF}),
                         [](const auto& info) { return std::to_string(info.param.megabytes) + "MB"; });

class GuestMemoryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(memoryAllocate(5));  // RAM to $4FFFFF, read-only tail to $7FFFFF
        cpuReset();
    }
    void TearDown() override { memoryRelease(); }
};

TEST_F(GuestMemoryTest, AddressesWrapAtTheMask)
{
    guestWriteLong(0x1234, 0xCAFEBABE);
    EXPECT_EQ(guestReadLong(0x80001234), 0xCAFEBABEu);
    EXPECT_EQ(guestReadLong(0x00801234), 0xCAFEBABEu);
    EXPECT_EQ(guestReadByte(0x1235), 0xFE);  // big-endian
}

TEST_F(GuestMemoryTest, TailReadsZeroAndDropsWritesWithALogLine)
{
    testing::internal::CaptureStderr();
    guestWriteLong(0x600000, 0x11223344);
    guestWriteByte(0x7FFFFF, 0x55);
    guestWriteLong(0x4FFFFE, 0x66778899);  // straddles the end of RAM: dropped whole
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(guestReadLong(0x600000), 0u);
    EXPECT_EQ(guestReadByte(0x7FFFFF), 0u);
    EXPECT_EQ(guestReadWord(0x4FFFFE), 0u);
    EXPECT_NE(log.find("M68K access violation at address $00600000 (possible PC $"), std::string::npos) << log;
    EXPECT_NE(log.find("address $007fffff"), std::string::npos) << log;
    EXPECT_NE(log.find("address $004ffffe"), std::string::npos) << log;
}

TEST_F(GuestMemoryTest, LongReadAtTheTopComesFromAboveTheMaskNotFromZero)
{
    guestWriteWord(0, 0xDEAD);
    EXPECT_EQ(guestReadLong(0x7FFFFE), 0u);
}

// A watched screen may end exactly at the top of RAM: instruction writes beyond it still
// land in the read-only tail (logged and dropped), not in host memory that faults.
TEST_F(GuestMemoryTest, ScreenAtTheTopOfRamLeavesTheTailProtected)
{
    static unsigned notes;
    notes = 0;
    const ScreenWatch watch{mem.base + 0x4F8000, mem.base + 0x500000, [](uint8_t*, unsigned) { ++notes; }, nullptr};
    cpuSetScreenWatch(&watch);
    guestWriteWord(0x30000, 0x2080);  // move.l d0,(a0)
    guestWriteWord(0x30002, 0x2280);  // move.l d0,(a1)
    guestWriteWord(0x30004, 0x2480);  // move.l d0,(a2)
    cpu.D[0] = 0x11223344;
    cpu.A[0] = 0x4FFFFC;  // last long of RAM, inside the screen
    cpu.A[1] = 0x500000;  // first byte of the tail
    cpu.A[2] = 0x4FFFFE;  // straddles the end of RAM
    cpuSetPc(0x30000);
    testing::internal::CaptureStderr();
    EXPECT_EQ(cpuRunFor(3), 3u);
    const std::string log = testing::internal::GetCapturedStderr();
    cpuSetScreenWatch(nullptr);
    EXPECT_EQ(notes, 1u);
    EXPECT_EQ(guestReadLong(0x4FFFFC), 0x11223344u);
    EXPECT_EQ(guestReadLong(0x500000), 0u);
    EXPECT_NE(log.find("M68K access violation at address $00500000"), std::string::npos) << log;
    EXPECT_NE(log.find("M68K access violation at address $004ffffe"), std::string::npos) << log;
}

TEST_F(GuestMemoryTest, RangeCheckRefusesBlocksBeyondRam)
{
    EXPECT_EQ(guestRange(0x1000, 0x100), mem.base + 0x1000);
    EXPECT_EQ(guestRange(0x4FFF00, 0x100), mem.base + 0x4FFF00);
    EXPECT_EQ(guestRange(0x4FFF00, 0x101), nullptr);
    EXPECT_EQ(guestRange(0x80001000, 0x10), mem.base + 0x1000);  // masked first
    EXPECT_EQ(guestRange(0x600000, 1), nullptr);
}

TEST(GuestMemoryAllocation, RefusesSizesOutsideTheAddressSpace)
{
    EXPECT_FALSE(memoryAllocate(0));
    EXPECT_FALSE(memoryAllocate(257));
    EXPECT_EQ(mem.base, nullptr);
}

#if !defined(ZEM_PORTABLE_FLAGS)
constexpr uintptr_t kFixedAddress = 0x60000000;

// Runs in a process of its own (the fallback is logged once per process); reports a
// failure on standard error and in the exit status.
[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "FAILED: %s\n", what);
    std::exit(1);
}

[[noreturn]] void runWithTheFixedAddressTaken()
{
    memoryRelease();
    const size_t page = size_t(hostPageSize());
    void* const want = reinterpret_cast<void*>(kFixedAddress);
    void* const taken = mmap(want, page, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
    if (taken != want) fail("the fixed address could not be taken for the test");

    if (!memoryAllocate(16)) fail("no guest memory with the fixed address taken");
    if (mem.base == want) fail("guest memory at the taken address");
    if (!cpuPortablePath() || cpuThreadedDispatch()) fail("not on the portable path");
    // Sum 5..1 in a loop, store it, compare it: branches, flags and a store through the
    // portable path's base.
    static constexpr uint16_t kCode[] = {
        0x7005,                  // moveq #5,d0
        0x7200,                  // moveq #0,d1
        0xD280,                  // loop: add.l d0,d1
        0x5380,                  // subq.l #1,d0
        0x66FA,                  // bne.s loop
        0x21C1, 0x1000,          // move.l d1,$1000.w
        0x0C81, 0x0000, 0x000F,  // cmpi.l #15,d1
        0x57C2,                  // seq d2
    };
    cpuReset();
    for (size_t i = 0; i < std::size(kCode); ++i) guestWriteWord(0x30000 + 2 * uint32_t(i), kCode[i]);
    cpuSetPc(0x30000);
    if (cpuRunFor(20) != 20) fail("instruction count");
    if (cpu.D[1] != 15 || guestReadLong(0x1000) != 15 || (cpu.D[2] & 0xFF) != 0xFF || cpuGetPc() != 0x30016)
        fail("wrong result of the instruction stream");

    memoryRelease();
    testing::internal::CaptureStderr();
    const bool again = memoryAllocate(16);
    if (!testing::internal::GetCapturedStderr().empty()) fail("the fallback logged a second time");
    if (!again || !cpuPortablePath()) fail("second allocation");

    memoryRelease();
    munmap(taken, page);
    if (!memoryAllocate(16) || mem.base != want || cpuPortablePath()) fail("not back on the fixed path");
    memoryRelease();
    std::exit(0);
}
#endif

// Something mapped at the fixed path's address must not keep the machine from starting.
TEST(GuestMemoryAllocation, TakenFixedAddressRunsThePortablePathAndSaysSoOnce)
{
#if defined(ZEM_PORTABLE_FLAGS)
    GTEST_SKIP() << "this build has only the portable path";
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process, not a fork of this one
    EXPECT_EXIT(runWithTheFixedAddressTaken(), testing::ExitedWithCode(0),
                "ZEM: Guest memory cannot be reserved at host address \\$60000000; guest memory at "
                "\\$[0-9a-f]+, running the portable processor path");
#endif
}

}  // namespace
