// The event queue, SetLinkage and NextEvent's choice of routine, and Idle's throttle.
#include "core/clock.h"
#include "core/events.h"
#include "core/timer.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr uint32_t LinkageTable = 0x40000;
constexpr uint32_t PollRoutine = 0x40010;
constexpr uint32_t DoneRoutine = 0x40102;  // offset $100 from the word at +2
constexpr uint32_t KeyHandler = 0x41000;
constexpr uint32_t KeyRing = 0x00ABCDEF;

class EventSystem : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(memoryAllocate(2)); }
    static void TearDownTestSuite() { memoryRelease(); }

    void SetUp() override
    {
        eventSystemInit();
        cpu.nextStep.store(NextStep::Loop);
        // Slot offsets are relative to each slot's own word.
        const uint16_t offsets[LinkageSlot::Count] = {0x0010, 0x0100, 0x0FFC, 0, 0x2000, 0x3000, 0x4000};
        for (unsigned i = 0; i < LinkageSlot::Count; ++i) guestWriteWord(LinkageTable + 2 * i, offsets[i]);
        cpu.A[1] = LinkageTable;
        ASSERT_EQ(sysSetLinkage(0), HostCallResult::KeepRegisters);
    }

    // Runs NextEvent and returns where the guest would continue.
    static uint32_t next()
    {
        cpu.hostCallPc = 0xDEAD;
        EXPECT_EQ(sysNextEvent(0), HostCallResult::KeepRegisters);
        return cpu.hostCallPc;
    }
};

TEST_F(EventSystem, LinkageAddressesAreRelativeToTheirWords)
{
    EXPECT_EQ(eventLinkage(LinkageSlot::Poll), PollRoutine);
    EXPECT_EQ(eventLinkage(LinkageSlot::Done), DoneRoutine);
    EXPECT_EQ(eventLinkage(LinkageSlot::Keyboard), LinkageTable + 4 + 0x0FFC);
    EXPECT_EQ(eventLinkage(LinkageSlot::Parallel), LinkageTable + 8 + 0x2000);
    EXPECT_EQ(eventLinkage(LinkageSlot::SerialReceive), LinkageTable + 12 + 0x4000);
    // Offsets are unsigned: $FFFE reaches forward, not back.
    guestWriteWord(LinkageTable, 0xFFFE);
    sysSetLinkage(0);
    EXPECT_EQ(eventLinkage(LinkageSlot::Poll), LinkageTable + 0xFFFE);
}

TEST_F(EventSystem, SetLinkageEmptiesTheQueueButKeepsTheFlags)
{
    postEvent(KeyHandler, 1);
    eventFlags.fetch_or(EventFlag::Poll);
    sysSetLinkage(0);
    EXPECT_EQ(eventQueueSnapshot()[0], GuestEvent{});
    EXPECT_EQ(eventFlags.load(), EventFlag::Poll | EventFlag::Queue);
    // The stale queue bit must not send the guest to address 0.
    EXPECT_EQ(next(), PollRoutine);
    EXPECT_EQ(next(), DoneRoutine);
}

TEST_F(EventSystem, QueueKeepsOrderDropsDuplicatesAndOverflow)
{
    postEvent(KeyHandler, 1);
    postEvent(KeyHandler, 2);
    postEvent(KeyHandler, 1);  // same pair again: not queued twice
    for (uint32_t v = 3; v <= 40; ++v) postEvent(KeyHandler + 0x10, v);
    auto q = eventQueueSnapshot();
    EXPECT_EQ(q[0], (GuestEvent{KeyHandler, 1}));
    EXPECT_EQ(q[1], (GuestEvent{KeyHandler, 2}));
    EXPECT_EQ(q[2], (GuestEvent{KeyHandler + 0x10, 3}));
    EXPECT_EQ(q[31], (GuestEvent{KeyHandler + 0x10, 32}));  // the 32nd distinct event
    EXPECT_EQ(q[32], GuestEvent{});                         // terminator stays free
    EXPECT_EQ(cpu.nextStep.load(), NextStep::Interrupt);

    // Draining gives them back oldest first, values in D1, then nothing is left.
    for (uint32_t expected : {1u, 2u}) {
        EXPECT_EQ(next(), KeyHandler);
        EXPECT_EQ(cpu.D[1], expected);
    }
    for (uint32_t v = 3; v <= 32; ++v) {
        ASSERT_EQ(next(), KeyHandler + 0x10);
        EXPECT_EQ(cpu.D[1], v);
    }
    EXPECT_EQ(eventFlags.load() & EventFlag::Queue, 0u);
    EXPECT_EQ(next(), DoneRoutine);
    // A drained queue accepts the same pair again.
    postEvent(KeyHandler, 1);
    EXPECT_EQ(next(), KeyHandler);
}

TEST_F(EventSystem, QueuedEventsComeBeforeThePollThenDone)
{
    eventFlags.fetch_or(EventFlag::Poll);
    postEvent(KeyHandler, KeyRing);
    cpu.D[0] = 0x12345678;
    EXPECT_EQ(next(), KeyHandler);
    EXPECT_EQ(cpu.D[1], KeyRing);
    EXPECT_EQ(next(), PollRoutine);
    EXPECT_EQ(next(), DoneRoutine);
    EXPECT_EQ(next(), DoneRoutine);
    EXPECT_EQ(cpu.D[0], 0x12345678u);  // D0 is left alone
    EXPECT_EQ(eventFlags.load(), 0u);
}

TEST_F(EventSystem, PostingFromManyThreadsLosesNothingAndDuplicatesNothing)
{
    constexpr int Threads = 4;
    constexpr uint32_t PerThread = 8;
    std::vector<std::thread> posters;
    for (int t = 0; t < Threads; ++t)
        posters.emplace_back([t] {
            for (int round = 0; round < 3; ++round)
                for (uint32_t v = 0; v < PerThread; ++v) postEvent(KeyHandler + 0x100 * t, v);
        });
    for (auto& p : posters) p.join();
    int count = 0;
    while (next() != DoneRoutine) ++count;
    EXPECT_EQ(count, int(Threads * PerThread));
}

// Idle: the throttle only starts two seconds after the last activity, and then the fifth
// call sleeps until the next poll tick clears the counter.
class IdleThrottle : public EventSystem {
protected:
    void SetUp() override
    {
        EventSystem::SetUp();
        clockResync();
        clockTimerStep();  // the guest clock now reads the real time
        cpuIdleCounter = 0;
        idleSetPowerManagement(PowerManagement::On);
        idleSetMinimised(false);
    }
    void TearDown() override { idleSetMinimised(false); }

    // Runs Idle `calls` times; the time it took.
    static std::chrono::steady_clock::duration idle(int calls)
    {
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < calls; ++i) EXPECT_EQ(sysIdle(0), HostCallResult::KeepRegisters);
        return std::chrono::steady_clock::now() - start;
    }
};

TEST_F(IdleThrottle, FifthCallSleepsUntilThePollTick)
{
    EXPECT_LT(idle(4), 20ms);
    EXPECT_EQ(cpuIdleCounter.load(), 4u);
    std::thread ticker([] {
        std::this_thread::sleep_for(60ms);
        timerReset();
        for (int i = 0; i < TimerRate::PollTicks; ++i) timerTick();
    });
    auto slept = idle(1);
    ticker.join();
    EXPECT_GE(slept, 50ms);
    EXPECT_EQ(cpuIdleCounter.load(), 0u);
}

TEST_F(IdleThrottle, NoSleepWithoutPowerManagementOrAfterRecentActivity)
{
    idleSetPowerManagement(PowerManagement::Off);
    EXPECT_LT(idle(20), 20ms);
    EXPECT_EQ(cpuIdleCounter.load(), 0u);

    idleSetPowerManagement(PowerManagement::On);
    idleNoteActivity();  // a key press just now
    EXPECT_LT(idle(20), 20ms);
    EXPECT_EQ(cpuIdleCounter.load(), 0u);

    // Suspend behaves like On while the window is shown.
    idleSetPowerManagement(PowerManagement::Suspend);
    EXPECT_LT(idle(20), 20ms);
}

TEST_F(IdleThrottle, SuspendSleepsWhileMinimised)
{
    idleSetPowerManagement(PowerManagement::Suspend);
    idleSetMinimised(true);
    cpuIdleCounter = 3;
    std::thread restore([] {
        std::this_thread::sleep_for(60ms);
        idleSetMinimised(false);
    });
    auto slept = idle(1);
    restore.join();
    EXPECT_GE(slept, 50ms);
    EXPECT_EQ(cpuIdleCounter.load(), 0u);
    // Waking counts as activity: no throttle for the next calls.
    EXPECT_LT(idle(10), 20ms);
}

TEST_F(IdleThrottle, StopRequestEndsTheSleep)
{
    cpuIdleCounter = 4;
    std::thread stopper([] {
        std::this_thread::sleep_for(30ms);
        cpuRequestStop();
    });
    auto slept = idle(1);
    stopper.join();
    cpu.nextStep.store(NextStep::Loop);
    EXPECT_LT(slept, 2s);
}

}  // namespace
