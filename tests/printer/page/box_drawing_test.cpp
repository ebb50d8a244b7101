// Box-drawing shapes: every line that leaves the cell reaches its edge at the
// line's place, so it meets the next cell's; no shape leaves the cell.
#include <gtest/gtest.h>

#include "printer/page/box_drawing.h"

namespace zemprint {
namespace {

constexpr int kLeft = 1000, kTop = 2000, kWidth = 144, kHeight = 240, kLight = 20;

// Whether some rectangle covers the point.
bool covered(const BoxShapes& shapes, int x, int y)
{
    for (const BoxRect& r : shapes.rects)
        if (x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height) return true;
    return false;
}

TEST(BoxDrawing, LinesReachTheEdgesTheyLeaveAndStayInTheCell)
{
    const int cx = kLeft + kWidth / 2;
    const int cy = kTop + kHeight / 2;
    struct Case {
        char16_t c;
        bool up, right, down, left;
    };
    for (const Case& c : {Case{u'─', false, true, false, true}, Case{u'│', true, false, true, false},
                          Case{u'┌', false, true, true, false}, Case{u'┼', true, true, true, true},
                          Case{u'┗', true, true, false, false}, Case{u'┥', true, false, true, true},
                          Case{u'╴', false, false, false, true}, Case{u'╭', false, true, true, false}}) {
        const BoxShapes s = boxShapes(c.c, kLeft, kTop, kWidth, kHeight, kLight);
        EXPECT_EQ(covered(s, cx, kTop), c.up) << int(c.c);
        EXPECT_EQ(covered(s, kLeft + kWidth - 1, cy), c.right) << int(c.c);
        EXPECT_EQ(covered(s, cx, kTop + kHeight - 1), c.down) << int(c.c);
        EXPECT_EQ(covered(s, kLeft, cy), c.left) << int(c.c);
        // Corners and joints are closed: the centre is covered.
        if (c.up + c.right + c.down + c.left >= 2) {
            EXPECT_TRUE(covered(s, cx, cy)) << int(c.c);
        }
    }
    // Double lines: two strokes a light line apart, each reaching the edge.
    for (char16_t c : {u'═', u'╔', u'╦', u'╬', u'╤'}) {
        const BoxShapes s = boxShapes(c, kLeft, kTop, kWidth, kHeight, kLight);
        EXPECT_TRUE(covered(s, kLeft + kWidth - 1, cy - kLight)) << int(c);
        EXPECT_TRUE(covered(s, kLeft + kWidth - 1, cy + kLight)) << int(c);
        EXPECT_FALSE(covered(s, kLeft + kWidth - 1, cy)) << int(c);
    }
    // Every shape of the block stays inside its cell.
    for (char16_t c = 0x2500; c <= 0x259F; ++c) {
        const BoxShapes s = boxShapes(c, kLeft, kTop, kWidth, kHeight, kLight);
        EXPECT_FALSE(s.rects.empty() && s.strokes.empty()) << int(c);
        for (const BoxRect& r : s.rects) {
            EXPECT_GE(r.x, kLeft) << int(c);
            EXPECT_GE(r.y, kTop) << int(c);
            EXPECT_LE(r.x + r.width, kLeft + kWidth) << int(c);
            EXPECT_LE(r.y + r.height, kTop + kHeight) << int(c);
        }
    }
}

TEST(BoxDrawing, BlockElementsFillTheirShareOfTheCell)
{
    const BoxShapes full = boxShapes(u'█', kLeft, kTop, kWidth, kHeight, kLight);
    ASSERT_EQ(full.rects.size(), 1u);
    EXPECT_EQ(full.rects[0].width * full.rects[0].height, kWidth * kHeight);
    const BoxShapes lower = boxShapes(u'▂', kLeft, kTop, kWidth, kHeight, kLight);  // lower quarter
    ASSERT_EQ(lower.rects.size(), 1u);
    EXPECT_EQ(lower.rects[0].y, kTop + kHeight * 3 / 4);
    const BoxShapes shade = boxShapes(u'▒', kLeft, kTop, kWidth, kHeight, kLight);
    ASSERT_EQ(shade.rects.size(), 1u);
    EXPECT_EQ(shade.rects[0].ink, 50);
    EXPECT_EQ(boxShapes(u'▚', kLeft, kTop, kWidth, kHeight, kLight).rects.size(), 2u);
    EXPECT_TRUE(boxShapes(u'A', kLeft, kTop, kWidth, kHeight, kLight).rects.empty());
}

}  // namespace
}  // namespace zemprint
