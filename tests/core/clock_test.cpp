// The clock register and SetHostClock's decoding (the host clock itself is never set:
// the tests replace the host step).
#include "core/clock.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"

#include <gtest/gtest.h>

#include <ctime>
#include <vector>

namespace {

// Guest seconds computed apart from the code under test: the local calendar reading as a
// UTC instant, plus 1961-1970.
int64_t expectedGuestSecondsNow()
{
    time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    return int64_t(timegm(&local)) + 283996800;
}

TEST(GuestSeconds, CountFrom1961LocalTime)
{
    EXPECT_EQ(guestSecondsFromLocal1970(0), 283996800u);                                  // 1970-01-01
    EXPECT_EQ(guestSecondsFromLocal1970(-283996800), 0u);                                 // 1961-01-01
    EXPECT_EQ(guestSecondsFromLocal1970(1582979696), 0x6F47CCF0u);                        // 2020-02-29 12:34:56
    EXPECT_EQ(guestSecondsFromLocal1970(4011010496), uint32_t(4295007296 - 4294967296));  // wraps
}

class ClockRegister : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(memoryAllocate(2)); }
    static void TearDownTestSuite() { memoryRelease(); }
};

TEST_F(ClockRegister, HoldsLocalTimeBigEndian)
{
    guestWriteLong(ClockLayout::Register, 0);
    clockResync();
    clockTimerStep();
    const uint8_t* reg = mem.base + ClockLayout::Register;
    uint32_t stored = uint32_t(reg[0]) << 24 | uint32_t(reg[1]) << 16 | uint32_t(reg[2]) << 8 | reg[3];
    EXPECT_NEAR(double(stored), double(expectedGuestSecondsNow()), 2.0);
    EXPECT_EQ(stored, clockGuestNow());
}

std::vector<PackedDateFields> setCalls;
bool recordSet(const PackedDateFields& when)
{
    setCalls.push_back(when);
    return true;
}

TEST_F(ClockRegister, SetHostClockDecodesThePackedDate)
{
    PackedDateFields d = unpackDate(0x505D645C);
    EXPECT_EQ(d.year, 2020);
    EXPECT_EQ(d.month, 2);
    EXPECT_EQ(d.day, 29);
    EXPECT_EQ(d.hour, 12);
    EXPECT_EQ(d.minute, 34);
    EXPECT_EQ(d.second, 56);

    clockSetHostClockSetter(recordSet);
    setCalls.clear();
    cpu.D[3] = 0x505D645C;
    cpu.D[0] = 0x11;
    EXPECT_EQ(inpSetHostClock(3), HostCallResult::KeepRegisters);
    ASSERT_EQ(setCalls.size(), 2u);  // set twice in succession
    EXPECT_EQ(setCalls[1].day, 29);
    EXPECT_EQ(cpu.D[0], 0x11u);

    // Dates the calendar does not have never reach the host.
    setCalls.clear();
    const uint32_t month13 = (40u << 25) | (13u << 21) | (1u << 16);
    const uint32_t feb30 = (41u << 25) | (2u << 21) | (30u << 16);  // 2021 is no leap year
    const uint32_t hour24 = (40u << 25) | (1u << 21) | (1u << 16) | (24u << 11);
    const uint32_t day0 = (40u << 25) | (1u << 21);
    for (uint32_t bad : {month13, feb30, hour24, day0}) {
        cpu.D[0] = bad;
        EXPECT_EQ(inpSetHostClock(0), HostCallResult::KeepRegisters);
    }
    EXPECT_TRUE(setCalls.empty());
    EXPECT_EQ(inpSetHostClock(8), HostCallResult::Illegal);
    clockSetHostClockSetter(nullptr);
}

}  // namespace
