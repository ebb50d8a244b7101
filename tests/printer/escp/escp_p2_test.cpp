// The ESC/P2 commands current drivers send: the ESC i raster, the units and
// moves of graphics mode, the light inks, parameterised commands skipped by
// their length, and jobs in other printer languages refused.
#include <gtest/gtest.h>

#include "escp_test_support.h"

namespace zemprint::test {
namespace {

EscpRun run(const std::string& job)
{
    EscpRun result;
    interpret(result, job);
    return result;
}

std::string word(int v) { return bytes({v & 0xFF, (v >> 8) & 0xFF}); }

const std::string kGraphics = ESC + "(G" + bytes({1, 0, 1});
// Units of 1/360 inch for everything, then a position of 1 inch, 1/2 inch.
const std::string kPlace = ESC + "(U" + word(5) + bytes({10, 10, 10}) + word(3600) + ESC + "(V" + word(2) + word(180) +
                           ESC + "($" + word(4) + word(360) + word(0);

// Two rows of 16 dots.
const std::string kRows = bytes({0xF0, 0x0F, 0x81, 0x42});

void expectSameBand(const RecordingPageModel::PlacedBitmap& a, const RecordingPageModel::PlacedBitmap& b)
{
    EXPECT_EQ(a.x, b.x);
    EXPECT_EQ(a.y, b.y);
    EXPECT_EQ(a.horizontalDpi, b.horizontalDpi);
    EXPECT_EQ(a.verticalDpi, b.verticalDpi);
    EXPECT_EQ(a.bitmap.width, b.bitmap.width);
    EXPECT_EQ(a.bitmap.height, b.bitmap.height);
    EXPECT_EQ(a.bitmap.bits, b.bitmap.bits);
    EXPECT_EQ(a.colour, b.colour);
}

TEST(EscpExtendedRaster, LandsWhereTheSameRowsOfEscDotDo)
{
    const EscpRun dot = run(kGraphics + kPlace + ESC + "." + bytes({0, 10, 10, 2}) + word(16) + kRows + ESC + "@");
    ASSERT_EQ(dot.page.bitmaps.size(), 1u);
    EXPECT_EQ(dot.page.bitmaps[0].x, 1440);
    struct Case {
        const char* name;
        std::string band;
    };
    for (const Case& c : {
             Case{"Raw", ESC + "i" + bytes({0, 0, 1}) + word(2) + word(2) + kRows},
             // Run-length: a literal of 3 bytes, then 0x42 once as a repeat of 1.
             Case{"RunLength",
                  ESC + "i" + bytes({0, 1, 1}) + word(2) + word(2) + bytes({2, 0xF0, 0x0F, 0x81, 0xFF, 0x42})},
             // Two bits a dot: each dot of any size prints.
             Case{"TwoBitDots", ESC + "i" + bytes({0, 0, 2}) + word(4) + word(2) +
                                    bytes({0xFF, 0x00, 0x00, 0x55, 0xC0, 0x03, 0x30, 0x0C})},
             // ESC ( D sets the dot spacing itself.
             Case{"ResolutionCommand", ESC + "(D" + word(4) + word(14400) + bytes({40, 40}) + ESC + "i" +
                                           bytes({0, 0, 1}) + word(2) + word(2) + kRows},
         }) {
        SCOPED_TRACE(c.name);
        const EscpRun r = run(kGraphics + kPlace + c.band + ESC + "@");
        EXPECT_TRUE(r.error.empty()) << r.error;
        ASSERT_EQ(r.page.bitmaps.size(), 1u);
        expectSameBand(r.page.bitmaps[0], dot.page.bitmaps[0]);
    }
}

TEST(EscpExtendedRaster, RelativeMoveAndUnitsOfTheFinestPrinters)
{
    // 1/2880 inch units; ESC ( \ in 1/2880 moves the second band 1/4 inch on.
    const std::string units = ESC + "(U" + word(5) + bytes({2, 2, 1}) + word(2880);
    const std::string band = ESC + "i" + bytes({0, 0, 1}) + word(1) + word(1) + bytes({0x80});
    const EscpRun r = run(kGraphics + units + band + ESC + "(\\" + word(4) + word(2880) + word(720) + band + ESC + "@");
    EXPECT_TRUE(r.error.empty()) << r.error;
    ASSERT_EQ(r.page.bitmaps.size(), 2u);
    EXPECT_EQ(r.page.bitmaps[0].horizontalDpi, 2880);
    EXPECT_EQ(r.page.bitmaps[0].verticalDpi, 1440);
    // The first band advanced by its 8 dots (trunc(4 + 0.9) twips).
    EXPECT_EQ(r.page.bitmaps[1].x - r.page.bitmaps[0].x, 4 + 360);
}

TEST(EscpExtendedRaster, LightInksAsTheirOwnColours)
{
    const std::string band = bytes({0}) + word(1) + word(1) + bytes({0x80});
    const EscpRun r =
        run(kGraphics + ESC + "(r" + word(2) + bytes({1, 2}) + ESC + "." + bytes({0, 10, 10, 1}) + word(1) +
            bytes({0x80}) + ESC + "i" + bytes({0x11, 0, 1}) + word(1) + word(1) + bytes({0x80}) + ESC + "i" +
            bytes({0x14, 0, 1}) + word(1) + word(1) + bytes({0x80}) + ESC + "@");
    ASSERT_EQ(r.page.bitmaps.size(), 3u);
    EXPECT_EQ(r.page.bitmaps[0].colour, (Rgb{128, 255, 255}));
    EXPECT_EQ(r.page.bitmaps[1].colour, (Rgb{255, 128, 255}));
    EXPECT_EQ(r.page.bitmaps[2].colour, (Rgb{192, 192, 0}));
}

TEST(EscpSkipping, ParameterisedCommandsGoByTheirLength)
{
    // Odd lengths on purpose: what the printer does not act on is skipped
    // whole, in text and graphics mode alike.
    const std::string skipped = ESC + "(K" + word(3) + "abc" + ESC + "(e" + word(2) + "de" + ESC + "(m" + word(1) +
                                "f" + ESC + "(i" + word(2) + "gh" + ESC + "(S" + word(8) + "ijklmnop" + ESC + "(s" +
                                word(1) + "q" + ESC + "(Z" + word(3) + "rst";
    EXPECT_EQ(run(skipped + "A").text(), u"A");
    const EscpRun graphics = run(kGraphics + skipped + ESC + "@A");
    EXPECT_EQ(graphics.text(), u"A");
    EXPECT_TRUE(graphics.error.empty()) << graphics.error;
}

TEST(EscpSkipping, RasterOutOfGraphicsModeIsNoText)
{
    const EscpRun r = run(ESC + "." + bytes({0, 10, 10, 1}) + word(16) + "AB" + "C");
    EXPECT_EQ(r.text(), u"C");
    ASSERT_EQ(r.page.bitmaps.size(), 1u);
    EXPECT_EQ(r.page.bitmaps[0].bitmap.bits, (std::vector<std::uint8_t>{'A', 'B'}));
}

TEST(EscpForeignLanguage, RefusedWithOneMessageAndNoPage)
{
    struct Case {
        std::string job;
        const char* language;
    };
    for (const Case& c : {
             Case{"%!PS-Adobe-3.0\nshowpage\n", "PostScript"},
             Case{"\x04%!PS\n", "PostScript"},
             Case{"%PDF-1.4\n", "PDF"},
             Case{ESC + "E" + ESC + "&l0O" + ESC + "*t300R", "PCL"},
             Case{ESC + "&l1A text", "PCL"},
             Case{ESC + "%-12345X@PJL JOB\r\n@PJL ENTER LANGUAGE = POSTSCRIPT\r\n%!PS", "PostScript"},
             Case{ESC + "%-12345X@PJL\r\n" + ESC + "E", "PCL"},
         }) {
        const EscpRun r = run(c.job);
        EXPECT_EQ(r.error, std::string("The print data is ") + c.language + ", not ESC/P: nothing was printed");
        EXPECT_TRUE(r.page.pages.empty());
    }
    // ESC/P that starts alike is still printed: bold, then a bit image;
    // job control with its own language line.
    for (const std::string& job :
         {ESC + "E" + ESC + "*" + bytes({0, 1, 0, 0x80}) + "A", ESC + "\x01@EJL 1284.4\n@EJL     \n" + ESC + "@A",
          std::string("%% 100% text\r\n")}) {
        const EscpRun r = run(job);
        EXPECT_TRUE(r.error.empty()) << r.error;
        EXPECT_EQ(r.page.pages.size(), 1u);
    }
}

}  // namespace
}  // namespace zemprint::test
