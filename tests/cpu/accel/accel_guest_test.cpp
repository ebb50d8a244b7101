// An accelerator word called from guest code on the bare processor: the word computes and
// then returns to its caller as RTS does.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "cpu/accel/accel.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"

namespace {

constexpr uint32_t ImageAddress = 0x30000;
constexpr uint32_t Results = 0x1000;
constexpr uint64_t InstructionLimit = 1000;

int32_t stopOnAnyHostCall(unsigned, unsigned, unsigned) { return HostCallResult::Stop; }

TEST(AccelGuest, SubroutineCallComputesAndReturns)
{
    std::ifstream file(ACCEL_GUEST_CALL, std::ios::binary);
    ASSERT_TRUE(file) << ACCEL_GUEST_CALL;
    const std::vector<char> image{std::istreambuf_iterator<char>(file), {}};
    ASSERT_TRUE(memoryAllocate(16));
    std::copy(image.begin(), image.end(), mem.base + ImageAddress);
    cpuSetHostCallHandler(&stopOnAnyHostCall);
    accelInstall();
    cpuReset();
    cpuRunFor(InstructionLimit);

    EXPECT_EQ(cpu.D[7], 1u) << "returned to the caller";
    EXPECT_EQ(guestReadLong(Results), 0u) << "D0";
    EXPECT_EQ(guestReadLong(Results + 4), 0x2006u) << "A1";
    EXPECT_EQ(guestReadWord(Results + 8), 0x802u);
    EXPECT_EQ(guestReadLong(Results + 10), 0x60000000u) << "1 + 2 = 3";
    EXPECT_EQ(guestReadWord(Results + 14) & 0x1F, 0x04u) << "CCR: Z only";
    EXPECT_EQ(cpu.A[7], 0x8000u) << "return address popped";

    cpuSetAccelHandler(nullptr);
    cpuSetHostCallHandler(nullptr);
    memoryRelease();
}

}  // namespace
