// The GUI thread's Qt loop behind the window program's front end: requests from another
// thread are served while it runs, the quit request ends it, and requests after its end
// return at once instead of hanging.
#include "ui/main_loop.h"
#include "ui/qt_front_end.h"

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

    QtFrontEnd frontEnd;
    std::optional<std::string> fetched;
    bool stored = false;
    std::thread processor([&] {
        stored = frontEnd.clipboardPut("line\r\n\u20ac");
        fetched = frontEnd.clipboardText();
        frontEnd.setWindowTitle("Title");
        // Nobody could see a box on the offscreen platform: it goes to standard error.
        testing::internal::CaptureStderr();
        frontEnd.messageBox("ZEM II", "Box text", MessageIcon::Error);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "[ZEM II] Error: Box text\n");
        frontEnd.requestQuit();
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
