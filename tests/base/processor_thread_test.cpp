#include "base/processor_thread.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace std::chrono_literals;

TEST(ProcessorThread, StopRepeatsTheRequestUntilTheThreadEnds)
{
    std::atomic<int> requests{0};
    std::atomic<bool> ended{false};
    ProcessorThread t;
    // The body only gives in to the third request, as a processor busy in a long step would.
    ASSERT_TRUE(t.start(
        [&] {
            while (requests.load() < 3) std::this_thread::sleep_for(1ms);
        },
        [&] { ended = true; }));
    EXPECT_TRUE(t.stop([&] { ++requests; }, 20ms, 300));
    EXPECT_GE(requests.load(), 3);
    EXPECT_TRUE(ended.load());
    EXPECT_FALSE(t.abandoned());
    EXPECT_FALSE(t.running());
}

TEST(ProcessorThread, ThreadThatNeverEndsIsGivenUpAfterTheLastAttempt)
{
    std::atomic<int> requests{0};
    auto release = std::make_shared<std::atomic<bool>>(false);
    ProcessorThread t;
    ASSERT_TRUE(t.start([release] {
        while (!release->load()) std::this_thread::sleep_for(1ms);
    }));
    auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(t.stop([&] { ++requests; }, 5ms, 4));
    EXPECT_GE(std::chrono::steady_clock::now() - before, 20ms);
    EXPECT_EQ(requests.load(), 4);
    EXPECT_TRUE(t.abandoned());
    EXPECT_FALSE(t.running());
    release->store(true);  // let the given-up thread finish on its own
}

TEST(ProcessorThread, ThreadThatAlreadyEndedIsFoundEnded)
{
    ProcessorThread t;
    std::atomic<bool> done{false};
    ASSERT_TRUE(t.start([] {}, [&] { done = true; }));
    while (!done) std::this_thread::sleep_for(1ms);
    int requests = 0;
    EXPECT_TRUE(t.stop([&] { ++requests; }, 10ms, 300));
    EXPECT_EQ(requests, 1);
}
