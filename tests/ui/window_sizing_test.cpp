// The sizing rules on their own: snapping to multiples of the guest screen, the aspect
// ratio while dragging and in full screen, and moving a window into a work area.
#include "ui/window_sizing.h"

#include <gtest/gtest.h>

TEST(WindowSizing, DraggingSnapsToMultiplesAndKeepsTheRatio)
{
    struct Case {
        SizingEdge edge;
        QRect proposed, expected;
    };
    // A 512 x 256 guest; client rectangles with the top left at (100, 50).
    const Case cases[] = {
        // Right edge dragged to 1030: snaps to 1024, the bottom follows.
        {SizingEdge::Right, QRect(100, 50, 1030, 300), QRect(100, 50, 1024, 512)},
        // 31 pixels off is too far to snap; the ratio still holds (integer division).
        {SizingEdge::Right, QRect(100, 50, 1055, 300), QRect(100, 50, 1055, 527)},
        // Left edge: the left moves, the top follows from the bottom.
        {SizingEdge::Left, QRect(90, 50, 1034, 512), QRect(100, 50, 1024, 512)},
        {SizingEdge::BottomLeft, QRect(80, 50, 1044, 100), QRect(100, 50, 1024, 512)},
        // Bottom edge: 500 snaps to 512, the right edge follows.
        {SizingEdge::Bottom, QRect(100, 50, 700, 500), QRect(100, 50, 1024, 512)},
        {SizingEdge::BottomRight, QRect(100, 50, 300, 780), QRect(100, 50, 1536, 768)},
        // Top edge: the top moves down by the excess, the left follows from the right.
        {SizingEdge::Top, QRect(100, 40, 1024, 522), QRect(100, 50, 1024, 512)},
        {SizingEdge::TopLeft, QRect(100, 40, 1024, 522), QRect(100, 50, 1024, 512)},
        // Top-right: the right edge snaps, the top follows from the bottom.
        {SizingEdge::TopRight, QRect(100, 50, 1040, 512), QRect(100, 50, 1024, 512)},
        // Below one guest width a size snaps up to it.
        {SizingEdge::Right, QRect(100, 50, 490, 256), QRect(100, 50, 512, 256)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(keepAspectWhileSizing(c.proposed, c.edge, 512, 256), c.expected)
            << int(c.edge) << " " << c.proposed.width() << "x" << c.proposed.height();
}

TEST(WindowSizing, FullScreenPictureKeepsTheRatioAnchoredTopLeft)
{
    // 640 x 480 on 1920 x 1080: the height differs less, so the width follows it.
    EXPECT_EQ(keepAspectInFullScreen(QRect(0, 0, 1920, 1080), 640, 480), QRect(0, 0, 1440, 1080));
    // 1024 x 768 on 1280 x 1024: both differ by 256, so the height would decide and make
    // the picture 1365 wide; it would not fit, so the width decides.
    EXPECT_EQ(keepAspectInFullScreen(QRect(0, 0, 1280, 1024), 1024, 768), QRect(0, 0, 1280, 960));
    // The width decides; 666.7 rounds to the nearest pixel; the top left stays.
    EXPECT_EQ(keepAspectInFullScreen(QRect(10, 20, 1000, 1000), 3, 2), QRect(10, 20, 1000, 667));
}

TEST(WindowSizing, WindowsAreMovedIntoTheWorkAreaNotShrunk)
{
    const QRect work(0, 30, 1920, 1050);
    EXPECT_EQ(moveInside(QRect(1800, 900, 400, 300), work), QRect(1520, 780, 400, 300));
    EXPECT_EQ(moveInside(QRect(-50, 0, 400, 300), work), QRect(0, 30, 400, 300));
    // Larger than the work area: the left and top edges win.
    EXPECT_EQ(moveInside(QRect(100, 100, 2000, 1200), work), QRect(0, 30, 2000, 1200));
    EXPECT_EQ(moveInside(QRect(10, 40, 400, 300), work), QRect(10, 40, 400, 300));
}
