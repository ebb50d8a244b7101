#include "printer/data/control_glyphs.h"

#include <gtest/gtest.h>

#include <array>

namespace {

TEST(ControlGlyphs, CodesBelowSpaceAndDeleteHavePictures)
{
    constexpr std::array<char16_t, 32> expected = {
        0x0000, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x00B7, 0x25D8, 0x25CB, 0x25D9,
        0x2642, 0x2640, 0x266A, 0x266C, 0x263C, 0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x0000,
        0x2017, 0x21A8, 0x2191, 0x2193, 0x2192, 0x2190, 0x2319, 0x2194, 0x25B2, 0x25BC,
    };
    for (unsigned code = 0; code < expected.size(); ++code) {
        EXPECT_EQ(controlGlyph(code), expected[code]) << code;
    }
    EXPECT_EQ(controlGlyph(127), u'\u2302');
}

TEST(ControlGlyphs, OtherCodesHaveNone)
{
    for (unsigned code : {32u, 65u, 126u, 128u, 155u, 255u, 256u, 0x10000u + 1}) {
        EXPECT_FALSE(controlGlyph(code).has_value()) << code;
    }
}

}  // namespace
