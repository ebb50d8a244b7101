// Interpreter tables: byte strings in, page-model calls and trace lines out.
#include <gtest/gtest.h>

#include <algorithm>

#include "escp_test_support.h"
#include "printer/escp/escp_units.h"

namespace zemprint::test {
namespace {

using Calls = std::vector<std::string>;

EscpRun run(const std::string& job, const EscpOptions& options = {})
{
    EscpRun result;
    interpret(result, job, options);
    return result;
}

TEST(EscpUnits, RoundsToNearestWithTiesToEven)
{
    struct Case {
        std::int64_t numerator, denominator, expected;
    };
    for (const Case& c : {Case{5, 2, 2}, Case{7, 2, 4}, Case{-5, 2, -2}, Case{-7, 2, -4}, Case{1, 3, 0}, Case{2, 3, 1},
                          Case{-2, 3, -1}, Case{-4, 3, -1}, Case{0, 7, 0}})
        EXPECT_EQ(divRoundEven(c.numerator, c.denominator), c.expected) << c.numerator << "/" << c.denominator;
    EXPECT_EQ(unitsToTwips(12, 1), 1);  // 0.6 twips
    EXPECT_EQ(unitsToTwips(-12, 1), -1);
    EXPECT_EQ(unitsToTwips(100, 80), 400);  // 100/360 inch
    EXPECT_EQ(inchFractionToTwips(7, 72), 140);
    EXPECT_EQ(unitsToTwips(INT64_C(1) << 40, 480), INT_MAX);
    // Products past 64 bits (a fuzzed job reached 1.3e16 x 1440) still saturate.
    EXPECT_EQ(unitsToTwips(INT64_C(13482350502220800), 255 * kEscpBase), INT_MAX);
    EXPECT_EQ(unitsToTwips(-INT64_C(13482350502220800), 1), INT_MIN);
    EXPECT_EQ(unitsToTwips(INT64_C(42949672920), 1), INT_MAX - 1);  // just inside the reach
    EXPECT_EQ(inchFractionToTwips(INT64_MAX / 2, 60), INT_MAX);
    EXPECT_EQ(inchFractionToTwips(INT64_MIN / 2, 60), INT_MIN);
}

TEST(EscpText, LinesPagesAndPositions)
{
    const EscpRun r = run("AB\r\nC\fD");
    ASSERT_EQ(r.page.pages.size(), 2u);
    const auto& first = r.page.pages[0].chars;
    ASSERT_EQ(first.size(), 3u);
    EXPECT_EQ(first[0].x, 0);
    EXPECT_EQ(first[0].y, 323);
    EXPECT_EQ(first[1].x, 144);
    EXPECT_EQ(first[2].x, 0);
    EXPECT_EQ(first[2].y, 563);
    EXPECT_EQ(r.page.pages[1].chars[0].y, 323);
    EXPECT_EQ(r.text(), u"ABC|D");
    EXPECT_TRUE(r.error.empty());
}

TEST(EscpText, OverstrikeComposesEitherOrderOrOverprints)
{
    struct Case {
        std::string job;
        std::u16string text;
    };
    for (const Case& c : {Case{"a\b\"", u"\u00E4"}, Case{"\"\ba", u"\u00E4"}, Case{"O\bc", u"\u00A9"},
                          Case{"a\bx", u"ax"}, Case{"a\b", u"a"}}) {
        const EscpRun r = run(c.job);
        EXPECT_EQ(r.text(), c.text) << c.job;
        EXPECT_TRUE(r.error.empty()) << c.job;
    }
    // The overprinted x sits where the a started.
    const EscpRun r = run("Za\bx");
    EXPECT_EQ(r.page.pages[0].chars[2].x, r.page.pages[0].chars[1].x);
}

TEST(EscpText, ControlCodesSwitchedOffPrintThroughTheSlot)
{
    const EscpRun r =
        run(ESC + "I" + bytes({0, 0, 17, 1, 0x9B}) + ESC + "@" + bytes({0, 17, 1}) + "A", {.debug = true});
    EXPECT_EQ(r.text(), std::u16string(u"\0\x11\x01\u00F8|A", 6));
    // Only the DC1 after the reset acts (and is traced) as a control code.
    EXPECT_EQ(std::count(r.trace.begin(), r.trace.end(), "\"Select printer\" not implemented"), 1);
}

TEST(EscpText, DataAsCharactersUsesControlPictures)
{
    const EscpRun r = run(ESC + "(^" + bytes({5, 0, 1, 0x7F, 'A', 0x1F, 0x9B}) + "B");
    EXPECT_EQ(r.text(), u"\u263A\u2302A\u25BC\u00F8B");
}

struct CommandCase {
    const char* name;
    std::string job;
    Calls calls;  // every page-model call after the run's reset
};

class EscpCommand : public ::testing::TestWithParam<CommandCase> {};

TEST_P(EscpCommand, MakesThesePageModelCalls)
{
    const EscpRun r = run(GetParam().job);
    EXPECT_EQ(r.page.callsAfterReset(), GetParam().calls);
    EXPECT_TRUE(r.error.empty()) << r.error;
}

INSTANTIATE_TEST_SUITE_P(
    Table, EscpCommand,
    ::testing::Values(
        CommandCase{"MasterSelectEmphasisedOnlyEndsBoldOff",
                    ESC + "!" + bytes({8}),
                    {"setPointSize 10.5", "setPitch 10", "setProportional 0", "setHMI 0", "setCondensed 0", "setBold 1",
                     "setBold 0", "setDoubleWidth 0", "setItalic 0", "setUnderline 0"}},
        CommandCase{"MasterSelectAllBits",
                    ESC + "!" + bytes({0xFF}),
                    {"setPointSize 10.5", "setPitch 12", "setProportional 1", "setHMI 0", "setCondensed 1", "setBold 1",
                     "setBold 1", "setDoubleWidth 1", "setItalic 1", "setUnderline 1"}},
        CommandCase{"EighthInch", ESC + "0", {"setLineSpacing 180"}},
        CommandCase{"SevenSeventyTwos", ESC + "1", {"setLineSpacing 140"}},
        CommandCase{"SixthInch", ESC + "2", {"setLineSpacing 240"}},
        CommandCase{"N180ths", ESC + "3" + bytes({5}), {"setLineSpacing 40"}},
        CommandCase{"N60ths", ESC + "A" + bytes({12}), {"setLineSpacing 288"}},
        CommandCase{"N360ths", ESC + "+" + bytes({90}), {"setLineSpacing 360"}},
        CommandCase{"ExtraSpaceLetterQuality", ESC + " " + bytes({3}), {"setHMI 0", "setExtraSpace 24"}},
        CommandCase{
            "ExtraSpaceDraft", ESC + "x" + bytes({0}) + ESC + " " + bytes({3}), {"setHMI 0", "setExtraSpace 36"}},
        CommandCase{"Hmi", ESC + "c" + bytes({45, 0}), {"setHMI 180", "setExtraSpace 0"}},
        CommandCase{"TypefaceOutOfRange",
                    ESC + "k" + bytes({12}) + ESC + "k" + bytes({11}),
                    {"setTypeface 0", "setTypeface 11"}},
        CommandCase{"Violet", ESC + "r" + bytes({3}), {"setColour 159,95,159"}},
        CommandCase{"OutlineAndShadow", ESC + "q" + bytes({3}), {"setOutline 1", "setShadow 1"}},
        CommandCase{
            "Scripts", ESC + "S1" + ESC + "S" + bytes({0}) + ESC + "T", {"setScript 2", "setScript 1", "setScript 0"}},
        CommandCase{"ScoreLines",
                    ESC + "(-" + bytes({3, 0, 1, 3, 6}) + ESC + "(-" + bytes({3, 0, 1, 1, 5}) + ESC + "(-" +
                        bytes({3, 0, 1, 2, 2}) + ESC + "(-" + bytes({3, 0, 1, 1, 0}),
                    {"setOverline 4", "setUnderline 3", "setStrikeThrough 2", "setUnderline 0"}},
        CommandCase{"UnderlineDigitAndOther",
                    ESC + "-1" + ESC + "-" + bytes({2}) + ESC + "-" + bytes({0}),
                    {"setUnderline 1", "setUnderline 0"}},
        CommandCase{"DoubleWidthDigit",
                    ESC + "W1" + ESC + "W0",
                    {"setDoubleWidth 1", "setHMI 0", "setDoubleWidth 0", "setHMI 0"}},
        CommandCase{"DoubleHeight", ESC + "w" + bytes({1}), {"setDoubleHeight 1"}},
        CommandCase{"ProportionalOn", ESC + "p1", {"setProportional 1", "setHMI 0"}},
        CommandCase{"ScalableProportional", ESC + "X" + bytes({1, 40, 0}), {"setProportional 1", "setPointSize 20"}},
        CommandCase{"ScalablePitch", ESC + "X" + bytes({24, 0, 0}), {"setProportional 0", "setPitch 15"}},
        CommandCase{"MultipointIgnoresWidthCommands",
                    ESC + "X" + bytes({0, 0, 0}) + ESC + "W1" + "\x0e" + ESC + " " + bytes({4}) + "\x14" + ESC + "w1",
                    {}},
        CommandCase{"PitchCommandLeavesMultipoint",
                    ESC + "X" + bytes({1, 0, 0}) + ESC + "M",
                    {"setProportional 1", "setPointSize 10.5", "setPitch 10", "setProportional 0", "setPointSize 10.5",
                     "setPitch 12"}},
        CommandCase{"CondensedOn", "\x0f", {"setHMI 0", "setCondensed 1"}},
        CommandCase{
            "CondensedRefusedAtFifteenPitch", ESC + "g" + "\x0f", {"setPointSize 10.5", "setPitch 15", "setHMI 0"}},
        CommandCase{"CondensedRefusedInMultipoint",
                    ESC + "X" + bytes({0, 0, 0}) + ESC + "\x0f" + "\x12",
                    {"setHMI 0", "setHMI 0", "setCondensed 0"}},
        CommandCase{"PaperControl",
                    ESC + "\x19" + "2" + ESC + "\x19" + "L" + ESC + "\x19" + "P" + ESC + "\x19" + "R",
                    {"selectBin 1", "setOrientation 1", "setOrientation 0", "endPage"}},
        CommandCase{"AdvanceVertical", ESC + "J" + bytes({18}), {"setY 467"}},
        CommandCase{"AbsoluteHorizontal", ESC + "$" + bytes({60, 0}), {"setX 1440"}},
        CommandCase{"OneLineDoubleWidthEndsAtLineFeed",
                    "\x0e\n",
                    {"setDoubleWidth 1", "setHMI 0", "setX 0", "setY 563", "setDoubleWidth 0"}},
        CommandCase{"CancelLine", "\x18", {"setX 0"}},
        CommandCase{"Italic", ESC + "4" + ESC + "5", {"setItalic 1", "setItalic 0"}},
        CommandCase{"DoubleStrikeIsBold", ESC + "G" + ESC + "H", {"setBold 1", "setBold 0"}},
        CommandCase{"FixedLengthExtendedCommandsAreSkipped",
                    ESC + "(K" + bytes({2, 0, 0, 0}) + ESC + "(S" + bytes({8, 0, 1, 2, 3, 4, 5, 6, 7, 8}) + ESC + "(i" +
                        bytes({1, 0, 0}) + ESC + "(s" + bytes({1, 0, 0}) + ESC + "(Z" + bytes({3, 0, 'x', 'y', 'z'}) +
                        ESC + "(B" + bytes({2, 0, 'q', 'r'}) + ESC + "%" + bytes({0}) + ESC + "e" + bytes({0, 0}) +
                        ESC + ":" + bytes({0, 0, 0}),
                    {}},
        CommandCase{
            "RuledLine",
            ESC + "_" + bytes({1, 10, 0, 20, 0, 0, 1, 0, 100, 0}),
            {"page 1", "line 40,80-440,80 1", "line 40,81-440,81 1", "line 40,82-440,82 1", "line 40,83-440,83 1"}},
        CommandCase{"RuledLineVerticalUnknownStyleIsSolid",
                    ESC + "_" + bytes({9, 0, 0, 0, 0, 1, 1, 0, 1, 0}),
                    {"page 1", "line 0,0-0,4 0", "line 1,0-1,4 0", "line 2,0-2,4 0", "line 3,0-3,4 0"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct IllegalCase {
    std::string job;
    std::string name;
};

TEST(EscpIllegal, TracedWithDebugAndTheNextBytesStartAfresh)
{
    const std::vector<IllegalCase> cases = {
        {ESC + "(t" + bytes({3, 0, 4, 0, 1}), "AssignCharTable"},
        {ESC + "(t" + bytes({2, 0}), "AssignCharTable"},
        {ESC + "(t" + bytes({3, 0, 0, 5, 0}), "Unsuported table"},
        {ESC + "t" + bytes({4}), "SelCharTable n"},
        {ESC + "*" + bytes({0, 0xE2, 0x1E}), "SelectBitImage n"},
        {ESC + "c" + bytes({0x39, 0x04}), "SetHMI 1081"},
        {ESC + "(C" + bytes({2, 0, 0, 0}), "SetVirtualPageLength"},
        {ESC + "(C" + bytes({2, 0, 0xF1, 0x1E}), "SetVirtualPageLength"},
        {ESC + "(C" + bytes({3, 0}), "SetPageLengthUnit n"},
        {ESC + "C" + bytes({0, 0}), "SetVirtualPageLength"},
        {ESC + "C" + bytes({128}), "SetPageLengthLine n"},
        {ESC + "S2", "SelectScript"},
        {ESC + "q" + bytes({4}), "SetStyle"},
        {ESC + "r" + bytes({7}), "SetColour"},
        {ESC + "I" + bytes({2}), "EnableControlCodes"},
        {ESC + "N" + bytes({129}), "SetBottomMargin n"},
        {ESC + "(U" + bytes({1, 0, 7}), "SetUnit m"},
        {ESC + "(U" + bytes({5, 0, 1, 1, 1, 0xE8, 0x03}), "SetExtendedUnit m"},
        {ESC + "(U" + bytes({2, 0}), "SetUnit n"},
        {ESC + "(V" + bytes({3, 0}), "SetAbsVertPos"},
        {ESC + "(v" + bytes({1, 0}), "SetRelVertPos"},
        {ESC + "(c" + bytes({4, 0, 10, 0, 5, 0}), "SetPageFormat t >= b"},
        {ESC + "(c" + bytes({8, 0, 5, 0, 0, 0, 5, 0, 0, 0}), "SetPageFormatExtended t >= b"},
        {ESC + "(c" + bytes({6, 0}), "SetPageFormat n"},
        {ESC + "\x19" + "X", "Control paper loading/ejecting"},
        {ESC + "?A" + bytes({0}), "ReassignBitImageMode"},
        {ESC + "?K" + bytes({9}), "ReassignBitImageMode density"},
        {ESC + "^" + bytes({2, 0, 0}), "SelectGraphics9Pin"},
        {ESC + "^" + bytes({0, 3, 0}), "SelectGraphics9Pin"},
        {ESC + "p" + bytes({2}), "SetPropMode"},
        {ESC + "w" + bytes({2}), "SetDoubleHeight"},
        {ESC + "R" + bytes({14}), "SelIntCharSet"},
        {ESC + "X" + bytes({3, 0, 0}), "SetFont m"},
        {ESC + "(-" + bytes({3, 0, 2, 1, 1}), "SelectLineScore"},
        {ESC + "(-" + bytes({3, 0, 1, 4, 1}), "SelectLineScore"},
        {ESC + "(-" + bytes({3, 0, 1, 1, 3}), "SelectLineScore"},
        {ESC + "(\\" + bytes({4, 0, 0xA1, 0x05, 1, 0}), "SelRelHorPosHi"},
        {ESC + "Q" + bytes({0}), "SetRightMargin"},
        {ESC + "l" + bytes({90}), "SetLeftMargin"},
        {ESC + "(G" + bytes({1, 0, 2}), "Graphicsmode b"},
        {ESC + "(G" + bytes({2, 0}), "GraphicsMode n"},
    };
    for (const IllegalCase& c : cases) {
        const EscpRun r = run(c.job + "A", {.debug = true});
        EXPECT_TRUE(r.traced("Illegal parameter: " + c.name)) << c.name;
        EXPECT_EQ(r.text(), u"A") << c.name;
        EXPECT_TRUE(r.error.empty()) << c.name << ": " << r.error;
    }
}

TEST(EscpIllegal, RejectedBitImageDataPrintsAsText)
{
    const EscpRun r = run(ESC + "*" + bytes({9, 2, 0}) + "xy", {.debug = true});
    EXPECT_TRUE(r.traced("Illegal parameter: SelectBitImage density"));
    EXPECT_EQ(r.text(), u"xy");
    EXPECT_TRUE(r.page.bitmaps.empty());
}

TEST(EscpIllegal, PageLengthStaysWhenRefused)
{
    const EscpRun r = run(ESC + "C" + bytes({10}) + ESC + "(C" + bytes({2, 0, 0, 0}));
    EXPECT_EQ(r.page.callsAfterReset("set"), (Calls{"setPageLength 2400", "setBottomLimit 2723"}));
    EXPECT_EQ(r.page.bottomLimit(), 2723);
}

TEST(EscpUnits, ExtendedUnitsScaleTheMovementCommands)
{
    struct Case {
        const char* name;
        std::string job;
        Calls calls;
    };
    const std::vector<Case> cases = {
        {"AbsoluteVerticalDefault", ESC + "(V" + bytes({2, 0, 100, 0}), {"setY 723"}},
        {"AbsoluteVerticalLong", ESC + "(V" + bytes({4, 0, 100, 0, 0, 0}), {"setY 723"}},
        {"SimpleUnit720", ESC + "(U" + bytes({1, 0, 5}) + ESC + "(V" + bytes({2, 0, 1, 0}), {"setY 325"}},
        {"ExtendedUnit",
         ESC + "(U" + bytes({5, 0, 10, 5, 5, 0xA0, 0x05}) + ESC + "(V" + bytes({2, 0, 1, 0}),
         {"setY 328"}},
        {"PageUnitForPageLength",
         ESC + "(U" + bytes({5, 0, 10, 5, 5, 0xA0, 0x05}) + ESC + "(C" + bytes({2, 0, 100, 0}),
         {"setPageLength 1000", "setBottomLimit 1323"}},
        {"ExtendedUnit2880",
         ESC + "(U" + bytes({5, 0, 2, 2, 1, 0x40, 0x0B}) + ESC + "(V" + bytes({2, 0, 0xA0, 0x05}),
         {"setY 1763"}},
        {"RelativeVerticalBackwards", ESC + "(v" + bytes({2, 0, 0xFF, 0x7F}), {"setY 319"}},
        {"RelativeVerticalLong", ESC + "(v" + bytes({4, 0, 0xFE, 0xFF, 0xFF, 0xFF}), {"setY 315"}},
        {"AbsoluteVerticalPastBottomEndsPage", ESC + "(V" + bytes({2, 0, 0xFF, 0xFF}), {"setY 262463", "endPage"}},
        {"RelativeHorizontalLetterQuality", ESC + "\\" + bytes({10, 0}), {"setX 80"}},
        {"RelativeHorizontalDraft", ESC + "x0" + ESC + "\\" + bytes({10, 0}), {"setX 120"}},
        {"RelativeHorizontalAfterUnits", ESC + "(U" + bytes({1, 0, 10}) + ESC + "\\" + bytes({10, 0}), {"setX 40"}},
        {"RelativeHorizontalLeftOfEdge", ESC + "\\" + bytes({0xFF, 0x7F}), {}},
        {"RelativeHorizontalPastRight",
         ESC + "$" + bytes({0xF4, 0x01}) + ESC + "\\" + bytes({0x00, 0x10}),
         {"setX 12000"}},
        {"RelativeHorizontalHigh", ESC + "(\\" + bytes({4, 0, 0xA0, 0x05, 100, 0}), {"setX 100"}},
        {"AbsoluteHorizontalNoRangeCheck", ESC + "$" + bytes({0xFF, 0xFF}), {"setX 1572840"}},
    };
    for (const Case& c : cases) {
        const EscpRun r = run(c.job);
        EXPECT_EQ(r.page.callsAfterReset(), c.calls) << c.name;
        EXPECT_TRUE(r.error.empty()) << c.name << ": " << r.error;
    }
}

TEST(EscpTabs, DefaultStopsFollowTheStartCellAndLineSpacing)
{
    const EscpRun r = run("A\tB\tC\v");
    const auto& chars = r.page.pages[0].chars;
    EXPECT_EQ(chars[1].x, 1152);
    EXPECT_EQ(chars[2].x, 2304);
    EXPECT_EQ(r.page.y(), 323 + 480);
}

TEST(EscpTabs, HorizontalListEndsAtADescendingValue)
{
    // ESC D 10 20 15 0: stops at 10 and 20; 15 ends the list; the 0 is a NUL.
    const EscpRun r = run(ESC + "D" + bytes({10, 20, 15, 0}) + "\tA\tB\tC", {.debug = true});
    const auto& chars = r.page.pages[0].chars;
    ASSERT_EQ(chars.size(), 3u);
    EXPECT_EQ(chars[0].x, 1440);
    EXPECT_EQ(chars[1].x, 2880);
    EXPECT_EQ(chars[2].x, 3024);  // no stop left: no movement
    EXPECT_TRUE(r.traced("SetHorTabs 2"));
    EXPECT_TRUE(r.traced("\"NUL\" ignored"));
}

TEST(EscpTabs, ThirtyThirdStopIsReadWithTheByteAfterIt)
{
    std::string job = ESC + "D";
    for (int i = 1; i <= 33; ++i) job += static_cast<char>(i);
    const EscpRun r = run(job + "XY");
    EXPECT_EQ(r.text(), u"Y");
}

TEST(EscpTabs, StopsPastTheRightLimitAreNotUsed)
{
    const EscpRun r = run(ESC + "Q" + bytes({5}) + "\tA");
    EXPECT_EQ(r.page.pages[0].chars[0].x, 0);
}

TEST(EscpTabs, ProportionalStopsCountInPointSizeUnits)
{
    // 20 point: unit round(1440 × 20 / 105) = 274 twips.
    const EscpRun r = run(ESC + "X" + bytes({1, 40, 0}) + ESC + "D" + bytes({10, 0}) + "\tA");
    EXPECT_EQ(r.page.pages[0].chars[0].x, 2740);
}

TEST(EscpTabs, VerticalStopsInLinesAndExtraValuesDropped)
{
    std::string job = ESC + "B" + bytes({2, 4, 0}) + "\v\vA" + ESC + "B";
    for (int i = 1; i <= 17; ++i) job += static_cast<char>(i);
    job += bytes({0}) + "Z";
    const EscpRun r = run(job);
    EXPECT_EQ(r.page.pages[0].chars[0].y, 323 + 960);
    EXPECT_EQ(r.text(), u"AZ");
}

TEST(EscpMargins, LeftAndRightInColumns)
{
    const EscpRun r = run(ESC + "l" + bytes({10}) + "A\r" + ESC + "Q" + bytes({20}) + "BCDEFGHIJK");
    const auto& chars = r.page.pages[0].chars;
    EXPECT_EQ(chars[0].x, 1440);
    EXPECT_EQ(chars[1].x, 1440);
    // The tenth column would reach the limit exactly and so wraps.
    EXPECT_EQ(chars[9].x, 2592);
    EXPECT_EQ(chars[10].x, 1440);
    EXPECT_EQ(chars[10].y, 563);
}

TEST(EscpMargins, ProportionalColumnsAreTenthInches)
{
    const EscpRun r = run(ESC + "p1" + ESC + "W1" + ESC + "Q" + bytes({10}));
    EXPECT_EQ(r.page.rightLimit(), 1440);
}

TEST(EscpMargins, PageLengthAndFormat)
{
    struct Case {
        const char* name;
        std::string job;
        Calls calls;
    };
    const std::vector<Case> cases = {
        {"Lines", ESC + "C" + bytes({10}), {"setPageLength 2400", "setBottomLimit 2723"}},
        {"Inches", ESC + "C" + bytes({0, 2}), {"setPageLength 2880", "setBottomLimit 3203"}},
        {"Units", ESC + "(C" + bytes({2, 0, 0x10, 0x0E}), {"setPageLength 14400", "setBottomLimit 14723"}},
        {"Format",
         ESC + "(c" + bytes({4, 0, 100, 0, 0xA0, 0x0F}),
         {"cancelBottomLimit", "setTopLimit 400", "setBottomLimit 15840", "setY 400"}},
        // Below the top of the form the position stays where the job put it.
        {"FormatAfterAMove",
         ESC + "J" + bytes({18}) + ESC + "(c" + bytes({4, 0, 0, 0, 0xA0, 0x0F}),
         {"setY 467", "cancelBottomLimit", "setTopLimit 0", "setBottomLimit 15840"}},
        {"BottomMarginFromPageFoot", ESC + "N" + bytes({6}), {"setBottomLimit 14400", "cancelTopLimit"}},
        {"BottomMarginFromFormFoot",
         ESC + "C" + bytes({0, 10}) + ESC + "N" + bytes({2}) + ESC + "O",
         {"setPageLength 14400", "setBottomLimit 14723", "setBottomLimit 14243", "cancelTopLimit",
          "setBottomLimit 14723"}},
        {"CancelBottomMargin", ESC + "O", {"cancelBottomLimit"}},
    };
    for (const Case& c : cases) {
        const EscpRun r = run(c.job);
        EXPECT_EQ(r.page.callsAfterReset(), c.calls) << c.name;
    }
}

TEST(EscpMargins, TextBelowTheBottomLimitGoesToTheNextPage)
{
    // A form of two lines: the second line feed reaches the bottom limit.
    const EscpRun r = run(ESC + "C" + bytes({2}) + "A\nB\nC\nD");
    EXPECT_EQ(r.text(), u"AB|CD");
}

TEST(EscpCharacters, SlotsTablesAndInternationalSets)
{
    struct Case {
        const char* name;
        std::string job;
        std::u16string text;
    };
    const std::vector<Case> cases = {
        {"SlotsFromSettings", "\x9b" + ESC + "t" + bytes({1}) + "\x9b" + ESC + "t0\x9b", u"\u00F8\u00A2\u00F8"},
        {"AssignTable", ESC + "(t" + bytes({3, 0, 2, 1, 0}) + ESC + "t2\x9b", u"\u00A2"},
        {"AssignAlternativeLatin1", ESC + "(t" + bytes({3, 0, 1, 29, 16}) + ESC + "t1\xe4", u"\u00E4"},
        {"Italic table repeats the lower half", ESC + "(t" + bytes({3, 0, 3, 0, 0}) + ESC + "t3\x9b", u"\x1b"},
        {"InternationalGerman", ESC + "R" + bytes({2}) + "[|~", u"\u00C4\u00F6\u00DF"},
        {"Set64IsSet13", ESC + "R" + bytes({64}) + "|" + ESC + "R" + bytes({13}) + "|", u"\u00AE\u00AE"},
        {"InternationalStaysInItsSlot", ESC + "R" + bytes({2}) + ESC + "t1[" + ESC + "t0[" + ESC + "@[", u"[\u00C4|["},
    };
    EscpOptions options;
    options.charsets = {768, 256, 768, 768};
    for (const Case& c : cases) {
        const EscpRun r = run(c.job, options);
        EXPECT_EQ(r.text(), c.text) << c.name;
    }
}

TEST(EscpCharacters, UnknownCharsetSettingFallsBackToPc850)
{
    EscpOptions options;
    options.charsets = {4242, 768, 768, 768};
    EXPECT_EQ(run("\x9b", options).text(), u"\u00F8");
}

TEST(EscpSkipping, JobControlAndRemoteMode)
{
    struct Case {
        const char* name;
        std::string job;
        std::u16string text;
    };
    const std::vector<Case> cases = {
        {"JobControl", ESC + "\x01" + "@EJL junk" + ESC + ESC + "@A", u"A"},
        {"JobControlPlainEnd", ESC + "\x01" + "xyz" + ESC + "@A", u"A"},
        {"RemoteMode",
         ESC + "(R" + bytes({8, 0, 0}) + "REMOTE1SN" + bytes({3, 0, 0, 0, 0}) + ESC + bytes({0, 0, 0}) + "A", u"A"},
        {"RemoteModeNeedsThreeZeros", ESC + "(R" + ESC + bytes({0, 0}) + "A" + ESC + bytes({0, 0, 0}) + "B", u"B"},
        {"RemoteModeRestartsAtEsc", ESC + "(R" + ESC + bytes({0}) + ESC + bytes({0, 0, 0}) + "C", u"C"},
    };
    for (const Case& c : cases) {
        const EscpRun r = run(c.job);
        EXPECT_EQ(r.text(), c.text) << c.name;
        EXPECT_EQ(r.page.callsAfterReset("reset").size(), 0u) << c.name;  // no reset after the run's own
        EXPECT_TRUE(r.error.empty()) << c.name << ": " << r.error;
    }
}

TEST(EscpTrace, DebugLinesAsQuoted)
{
    const std::string job = "AB" + ESC + "E" + "C\r\n" + ESC + "U" + bytes({0, 0}) + ESC + "y" + ESC + "M" + ESC + "+" +
                            bytes({10}) + ESC + "0" + "\t" + bytes({7, 0x7F, 17}) + ESC + "(Z" + bytes({0, 0});
    // Command lines as they come; what was not implemented, ignored or
    // illegal once per name at the end, repeats counted.
    const Calls expected = {
        "Text: \"AB\"",
        "SetBold 1",
        "Text: C",
        "SetFontPC 10.50 12",
        "SetLineSpacing 10 360",
        "SelLineSpacing 1/8",
        "HorizTab 1152" /* the stops keep the cell of the reset */,
        "\"BEL\" ignored",
        "\"DEL\" ignored",
        "\"NUL\" ignored",
        "\"Select printer\" not implemented",
        "\"Turn unidirectional mode on/off\" ignored",
        "\"Unknown ESC code (121)\" not implemented (3 times)",
        "\"Unknown ESC( code (90)\" not implemented",
    };
    EXPECT_EQ(run(job + ESC + "y" + ESC + "y", {.debug = true}).trace, expected);
    // Without Debug the run says nothing at all.
    EXPECT_TRUE(run(job + ESC + "(t" + bytes({3, 0, 4, 0, 1})).trace.empty());
}

TEST(EscpTrace, ModesAndUnitsAreTraced)
{
    const std::string job = ESC + "\x01" + ESC + "@" + ESC + "(R" + ESC + bytes({0, 0, 0}) + ESC + "(U" +
                            bytes({5, 0, 10, 5, 5, 0xA0, 0x05}) + ESC + "(t" + bytes({3, 0, 1, 29, 7}) + ESC + "_" +
                            bytes({0, 1, 0, 2, 0, 0, 0, 0, 3, 0});
    const EscpRun r = run(job, {.debug = true});
    for (const char* line :
         {"Enter job control mode", "Exit job control mode", "Enter remote mode", "Exit remote mode",
          "SetExtendedUnit 10 5 5 1440", "AssignCharTable 1 29 7 32519", "PrintRuledLine 0 1x2 0 0 3"})
        EXPECT_TRUE(r.traced(line)) << line;
}

TEST(EscpRun, SinglePageSelectionStopsUnlessCountingAll)
{
    const std::string job = "A\fB\fC\fD";
    EXPECT_EQ(run(job, {.singlePage = 1}).page.pageCount(), 2);
    EXPECT_EQ(run(job, {.singlePage = 2}).page.pageCount(), 3);
    EXPECT_EQ(run(job, {.countAll = true, .singlePage = 1}).page.pageCount(), 4);
    EXPECT_EQ(run(job).page.pageCount(), 4);
}

TEST(EscpRun, JobEndingInsideACommandReportsWhereReadingStopped)
{
    const EscpRun r = run("AB" + ESC + "(V" + bytes({2}));
    EXPECT_EQ(r.error, "Read beyond end of file 5");
    EXPECT_EQ(r.text(), u"AB");
}

TEST(EscpRun, BlankLinesStartNoPage) { EXPECT_EQ(run("\r\n\r\n   \r\n\f").page.pageCount(), 0); }

TEST(EscpBitImage, ColumnsBecomeOneBitmapPerCommand)
{
    const EscpRun r =
        run(ESC + "K" + bytes({2, 0, 0x81, 0xFF}) + ESC + "?K" + bytes({1}) + ESC + "K" + bytes({1, 0, 0x80}) + ESC +
            "*" + bytes({39, 1, 0, 0x80, 0x00, 0x01}) + ESC + "^" + bytes({0, 4, 0, 0x80, 0x01, 0x00, 0x00}) + "A");
    EXPECT_EQ(r.page.callsAfterReset("bitmap"), (Calls{"bitmap 2x8 60/60 advance", "bitmap 1x8 120/60 advance",
                                                       "bitmap 1x24 180/180 advance", "bitmap 2x9 60/72 advance"}));
    ASSERT_EQ(r.page.bitmaps.size(), 4u);
    const MonoBitmap& k = r.page.bitmaps[0].bitmap;
    EXPECT_TRUE(k.dot(0, 0));
    EXPECT_FALSE(k.dot(0, 1));
    EXPECT_TRUE(k.dot(0, 7));
    for (int y = 0; y < 8; ++y) EXPECT_TRUE(k.dot(1, y));
    const MonoBitmap& star = r.page.bitmaps[2].bitmap;
    EXPECT_TRUE(star.dot(0, 0));
    EXPECT_FALSE(star.dot(0, 8));
    EXPECT_TRUE(star.dot(0, 23));
    const MonoBitmap& nine = r.page.bitmaps[3].bitmap;
    EXPECT_TRUE(nine.dot(0, 0));
    EXPECT_TRUE(nine.dot(0, 8));  // bit 0x100 is the ninth dot
    EXPECT_FALSE(nine.dot(1, 8));
    // Each image moves the position right by its width; the text follows.
    EXPECT_EQ(r.page.bitmaps[1].x, 48);
    EXPECT_EQ(r.page.pages[0].chars[0].x, 48 + 12 + 8 + 48);
}

TEST(EscpGraphics, RasterBandsAndLeavingGraphicsMode)
{
    const std::string enter = ESC + "(G" + bytes({1, 0, 1});
    const std::string job = "X" + enter + ESC + "." + bytes({0, 10, 10, 2, 8, 0, 0xFF, 0x81}) + ESC + "." +
                            bytes({1, 20, 10, 1, 16, 0, 0xFF, 0xAA}) + ESC + "." +
                            bytes({5, 10, 10, 1, 8, 0, 0, 0x3C}) + ESC + "." + bytes({0, 30, 10, 1, 8, 0}) + "Z" + ESC +
                            "@" + "A";
    const EscpRun r = run(job, {.debug = true});
    EXPECT_EQ(r.page.callsAfterReset(), (Calls{"print A 272,323"}));
    EXPECT_EQ(r.page.callsAfterReset().size(), 1u);
    EXPECT_EQ(r.page.calls.end()[-2], "reset 0");  // leaving graphics mode keeps the page
    EXPECT_EQ(r.page.pageCount(), 1);
    ASSERT_EQ(r.page.bitmaps.size(), 3u);
    EXPECT_EQ(r.page.bitmaps[0].verticalDpi, 360);
    EXPECT_EQ(r.page.bitmaps[0].bitmap.bits, (std::vector<std::uint8_t>{0xFF, 0x81}));
    EXPECT_EQ(r.page.bitmaps[1].verticalDpi, 180);
    EXPECT_EQ(r.page.bitmaps[1].bitmap.bits, (std::vector<std::uint8_t>{0xAA, 0xAA}));
    EXPECT_EQ(r.page.bitmaps[2].bitmap.bits, (std::vector<std::uint8_t>{0x3C}));  // mode 5 is run-length coded
    EXPECT_TRUE(r.traced("Illegal parameter: PrintRaster v-res"));
    EXPECT_TRUE(r.traced("\"Unknown graphics code (90)\" not implemented"));
    EXPECT_TRUE(r.traced("Exit graphics mode"));
}

TEST(EscpGraphics, TiffPlanesPrintAtEachMoveInModeThreeOnlyOnceInModeTwo)
{
    const auto tiff = [](int mode) {
        return ESC + "(G" + bytes({1, 0, 1}) + ESC + "." + bytes({mode, 10, 10, 1, 0, 0}) +
               bytes({0x83, 0x84, 0x22, 0x00, 0xF0, 0x61, 0x61, 0xE3}) + ESC + "@";
    };
    const EscpRun two = run(tiff(2), {.debug = true});
    EXPECT_EQ(two.page.callsAfterReset(), Calls{});
    const Calls printed2 = {"setX 0",  "setColour 255,255,0", "bitmap 3060x1 360/360", "setColour 0,0,0", "setY 327",
                            "setY 331"};
    Calls all2;
    for (const auto& call : two.page.calls)
        if (call != "reset 1" && call != "endPage" && call != "reset 0" && call != "page 1") all2.push_back(call);
    EXPECT_EQ(all2, printed2);
    EXPECT_TRUE(two.traced("<COLR> argument invalid"));
    ASSERT_EQ(two.page.bitmaps.size(), 1u);
    EXPECT_EQ(two.page.bitmaps[0].bitmap.bits[0], 0xF0);
    EXPECT_FALSE(two.page.bitmaps[0].advance);

    const EscpRun three = run(tiff(3));
    EXPECT_EQ(three.page.bitmaps.size(), 3u);  // both moves and the exit print the kept row
}

TEST(EscpGraphics, TiffTransfersLandAtTheDotPosition)
{
    // <MOVX> +3, <XFER> FF (bits 3 to 10), <CR>, <MOVX> -1 (left of 0: ignored),
    // <XFER> 81 over the first byte, exit.
    const std::string job = ESC + "(G" + bytes({1, 0, 1}) + ESC + "." + bytes({2, 10, 10, 1, 0, 0}) +
                            bytes({0x43, 0x22, 0x00, 0xFF, 0xE2, 0x4F, 0x22, 0x00, 0x81, 0xE3}) + ESC + "@";
    const EscpRun r = run(job);
    ASSERT_EQ(r.page.bitmaps.size(), 1u);
    const auto& bits = r.page.bitmaps[0].bitmap.bits;
    EXPECT_EQ(bits[0], 0x81);
    EXPECT_EQ(bits[1], 0xE0);
    EXPECT_EQ(bits[2], 0x00);
}

}  // namespace
}  // namespace zemprint::test
