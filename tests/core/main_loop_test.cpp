// The GUI thread's Qt loop: requests from another thread are served while it runs, the
// quit request ends it, and requests after its end return at once instead of hanging.
#include "ui/main_loop.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <future>
#include <thread>

TEST(MainLoop, ServesRequestsUntilQuitAndRefusesThemAfterwards)
{
    int argc = 1;
    char name[] = "main_loop_test";
    char* argv[] = {name, nullptr};
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ASSERT_TRUE(MainLoop::init(argc, argv));

    std::optional<std::string> fetched;
    bool stored = false;
    std::thread processor([&] {
        stored = MainLoop::clipboardPut("line\r\n\u20ac");
        fetched = MainLoop::clipboardText();
        MainLoop::setWindowTitle("Title");
        MainLoop::quitAndDestroy();
    });
    MainLoop::run();
    processor.join();

    EXPECT_TRUE(stored);
    EXPECT_EQ(fetched, std::optional<std::string>("line\r\n\u20ac"));
    EXPECT_EQ(MainLoop::windowTitle(), "Title");
    EXPECT_TRUE(MainLoop::quitRequested());

    // The loop is over: a late request must come back unserved, not block.
    auto late = std::async(std::launch::async, [] { return MainLoop::callOnGui([] {}); });
    ASSERT_EQ(late.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_FALSE(late.get());
    MainLoop::close();
}
