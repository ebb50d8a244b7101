// Jobs that lean on what real printers do: BS stepping back character by
// character, control codes that leave no mark, the minor ESC commands read
// with their parameters, and characters the job defines itself.
#include <gtest/gtest.h>

#include <algorithm>

#include "escp_test_support.h"

namespace zemprint::test {
namespace {

EscpRun run(const std::string& job, const EscpOptions& options = {})
{
    EscpRun result;
    interpret(result, job, options);
    return result;
}

using Chars = std::vector<RecordingPageModel::PrintedChar>;

const Chars& firstPage(const EscpRun& r)
{
    static const Chars none;
    return r.page.pages.empty() ? none : r.page.pages[0].chars;
}

// x of the first printed character c, or -1.
int xOf(const EscpRun& r, char16_t c)
{
    for (const auto& printed : firstPage(r))
        if (printed.c == c) return printed.x;
    return -1;
}

TEST(EscpBackspace, EachStepsBackOneCharacter)
{
    struct Case {
        const char* name;
        std::string job;
        char16_t probe;
        int x;
    };
    for (const Case& c : {
             Case{"FourBackOverE", "ABCDEFGH\b\b\b\bXY", u'X', 4 * 144},
             Case{"NextFollows", "ABCDEFGH\b\b\b\bXY", u'Y', 5 * 144},
             Case{"StopsAtTheLeftLimit", "A\b\b\bZ", u'Z', 0},
             Case{"TwelvePitchCells", ESC + "M" + "ABC\b\bZ", u'Z', 120},
             Case{"LeftMarginIsTheStop", ESC + "l" + bytes({2}) + "A\b\b\bZ", u'Z', 288},
             // Proportional: back by the width of the character just printed.
             Case{"ProportionalLastWidth", ESC + "p1" + "iW\bZ", u'Z', xOf(run(ESC + "p1" + "iW"), u'W')},
         }) {
        const EscpRun r = run(c.job);
        EXPECT_EQ(xOf(r, c.probe), c.x) << c.name;
        EXPECT_EQ(r.page.pages.size(), 1u) << c.name;
    }
    // The line stays: BS never climbs back to a line above.
    const EscpRun r = run("AB\r\n\bZ");
    EXPECT_EQ(firstPage(r).back().y, firstPage(r).front().y + 240);
}

TEST(EscpControlCodes, CodesThatAreNoCommandLeaveNoMark)
{
    for (int code : {1, 2, 3, 4, 5, 6, 16, 21, 22, 23, 25, 26, 28, 29, 30, 31}) {
        const EscpRun r = run(bytes({'A', code, 'B'}));
        EXPECT_EQ(r.text(), u"AB") << code;
        ASSERT_EQ(firstPage(r).size(), 2u) << code;
        EXPECT_EQ(firstPage(r)[1].x - firstPage(r)[0].x, 144) << code;
    }
}

TEST(EscpMinorCommands, ReadTheirParametersAndActAsPrintersDo)
{
    struct Case {
        const char* name;
        std::string job;
        int x, y;  // of the "A" that follows
    };
    for (const Case& c : {
             Case{"VfuChannelList", ESC + "b" + bytes({1, 10, 20, 30, 0}) + "A", 0, 323},
             Case{"Justification", ESC + "a" + bytes({1}) + "A", 0, 323},
             Case{"ImmediatePrint", ESC + "i" + bytes({1}) + "A", 0, 323},
             Case{"HorizontalSkip", ESC + "f" + bytes({0, 3}) + "A", 3 * 144, 323},
             Case{"VerticalSkip", ESC + "f" + bytes({1, 2}) + "A", 0, 323 + 480},
             Case{"ReverseFeed", ESC + "J" + bytes({180}) + ESC + "j" + bytes({90}) + "A", 0, 323 + 720},
             Case{"ReverseFeedStopsAtTheTop", ESC + "j" + bytes({90}) + "A", 0, 323},
         }) {
        const EscpRun r = run(c.job);
        EXPECT_EQ(r.text(), u"A") << c.name;
        ASSERT_FALSE(firstPage(r).empty()) << c.name;
        EXPECT_EQ(firstPage(r)[0].x, c.x) << c.name;
        EXPECT_EQ(firstPage(r)[0].y, c.y) << c.name;
    }
}

// A 24-pin definition of code 'A': a0 = 1 blank column, two columns of
// three bytes, a2 = 1; the data holds FF, LF and ESC, which must not act.
std::string defineA() { return ESC + "&" + bytes({0, 'A', 'A', 1, 2, 1, 0x0C, 0x0A, 0x1B, 0xFF, 0x00, 0x81}); }

TEST(EscpUserCharacters, DefinitionIsReadByItsLengthsAndPrintsItsDots)
{
    const EscpRun r = run(defineA() + ESC + "%1" + "AA" + ESC + "%" + bytes({0}) + "A");
    EXPECT_TRUE(r.error.empty()) << r.error;
    ASSERT_EQ(r.page.pages.size(), 1u);
    EXPECT_EQ(r.text(), u"A");  // only the ROM character after ESC % 0
    ASSERT_EQ(r.page.bitmaps.size(), 2u);
    const auto& glyph = r.page.bitmaps[0];
    ASSERT_EQ(glyph.bitmap.width, 2);
    ASSERT_EQ(glyph.bitmap.height, 24);
    const std::uint8_t column0[3] = {0x0C, 0x0A, 0x1B};
    const std::uint8_t column1[3] = {0xFF, 0x00, 0x81};
    for (int row = 0; row < 24; ++row) {
        EXPECT_EQ(glyph.bitmap.dot(0, row), ((column0[row / 8] >> (7 - row % 8)) & 1) != 0) << row;
        EXPECT_EQ(glyph.bitmap.dot(1, row), ((column1[row / 8] >> (7 - row % 8)) & 1) != 0) << row;
    }
    // Dots of 1/360 inch: they start one column (4 twips) in, and each
    // character takes one cell.
    EXPECT_EQ(glyph.x, 4);
    EXPECT_EQ(glyph.horizontalDpi, 360);
    EXPECT_EQ(r.page.bitmaps[1].x, 144 + 4);
    EXPECT_FALSE(glyph.advance);
    EXPECT_EQ(firstPage(r)[0].x, 288);
}

TEST(EscpUserCharacters, UndefinedCodesAndCopiedRomPrintTheRomCharacters)
{
    const EscpRun r = run(defineA() + ESC + "%1" + "B" + ESC + ":" + bytes({0, 0, 0}) + "A");
    EXPECT_EQ(r.text(), u"BA");
    EXPECT_TRUE(r.page.bitmaps.empty());
    // ESC @ selects the ROM set again; the definitions stay for ESC % 1.
    const EscpRun reset = run(defineA() + ESC + "%1" + ESC + "@A" + ESC + "%1A");
    EXPECT_EQ(reset.text(), u"A");
    EXPECT_EQ(reset.page.bitmaps.size(), 1u);
}

TEST(EscpNinePin, LineUnitsDensitiesAndMissingCommands)
{
    struct Case {
        const char* name;
        std::string job;
        std::vector<std::string> calls;
    };
    const EscpOptions ninePin{.pins = 9};
    for (const Case& c : {
             Case{"N216ths", ESC + "3" + bytes({24}), {"setLineSpacing 160"}},
             Case{"N72ths", ESC + "A" + bytes({12}), {"setLineSpacing 240"}},
             Case{"Advance216ths", ESC + "J" + bytes({36}), {"setY 563"}},
             Case{"Reverse216ths", ESC + "J" + bytes({72}) + ESC + "j" + bytes({36}), {"setY 803", "setY 563"}},
             Case{"ExtraSpace120ths", ESC + " " + bytes({3}), {"setHMI 0", "setExtraSpace 36"}},
             Case{"RelativeMove120ths", ESC + "\\" + bytes({12, 0}), {"setX 144"}},
             // What 9-pin printers lack is read with its parameters and does nothing.
             Case{"No360ths", ESC + "+" + bytes({90}), {}},
             Case{"NoScalableFont", ESC + "X" + bytes({0, 20, 0}), {}},
             Case{"NoHmi", ESC + "c" + bytes({45, 0}), {}},
             Case{"NoExtendedCommands", ESC + "(U" + bytes({1, 0, 10}) + ESC + "(G" + bytes({1, 0, 1}), {}},
         }) {
        const EscpRun r = run(c.job + "A", ninePin);
        EXPECT_EQ(r.text(), u"A") << c.name;
        auto calls = r.page.callsAfterReset();
        calls.erase(std::remove_if(calls.begin(), calls.end(),
                                   [](const std::string& call) {
                                       return call.rfind("print ", 0) == 0 || call.rfind("page ", 0) == 0;
                                   }),
                    calls.end());
        EXPECT_EQ(calls, c.calls) << c.name;
    }
}

TEST(EscpNinePin, BitImagesAreEightDotsAtSeventyTwoLinesAnInch)
{
    struct Case {
        std::string command;
        int horizontalDpi;
    };
    for (const Case& c :
         {Case{ESC + "*" + bytes({5}), 72}, Case{ESC + "*" + bytes({0}), 60}, Case{ESC + "*" + bytes({7}), 144},
          Case{ESC + "K", 60}, Case{ESC + "L", 120}, Case{ESC + "Z", 240}}) {
        const EscpRun r = run(c.command + bytes({2, 0, 0x81, 0x7E}) + "A", {.pins = 9});
        EXPECT_EQ(r.text(), u"A") << c.command;
        ASSERT_EQ(r.page.bitmaps.size(), 1u) << c.command;
        EXPECT_EQ(r.page.bitmaps[0].bitmap.height, 8);
        EXPECT_EQ(r.page.bitmaps[0].horizontalDpi, c.horizontalDpi);
        EXPECT_EQ(r.page.bitmaps[0].verticalDpi, 72);
    }
    // The 24-pin modes do not exist there: the data prints as text.
    const EscpRun r = run(ESC + "*" + bytes({39, 1, 0}) + "xyz", {.pins = 9});
    EXPECT_EQ(r.text(), u"xyz");
}

TEST(EscpNinePin, UserCharactersTakeAnAttributeAndElevenColumns)
{
    // 'A' sits on the top pin row; 'B' (bit 7 clear) one dot lower. The data
    // holds FF and ESC, which must not act.
    std::string define = ESC + "&" + bytes({0, 'A', 'B'});
    define += bytes({0x8B, 0x0C, 0x1B, 0x80, 0, 0, 0, 0, 0, 0, 0, 0x01});
    define += bytes({0x0B, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    const EscpRun r = run(define + ESC + "%1AB", {.pins = 9});
    EXPECT_TRUE(r.text().empty());
    ASSERT_EQ(r.page.pages.size(), 1u);
    ASSERT_EQ(r.page.bitmaps.size(), 2u);
    const MonoBitmap& a = r.page.bitmaps[0].bitmap;
    EXPECT_EQ(a.width, 11);
    EXPECT_TRUE(a.dot(0, 4) && a.dot(0, 5) && !a.dot(0, 6));
    EXPECT_TRUE(a.dot(10, 7));
    EXPECT_TRUE(r.page.bitmaps[1].bitmap.dot(0, 1));
    EXPECT_FALSE(r.page.bitmaps[1].bitmap.dot(0, 0));
    EXPECT_EQ(r.page.bitmaps[0].verticalDpi, 72);
}

}  // namespace
}  // namespace zemprint::test
