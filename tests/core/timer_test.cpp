// The 4 ms tick's dividers, the interrupt re-requests and the sound time-out, and the
// resolution rule.
#include "core/events.h"
#include "log/log.h"
#include "core/timer.h"
#include "cpu/cpu.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <thread>
#include <vector>

namespace {

int screenSignals = 0;
int soundStops = 0;

class Tick : public ::testing::Test {
protected:
    void SetUp() override
    {
        eventSystemInit();
        screenSignals = soundStops = 0;
        timerSoundCountdown = 0;
        timerSetSoundStop([] { ++soundStops; });
        timerSetScreenUpdate([] { ++screenSignals; });
        timerReset();
        cpu.nextStep.store(NextStep::Loop);
    }
    void TearDown() override
    {
        timerSetSoundStop(nullptr);
        timerSetScreenUpdate(nullptr);
    }
};

TEST_F(Tick, ScreenEveryThirdPollEveryFifthTick)
{
    std::vector<int> screenAt, pollAt;
    for (int tick = 1; tick <= 30; ++tick) {
        int before = screenSignals;
        timerTick();
        if (screenSignals != before) screenAt.push_back(tick);
        if (eventFlags.fetch_and(~EventFlag::Poll) & EventFlag::Poll) pollAt.push_back(tick);
    }
    EXPECT_EQ(screenAt, (std::vector<int>{3, 6, 9, 12, 15, 18, 21, 24, 27, 30}));
    EXPECT_EQ(pollAt, (std::vector<int>{5, 10, 15, 20, 25, 30}));
}

TEST_F(Tick, InterruptIsRequestedOnEveryTickWhileSomethingIsPending)
{
    for (int tick = 1; tick < TimerRate::PollTicks; ++tick) timerTick();
    EXPECT_EQ(cpu.nextStep.load(), NextStep::Loop);  // nothing pending yet

    cpuIdleCounter = 4;
    timerTick();  // the poll
    EXPECT_EQ(cpu.nextStep.load(), NextStep::Interrupt);
    EXPECT_EQ(cpuIdleCounter.load(), 0u);

    // The processor dropped the request (mask 2): the next tick asks again.
    for (int tick = 0; tick < 3; ++tick) {
        cpu.nextStep.store(NextStep::Loop);
        timerTick();
        EXPECT_EQ(cpu.nextStep.load(), NextStep::Interrupt);
    }
    // Once taken, the requests stop until the next poll.
    eventFlags.store(0);
    cpu.nextStep.store(NextStep::Loop);
    timerTick();
    EXPECT_EQ(cpu.nextStep.load(), NextStep::Loop);
}

TEST_F(Tick, SoundTimeOutStopsOnceWhenItRunsOut)
{
    timerSoundCountdown = 3;
    for (int tick = 0; tick < 2; ++tick) timerTick();
    EXPECT_EQ(soundStops, 0);
    EXPECT_EQ(timerSoundCountdown.load(), 1);
    for (int tick = 0; tick < 5; ++tick) timerTick();
    EXPECT_EQ(soundStops, 1);
    EXPECT_EQ(timerSoundCountdown.load(), 0);
}

TEST(TimerResolution, IsTheMinimumButAtLeastOneAndNotAboveTheMaximum)
{
    struct Case {
        unsigned minimum, maximum, expected;
    };
    for (const Case& c : {Case{0, 1000, 1}, Case{1, 1000, 1}, Case{5, 1000, 5}, Case{10, 4, 4}}) {
        EXPECT_EQ(timerChooseResolution(c.minimum, c.maximum), c.expected) << c.minimum << " " << c.maximum;
    }
}

TEST_F(Tick, TimerThreadTicksAt250Hz)
{
    auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(timerStart(), TimerStartResult::Started);
    EXPECT_GE(timerResolutionMs(), 1u);
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    timerStop();
    auto ran = std::chrono::steady_clock::now() - started;
    int signalsAfterStop = screenSignals;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(screenSignals, signalsAfterStop);  // nothing ticks after stop
    // One screen signal per 12 ms of running time, never more; a loaded machine may wake
    // the thread late, but it catches up.
    const int due = int(ran / std::chrono::milliseconds(12));
    EXPECT_LE(screenSignals, due + 1);
    EXPECT_GE(screenSignals, due * 7 / 10);
}

}  // namespace

namespace {

// The processor priority follows the application's activation, is applied only when it
// changes, and never fails the caller. Runs on a thread of its own that stands in for the
// processor thread, so the test process keeps its priority.
TEST(ProcessorPriority, FollowsActivationAndIsAppliedOnlyOnChange)
{
    constexpr int Normal = 0;
    constexpr int BelowNormal = -1;
    zlogSetMask(LogCat::General);
    std::string log;
    int niceInBackground = 0;
    std::thread processor([&] {
        prioritySetSettings(Normal, BelowNormal);
        prioritySetApplicationActive(true);
        ::testing::internal::CaptureStderr();
        priorityProcessorThreadStarted();  // ForegroundPrio directly, without the log line
        applyPriority();                   // unchanged: nothing to do
        prioritySetApplicationActive(false);
        applyPriority();
        niceInBackground = getpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)));
        applyPriority();  // unchanged again
        log = ::testing::internal::GetCapturedStderr();
        priorityProcessorThreadEnded();
    });
    processor.join();
    zlogSetMask(0);
    EXPECT_EQ(log, "ZEM: New priority: -1\n");
    EXPECT_GT(niceInBackground, 0);  // below normal: a higher nice value
    // Without a processor thread nothing is applied or logged.
    ::testing::internal::CaptureStderr();
    prioritySetApplicationActive(true);
    applyPriority();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

}  // namespace
