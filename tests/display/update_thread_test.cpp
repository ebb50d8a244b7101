// The screen update thread's pass through an installed back end: an idle guest costs
// nothing, a write costs one conversion and one present, a suspended window keeps the
// marks and is redrawn whole once on resume, and a display that is not ready loses none.
#include "screen_fixture.h"

#include "display/display.h"
#include "display/display_back_end.h"
#include "display/display_window.h"
#include "display/update_thread.h"

class UpdateThread : public ScreenFixture {
protected:
    void SetUp() override
    {
        ScreenFixture::SetUp();
        displaySetWindow(&window);
        displaySetBackEnd(&backEnd);
        ASSERT_TRUE(displayStart());
        ASSERT_TRUE(updateThreadRunning());
        // The passes are driven here, one at a time.
        updateThreadStop();
        guestScreen.requestedWidth = 512;
        guestScreen.requestedHeight = 256;
        guestScreen.requestedBits = 16;
        window.applyModeAndWait();
        screenSetBase(ScreenBase);
        ASSERT_TRUE(displayReady());
        updateThreadPass();
        before = updateThreadCounts();
    }
    void TearDown() override
    {
        displayShutDown();
        displaySetWindow(nullptr);
        displaySetBackEnd(nullptr);
        ScreenFixture::TearDown();
    }

    uint64_t conversions() const { return updateThreadCounts().conversions - before.conversions; }
    uint64_t presents() const { return updateThreadCounts().presents - before.presents; }

    RecordingWindow window;
    HeadlessBackEnd backEnd;
    UpdateCounts before;
};

TEST_F(UpdateThread, IdleCostsNothingAndAWriteOneConversionAndOnePresent)
{
    for (int i = 0; i < 20; ++i) updateThreadPass();
    EXPECT_EQ(conversions(), 0u);
    EXPECT_EQ(presents(), 0u);

    write(1024 * 100 + 40, {0x00, 0xF8});  // one red pixel on line 100
    updateThreadPass();
    updateThreadPass();
    EXPECT_EQ(conversions(), 1u);
    EXPECT_EQ(presents(), 1u);
    EXPECT_EQ(backEnd.frame().rgb(20, 100), 0xF80000u);
}

TEST_F(UpdateThread, SuspendedWindowKeepsTheMarksAndIsRedrawnWholeOnceOnResume)
{
    updateThreadSetSuspended(true);
    write(0, {0xE0, 0x07});                              // green at (0, 0)
    memcpy(screenAt(1024 * 255 + 1022), "\x1F\x00", 2);  // blue at (511, 255), not marked
    for (int i = 0; i < 5; ++i) updateThreadPass();
    EXPECT_EQ(conversions(), 0u);
    EXPECT_EQ(presents(), 0u);
    EXPECT_EQ(backEnd.frame().rgb(0, 0), 0u);

    updateThreadSetSuspended(false);
    updateThreadPass();
    updateThreadPass();
    EXPECT_EQ(conversions(), 1u);
    EXPECT_EQ(presents(), 1u);
    EXPECT_EQ(backEnd.frame().rgb(0, 0), 0x00FC00u);
    // The unmarked pixel shows too: the resume redrew everything.
    EXPECT_EQ(backEnd.frame().rgb(511, 255), 0x0000F8u);
}

TEST_F(UpdateThread, ADisplayThatIsNotReadyLosesNoMarks)
{
    displaySetNotReady();
    write(1024 * 7 + 8, {0x00, 0xF8});
    updateThreadPass();
    EXPECT_EQ(conversions(), 0u);
    EXPECT_EQ(presents(), 0u);
    EXPECT_TRUE(cellMarked(7, 2));

    // The display change that makes it ready again shows the pixel.
    ASSERT_TRUE(displayChange(false));
    updateThreadPass();
    EXPECT_EQ(backEnd.frame().rgb(4, 7), 0xF80000u);
    EXPECT_GE(conversions(), 1u);
}
