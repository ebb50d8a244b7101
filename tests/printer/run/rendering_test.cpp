// Jobs printed through the real print run to PDF and PNG files and read back:
// word positions from the PDF, and page pictures against expected ones that
// our own program made once and that were checked by eye
// (ZEM_UPDATE_EXPECTED=1 writes them anew instead of comparing).
#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <numeric>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>

#include "pdf_tools.h"
#include "printer/data/prop_widths.h"
#include "printer/host_fonts.h"
#include "printer/run/print_run.h"
#include "printer/output/printer_setup.h"
#include "printer/settings/settings.h"
#include "render_tools.h"
#include "support/temp_dir.h"

namespace zemprint {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

constexpr double kTwipsPerPoint = 20.0;
constexpr double kTolerancePt = 0.6;  // about 1/120 inch
constexpr int kPictureDpi = 150;
// Share of pixels allowed to differ clearly from the expected picture: a few
// antialiased edge pixels, far fewer than one missing score line.
constexpr double kPictureTolerance = 0.0002;

std::string esc(const std::string& rest) { return "\x1b" + rest; }
// ESC ( - with its length word: score line d1 (1 under, 2 through, 3 over) in style d2.
std::string score(int d1, int d2) { return esc(std::string("(-\x03\x00\x01", 5) + char(d1) + char(d2)); }
double pt(double twips) { return twips / kTwipsPerPoint; }

class Rendering : public ::testing::Test {
protected:
    Rendering() : settings(dir.file("ZEMPrint.ini"), installedFontFamilies, '.') { settings.load(); }

    std::string printPdf(const std::string& job, int singlePage = 0, const std::string& name = "out.pdf")
    {
        const std::string pdf = dir.file(name);
        TPrinterSetup setup;
        EXPECT_TRUE(setup.open(pdf));
        lastResult = printJob(settings, setup, dir.write("job.prn", job), singlePage);
        return pdf;
    }

    std::vector<QImage> printPng(const std::string& job, int dpi = kPictureDpi)
    {
        TPrinterSetup setup;
        EXPECT_TRUE(setup.open(dir.file("page.png")));
        setup.deviceMode().printQuality = dpi;
        setup.capture();
        lastResult = printJob(settings, setup, dir.write("job.prn", job));
        std::vector<QImage> pages;
        for (int n = 1; fs::exists(dir.file("page-" + std::to_string(n) + ".png")); ++n)
            pages.emplace_back(QString::fromStdString(dir.file("page-" + std::to_string(n) + ".png")));
        return pages;
    }

    // The top-left part of a page against tests/printer/expected/<name>.png.
    void expectPicture(const QImage& page, const QRect& area, const std::string& name)
    {
        const QImage actual = page.copy(area);
        const QString expectedPath = QString::fromStdString(std::string(ZEM_EXPECTED_DIR) + "/" + name + ".png");
        if (std::getenv("ZEM_UPDATE_EXPECTED")) {
            ASSERT_TRUE(actual.save(expectedPath));
            GTEST_SKIP() << "wrote " << expectedPath.toStdString();
        }
        const QImage expected(expectedPath);
        ASSERT_FALSE(expected.isNull()) << "no expected picture " << expectedPath.toStdString();
        const double difference = test::pictureDifference(actual, expected);
        if (difference > kPictureTolerance) actual.save(QString::fromStdString(dir.file(name + "-actual.png")));
        EXPECT_LE(difference, kPictureTolerance) << name;
    }

    zemtest::TempDir dir;
    TSettings settings;
    PrintResult lastResult;
};

// Character cells follow the pitch, never the face: the centre of every
// character lies in the middle of its cell.
TEST_F(Rendering, FixedPitchesPlaceCharactersInTheirCells)
{
    const std::string job = "X X X\r\n" + esc("M") + "X X X\r\n" + esc("g") + "X X X\r\n" + esc("P") +
                            esc("c\x48\x00"s) + "X X X\r\n" + esc("W1") + "X X X\r\n" + esc("W0") + esc(" \x0c") +
                            "X X X\r\n";
    const auto words = test::pdfWords(printPdf(job));
    struct Line {
        const char* name;
        int cell;
    };
    // ESC c 72 is an HMI of 72/360 inch (288 twips); ESC SP 12 adds 12/180 inch in letter quality.
    const Line lines[] = {{"10 cpi", 144}, {"12 cpi", 120},       {"15 cpi", 96},
                          {"HMI", 288},    {"double width", 288}, {"extra space", 144 + 96}};
    ASSERT_EQ(words.size(), 18u);
    for (std::size_t line = 0; line < std::size(lines); ++line) {
        SCOPED_TRACE(lines[line].name);
        for (int i = 0; i < 3; ++i) {
            const auto& w = words[line * 3 + static_cast<std::size_t>(i)];
            EXPECT_EQ(w.text, "X");
            EXPECT_NEAR(w.centreX(), pt((2 * i + 0.5) * lines[line].cell), kTolerancePt);
        }
    }
    // Lines are 1/6 inch apart.
    EXPECT_NEAR(words[3].yMin - words[0].yMin, 12.0, 0.1);
}

// Proportional advances come from the width tables scaled to the point size,
// whatever the face: each character is centred in its own advance.
TEST_F(Rendering, ProportionalTextAdvancesByTheWidthTables)
{
    const std::string text = "i   W   .   M   m";  // spaced so that every character is a word
    struct Line {
        const char* name;
        std::string commands;
        PropWidthTable table;
        double points;
    };
    const Line lines[] = {
        {"general table", esc("p1"), PropWidthTable::General, 10.5},
        {"20 point", esc("X\x00\x28\x00"s), PropWidthTable::General, 20.0},
        {"Roman T", esc("k\x0a") + esc("X\x00\x15\x00"s), PropWidthTable::Times, 10.5},
    };
    std::string job;
    for (const Line& line : lines) job += line.commands + text + "\r\n\n";
    const auto words = test::pdfWords(printPdf(job));
    ASSERT_EQ(words.size(), 15u);
    for (std::size_t l = 0; l < std::size(lines); ++l) {
        SCOPED_TRACE(lines[l].name);
        int x = 0;
        std::size_t word = l * 5;
        for (const char c : text) {
            const int advance =
                static_cast<int>(std::nearbyint(propWidth(lines[l].table, char32_t(c)) * lines[l].points / 10.5)) * 4;
            if (c != ' ') {
                EXPECT_EQ(words[word].text, std::string(1, c));
                EXPECT_NEAR(words[word].centreX(), pt(x + advance / 2.0), kTolerancePt);
                ++word;
            }
            x += advance;
        }
    }
}

TEST_F(Rendering, MarginsTabsAndWrapping)
{
    // Left margin at column 10, right margin at column 20: nine characters per line,
    // because a character whose advance reaches the limit wraps.
    std::string job =
        esc("l\x0a") + esc("Q\x14") + "ABCDEFGHIJKL\r\n" + "A\tB\r\n" + esc("D\x03\x05\x00"s) + "\tC\tD\tE\r\n";
    const auto words = test::pdfWords(printPdf(job));
    ASSERT_EQ(words.size(), 6u);
    EXPECT_EQ(words[0].text, "ABCDEFGHI");
    EXPECT_EQ(words[1].text, "JKL");
    for (int i : {0, 1, 2}) EXPECT_NEAR(words[static_cast<std::size_t>(i)].xMin, words[0].xMin, 0.1);
    EXPECT_NEAR(words[0].xMin, pt(1440), 3.0);
    EXPECT_NEAR(words[1].yMin - words[0].yMin, 12.0, 0.1);
    // Default stops every eight cells from the left margin.
    EXPECT_EQ(words[3].text, "B");
    EXPECT_NEAR(words[3].centreX(), pt(1440 + 8 * 144 + 72), kTolerancePt);
    // Stops at columns 3 and 5; the third tab has no stop left and does not
    // move, so D and E touch.
    EXPECT_NEAR(words[4].centreX(), pt(1440 + 3 * 144 + 72), kTolerancePt);
    EXPECT_EQ(words[5].text, "DE");
    EXPECT_NEAR(words[5].centreX(), pt(1440 + 6 * 144), kTolerancePt);
}

TEST_F(Rendering, LineSpacingCommands)
{
    struct Case {
        std::string command;
        double spacingPt;
    };
    const Case cases[] = {{esc("0"), 9.0},      {esc("1"), 7.0},      {esc("2"), 12.0},
                          {esc("3\x3c"), 24.0}, {esc("A\x0c"), 14.4}, {esc("+\x48"), 14.4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.spacingPt);
        const auto words = test::pdfWords(printPdf(c.command + "one\r\ntwo\r\n\r\nfour\r\n"));
        ASSERT_EQ(words.size(), 3u);
        EXPECT_NEAR(words[1].yMin - words[0].yMin, c.spacingPt, 0.1);
        EXPECT_NEAR(words[2].yMin - words[1].yMin, 2 * c.spacingPt, 0.1);
        EXPECT_NEAR(words[0].yMax, pt(323 + 160) + 3.0, 3.0);  // the first baseline, give or take the descent
    }
}

TEST_F(Rendering, PageBreaksFromPageLengthFormFeedAndBottomMargin)
{
    // A page of three lines (ESC C 3): the fourth line is on page two.
    const std::string lengthJob = esc("C\x03") + "L1\r\nL2\r\nL3\r\nL4\r\nL5\r\n";
    auto words = test::pdfWords(printPdf(lengthJob));
    EXPECT_EQ(test::pdfPageCount(dir.file("out.pdf")), 2);
    ASSERT_EQ(words.size(), 5u);
    EXPECT_EQ(words[3].text, "L4");
    EXPECT_EQ(words[3].page, 2);
    EXPECT_NEAR(words[3].yMin, words[0].yMin, 0.1);  // back at the top limit

    const std::string formFeedJob = "A\f\f\fB\fC";
    words = test::pdfWords(printPdf(formFeedJob));
    EXPECT_EQ(lastResult.pages, 3);  // empty pages are not begun
    EXPECT_EQ(test::pdfPageCount(dir.file("out.pdf")), 3);

    // A long job runs over the bottom of the paper.
    std::string longJob;
    for (int i = 0; i < 80; ++i) longJob += "line" + std::to_string(i) + "\r\n";
    words = test::pdfWords(printPdf(longJob));
    ASSERT_EQ(words.size(), 80u);
    EXPECT_EQ(words.back().page, 2);
    const int linesPerPage =
        static_cast<int>(std::count_if(words.begin(), words.end(), [](auto& w) { return w.page == 1; }));
    // A4 or Letter: (height - 323) / 240 lines, the last one still fitting its baseline.
    EXPECT_GE(linesPerPage, 64);
    EXPECT_LE(linesPerPage, 69);
}

// Printing only page 3 gives that page alone, exactly where the full print puts it.
TEST_F(Rendering, SinglePageSelectionMatchesTheFullPrint)
{
    const std::string job = esc("C\x02") + "one a\r\none b\r\n" + "two a\r\ntwo b\r\n" + esc("l\x05") +
                            "three a\r\nthree b\r\n" + "four a\r\n";
    const auto full = test::pdfWords(printPdf(job, 0, "full.pdf"));
    EXPECT_EQ(lastResult.pages, 4);
    const auto single = test::pdfWords(printPdf(job, 3, "single.pdf"));
    EXPECT_EQ(test::pdfPageCount(dir.file("single.pdf")), 1);
    const auto expected = test::wordsOnPage(full, 3);
    ASSERT_EQ(single.size(), expected.size());
    ASSERT_FALSE(single.empty());
    for (std::size_t i = 0; i < single.size(); ++i) {
        EXPECT_EQ(single[i].text, expected[i].text);
        EXPECT_NEAR(single[i].xMin, expected[i].xMin, 0.01);
        EXPECT_NEAR(single[i].yMin, expected[i].yMin, 0.01);
    }
    EXPECT_EQ(single.front().text, "three");
}

TEST_F(Rendering, CharacterTablesAndInternationalSets)
{
    // Slot 0 is PC850 by default; ESC ( t puts PC437 into slot 1; ESC R 2 is German.
    const std::string job = "\x9b\x82 " + esc(std::string("(t\x03\x00\x01\x01\x00", 8)) + esc("t\x01") + "\x9b " +
                            esc("R\x02") + "[\\]{|}~ " + esc("t\x00"s) + "a\x08\"" + "\r\n";
    const std::string text = test::pdfText(printPdf(job));
    EXPECT_NE(text.find("øé ¢ ÄÖÜäöüß"), std::string::npos) << text;
    EXPECT_NE(text.find("ä"), std::string::npos);
}

TEST_F(Rendering, TypefacesAndStylesPickTheirFonts)
{
    const std::string job = "Plain " + esc("E") + "Bold" + esc("F") + " " + esc("4") + "Slanted" + esc("5") + " " +
                            esc("k\x0a") + "Serif " + esc("k\x0b") + "Sans\r\n";
    const std::string pdf = printPdf(job);
    const std::string fonts = test::runProcess("/usr/bin/pdffonts", {pdf}).out;
    const std::string roman = settings.values().fontNames[0];
    EXPECT_NE(fonts.find("Bold"), std::string::npos) << fonts;
    EXPECT_NE(fonts.find("Italic"), std::string::npos) << fonts;
    std::string serif = settings.values().fontNames[10];
    std::string sans = settings.values().fontNames[11];
    std::erase(serif, ' ');
    std::erase(sans, ' ');
    EXPECT_NE(fonts.find(serif), std::string::npos) << fonts;
    EXPECT_NE(fonts.find(sans), std::string::npos) << fonts;
}

// Score lines, widths, heights, scripts, shadow and colour, as pictures.
TEST_F(Rendering, AttributesPicture)
{
    const std::string job =
        "Normal " + esc("E") + "Bold" + esc("F") + " " + esc("4") + "Italic" + esc("5") + "\r\n" + esc("-1") + "Under" +
        esc("-0") + " " + score(2, 1) + "Through" + score(2, 0) + " " + score(3, 1) + "Over" + score(3, 0) + "\r\n" +
        score(1, 2) + "Double" + score(1, 0) + " " + score(1, 5) + "Broken" + score(1, 0) + " " + score(1, 6) + "Both" +
        score(1, 0) + "\r\n" + esc("W1") + "Wide" + esc("W0") + " " + esc("w1") + "Tall" + esc("w0") + "\r\n" + "H" +
        esc("S1") + "2" + esc("T") + "O x" + esc("S0") + "2" + esc("T") + "\r\n" + esc("q\x02") + "Shadow" +
        esc("q\x00"s) + " " + esc("r\x05") + "Red" + esc("r\x02") + " Cyan" + esc("r\x00"s) + "\r\n" + "\x0f" +
        "Condensed text" + "\x12" + " " + esc("p1") + "Proportional" + esc("p0") + "\r\n";
    const auto pages = printPng(job);
    ASSERT_EQ(pages.size(), 1u);
    expectPicture(pages[0], QRect(0, 0, kPictureDpi * 3, kPictureDpi * 3 / 2), "attributes");
}

std::string word(int v) { return {char(v & 0xFF), char(v >> 8)}; }

// Bit images in their densities and colours, cut at the right margin, and ruled lines.
TEST_F(Rendering, GraphicsPicture)
{
    std::string checker;  // ESC K: 60 columns of 8 dots, one inch at 60 dpi
    for (int c = 0; c < 60; ++c) checker += char(c % 2 ? 0xAA : 0x55);
    std::string wedge;  // ESC * 39: 90 columns of 24 dots, half an inch at 180 dpi
    for (int c = 0; c < 90; ++c) {
        const std::uint32_t column = 0xFFFFFFu << (24 - std::min(24, c * 24 / 90 + 1));
        wedge += {char(column >> 16), char(column >> 8), char(column)};
    }
    std::string nine;  // ESC ^ 0: 30 columns of 9 dots, the ninth dot every other column
    for (int c = 0; c < 30; ++c) nine += word(c % 2 ? 0x1FF : 0x0F0);
    const std::string job = "Graphics\r\n" + esc("K") + word(60) + checker + " " + esc("*\x27") + word(90) + wedge +
                            " " + esc("r\x01") + esc("K") + word(60) + checker + esc("r\x00"s) + "\r\n" +
                            esc("^\x00"s) + word(60) + nine + "\r\n" + esc("Q\x06") + esc("K") + word(60) + checker +
                            "\r\n" + esc("_\x00"s) + word(360) + word(900) + "\x00"s + word(4) + word(1080) +
                            esc("_\x02") + word(360) + word(960) + "\x00"s + word(1) + word(1080) + esc("_\x00"s) +
                            word(1200) + word(860) + "\x01" + word(1) + word(180);
    const auto pages = printPng(job);
    ASSERT_EQ(pages.size(), 1u);
    expectPicture(pages[0], QRect(0, 0, kPictureDpi * 4, kPictureDpi * 3), "graphics");
}

TEST_F(Rendering, LandscapeTurnsTheFollowingPages)
{
    const std::string pdf = printPdf("Upright\f" + esc("\x19L") + "Turned\f" + esc("\x19P") + "Upright\f");
    const std::string info = test::runProcess("/usr/bin/pdfinfo", {"-f", "1", "-l", "3", pdf}).out;
    std::vector<std::pair<double, double>> sizes;  // from lines "Page    1 size: 595.28 x 841.89 pts"
    for (std::size_t at = info.find(" size:"); at != std::string::npos; at = info.find(" size:", at + 1)) {
        double width = 0;
        double height = 0;
        if (std::sscanf(info.c_str() + at, " size: %lf x %lf", &width, &height) == 2) sizes.emplace_back(width, height);
    }
    ASSERT_EQ(sizes.size(), 3u) << info;
    EXPECT_LT(sizes[0].first, sizes[0].second);
    EXPECT_GT(sizes[1].first, sizes[1].second);
    EXPECT_LT(sizes[2].first, sizes[2].second);
    // On the turned page the text still starts at the top-left limits.
    const auto words = test::pdfWords(pdf);
    ASSERT_EQ(words.size(), 3u);
    EXPECT_NEAR(words[1].xMin, words[0].xMin, 0.1);
    EXPECT_NEAR(words[1].yMin, words[0].yMin, 0.1);
}

TEST_F(Rendering, LetterheadUnderEveryPageOrTheFirst)
{
    QImage head(100, 50, QImage::Format_RGB32);
    head.fill(Qt::black);
    ASSERT_TRUE(head.save(QString::fromStdString(dir.file("head.jpg")), "JPG"));
    settings.values().letterheadFile = dir.file("head.jpg");
    settings.values().letterheadDpi = 100;  // one inch by half an inch
    settings.setLetterheadLeftText("2 cm");
    settings.setLetterheadTopText("1\"");
    for (const bool firstOnly : {false, true}) {
        SCOPED_TRACE(firstOnly);
        settings.values().letterheadFirstPageOnly = firstOnly;
        const auto pages = printPng("one\ftwo", 100);
        ASSERT_EQ(pages.size(), 2u);
        // 2 cm is 78 dots at 100 dpi; the image covers 100 x 50 dots from there.
        auto dark = [](const QImage& page, int x, int y) { return qGray(page.pixel(x, y)) < 64; };
        EXPECT_TRUE(dark(pages[0], 80, 102));
        EXPECT_TRUE(dark(pages[0], 176, 148));
        EXPECT_FALSE(dark(pages[0], 70, 120));
        EXPECT_FALSE(dark(pages[0], 185, 120));
        EXPECT_FALSE(dark(pages[0], 120, 155));
        EXPECT_EQ(dark(pages[1], 120, 120), !firstOnly);
    }
}

}  // namespace
}  // namespace zemprint
