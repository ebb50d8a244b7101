// The graphics-mode decoders as tables: run-length coded raster bands and
// TIFF command streams in, placed bitmaps, moves and trace lines out.
#include <gtest/gtest.h>

#include <map>

#include "escp_test_support.h"

namespace zemprint::test {
namespace {

const std::string kEnterGraphics = ESC + "(G" + bytes({1, 0, 1});
const std::string kLeaveGraphics = ESC + "@";

std::string repeated(int count, int value)
{
    return std::string(static_cast<std::size_t>(count), static_cast<char>(value));
}

std::vector<std::uint8_t> asBytes(const std::string& text) { return {text.begin(), text.end()}; }

EscpRun run(const std::string& job)
{
    EscpRun result;
    interpret(result, job, {.debug = true});
    return result;
}

// ESC . c v h m nL nH at 360 dpi both ways.
std::string rasterHeader(int compression, int widthDots, int heightDots)
{
    return ESC + "." + bytes({compression, 10, 10, heightDots, widthDots & 0xFF, widthDots >> 8});
}

struct RunLengthCase {
    const char* name;
    int width;                        // dots
    int height;                       // rows
    std::string data;                 // coded band, followed in the job by ESC @ and "A"
    std::string band;                 // decoded bytes, row after row
    std::vector<std::string> traces;  // extra lines the leftover bytes cause
};

TEST(RasterRunLength, DecodesTheBandAndLeavesTheRightBytes)
{
    const std::string literal128 = [] {
        std::string s;
        for (int i = 0; i < 128; ++i) s += static_cast<char>(i * 7 + 1);
        return s;
    }();
    const RunLengthCase cases[] = {
        {"literal run of one row", 16, 1, bytes({0x01, 0xAA, 0x55}), bytes({0xAA, 0x55}), {}},
        {"counter 0 is one literal byte", 8, 1, bytes({0x00, 0x5A}), bytes({0x5A}), {}},
        {"counter 127 is 128 literal bytes", 1024, 1, bytes({0x7F}) + literal128, literal128, {}},
        {"counter 255 repeats twice", 16, 1, bytes({0xFF, 0x3C}), bytes({0x3C, 0x3C}), {}},
        {"counter 128 repeats 129 times", 129 * 8, 1, bytes({0x80, 0x81}), repeated(129, 0x81), {}},
        {"literal then repeat in one row",
         32,
         1,
         bytes({0x01, 0x12, 0x34, 0xFF, 0x00}),
         bytes({0x12, 0x34, 0x00, 0x00}),
         {}},
        {"a repeat runs on into the next row", 8, 3, bytes({0xFE, 0xE7}), bytes({0xE7, 0xE7, 0xE7}), {}},
        {"a literal runs on into the next row", 16, 2, bytes({0x03, 1, 2, 3, 4}), bytes({1, 2, 3, 4}), {}},
        {"odd width rows take whole bytes", 11, 2, bytes({0xFD, 0xFF}), bytes({0xFF, 0xFF, 0xFF, 0xFF}), {}},
        // A repeat longer than the band: its byte is read, the rest is dropped.
        {"a repeat past the band's end is dropped", 8, 1, bytes({0xFB, 0x11}), bytes({0x11}), {}},
        // A literal run longer than the band: its unread bytes are graphics-mode bytes.
        {"a literal past the band's end",
         8,
         1,
         bytes({0x02, 0x11, 0x5A, 0x5B}),
         bytes({0x11}),
         {"\"Unknown graphics code (90)\" not implemented", "\"Unknown graphics code (91)\" not implemented"}},
    };
    for (const int compression : {1, 5}) {
        for (const RunLengthCase& c : cases) {
            SCOPED_TRACE(std::string(c.name) + ", mode " + std::to_string(compression));
            const EscpRun r =
                run(kEnterGraphics + rasterHeader(compression, c.width, c.height) + c.data + kLeaveGraphics + "A");
            EXPECT_EQ(r.error, "");
            ASSERT_EQ(r.page.bitmaps.size(), 1u);
            const auto& placed = r.page.bitmaps[0];
            EXPECT_EQ(placed.bitmap.width, c.width);
            EXPECT_EQ(placed.bitmap.height, c.height);
            EXPECT_EQ(placed.bitmap.bits, asBytes(c.band));
            EXPECT_TRUE(placed.advance);
            for (const std::string& line : c.traces) EXPECT_TRUE(r.traced(line)) << line;
            EXPECT_EQ(r.text(), u"A");  // ESC @ was read as the next command
        }
    }
}

TEST(RasterRunLength, JobEndingInsideABandEndsTheRun)
{
    struct Case {
        const char* name;
        std::string job;
        std::size_t bands;
    };
    // Every job is cut where the decoder wants one more byte, so reading
    // stops at its very end.
    const std::string band = "X" + kEnterGraphics + rasterHeader(1, 16, 2);  // 4 bytes wanted
    const Case cases[] = {
        {"inside a literal run", band + bytes({0x03, 0x12, 0x34}), 0},
        {"before a repeated byte", band + bytes({0xFD}), 0},
        {"before the next counter", band + bytes({0xFF, 0x77}), 0},
        {"inside the band header", "X" + kEnterGraphics + ESC + "." + bytes({1, 10, 10, 2}), 0},
        {"after a whole band, without ESC @", band + bytes({0xFC, 0x77}), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const EscpRun r = run(c.job);
        EXPECT_EQ(r.error, "Read beyond end of file " + std::to_string(c.job.size()));
        EXPECT_EQ(r.text(), u"X");  // the page begun before stays
        EXPECT_EQ(r.page.bitmaps.size(), c.bands);
    }
}

TEST(RasterBands, DensitiesAndPlacement)
{
    struct Case {
        int v, h;
        int verticalDpi, horizontalDpi;  // 0: refused
        const char* illegal;
    };
    const Case cases[] = {
        {5, 10, 720, 360, nullptr},          {10, 20, 360, 180, nullptr},         {40, 40, 90, 90, nullptr},
        {20, 5, 180, 720, nullptr},          {30, 10, 0, 0, "PrintRaster v-res"}, {10, 30, 0, 0, "PrintRaster h-res"},
        {39, 10, 0, 0, "PrintRaster v-res"},  // 92 dpi
        {0, 10, 0, 0, "PrintRaster v-res"},  {10, 0, 0, 0, "PrintRaster h-res"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.v) + "/" + std::to_string(c.h));
        // An 8 x 1 band whose single data byte is "Z" when the band is refused.
        const EscpRun r = run(kEnterGraphics + ESC + "." + bytes({0, c.v, c.h, 1, 8, 0}) + "Z" + kLeaveGraphics);
        if (c.illegal) {
            EXPECT_TRUE(r.traced(std::string("Illegal parameter: ") + c.illegal));
            EXPECT_TRUE(r.traced("\"Unknown graphics code (90)\" not implemented"));
            EXPECT_TRUE(r.page.bitmaps.empty());
            continue;
        }
        ASSERT_EQ(r.page.bitmaps.size(), 1u);
        EXPECT_EQ(r.page.bitmaps[0].verticalDpi, c.verticalDpi);
        EXPECT_EQ(r.page.bitmaps[0].horizontalDpi, c.horizontalDpi);
        EXPECT_EQ(r.page.bitmaps[0].bitmap.bits, asBytes("Z"));
    }

    // Bands follow one another to the right; a band of width 0 reads no data.
    const EscpRun r = run("AB" + kEnterGraphics + rasterHeader(0, 16, 1) + bytes({0xFF, 0xFF}) + rasterHeader(0, 0, 4) +
                          rasterHeader(1, 8, 1) + bytes({0x00, 0x81}) + ESC + "r" + bytes({2}) + rasterHeader(0, 8, 2) +
                          bytes({1, 2}) + "\r" + rasterHeader(0, 8, 1) + bytes({3}) + kLeaveGraphics);
    ASSERT_EQ(r.page.bitmaps.size(), 4u);
    EXPECT_EQ(r.page.bitmaps[0].x, 288);
    EXPECT_EQ(r.page.bitmaps[1].x, 288 + 16 * 4);
    EXPECT_EQ(r.page.bitmaps[2].x, 288 + 24 * 4);
    EXPECT_EQ(r.page.bitmaps[2].colour, (Rgb{0, 255, 255}));
    EXPECT_EQ(r.page.bitmaps[3].x, 0);  // CR in graphics mode
    for (const auto& placed : r.page.bitmaps) EXPECT_EQ(placed.y, RecordingPageModel::kDefaultTop);
}

// ESC . 2 / ESC . 3 at 360 dpi on a Letter page: rows of 3060 dots.
std::string tiff(int mode, const std::string& body)
{
    return kEnterGraphics + ESC + "." + bytes({mode, 10, 10, 1, 0, 0}) + body;
}

constexpr int kRowDots = 3060;
constexpr std::size_t kRowBytes = (kRowDots + 7) / 8;
const Rgb kBlack{0, 0, 0}, kMagenta{255, 0, 255}, kCyan{0, 255, 255}, kYellow{255, 255, 0};

struct Row {
    Rgb colour;
    int y;                           // twips
    std::map<std::size_t, int> set;  // non-zero bytes of the row
};

struct TiffCase {
    const char* name;
    int mode;
    std::string body;  // after the header, up to the exit code included
    std::vector<Row> rows;
    std::vector<std::string> traces = {};
};

TEST(TiffMode, CommandStreams)
{
    const int top = RecordingPageModel::kDefaultTop;
    const TiffCase cases[] = {
        {"short transfer", 2, bytes({0x22, 0x00, 0xF0, 0xE3}), {{kBlack, top, {{0, 0xF0}}}}},
        {"byte-counted transfer",
         2,
         bytes({0x31, 0x04, 0x02, 0xAA, 0xBB, 0xCC, 0xE3}),
         {{kBlack, top, {{0, 0xAA}, {1, 0xBB}, {2, 0xCC}}}}},
        {"word-counted transfer",
         2,
         bytes({0x32, 0x02, 0x00, 0xFE, 0x77, 0xE3}),
         {{kBlack, top, {{0, 0x77}, {1, 0x77}, {2, 0x77}}}}},
        // Two job bytes, but the repeat they start is finished.
        {"a repeat is finished past the count",
         2,
         bytes({0x22, 0xFD, 0x0F, 0xE3}),
         {{kBlack, top, {{0, 0x0F}, {1, 0x0F}, {2, 0x0F}, {3, 0x0F}}}}},
        // Two job bytes end inside a literal run: the rest are commands (0x44: <MOVX> 4).
        {"a literal is cut at the count",
         2,
         bytes({0x22, 0x03, 0x11, 0x44, 0x21, 0x00, 0xF0, 0xE3}),
         {{kBlack, top, {{0, 0x11}, {1, 0x0F}}}}},
        {"a zero-length transfer prints an empty row", 2, bytes({0x20, 0xE3}), {{kBlack, top, {}}}},
        {"dot moves shift the bits", 2, bytes({0x43, 0x21, 0x00, 0xFF, 0xE3}), {{kBlack, top, {{0, 0x1F}, {1, 0xE0}}}}},
        {"a move left of 0 is ignored", 2, bytes({0x4F, 0x21, 0x00, 0x81, 0xE3}), {{kBlack, top, {{0, 0x81}}}}},
        {"transfers advance x and overwrite",
         2,
         bytes({0x23, 0x01, 0xFF, 0xFF, 0xE2, 0x44, 0x22, 0x00, 0x00, 0xE3}),
         {{kBlack, top, {{0, 0xF0}, {1, 0x0F}}}}},
        {"byte moves count in bytes",
         2,
         bytes({0xE4, 0x41, 0x21, 0x00, 0xFF, 0xE5, 0x41, 0x21, 0x00, 0x80, 0xE3}),
         {{kBlack, top, {{0, 0x40}, {1, 0x7F}}}}},  // the second byte replaces dots 1 to 8
        {"8- and 16-bit moves",
         2,
         bytes({0x51, 0x10, 0x21, 0x00, 0x01, 0x52, 0xE8, 0xFF, 0x21, 0x00, 0xFF, 0xE3}),
         {{kBlack, top, {{0, 0xFF}, {2, 0x01}}}}},
        // The row ends at dot 3060: a move there is taken, one dot further is not.
        {"moves up to the row's end",
         2,
         bytes({0x52, 0xF4, 0x0B, 0x21, 0x00, 0xFF, 0xE2, 0x52, 0xF5, 0x0B, 0x21, 0x00, 0xFF, 0xE3}),
         {{kBlack, top, {{0, 0xFF}}}}},
        // Bits past dot 3060 are dropped, x still counts them: <MOVX> -16 from 3072 lands on 3056.
        {"transfers past the row's end",
         2,
         bytes({0x52, 0xE8, 0x0B, 0x24, 0x02, 0xFF, 0xFF, 0xFF, 0x51, 0xF0, 0x21, 0x00, 0x00, 0xE3}),
         {{kBlack, top, {{381, 0xFF}}}}},
        {"colours select planes and return x to 0",
         2,
         bytes({0x81, 0x21, 0x00, 0x80, 0x51, 0x08, 0x82, 0x21, 0x00, 0x40, 0x84, 0x21,
                0x00, 0x20, 0x44, 0x83, 0x21, 0x00, 0x10, 0x80, 0x21, 0x00, 0x08, 0xE3}),
         {{kBlack, top, {{0, 0x08}}},
          {kMagenta, top, {{0, 0x80}}},
          {kCyan, top, {{0, 0x40}}},
          {kYellow, top, {{0, 0x10}}}},
         {"<COLR> 3", "<COLR> argument invalid"}},
        // Dots of two planes are placed once, in the mixed colour.
        {"overlapping planes mix",
         2,
         bytes({0x82, 0x21, 0x00, 0xF0, 0x84, 0x21, 0x00, 0x3C, 0xE3}),
         {{kCyan, top, {{0, 0xC0}}}, {kYellow, top, {{0, 0x0C}}}, {Rgb{0, 255, 0}, top, {{0, 0x30}}}}},
        {"clear empties the current plane only",
         2,
         bytes({0x21, 0x00, 0xF0, 0x81, 0x21, 0x00, 0x0F, 0xE1, 0xE3}),
         {{kBlack, top, {{0, 0xF0}}}}},
        {"vertical moves print and clear in mode 2",
         2,
         bytes({0x21, 0x00, 0xC0, 0x61, 0x71, 0x03, 0x21, 0x00, 0x30, 0x72, 0x00, 0x01, 0x22, 0x00, 0x0C, 0xE3}),
         {{kBlack, top, {{0, 0xC0}}}, {kBlack, top + 16, {{0, 0x30}}}, {kBlack, top + 16 + 1024, {{0, 0x0C}}}}},
        {"vertical moves print again in mode 3",
         3,
         bytes({0x21, 0x00, 0xC0, 0x61, 0x81, 0x21, 0x00, 0x03, 0x61, 0xE3}),
         {{kBlack, top, {{0, 0xC0}}},
          {kBlack, top + 4, {{0, 0xC0}}},
          {kMagenta, top + 4, {{0, 0x03}}},
          {kBlack, top + 8, {{0, 0xC0}}},
          {kMagenta, top + 8, {{0, 0x03}}}}},
        {"clear ends the repeats of mode 3",
         3,
         bytes({0x21, 0x00, 0xC0, 0x61, 0xE1, 0x61, 0xE3}),
         {{kBlack, top, {{0, 0xC0}}}}},
        // 7920/360 inch is 22 inches: not taken, and x stays where it was.
        {"a vertical move of 22 inches is not taken",
         2,
         bytes({0x21, 0x00, 0xF0, 0x72, 0xF0, 0x1E, 0x21, 0x00, 0x0F, 0xE3}),
         {{kBlack, top, {{0, 0xF0}}}, {kBlack, top, {{1, 0x0F}}}}},
        {"other codes are ignored",
         2,
         bytes({0x00, 0x1B, 0x90, 0xDF, 0xE0, 0xE6, 0xFF, 0x21, 0x00, 0x42, 0xE3}),
         {{kBlack, top, {{0, 0x42}}}}},
    };
    for (const TiffCase& c : cases) {
        SCOPED_TRACE(c.name);
        const EscpRun r = run(tiff(c.mode, c.body) + kLeaveGraphics + "A");
        EXPECT_EQ(r.error, "");
        EXPECT_EQ(r.text(), u"A");
        ASSERT_EQ(r.page.bitmaps.size(), c.rows.size());
        for (std::size_t i = 0; i < c.rows.size(); ++i) {
            SCOPED_TRACE("row " + std::to_string(i));
            const auto& placed = r.page.bitmaps[i];
            std::vector<std::uint8_t> expected(kRowBytes, 0);
            for (const auto& [at, value] : c.rows[i].set) expected[at] = static_cast<std::uint8_t>(value);
            EXPECT_EQ(placed.bitmap.width, kRowDots);
            EXPECT_EQ(placed.bitmap.height, 1);
            EXPECT_EQ(placed.bitmap.bits, expected);
            EXPECT_EQ(placed.colour, c.rows[i].colour);
            EXPECT_EQ(placed.x, 0);
            EXPECT_EQ(placed.y, c.rows[i].y);
            EXPECT_EQ(placed.horizontalDpi, 360);
            EXPECT_EQ(placed.verticalDpi, 360);
            EXPECT_FALSE(placed.advance);
        }
        for (const std::string& line : c.traces) EXPECT_TRUE(r.traced(line)) << line;
        EXPECT_TRUE(r.traced("Exit TIFF mode"));
    }
}

TEST(TiffMode, HeaderDensitiesAndFailures)
{
    // v and h of 0 count as 10 (360 dpi); 20 is 180 dpi, so the row holds 1530 dots.
    EscpRun r = run(kEnterGraphics + ESC + "." + bytes({2, 0, 20, 1, 0, 0, 0x21, 0x00, 0xFF, 0xE3}) + kLeaveGraphics);
    ASSERT_EQ(r.page.bitmaps.size(), 1u);
    EXPECT_EQ(r.page.bitmaps[0].bitmap.width, 1530);
    EXPECT_EQ(r.page.bitmaps[0].horizontalDpi, 180);
    EXPECT_EQ(r.page.bitmaps[0].verticalDpi, 360);

    // The colour of ESC r comes back after the planes were printed.
    r = run(kEnterGraphics + ESC + "r" + bytes({5}) + ESC + "." +
            bytes({2, 10, 10, 1, 0, 0, 0x82, 0x21, 0x00, 0xFF, 0xE3}) + ESC + "." + bytes({0, 10, 10, 1, 8, 0, 0xFF}) +
            kLeaveGraphics);
    ASSERT_EQ(r.page.bitmaps.size(), 2u);
    EXPECT_EQ(r.page.bitmaps[0].colour, kCyan);
    EXPECT_EQ(r.page.bitmaps[1].colour, (Rgb{255, 0, 0}));

    // Header bytes other than 1 0 0 refuse the command; what follows is graphics-mode data.
    r = run(kEnterGraphics + ESC + "." + bytes({2, 10, 10, 2, 0, 0}) + "Z" + kLeaveGraphics + "A");
    EXPECT_TRUE(r.traced("Illegal parameter: PrintTIFF"));
    EXPECT_TRUE(r.traced("\"Unknown graphics code (90)\" not implemented"));
    EXPECT_EQ(r.text(), u"A");

    // A job ending in TIFF mode, inside a transfer or before the exit code.
    for (const std::string& body : {bytes({0x23, 0x02, 0xFF}), bytes({0x21, 0x00, 0xFF, 0x61})}) {
        const std::string job = "X" + tiff(2, body);
        r = run(job);
        EXPECT_EQ(r.error, "Read beyond end of file " + std::to_string(job.size()));
        EXPECT_EQ(r.text(), u"X");
    }
}

}  // namespace
}  // namespace zemprint::test
