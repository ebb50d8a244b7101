// Colours and cell converters of every guest format into every host format, against
// pixel-by-pixel decoding.
#include "display/block_ops.h"
#include "display/pixel_formats.h"
#include "reference_pixels.h"

#include <gtest/gtest.h>

#include <random>

namespace {

constexpr GuestFormatId AllGuest[] = {GuestFormatId::Ql4, GuestFormatId::Ql8, GuestFormatId::Indexed8,
                                      GuestFormatId::Rgb16};
constexpr HostFormat AllHost[] = {HostFormat::Rgb565, HostFormat::Rgb555, HostFormat::Bgr24, HostFormat::Bgr0,
                                  HostFormat::Rgb0};

std::vector<uint8_t> expectedLine(GuestFormatId f, HostFormat h, const std::vector<uint8_t>& guest)
{
    std::vector<uint8_t> out;
    const unsigned pixels = unsigned(guest.size() / 4) * hostPixelsPerCell(f);
    for (unsigned p = 0; p < pixels; ++p) {
        auto bytes = reference::hostBytes(reference::hostPixelColour(f, guest.data(), p), h);
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    return out;
}

}  // namespace

TEST(Palette, LevelsFollowTheIndexBitsIncludingTheSharedLowBit)
{
    struct Case {
        uint8_t index;
        uint32_t rgb;
    };
    for (Case c : {Case{147, 0x24FF00}, Case{146, 0x00FF00}, Case{0, 0}, Case{255, 0xFFFFFF}, Case{73, 0xFF0000},
                   Case{1, 0x240000}, Case{0x24, 0x0000DB}, Case{0x25, 0x0000FF}}) {
        EXPECT_EQ(paletteRgb(c.index), c.rgb) << int(c.index);
    }
    for (unsigned i = 0; i < 256; ++i) ASSERT_EQ(paletteRgb(uint8_t(i)), reference::paletteColour(uint8_t(i))) << i;
}

TEST(Palette, MirrorIndicesShowExactlyTheQlColours)
{
    // Green is index 147, which shows as (36, 255, 0): pure green would be 146.
    for (unsigned i = 0; i < 4; ++i)
        EXPECT_EQ(paletteRgb(QlColour::FourIndex[i]), i == 2 ? 0x24FF00u : QlColour::Four[i]) << i;
    // The flash colours (8-15) are only near matches in the palette.
    for (unsigned i = 0; i < 8; ++i)
        EXPECT_EQ(paletteRgb(QlColour::EightIndex[i]), i == 4 ? 0x24FF00u : QlColour::Eight[i]) << i;
}

TEST(Palette, NineBitColoursRoundTripAndMissingOnesDifferOnlyInRedOrBlue)
{
    for (unsigned i = 0; i < 256; ++i) EXPECT_EQ(paletteIndexOfRgb9(paletteRgb9(uint8_t(i))), i);
    for (unsigned c = 0; c < 512; ++c) {
        const uint16_t shown = paletteRgb9(paletteIndexOfRgb9(uint16_t(c)));
        const int dr = std::abs(int(shown >> 6) - int(c >> 6)), db = std::abs(int(shown & 7) - int(c & 7));
        EXPECT_EQ(shown & 0x38, c & 0x38) << c;
        EXPECT_TRUE((dr == 0 && db <= 2) || (db == 0 && dr <= 2)) << c;
    }
}

TEST(HostPixels, EncodingOfEachHostFormat)
{
    EXPECT_EQ(hostPixel(0xFF8040, HostFormat::Rgb565), 0xFC08u);
    EXPECT_EQ(hostPixel(0xFF8040, HostFormat::Rgb555), 0x7E08u);
    EXPECT_EQ(hostPixel(0xFF8040, HostFormat::Bgr24), 0xFF8040u);  // bytes 40 80 FF
    EXPECT_EQ(hostPixel(0xFF8040, HostFormat::Bgr0), 0xFF8040u);
    EXPECT_EQ(hostPixel(0xFF8040, HostFormat::Rgb0), 0x4080FFu);  // bytes FF 80 40 00
    // From the 16-bit format: copied to 5-6-5, red and green moved down for 5-5-5.
    EXPECT_EQ(hostPixelFrom565(0xFFFF, HostFormat::Rgb555), 0x7FFFu);
    EXPECT_EQ(hostPixelFrom565(0x07E0, HostFormat::Rgb555), 0x03E0u);
    EXPECT_EQ(hostPixelFrom565(0x0020, HostFormat::Rgb555), 0x0000u);  // lowest green bit dropped
    EXPECT_EQ(hostPixelFrom565(0x8410, HostFormat::Bgr0), 0x808080u);
    HostFormat f;
    EXPECT_FALSE(hostFormatFromBits(32, 0, f));
    EXPECT_FALSE(hostFormatFromBits(8, 1, f));
    ASSERT_TRUE(hostFormatFromBits(16, 2, f));
    EXPECT_EQ(f, HostFormat::Rgb555);
}

TEST(Converters, EveryGuestFormatIntoEveryHostFormatMatchesPixelDecoding)
{
    std::mt19937 random(7);
    std::vector<uint8_t> guest(4 * 64);
    for (auto& b : guest) b = uint8_t(random());
    // Cells of all-ones, all-zeros and single bits show the bit order plainly.
    const uint8_t special[] = {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0x80, 0, 0, 0x01, 0x40, 0x40, 0x02, 0x01};
    std::copy(std::begin(special), std::end(special), guest.begin());

    for (GuestFormatId f : AllGuest)
        for (HostFormat h : AllHost) {
            SCOPED_TRACE(testing::Message() << "guest " << int(f) << " host " << int(h));
            const ConverterSet& set = convertersFor(f);
            const std::vector<uint8_t> expected = expectedLine(f, h, guest);
            const size_t cellBytes = expected.size() / (guest.size() / 4);

            std::vector<uint8_t> viaCells(expected.size(), 0xEE);
            for (size_t c = 0; c < guest.size() / 4; ++c)
                set.cell[size_t(h)](viaCells.data() + c * cellBytes, loadCell(guest.data() + 4 * c));
            EXPECT_EQ(viaCells, expected);

            // Spans, also starting at an odd cell and into an unaligned destination.
            std::vector<uint8_t> viaSpan(expected.size() + 1, 0xEE);
            set.span[size_t(h)](viaSpan.data() + 1 + cellBytes, guest.data() + 4, guest.size() / 4 - 1);
            EXPECT_TRUE(std::equal(expected.begin() + ptrdiff_t(cellBytes), expected.end(),
                                   viaSpan.begin() + 1 + ptrdiff_t(cellBytes)));
            EXPECT_EQ(viaSpan[1 + cellBytes - 1], 0xEE);  // nothing before the span
        }
}
