// Graphics on devices that only paint over (PDF, printers): the page's dots
// are gathered with their mixed inks and handed out as a few large images.
// The layer is checked by painting what it hands out onto a blank page, the
// PDF output by its size against the dot data of a colour job.
#include <QImage>
#include <QPainter>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>

#include "printer/host_fonts.h"
#include "printer/page/ink_layer.h"
#include "printer/run/print_run.h"
#include "printer/output/printer_setup.h"
#include "escp_test_support.h"
#include "printer/settings/settings.h"
#include "support/temp_dir.h"

namespace zemprint {
namespace {

constexpr int kLayerTwips = InkLayer::kTwipsPerDot;
constexpr Rgb kCyan{0, 255, 255};
constexpr Rgb kMagenta{255, 0, 255};
constexpr Rgb kYellow{255, 255, 0};
constexpr Rgb kBlack{0, 0, 0};

MonoBitmap solid(int width, int height)
{
    MonoBitmap bitmap(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) bitmap.setDot(x, y);
    return bitmap;
}

// A white page one pixel per layer dot, with everything the layer hands out
// painted over it in order; counts the images.
struct Canvas {
    QImage page{200, 100, QImage::Format_RGB32};
    int images = 0;
    std::vector<QRect> areas;
    std::vector<QSize> sizes;

    Canvas() { page.fill(Qt::white); }
    void take(InkLayer& layer)
    {
        QPainter painter(&page);
        layer.flush([&](const QRect& area, const QImage& dots) {
            ++images;
            areas.push_back(area);
            sizes.push_back(dots.size());
            painter.drawImage(QRectF(area.x() / kLayerTwips, area.y() / kLayerTwips, area.width() / kLayerTwips,
                                     area.height() / kLayerTwips),
                              dots);
        });
    }
    Rgb at(int twipsX, int twipsY) const
    {
        const QRgb p = page.pixel(twipsX / kLayerTwips, twipsY / kLayerTwips);
        return {static_cast<std::uint8_t>(qRed(p)), static_cast<std::uint8_t>(qGreen(p)),
                static_cast<std::uint8_t>(qBlue(p))};
    }
};

std::string describe(Rgb c)
{
    return std::to_string(c.red) + "," + std::to_string(c.green) + "," + std::to_string(c.blue);
}

TEST(InkLayer, OverlappingInksMixAndCoarseDotsTravelCoarse)
{
    // Two 180 dpi blocks (8 twips a dot), the yellow one two dots further
    // right, and a 720 dpi magenta block below them with a black dot on it.
    InkLayer layer;
    const QRect unclipped(-10000, -10000, 20000, 20000);
    layer.place(solid(4, 4), 4, 4, QRect(0, 0, 32, 32), kCyan, unclipped);
    layer.place(solid(4, 4), 4, 4, QRect(16, 0, 32, 32), kYellow, unclipped);
    EXPECT_TRUE(layer.pending());
    Canvas canvas;
    canvas.take(layer);
    EXPECT_FALSE(layer.pending());
    // Two inks in one band travel as one image, at one pixel per 180 dpi dot.
    ASSERT_EQ(canvas.images, 1);
    EXPECT_EQ(canvas.areas[0], QRect(0, 0, 48, 32));
    EXPECT_EQ(canvas.sizes[0], QSize(6, 4));

    struct Probe {
        int x, y;
        Rgb expected;
    };
    const Probe firstPass[] = {{4, 4, kCyan}, {20, 4, Rgb{0, 255, 0}}, {36, 28, kYellow}, {52, 4, Rgb{255, 255, 255}}};
    for (const Probe& p : firstPass)
        EXPECT_EQ(describe(canvas.at(p.x, p.y)), describe(p.expected)) << p.x << "," << p.y;

    // A later pass mixes with dots already handed out, and hands out only
    // the dots it changed: magenta over cyan gives blue, black stays black.
    layer.place(solid(2, 2), 2, 2, QRect(0, 0, 4, 4), kMagenta, unclipped);
    layer.place(solid(1, 1), 1, 1, QRect(24, 24, 2, 2), kBlack, unclipped);
    Canvas second;
    second.take(layer);
    const Probe secondPass[] = {{0, 0, Rgb{0, 0, 255}},
                                {2, 2, Rgb{0, 0, 255}},
                                {24, 24, kBlack},
                                {20, 4, Rgb{255, 255, 255}}};  // handed out before, not again
    for (const Probe& p : secondPass)
        EXPECT_EQ(describe(second.at(p.x, p.y)), describe(p.expected)) << p.x << "," << p.y;

    layer.clear();
    Canvas none;
    none.take(layer);
    EXPECT_EQ(none.images, 0);
}

TEST(InkLayer, CutKeepsWholeDotsInsideTheLimits)
{
    // 60 dpi dots (24 twips) cut 10 twips into the third dot on the right
    // and 30 twips into the second row: the partial dots are left out,
    // nothing lands past the limits.
    InkLayer layer;
    layer.place(solid(4, 3), 3, 2, QRect(0, 0, 72, 48), kBlack, QRect(0, 0, 58, 30));
    Canvas canvas;
    canvas.take(layer);
    ASSERT_EQ(canvas.images, 1);
    EXPECT_EQ(canvas.areas[0], QRect(0, 0, 48, 24));
    EXPECT_EQ(describe(canvas.at(46, 22)), describe(kBlack));
    EXPECT_EQ(describe(canvas.at(50, 10)), describe(Rgb{255, 255, 255}));
    EXPECT_EQ(describe(canvas.at(10, 26)), describe(Rgb{255, 255, 255}));

    // Dots that fit no whole number of layer dots are still placed, each on
    // at least one layer dot, and cut where the limit says.
    InkLayer fine;
    fine.place(solid(8, 1), 8, 1, QRect(1, 1, 8, 1), kBlack, QRect(0, 0, 5, 4));
    Canvas fineCanvas;
    fineCanvas.take(fine);
    ASSERT_EQ(fineCanvas.images, 1);
    EXPECT_LE(fineCanvas.areas[0].x() + fineCanvas.areas[0].width(), 5);
    EXPECT_EQ(describe(fineCanvas.at(2, 0)), describe(kBlack));
}

std::string word(int v) { return test::bytes({v & 0xFF, (v >> 8) & 0xFF}); }

// Literal runs only (random dots do not repeat): a counter k < 128 is
// followed by k + 1 bytes.
std::string literalRuns(const std::string& data)
{
    constexpr std::size_t kMaxLiteral = 128;
    std::string out;
    for (std::size_t i = 0; i < data.size(); i += kMaxLiteral) {
        const std::size_t n = std::min(kMaxLiteral, data.size() - i);
        out += static_cast<char>(n - 1) + data.substr(i, n);
    }
    return out;
}

// Three colour planes of random dots in TIFF mode at 360 dpi, every row
// sent for cyan, magenta and yellow: the way colour drivers print a picture.
// Rows of 128 to 1600 dots keep every transfer count in the one byte after
// the command.
std::string colourTiffJob(int width, int height, std::size_t& dotBytes)
{
    using test::bytes;
    using test::ESC;
    constexpr int kPlaneCodes[] = {0x82, 0x81, 0x84};
    constexpr int kTransferByteCount = 0x31;
    constexpr int kMoveOneRow = 0x61;
    std::string job = ESC + "@" + ESC + "(G" + bytes({1, 0, 1}) + ESC + "(U" + word(1) + bytes({10}) + ESC + "." +
                      bytes({2, 10, 10, 1, 0, 0});
    std::mt19937 random(7);
    dotBytes = 0;
    for (int y = 0; y < height; ++y) {
        for (const int code : kPlaneCodes) {
            std::string row(static_cast<std::size_t>(width / 8), '\0');
            for (char& b : row) b = static_cast<char>(random() & random());  // a quarter of the dots in each plane
            dotBytes += row.size();
            const std::string coded = literalRuns(row);
            job += bytes({code, kTransferByteCount, static_cast<int>(coded.size())}) + coded;
        }
        job += bytes({kMoveOneRow});
    }
    return job + bytes({0xE3}) + ESC + "@";
}

TEST(PdfGraphics, ColourPictureStaysNearTheSizeOfItsDots)
{
    // Four by three inches of three planes: the PDF holds the picture
    // losslessly, so its size follows the dot data, not the number of rows
    // and planes the job sent.
    zemtest::TempDir dir;
    TSettings settings(dir.file("ZEMPrint.ini"), installedFontFamilies, '.');
    settings.load();
    std::size_t dotBytes = 0;
    const std::string job = dir.write("colour.prn", colourTiffJob(4 * 360, 3 * 360, dotBytes));
    TPrinterSetup setup;
    ASSERT_TRUE(setup.open(dir.file("colour.pdf")));
    EXPECT_EQ(printJob(settings, setup, job).pages, 1);
    const auto size = std::filesystem::file_size(dir.file("colour.pdf"));
    EXPECT_GT(size, dotBytes / 4) << "the dots must be in the file";
    // One image per row and plane took some sixty times the dot data.
    EXPECT_LT(size, 4 * dotBytes) << "dot data " << dotBytes << " bytes";
}

}  // namespace
}  // namespace zemprint
