// Jobs the way real programs and drivers write them, printed to PNG and PDF
// and checked on the pixels and the text positions: a 9-pin bit-image
// circle, characters the job defines, ESC i bands, printer-true BS and
// control codes, and box-drawing frames that join.
#include <QImage>
#include <QPageSize>
#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

#include "printer/host_fonts.h"
#include "printer/run/print_run.h"
#include "printer/output/printer_setup.h"
#include "printer/settings/settings.h"
#include "run_process.h"
#include "support/temp_dir.h"

namespace zemprint {
namespace {

namespace fs = std::filesystem;

const std::string ESC = "\x1b";

std::string bytes(std::initializer_list<int> values)
{
    std::string result;
    for (int v : values) result += static_cast<char>(v);
    return result;
}

std::string word(int v) { return bytes({v & 0xFF, (v >> 8) & 0xFF}); }

bool dark(QRgb pixel) { return qGray(pixel) < 128; }

// Bounding box of the dark pixels.
QRect inkBox(const QImage& image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (dark(image.pixel(x, y))) box = box.united(QRect(x, y, 1, 1));
    return box;
}

class RealJobs : public ::testing::Test {
protected:
    RealJobs() : settings(dir.file("ZEMPrint.ini"), installedFontFamilies, '.') { settings.load(); }

    // The pages of the job as PNG images at `dpi`.
    std::vector<QImage> printPng(const std::string& job, int dpi, QSizeF inches = {3, 2})
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
            pages.emplace_back(QImage(QString::fromStdString(dir.file("page-" + std::to_string(n) + ".png")))
                                   .convertToFormat(QImage::Format_RGB32));
        return pages;
    }

    // One PNG page, asserted to be the only one.
    QImage onePage(const std::string& job, int dpi = 180, QSizeF inches = {3, 2})
    {
        const auto pages = printPng(job, dpi, inches);
        EXPECT_EQ(pages.size(), 1u);
        return pages.empty() ? QImage() : pages[0];
    }

    zemtest::TempDir dir;
    TSettings settings;
};

// A filled disc of `diameter` dots as 9-pin ESC * 5 bands (72 x 72 dpi), one
// band of eight rows per line at a line spacing of 24/216 inch.
std::string ninePinDisc(int diameter)
{
    std::string job = ESC + "@" + ESC + "3" + bytes({24});
    const double r = diameter / 2.0;
    for (int top = 0; top < diameter; top += 8) {
        job += ESC + "*" + bytes({5}) + word(diameter);
        for (int x = 0; x < diameter; ++x) {
            int bits = 0;
            for (int dot = 0; dot < 8; ++dot) {
                const double dx = x + 0.5 - r;
                const double dy = top + dot + 0.5 - r;
                if (dx * dx + dy * dy <= r * r) bits |= 0x80 >> dot;
            }
            job += static_cast<char>(bits);
        }
        job += "\r\n";
    }
    return job + "\f";
}

TEST_F(RealJobs, NinePinCircleIsRoundOnOnePage)
{
    settings.runPins = 9;
    const QImage page = onePage(ninePinDisc(144), 180, {4, 4});
    const QRect box = inkBox(page);
    // Two inches each way at 180 dpi.
    EXPECT_NEAR(box.width(), 360, 3);
    EXPECT_NEAR(box.height(), 360, 3);
    // Round, not only square: the middle row and column are full, a corner is not.
    const QPoint centre = box.center();
    EXPECT_TRUE(dark(page.pixel(centre)));
    EXPECT_FALSE(dark(page.pixel(box.left() + 20, box.top() + 20)));
}

TEST_F(RealJobs, UserCharacterWithAFormFeedInItsDataPrintsItsPattern)
{
    // Twelve columns of 0C 0C 0C: dots 4, 5 of each byte, so three bars of two
    // rows, 1/180 inch each; the definition's FF bytes are data only.
    std::string job = ESC + "&" + bytes({0, 'A', 'A', 0, 12, 0});
    for (int column = 0; column < 12; ++column) job += bytes({0x0C, 0x0C, 0x0C});
    job += ESC + "%1" + "AAA\r\n";
    const QImage page = onePage(job);
    const QRect box = inkBox(page);
    ASSERT_FALSE(box.isNull());
    std::vector<int> rows;
    for (int y = box.top(); y <= box.bottom(); ++y)
        if (dark(page.pixel(box.left() + 1, y))) rows.push_back(y - box.top());
    EXPECT_EQ(rows, (std::vector<int>{0, 1, 8, 9, 16, 17}));
    // Three characters side by side, each 12 of the cell's 36 dots wide.
    EXPECT_NEAR(box.width(), 2 * 18 + 6, 2);
}

const std::string kGraphics = ESC + "(G" + bytes({1, 0, 1}) + ESC + "(U" + word(5) + bytes({10, 10, 10}) + word(3600);

std::string stripes()
{
    std::string rows;
    for (int row = 0; row < 24; ++row)
        rows += row % 3 == 0 ? bytes({0xFF, 0xFF, 0xF0, 0x0F}) : bytes({0x81, 0x00, 0x00, 0x81});
    return rows;
}

TEST_F(RealJobs, ExtendedRasterLandsWhereEscDotPutsItAndMovesWithEscParenBackslash)
{
    const std::string place = ESC + "(V" + word(2) + word(90) + ESC + "($" + word(4) + word(180) + word(0);
    const QImage dotJob =
        onePage(kGraphics + place + ESC + "." + bytes({0, 10, 10, 24}) + word(32) + stripes() + ESC + "@");
    const QImage iJob =
        onePage(kGraphics + place + ESC + "i" + bytes({0, 0, 1}) + word(4) + word(24) + stripes() + ESC + "@");
    ASSERT_FALSE(inkBox(dotJob).isNull());
    EXPECT_EQ(dotJob, iJob);
    // ESC ( \ 180/1440 inch on from 1/4 inch is the band of ESC ( $ at 3/8 inch.
    const QImage moved = onePage(kGraphics + ESC + "(V" + word(2) + word(90) + ESC + "($" + word(4) + word(90) +
                                 word(0) + ESC + "(\\" + word(4) + word(1440) + word(180) + ESC + "i" +
                                 bytes({0, 0, 1}) + word(4) + word(24) + stripes() + ESC + "@");
    const QImage absolute = onePage(kGraphics + ESC + "(V" + word(2) + word(90) + ESC + "($" + word(4) + word(135) +
                                    word(0) + ESC + "." + bytes({0, 10, 10, 24}) + word(32) + stripes() + ESC + "@");
    EXPECT_EQ(inkBox(moved).left(), inkBox(absolute).left());
    EXPECT_EQ(moved, absolute);
}

// Words of a PDF page with their left edges, as pdftotext -bbox lists them.
std::vector<std::pair<std::string, double>> pdfWords(const std::string& path)
{
    const auto result = test::runProcess("/usr/bin/pdftotext", {"-bbox", path, "-"});
    std::vector<std::pair<std::string, double>> words;
    std::istringstream in(result.out);
    std::string line;
    while (std::getline(in, line)) {
        const auto at = line.find("<word xMin=\"");
        if (at == std::string::npos) continue;
        const double xMin = std::stod(line.substr(at + 12));
        const auto open = line.find('>', at);
        const auto close = line.find("</word>", open);
        words.emplace_back(line.substr(open + 1, close - open - 1), xMin);
    }
    return words;
}

TEST_F(RealJobs, BackspacesAndControlCodesAsOnPaper)
{
    // On the PDF: X and Y stand where E and F started, the control code left no
    // cell; the words are set apart on lines of their own to be read singly.
    TPrinterSetup setup;
    ASSERT_TRUE(setup.open(dir.file("out.pdf")));
    const std::string job = "ABCDEFGH\r\n" + std::string("ABCDEFGH\b\b\b\bXY\r\n") +
                            "A\x01"
                            "B\r\n";
    printJob(settings, setup, dir.write("job.prn", job));
    const auto words = pdfWords(dir.file("out.pdf"));
    ASSERT_GE(words.size(), 3u);
    // Line 1 gives the cell: 8 characters of 1/10 inch from the left edge.
    EXPECT_EQ(words[0].first, "ABCDEFGH");
    const double cell = 7.2;  // points
    double xOfX = -1;
    for (const auto& [text, x] : words)
        if (text.find('X') != std::string::npos) xOfX = x + cell * static_cast<double>(text.find('X'));
    EXPECT_NEAR(xOfX, words[0].second + 4 * cell, 1.5);
    EXPECT_EQ(words.back().first, "AB");

    // On the pixels: BS overprints exactly as CR and four spaces do, and the
    // control code prints as nothing at all.
    EXPECT_EQ(onePage("ABCDEFGH\b\b\b\bXY"), onePage("ABCDEFGH\r    XY"));
    EXPECT_EQ(onePage("A\x01"
                      "B" +
                      bytes({0x1C}) + "C"),
              onePage("ABC"));
}

// Columns of a page image where the row at y is dark from x0 to x1.
bool darkRun(const QImage& page, int y, int x0, int x1)
{
    for (int x = x0; x <= x1; ++x)
        if (!dark(page.pixel(x, y))) return false;
    return true;
}

bool darkColumn(const QImage& page, int x, int y0, int y1)
{
    for (int y = y0; y <= y1; ++y)
        if (!dark(page.pixel(x, y))) return false;
    return true;
}

TEST_F(RealJobs, DoubleLineFramesJoinAtEveryPitch)
{
    // PC850: C9 ╔, CD ═, BB ╗, BA ║, C8 ╚, BC ╝.
    for (const std::string& pitch : {ESC + "P", ESC + "M", ESC + "g", ESC + "P" + ESC + "W1", ESC + "M" + ESC + "w1"}) {
        SCOPED_TRACE(pitch);
        const std::string frame =
            pitch + "\xC9\xCD\xCD\xCD\xCD\xBB\r\n\xBA    \xBA\r\n\xBA    \xBA\r\n\xC8\xCD\xCD\xCD\xCD\xBC\r\n";
        const QImage page = onePage(frame, 180, {4, 3});
        const QRect box = inkBox(page);
        ASSERT_FALSE(box.isNull());
        // The outer line of the frame runs unbroken all round its edge, and
        // so do both lines of each side through the cells between.
        int top = -1;
        for (int y = box.top(); y <= box.bottom() && top < 0; ++y)
            if (darkRun(page, y, box.left() + 2, box.right() - 2)) top = y;
        EXPECT_GE(top, 0) << "no unbroken top line";
        int bottom = -1;
        for (int y = box.bottom(); y >= box.top() && bottom < 0; --y)
            if (darkRun(page, y, box.left() + 2, box.right() - 2)) bottom = y;
        EXPECT_GT(bottom, top);
        int left = -1;
        for (int x = box.left(); x <= box.right() && left < 0; ++x)
            if (darkColumn(page, x, box.top() + 2, box.bottom() - 2)) left = x;
        EXPECT_GE(left, 0) << "no unbroken left line";
        int right = -1;
        for (int x = box.right(); x >= box.left() && right < 0; --x)
            if (darkColumn(page, x, box.top() + 2, box.bottom() - 2)) right = x;
        EXPECT_GT(right, left);
        // A double line: a gap, then the inner line, inside the outer one.
        const int middleY = (box.top() + box.bottom()) / 2;
        int inner = -1;
        for (int x = left + 1; x < left + 20 && inner < 0; ++x)
            if (!dark(page.pixel(x, middleY)) && dark(page.pixel(x + 1, middleY))) inner = x + 1;
        EXPECT_GT(inner, left) << "no inner line";
        if (inner > left) {
            EXPECT_TRUE(darkColumn(page, inner, top + (inner - left) + 1, bottom - (inner - left) - 1));
        }
    }
}

}  // namespace
}  // namespace zemprint
