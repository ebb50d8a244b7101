// Graphics printed dot for dot: bitmaps made here are encoded as print jobs
// (by the netpbm ESC/P2 encoder and by the small encoders below), printed to
// PNG at a resolution where every dot covers whole pixels, and every pixel of
// the page is compared with the dot grid computed from the margins and units
// the job sets.
#include <QImage>
#include <QPageSize>
#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>

#include "printer/host_fonts.h"
#include "printer/run/print_run.h"
#include "printer/output/printer_setup.h"
#include "printer/settings/settings.h"
#include "run_process.h"
#include "support/temp_dir.h"

namespace zemprint {
namespace {

namespace fs = std::filesystem;

constexpr int kTwipsPerInch = 1440;
const std::string ESC = "\x1b";

std::string bytes(std::initializer_list<int> values)
{
    std::string result;
    for (int v : values) result += static_cast<char>(v);
    return result;
}
std::string word(int v) { return bytes({v & 0xFF, (v >> 8) & 0xFF}); }

// A bitmap of dots, row by row; true is a printed dot.
struct Dots {
    int width = 0;
    int height = 0;
    std::vector<bool> on;

    Dots(int w, int h) : width(w), height(h), on(static_cast<std::size_t>(w) * h) {}
    bool at(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height && on[index(x, y)]; }
    void set(int x, int y, bool value = true) { on[index(x, y)] = value; }
    // Row y packed eight dots a byte, the leftmost dot in the top bit.
    std::string rowBytes(int y) const
    {
        std::string row(static_cast<std::size_t>((width + 7) / 8), '\0');
        for (int x = 0; x < width; ++x)
            if (at(x, y))
                row[static_cast<std::size_t>(x / 8)] =
                    static_cast<char>(row[static_cast<std::size_t>(x / 8)] | (0x80 >> (x % 8)));
        return row;
    }

private:
    std::size_t index(int x, int y) const { return static_cast<std::size_t>(y) * width + x; }
};

// Random dots with a frame, so the image's edges are checked too.
Dots randomDots(int width, int height, unsigned seed, int percent = 50)
{
    Dots dots(width, height);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            dots.set(x, y, x == 0 || y == 0 || x == width - 1 || y == height - 1 || int(random() % 100) < percent);
    return dots;
}

// Long white and black runs (run-length coding at its limits), diagonals and a frame.
Dots patternDots(int width, int height)
{
    Dots dots(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool band = (y / 5) % 3 == 0 && x > width / 3;  // wide solid stripes
            const bool diagonal = (x + y) % 11 == 0 || (x - y + 1000) % 17 == 0;
            dots.set(x, y, band || diagonal || x == 0 || y == height - 1 || x == width - 1);
        }
    return dots;
}

// The image as the page shows it when its stripes of `stripe` rows are
// `pitch` rows apart.
Dots spacedStripes(const Dots& dots, int stripe, int pitch)
{
    const int stripes = (dots.height + stripe - 1) / stripe;
    Dots spaced(dots.width, (stripes - 1) * pitch + stripe);
    for (int y = 0; y < dots.height; ++y)
        for (int x = 0; x < dots.width; ++x) spaced.set(x, y / stripe * pitch + y % stripe, dots.at(x, y));
    return spaced;
}

std::string pbm(const Dots& dots)
{
    std::string out = "P4\n" + std::to_string(dots.width) + " " + std::to_string(dots.height) + "\n";
    for (int y = 0; y < dots.height; ++y) out += dots.rowBytes(y);
    return out;
}

// The run-length code of the raster bands: a counter k >= 128 repeats the
// next byte 257 - k times (2 to 129), k < 128 is followed by k + 1 literals.
std::string runLength(const std::string& data)
{
    constexpr std::size_t kMaxRepeat = 129;
    constexpr std::size_t kMaxLiteral = 128;
    std::string out;
    std::size_t i = 0;
    while (i < data.size()) {
        std::size_t run = 1;
        while (i + run < data.size() && data[i + run] == data[i] && run < kMaxRepeat) ++run;
        if (run >= 2) {
            out += static_cast<char>(257 - run);
            out += data[i];
            i += run;
            continue;
        }
        std::size_t end = i + 1;
        while (end < data.size() && end - i < kMaxLiteral && !(end + 1 < data.size() && data[end] == data[end + 1]))
            ++end;
        out += static_cast<char>(end - i - 1);
        out += data.substr(i, end - i);
        i = end;
    }
    return out;
}

// Where the jobs put their images: the left margin at column 1 (144 twips at
// 10 cpi) and, by ESC ( c, the top of the form 90/360 inch down, where
// ESC ( V 0 puts the print position.
constexpr int kLeft = 144;
constexpr int kTop = 360;
const std::string kPlacement =
    ESC + "l" + bytes({1}) + ESC + "(c" + word(4) + word(kTop / 4) + word(4000) + ESC + "(V" + word(2) + word(0);

const std::string kEnterGraphics = ESC + "(G" + bytes({1, 0, 1});

// ESC ( U with the unit 1/dpi for page and movement units.
std::string unitsOf(int dpi) { return ESC + "(U" + word(1) + bytes({3600 / dpi}); }

// Raster bands of `bandRows` rows; compression 0 raw, anything else run-length
// coded over the whole band, so runs cross the row ends.
std::string rasterJob(const Dots& dots, int dpi, int compression, int bandRows)
{
    std::string job = kPlacement + kEnterGraphics + unitsOf(dpi);
    for (int top = 0; top < dots.height; top += bandRows) {
        const int rows = std::min(bandRows, dots.height - top);
        std::string band;
        for (int y = top; y < top + rows; ++y) band += dots.rowBytes(y);
        job += ESC + "." + bytes({compression, 3600 / dpi, 3600 / dpi, rows}) + word(dots.width) +
               (compression == 0 ? band : runLength(band));
        job += "\r" + ESC + "(v" + word(2) + word(rows);
    }
    return job + ESC + "@";
}

std::string tiffCount(int base, int value)
{
    if (value < 16) return bytes({base | value});
    if (value < 256) return bytes({base | 0x11, value});
    return bytes({base | 0x12}) + word(value);
}

// TIFF mode: each row moved to its first printed byte, transferred run-length
// coded, and fed one dot down. Mode 3 keeps the row, so a row equal to the one
// before is sent as a bare move and the kept row prints again.
std::string tiffJob(const Dots& dots, int dpi, int mode)
{
    constexpr int kMoveByBytes = 0xE4, kClear = 0xE1, kExit = 0xE3, kMoveX = 0x40, kMoveY = 0x60, kTransfer = 0x20;
    std::string job = kPlacement + kEnterGraphics + unitsOf(dpi) + ESC + "." +
                      bytes({mode, 3600 / dpi, 3600 / dpi, 1, 0, 0, kMoveByBytes});
    std::string previous;
    for (int y = 0; y < dots.height; ++y) {
        const std::string row = dots.rowBytes(y);
        if (mode == 2 || row != previous) {
            if (mode == 3) job += bytes({kClear});
            const std::size_t first = row.find_first_not_of('\0');
            if (first != std::string::npos) {
                const std::size_t last = row.find_last_not_of('\0');
                if (first > 0) job += tiffCount(kMoveX, static_cast<int>(first));
                const std::string coded = runLength(row.substr(first, last - first + 1));
                job += tiffCount(kTransfer, static_cast<int>(coded.size())) + coded;
            }
        }
        job += tiffCount(kMoveY, 1);
        previous = row;
    }
    return job + bytes({kClear, kExit}) + ESC + "@";
}

struct BitImageMode {
    const char* name;
    std::string command;  // up to the column count: ESC * m, ESC K...
    int horizontalDpi, verticalDpi, pins;
    bool ninePin = false;
};

// Stripes of `pins` rows as bit-image columns, each stripe followed by CR and
// a move down by its height in 1/360 inch.
std::string bitImageJob(const Dots& dots, const BitImageMode& mode, const std::string& setup = "")
{
    std::string job = kPlacement + setup;
    const int stripeTwips = mode.pins * kTwipsPerInch / mode.verticalDpi;
    for (int top = 0; top < dots.height; top += mode.pins) {
        std::string data;
        for (int x = 0; x < dots.width; ++x) {
            if (mode.ninePin) {
                int column = 0;
                for (int dot = 0; dot < 8; ++dot) column |= dots.at(x, top + dot) ? 0x80 >> dot : 0;
                column |= dots.at(x, top + 8) ? 0x100 : 0;
                data += word(column);
                continue;
            }
            for (int byte = 0; byte < mode.pins / 8; ++byte) {
                int bits = 0;
                for (int dot = 0; dot < 8; ++dot) bits |= dots.at(x, top + byte * 8 + dot) ? 0x80 >> dot : 0;
                data += static_cast<char>(bits);
            }
        }
        job += mode.command + word(mode.ninePin ? 2 * dots.width : dots.width) + data + "\r" + ESC + "(v" + word(2) +
               word(stripeTwips / 4);
    }
    return job;
}

class RasterPixels : public ::testing::Test {
protected:
    RasterPixels() : settings(dir.file("ZEMPrint.ini"), installedFontFamilies, '.') { settings.load(); }

    // Prints the job to PNG pages of `inches` at `dpi`.
    std::vector<QImage> print(const std::string& job, int dpi, QSizeF inches = {3, 2})
    {
        for (int n = 1; fs::remove(dir.file("page-" + std::to_string(n) + ".png")); ++n) {}
        TPrinterSetup setup;
        EXPECT_TRUE(setup.open(dir.file("page.png")));
        setup.deviceMode().printQuality = dpi;
        setup.deviceMode().pageSize = QPageSize(inches, QPageSize::Inch);
        setup.capture();
        printJob(settings, setup, dir.write("job.prn", job));
        std::vector<QImage> pages;
        for (int n = 1; fs::exists(dir.file("page-" + std::to_string(n) + ".png")); ++n)
            pages.emplace_back(QString::fromStdString(dir.file("page-" + std::to_string(n) + ".png")));
        return pages;
    }

    zemtest::TempDir dir;
    TSettings settings;
};

// The dot under the centre of pixel (px, py) of a page at `resolution`, for
// an image whose top-left corner is at (left, top) twips: column and row as
// floor((centre - origin) / dot size), all in integers.
int dotUnder(int pixel, int resolution, int origin, int dpi)
{
    const std::int64_t numerator =
        (2 * std::int64_t(pixel) + 1) * kTwipsPerInch * dpi - 2 * std::int64_t(resolution) * origin * dpi;
    const std::int64_t denominator = 2 * std::int64_t(resolution) * kTwipsPerInch;
    return numerator < 0 ? -1 : static_cast<int>(numerator / denominator);
}

// Every pixel of the page: black where a dot lies, white elsewhere.
void expectDots(const QImage& page, int resolution, const Dots& dots, int horizontalDpi, int verticalDpi,
                int left = kLeft, int top = kTop)
{
    ASSERT_FALSE(page.isNull());
    const QImage image = page.convertToFormat(QImage::Format_RGB32);
    std::vector<int> columnOf(static_cast<std::size_t>(image.width()));
    for (int px = 0; px < image.width(); ++px)
        columnOf[static_cast<std::size_t>(px)] = dotUnder(px, resolution, left, horizontalDpi);
    long wrong = 0;
    std::string first;
    for (int py = 0; py < image.height(); ++py) {
        const int row = dotUnder(py, resolution, top, verticalDpi);
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(py));
        for (int px = 0; px < image.width(); ++px) {
            const QRgb expected =
                dots.at(columnOf[static_cast<std::size_t>(px)], row) ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
            if ((line[px] & 0xFFFFFF) != (expected & 0xFFFFFF) && wrong++ == 0)
                first = "first at pixel " + std::to_string(px) + "," + std::to_string(py);
        }
    }
    EXPECT_EQ(wrong, 0) << first;
}

TEST_F(RasterPixels, NetpbmRasterJobs)
{
    struct Case {
        int dpi;
        int compression;
        int stripe;
        Dots dots;
    };
    const Case cases[] = {
        {360, 1, 24, randomDots(203, 77, 1)},   {360, 0, 24, patternDots(331, 50)},
        {360, 1, 8, patternDots(517, 41)},      {180, 1, 24, randomDots(99, 60, 2, 20)},
        {180, 0, 8, randomDots(64, 33, 3, 80)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.dpi) + " dpi, mode " + std::to_string(c.compression) + ", stripes of " +
                     std::to_string(c.stripe) + ", " + std::to_string(c.dots.width) + "x" +
                     std::to_string(c.dots.height));
        test::ProcessOptions options;
        options.input = pbm(c.dots);
        const auto encoded =
            test::runProcess("/usr/bin/pbmtoescp2",
                             {"-compress=" + std::to_string(c.compression), "-resolution=" + std::to_string(c.dpi),
                              "-stripeheight=" + std::to_string(c.stripe)},
                             options);
        ASSERT_EQ(encoded.exitCode, 0) << encoded.err;
        // The encoder's bands have rows of 1/dpi inch and follow one another
        // by line feeds at the line spacing it sets, 24 rows whatever the
        // stripe height; its own ESC @ ends the job.
        const auto pages = print(kPlacement + encoded.out, c.dpi);
        ASSERT_EQ(pages.size(), 1u);
        expectDots(pages[0], c.dpi, spacedStripes(c.dots, c.stripe, 24), c.dpi, c.dpi);
    }
}

TEST_F(RasterPixels, OwnRasterAndTiffJobs)
{
    struct Case {
        const char* name;
        std::string job;
        int dpi;
    };
    const Dots random = randomDots(237, 45, 4);
    const Dots pattern = patternDots(1301, 37);  // rows wider than one repeat of 129 bytes
    Dots repeatedRows(150, 30);                  // equal neighbours for mode 3
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 150; ++x) repeatedRows.set(x, y, (y / 6) % 2 ? x % 3 == 0 : (x / 10) % 2 == 0);
    const Case cases[] = {
        {"raw bands at 720 dpi", rasterJob(random, 720, 0, 24), 720},
        {"run-length bands at 720 dpi", rasterJob(random, 720, 1, 8), 720},
        {"run-length mode 5 at 360 dpi, one band", rasterJob(random, 360, 5, 45), 360},
        {"long runs at 360 dpi", rasterJob(pattern, 360, 1, 24), 360},
        {"TIFF mode 2 at 360 dpi", tiffJob(random, 360, 2), 360},
        {"TIFF mode 2 long runs at 720 dpi", tiffJob(pattern, 720, 2), 720},
        {"TIFF mode 3 at 180 dpi", tiffJob(repeatedRows, 180, 3), 180},
    };
    const Dots* images[] = {&random, &random, &random, &pattern, &random, &pattern, &repeatedRows};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        const QSizeF paper = images[i] == &pattern ? QSizeF(4, 1) : QSizeF(2, 1);
        const auto pages = print(cases[i].job, cases[i].dpi, paper);
        ASSERT_EQ(pages.size(), 1u);
        expectDots(pages[0], cases[i].dpi, *images[i], cases[i].dpi, cases[i].dpi);
    }
}

// Every density of the table, the reassigned ESC K and the 9-dot images, at
// 720 dpi, where each of those dot sizes is a whole number of pixels.
TEST_F(RasterPixels, BitImagesInTheirDensities)
{
    const std::string star = ESC + "*";
    const BitImageMode modes[] = {
        {"8-dot single", star + bytes({0}), 60, 60, 8},
        {"8-dot double", star + bytes({1}), 120, 60, 8},
        {"8-dot quadruple", star + bytes({3}), 240, 60, 8},
        {"8-dot CRT", star + bytes({4}), 80, 60, 8},
        {"8-dot plotter", star + bytes({5}), 72, 72, 8},
        {"8-dot 90 dpi", star + bytes({6}), 90, 60, 8},
        {"8-dot 144 dpi", star + bytes({7}), 144, 72, 8},
        {"24-dot single", star + bytes({32}), 60, 180, 24},
        {"24-dot double", star + bytes({33}), 120, 180, 24},
        {"24-dot CRT", star + bytes({38}), 90, 180, 24},
        {"24-dot triple", star + bytes({39}), 180, 180, 24},
        {"24-dot hex", star + bytes({40}), 360, 180, 24},
        {"48-dot", star + bytes({71}), 180, 360, 48},
        {"48-dot 360", star + bytes({73}), 360, 360, 48},
        {"ESC L", ESC + "L", 120, 60, 8},
        {"9-dot double", ESC + "^" + bytes({1}), 120, 72, 9, true},
    };
    for (const BitImageMode& mode : modes) {
        SCOPED_TRACE(mode.name);
        const Dots dots = randomDots(mode.horizontalDpi / 2 + 3, mode.pins * 3, 5);
        const auto pages = print(bitImageJob(dots, mode), 720);
        ASSERT_EQ(pages.size(), 1u);
        expectDots(pages[0], 720, dots, mode.horizontalDpi, mode.verticalDpi);
    }
    // ESC ? gives ESC K the horizontal density of mode 3.
    const Dots dots = patternDots(97, 16);
    const auto pages = print(bitImageJob(dots, {"K", ESC + "K", 240, 60, 8}, ESC + "?K" + bytes({3})), 720);
    ASSERT_EQ(pages.size(), 1u);
    expectDots(pages[0], 720, dots, 240, 60);
}

// Overlapping colour planes mix as inks do: each plane keeps only the light
// its colour passes, so where planes meet the page gets the AND of their
// colours (cyan and yellow give green, all three give black).
struct Plane {
    int code;  // <COLR>
    QRgb colour;
    int from, to;  // dots [from, to) of every row
};
const Plane kPlanes[] = {{0x82, qRgb(0, 255, 255), 0, 48},
                         {0x81, qRgb(255, 0, 255), 16, 64},
                         {0x84, qRgb(255, 255, 0), 32, 80},
                         {0x80, qRgb(0, 0, 0), 72, 88}};
constexpr int kPlaneRows = 6;

// TIFF rows at 180 dpi where the four planes overlap in steps of 16 dots.
std::string colourPlanesJob()
{
    std::string job = kPlacement + kEnterGraphics + unitsOf(180) + ESC + "." + bytes({2, 20, 20, 1, 0, 0});
    for (int row = 0; row < kPlaneRows; ++row) {
        for (const Plane& plane : kPlanes) {
            Dots line(plane.to, 1);
            for (int x = plane.from; x < plane.to; ++x) line.set(x, 0);
            const std::string coded = runLength(line.rowBytes(0));
            job += bytes({plane.code}) + tiffCount(0x20, static_cast<int>(coded.size())) + coded;
        }
        job += bytes({0x61});
    }
    return job + bytes({0xE3}) + ESC + "@";
}

// Two passes of ESC * over one line, as colour drivers print: a cyan block
// of 40 dots at 60 dpi, then a yellow one moved right by 15 dots.
std::string colourPassesJob()
{
    Dots block(40, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 40; ++x) block.set(x, y);
    const BitImageMode mode{"", ESC + "*" + bytes({0}), 60, 60, 8};
    return ESC + "r" + bytes({2}) + bitImageJob(block, mode) + ESC + "r" + bytes({4}) + ESC + "(v" + word(2) +
           word(0x10000 - 48) + ESC + "$" + word(1 + 20) + bitImageJob(block, mode).substr(kPlacement.size());
}
// Dots of the page at 60 dpi where the passes leave cyan, green and yellow.
struct Mix {
    int dot;
    QRgb colour;
};
const Mix kPassMixes[] = {{10, qRgb(0, 255, 255)}, {30, qRgb(0, 255, 0)}, {55, qRgb(255, 255, 0)}};

TEST_F(RasterPixels, ColourPlanesMixLikeInks)
{
    const auto& planes = kPlanes;
    constexpr int kRows = kPlaneRows;
    constexpr int kDpi = 180;
    const std::string job = colourPlanesJob();
    const auto pages = print(job, kDpi);
    ASSERT_EQ(pages.size(), 1u);
    const QImage page = pages[0].convertToFormat(QImage::Format_RGB32);
    const int left = kLeft * kDpi / kTwipsPerInch;
    const int top = kTop * kDpi / kTwipsPerInch;
    for (int x = 0; x < 96; ++x) {
        QRgb expected = qRgb(255, 255, 255);
        for (const Plane& plane : planes)
            if (x >= plane.from && x < plane.to) expected &= plane.colour;
        for (const int y : {0, kRows - 1})
            EXPECT_EQ(page.pixel(left + x, top + y) & 0xFFFFFF, expected & 0xFFFFFF) << "dot " << x << ", row " << y;
        EXPECT_EQ(page.pixel(left + x, top + kRows) & 0xFFFFFF, 0xFFFFFFu) << "below, dot " << x;
    }
    // The named mixes, as a printer shows them.
    EXPECT_EQ(page.pixel(left + 8, top) & 0xFFFFFF, 0x00FFFFu);   // cyan alone
    EXPECT_EQ(page.pixel(left + 20, top) & 0xFFFFFF, 0x0000FFu);  // cyan and magenta: blue
    EXPECT_EQ(page.pixel(left + 40, top) & 0xFFFFFF, 0x000000u);  // all three: black
    EXPECT_EQ(page.pixel(left + 56, top) & 0xFFFFFF, 0xFF0000u);  // magenta and yellow: red

    // Bit images in ESC r colours over one another: yellow over cyan is green.
    const std::string overlap = colourPassesJob();
    const auto mixed = print(overlap, 60);
    ASSERT_EQ(mixed.size(), 1u);
    const QImage mix = mixed[0].convertToFormat(QImage::Format_RGB32);
    const int mixTop = kTop * 60 / kTwipsPerInch;
    // Cyan covers dots 6 to 45 of the page, yellow 21 to 60.
    for (const Mix& m : kPassMixes)
        EXPECT_EQ(mix.pixel(m.dot, mixTop + 4) & 0xFFFFFF, m.colour & 0xFFFFFF) << "dot " << m.dot;
}

// A band crossing the right and bottom limits is cut there, dot for dot.
TEST_F(RasterPixels, BandsAreCutAtTheLimits)
{
    const Dots dots = randomDots(100, 24, 8);
    // Right limit at column 3 (432 twips, 72 dots right of the left one at
    // 360 dpi), bottom 10/360 inch below the top.
    const std::string limits = ESC + "l" + bytes({1}) + ESC + "Q" + bytes({3}) + ESC + "(c" + word(4) + word(kTop / 4) +
                               word(kTop / 4 + 10) + ESC + "(V" + word(2) + word(0);
    std::string band = ESC + "." + bytes({0, 10, 10, 24}) + word(dots.width);
    for (int y = 0; y < dots.height; ++y) band += dots.rowBytes(y);
    const auto pages = print(limits + kEnterGraphics + band + ESC + "@", 360);
    ASSERT_EQ(pages.size(), 1u);
    Dots inside(72, 10);
    for (int y = 0; y < inside.height; ++y)
        for (int x = 0; x < inside.width; ++x) inside.set(x, y, dots.at(x, y));
    expectDots(pages[0], 360, inside, 360, 360);
}

// ESC ( $ has no range check: a band placed as far right as its 32 bits
// reach is cut away whole, and the next one lands where it is sent.
TEST_F(RasterPixels, BandFarRightIsCutAway)
{
    const Dots dots = randomDots(40, 6, 7);
    std::string band = ESC + "." + bytes({0, 20, 20, 6}) + word(dots.width);
    for (int y = 0; y < dots.height; ++y) band += dots.rowBytes(y);
    const std::string farRight = ESC + "($" + word(4) + word(0xFFFF) + word(0x7FFF);
    const std::string home = ESC + "($" + word(4) + word(kLeft / 24) + word(0);  // 1/60 inch units
    const auto pages = print(kPlacement + kEnterGraphics + farRight + band + band + home + band + ESC + "@", 180);
    ASSERT_EQ(pages.size(), 1u);
    expectDots(pages[0], 180, dots, 180, 180);
}

// PDF and printers cannot combine by AND: there the white of an image must
// stay transparent, or a later image would wipe out what lies under it, and
// dots on dots of other colours must be drawn in the mixed ink.
// A colour seen through a viewer that smooths image edges: close enough.
void expectNear(QRgb actual, QRgb expected, const std::string& where)
{
    EXPECT_LE(std::abs(qRed(actual) - qRed(expected)), 64) << where;
    EXPECT_LE(std::abs(qGreen(actual) - qGreen(expected)), 64) << where;
    EXPECT_LE(std::abs(qBlue(actual) - qBlue(expected)), 64) << where;
}

TEST_F(RasterPixels, VectorOutputKeepsWhatLiesUnderAnImageAndMixesInks)
{
    // The job printed to PDF and shown at `dpi`, the top-left 600 x 300 pixels.
    const auto shownPdf = [this](const std::string& name, const std::string& job, int dpi) {
        TPrinterSetup setup;
        EXPECT_TRUE(setup.open(dir.file(name + ".pdf")));
        printJob(settings, setup, dir.write(name + ".prn", job));
        const auto shown =
            test::runProcess("/usr/bin/pdftoppm", {"-r", std::to_string(dpi), "-f", "1", "-l", "1", "-W", "600", "-H",
                                                   "300", "-png", dir.file(name + ".pdf"), dir.file(name)});
        EXPECT_EQ(shown.exitCode, 0) << shown.err;
        return QImage(QString::fromStdString(dir.file(name + "-1.png"))).convertToFormat(QImage::Format_RGB32);
    };
    // Four pixels a 60 dpi dot, sampled in the dot's middle.
    constexpr int kShownDpi = 240;
    constexpr int kScale = kShownDpi / 60;
    const int left = kLeft * kShownDpi / kTwipsPerInch;
    const int top = kTop * kShownDpi / kTwipsPerInch;
    const auto dotCentre = [](int origin, int dot) { return origin + dot * kScale + kScale / 2; };

    // A cyan block, then black stripes over it: the cyan between them stays.
    Dots block(40, 8);
    Dots stripes(40, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 40; ++x) {
            block.set(x, y);
            stripes.set(x, y, x % 8 < 4);
        }
    const BitImageMode mode{"", ESC + "*" + bytes({0}), 60, 60, 8};
    const std::string job = ESC + "r" + bytes({2}) + bitImageJob(block, mode) + ESC + "(v" + word(2) +
                            word(0x10000 - 48) + ESC + "r" + bytes({0}) +
                            bitImageJob(stripes, mode).substr(kPlacement.size());
    const QImage page = shownPdf("stripes", job, kShownDpi);
    ASSERT_FALSE(page.isNull());
    for (int x = 0; x < 40; ++x) {
        if (x % 4 == 0 || x % 4 == 3) continue;  // edges of the stripes
        expectNear(page.pixel(dotCentre(left, x), dotCentre(top, 4)), x % 8 < 4 ? qRgb(0, 0, 0) : qRgb(0, 255, 255),
                   "stripes, dot " + std::to_string(x));
    }

    // Colour passes of bit images over one another.
    const QImage passes = shownPdf("passes", colourPassesJob(), kShownDpi);
    ASSERT_FALSE(passes.isNull());
    for (const Mix& m : kPassMixes)
        expectNear(passes.pixel(dotCentre(0, m.dot), dotCentre(top, 4)), m.colour,
                   "passes, dot " + std::to_string(m.dot));

    // The planes of a TIFF row (180 dpi dots, four pixels each at 720).
    const QImage planes = shownPdf("planes", colourPlanesJob(), 720);
    ASSERT_FALSE(planes.isNull());
    for (int x = 4; x < 96; x += 8) {  // the middle of each 8-dot step
        QRgb expected = qRgb(255, 255, 255);
        for (const Plane& plane : kPlanes)
            if (x >= plane.from && x < plane.to) expected &= plane.colour;
        expectNear(planes.pixel(kLeft / 2 + x * 4 + 2, kTop / 2 + 3 * 4 + 2), expected,
                   "planes, dot " + std::to_string(x));
    }
}

// The real program with its default PNG output (180 dpi, the whole page),
// for a finished job and for one cut off before its closing ESC @: that one
// still prints its page and then reports where reading stopped.
TEST_F(RasterPixels, ProgramPrintsANetpbmJob)
{
    const Dots dots = randomDots(181, 53, 6);
    test::ProcessOptions encode;
    encode.input = pbm(dots);
    const auto encoded = test::runProcess("/usr/bin/pbmtoescp2", {"-resolution=180"}, encode);
    ASSERT_EQ(encoded.exitCode, 0) << encoded.err;
    const std::string finished = kPlacement + encoded.out;
    ASSERT_EQ(finished.substr(finished.size() - 2), ESC + "@");
    const std::string cut = finished.substr(0, finished.size() - 2);

    fs::create_directory(dir.path() / "tmp");
    fs::create_directory(dir.path() / "run");
    fs::permissions(dir.path() / "run", fs::perms::owner_all);
    test::ProcessOptions options;
    options.env = {{"QT_QPA_PLATFORM", "offscreen"},
                   {"TMPDIR", dir.file("tmp")},
                   {"ZEMPRINT_INI", dir.file("cli.ini")},
                   {"CUPS_SERVER", "127.0.0.1:1"},
                   {"XDG_RUNTIME_DIR", dir.file("run")}};
    for (const std::string& job : {finished, cut}) {
        const bool complete = job.size() == finished.size();
        SCOPED_TRACE(complete ? "finished job" : "cut job");
        fs::remove(dir.file("cli-1.png"));
        const auto result =
            test::runProcess(ZEMPRINT_BINARY, {dir.write("cli.prn", job), dir.file("cli.png")}, options);
        if (complete) {
            EXPECT_EQ(result.exitCode, 0) << result.err;
        } else {
            EXPECT_NE(result.exitCode, 0);
            EXPECT_NE(result.err.find("Read beyond end of file " + std::to_string(cut.size())), std::string::npos)
                << result.err;
        }
        const QImage page(QString::fromStdString(dir.file("cli-1.png")));
        expectDots(page, 180, dots, 180, 180);
        EXPECT_FALSE(fs::exists(dir.file("cli-2.png")));
    }
}

}  // namespace
}  // namespace zemprint
