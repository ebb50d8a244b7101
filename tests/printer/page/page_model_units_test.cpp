// The page model's arithmetic without a device: limits, score runs, widths.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "printer/page/page_limits.h"
#include "printer/page/score.h"
#include "printer/page/text_attributes.h"
#include "printer/page/translate.h"

namespace zemprint {
namespace {

constexpr int kWidth = 11906;
constexpr int kHeight = 16838;

// Each setter on fresh limits of an A4 page: what it stores, or the name it refuses with.
TEST(PageLimits, SettersCheckTheOppositeLimitAndClampToThePage)
{
    struct Case {
        const char* name;
        void (TPageLimits::*set)(int);
        int value;
        std::optional<std::string> refusal;
        int (TPageLimits::*get)() const;
        int expected;
    };
    const Case cases[] = {
        {"top below bottom", &TPageLimits::setTop, 1000, std::nullopt, &TPageLimits::top, 1000},
        {"top at bottom", &TPageLimits::setTop, kHeight, "SetTopMargin", &TPageLimits::top, kDefaultTopLimit},
        {"bottom above top", &TPageLimits::setBottom, 324, std::nullopt, &TPageLimits::bottom, 324},
        {"bottom at the default top", &TPageLimits::setBottom, kDefaultTopLimit, "SetBottomMargin",
         &TPageLimits::bottom, kHeight},
        {"bottom past the page", &TPageLimits::setBottom, kHeight + 500, std::nullopt, &TPageLimits::bottom, kHeight},
        {"left below right", &TPageLimits::setLeft, 720, std::nullopt, &TPageLimits::left, 720},
        {"left at right", &TPageLimits::setLeft, kWidth, "SetLeftMargin", &TPageLimits::left, 0},
        {"right above left", &TPageLimits::setRight, 1, std::nullopt, &TPageLimits::right, 1},
        {"right at left", &TPageLimits::setRight, 0, "SetRightMargin", &TPageLimits::right, kWidth},
        {"right past the page", &TPageLimits::setRight, kWidth + 1, std::nullopt, &TPageLimits::right, kWidth},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TPageLimits limits;
        limits.setPageSize(kWidth, kHeight);
        std::optional<std::string> refusal;
        try {
            (limits.*c.set)(c.value);
        } catch (const EIllegalParameter& error) {
            refusal = error.name();
        }
        EXPECT_EQ(refusal, c.refusal);
        EXPECT_EQ((limits.*c.get)(), c.expected);
    }
}

TEST(PageLimits, DefaultsResetAndCancel)
{
    TPageLimits limits;
    limits.setPageSize(kWidth, kHeight);
    EXPECT_EQ(limits.left(), 0);
    EXPECT_EQ(limits.top(), kDefaultTopLimit);
    EXPECT_EQ(limits.right(), kWidth);
    EXPECT_EQ(limits.bottom(), kHeight);
    limits.setLeft(100);
    limits.setTop(200);
    limits.setRight(5000);
    limits.setBottom(9000);
    // The checks use the limits in force, so a left limit cannot pass a right one.
    EXPECT_THROW(limits.setLeft(5000), EIllegalParameter);
    EXPECT_THROW(limits.setTop(9000), EIllegalParameter);
    limits.cancelBottom();
    EXPECT_EQ(limits.bottom(), kHeight);
    EXPECT_EQ(limits.rawBottom(), kLimitNotSet);
    limits.cancelTop();
    EXPECT_EQ(limits.top(), kDefaultTopLimit);
    limits.reset();
    EXPECT_EQ(limits.left(), 0);
    EXPECT_EQ(limits.right(), kWidth);
}

TEST(PageLimits, MeasureRoundsToTwipsAndSetsThePageExtent)
{
    TPageLimits limits;
    limits.measure(210.0, 297.0);
    EXPECT_EQ(limits.pageWidth(), 11934);  // (210 + 0.5) mm
    EXPECT_EQ(limits.pageHeight(), 16838);
    EXPECT_EQ(translation().pageExtent(), 16838);
}

// A turned page reads and writes every entry through its partner.
TEST(PageLimits, TurnedPageExchangesThePairs)
{
    bool turned = false;
    TPageLimits limits([&] { return turned; });
    limits.setPageSize(kWidth, kHeight);
    limits.setLeft(100);
    turned = true;
    EXPECT_EQ(limits.pageWidth(), kHeight);
    EXPECT_EQ(limits.pageHeight(), kWidth);
    EXPECT_EQ(limits.top(), 100);
    EXPECT_EQ(limits.left(), 0);
    limits.setRight(kHeight + 10);  // clamped to the turned width
    turned = false;
    EXPECT_EQ(limits.bottom(), kHeight);
    EXPECT_EQ(limits.rawBottom(), kHeight);
}

class Score : public ::testing::Test {
protected:
    Score()
    {
        score.reset();
        score.setSink([this](const ScoreLine& line) { lines.push_back(line); });
    }
    // Characters of one advance each along a line.
    void text(ScoreKind kind, int fromX, int count, int y, int advance = 144)
    {
        for (int i = 0; i < count; ++i) score.addSegment(kind, fromX + i * advance, fromX + (i + 1) * advance, y);
    }

    TScore score;
    std::vector<ScoreLine> lines;
};

TEST_F(Score, TouchingSegmentsJoinIntoOneLineDrawnWhenTheRunEnds)
{
    score.setStyle(ScoreKind::Underline, ScoreStyle::Single);
    text(ScoreKind::Underline, 0, 5, 400);
    EXPECT_TRUE(lines.empty());
    score.flush();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].x1, 0);
    EXPECT_EQ(lines[0].x2, 720);
    EXPECT_EQ(lines[0].y, 400);
    EXPECT_EQ(lines[0].penWidth, kDefaultScorePenWidth);
    EXPECT_FALSE(lines[0].dashed);
    score.flush();  // nothing pending any more
    EXPECT_EQ(lines.size(), 1u);
}

// An underlined word, CR LF, more underlined text: one line per text line.
TEST_F(Score, GapsAndNewLinesStartNewRuns)
{
    score.setStyle(ScoreKind::Underline, ScoreStyle::Single);
    text(ScoreKind::Underline, 0, 3, 400);
    text(ScoreKind::Underline, 0, 2, 640);     // next line
    text(ScoreKind::Underline, 1440, 2, 640);  // after a tab
    score.flush();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].y, 400);
    EXPECT_EQ(lines[0].x2, 432);
    EXPECT_EQ(lines[1].y, 640);
    EXPECT_EQ(lines[1].x2, 288);
    EXPECT_EQ(lines[2].x1, 1440);
}

TEST_F(Score, StylesDrawSingleDoubleAndBrokenLines)
{
    struct Case {
        ScoreStyle style;
        std::size_t count;
        bool dashed;
    };
    const Case cases[] = {{ScoreStyle::None, 0, false},
                          {ScoreStyle::Single, 1, false},
                          {ScoreStyle::Double, 2, false},
                          {ScoreStyle::SingleBroken, 1, true},
                          {ScoreStyle::DoubleBroken, 2, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.style));
        lines.clear();
        score.reset();
        score.setPenWidth(10);
        score.setStyle(ScoreKind::Overline, c.style);
        text(ScoreKind::Overline, 100, 2, 300);
        score.flush();
        ASSERT_EQ(lines.size(), c.count);
        for (const ScoreLine& line : lines) {
            EXPECT_EQ(line.dashed, c.dashed);
        }
        if (c.count == 2) {
            EXPECT_EQ(lines[1].y, 300 - 2 * 10);
        }
    }
}

// Switching a style off draws what was pending; switching it on again starts
// afresh even where the text goes on without a gap.
TEST_F(Score, StyleChangesEndTheRun)
{
    score.setStyle(ScoreKind::StrikeThrough, ScoreStyle::Single);
    text(ScoreKind::StrikeThrough, 0, 2, 300);
    score.setStyle(ScoreKind::StrikeThrough, ScoreStyle::None);
    ASSERT_EQ(lines.size(), 1u);
    text(ScoreKind::StrikeThrough, 288, 2, 300);
    score.setStyle(ScoreKind::StrikeThrough, ScoreStyle::Double);
    text(ScoreKind::StrikeThrough, 576, 1, 300);
    score.flush();
    ASSERT_EQ(lines.size(), 3u);  // the single run, then the double run's two lines
    EXPECT_EQ(lines[1].x1, 576);
    EXPECT_EQ(lines[1].x2, 720);
    // The three records are independent.
    lines.clear();
    score.setStyle(ScoreKind::Overline, ScoreStyle::Double);
    score.setStyle(ScoreKind::Underline, ScoreStyle::Single);
    text(ScoreKind::Underline, 0, 1, 500);
    text(ScoreKind::Overline, 0, 1, 500);
    score.flush();
    EXPECT_EQ(lines.size(), 3u);  // one underline, two overlines (double)
}

TEST(TextAttributes, CellWidthFollowsPitchHmiExtraSpaceAndDoubleWidth)
{
    struct Case {
        const char* name;
        double pitch;
        int hmi;
        int extra;
        bool doubleWidth;
        bool condensed;
        int cell;
        int basis;
    };
    const Case cases[] = {
        {"10 cpi", 10, 0, 0, false, false, 144, 144},
        {"12 cpi", 12, 0, 0, false, false, 120, 120},
        {"15 cpi", 15, 0, 0, false, false, 96, 96},
        {"HMI", 10, 100, 0, false, false, 100, 100},
        {"extra space", 10, 0, 10, false, false, 154, 144},
        {"double width", 10, 0, 10, true, false, 308, 288},
        {"condensed 10", 10, 0, 0, false, true, 84, 84},
        {"condensed 12", 12, 0, 0, false, true, 72, 72},
        {"condensed 15 keeps its width", 15, 0, 0, false, true, 96, 96},
        {"20 cpi", 20, 0, 0, false, false, 72, 72},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TextAttributes a;
        a.setPitch(c.pitch);
        if (c.condensed) a.setCondensed(true);
        if (c.hmi) a.setHmi(c.hmi);
        a.extraSpace = c.extra;
        a.doubleWidth = c.doubleWidth;
        EXPECT_EQ(cellWidth(a), c.cell);
        EXPECT_EQ(fontWidthBasis(a), c.basis);
    }
}

TEST(TextAttributes, PitchFlagsAndCondensedOff)
{
    TextAttributes a;
    a.setPitch(15);
    EXPECT_TRUE(a.fifteenPitch);
    a.setHmi(90);
    EXPECT_FALSE(a.fifteenPitch);
    a.setPitch(12);
    EXPECT_EQ(a.hmi, 0);  // a pitch cancels the HMI
    a.setCondensed(true);
    EXPECT_EQ(a.pitchWidth, 72);
    a.setCondensed(false);
    EXPECT_EQ(a.pitchWidth, 120);
    EXPECT_FALSE(a.condensed);
}

// Proportional advances come from the width tables, scaled to the point size.
TEST(TextAttributes, ProportionalAdvance)
{
    struct Case {
        const char* name;
        int typeface;
        double points;
        char16_t c;
        Script script;
        bool condensed;
        bool doubleWidth;
        int advance;
    };
    const Case cases[] = {
        {"A", 0, 10.5, u'A', Script::None, false, false, 144},  // 36/360 inch
        {"i", 0, 10.5, u'i', Script::None, false, false, 72},
        {"space", 0, 10.5, u' ', Script::None, false, false, 120},
        {"no width entry", 0, 10.5, u'\u2022', Script::None, false, false, 0},
        {"outside the tables", 0, 10.5, u'\u2600', Script::None, false, false, 120},
        {"21 point", 0, 21, u'A', Script::None, false, false, 288},
        {"8 point", 0, 8, u'A', Script::None, false, false, 108},  // round(27.43) = 27
        {"superscript", 0, 10.5, u'A', Script::Super, false, false, 96},
        {"condensed", 0, 10.5, u'A', Script::None, true, false, 72},
        {"double width", 0, 10.5, u'A', Script::None, false, true, 288},
        {"all three", 0, 10.5, u'A', Script::Sub, true, true, 96},
        {"Times", 10, 10.5, u'A', Script::None, false, false, 152},
        {"Sans", 11, 10.5, u'A', Script::None, false, false, 140},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TextAttributes a;
        a.proportional = true;
        a.typeface = c.typeface;
        a.pointSize = c.points;
        a.script = c.script;
        a.condensed = c.condensed;
        a.doubleWidth = c.doubleWidth;
        a.extraSpace = 50;  // not added to proportional advances
        EXPECT_EQ(characterAdvance(a, c.c), c.advance);
    }
    TextAttributes fixed;
    fixed.extraSpace = 6;
    EXPECT_EQ(characterAdvance(fixed, u'i'), 150);
}

TEST(TextAttributes, FontRequestFromPointSizeZoomAndAttributes)
{
    std::array<int, kZoomedTypefaceCount> zoom{};
    zoom.fill(140);
    zoom[2] = 100;
    const FontMetricsTwips metrics{238, 180, 126};
    struct Case {
        const char* name;
        TextAttributes attributes;
        int w;
        int height;
        int width;
    };
    auto make = [](auto change) {
        TextAttributes a;
        change(a);
        return a;
    };
    const Case cases[] = {
        {"default", make([](TextAttributes&) {}), 202, 210, 121},
        {"unzoomed typeface", make([](TextAttributes& a) { a.typeface = 2; }), 144, 210, 86},
        {"Roman T is not zoomed", make([](TextAttributes& a) { a.typeface = 10; }), 144, 210, 86},
        {"proportional", make([](TextAttributes& a) { a.proportional = true; }), 210, 210, 126},
        {"proportional condensed", make([](TextAttributes& a) { a.proportional = true, a.condensed = true; }), 210, 210,
         63},
        {"proportional double width", make([](TextAttributes& a) { a.proportional = true, a.doubleWidth = true; }), 420,
         210, 252},
        {"double height", make([](TextAttributes& a) { a.doubleHeight = true; }), 202, 420, 121},
        {"script", make([](TextAttributes& a) { a.script = Script::Sub; }), 202, 140, 80},
        {"15 cpi", make([](TextAttributes& a) { a.setPitch(15); }), 134, 140, 80},
        {"condensed 10", make([](TextAttributes& a) { a.setCondensed(true); }), 118, 210, 71},
        {"20 point", make([](TextAttributes& a) { a.pointSize = 20; }), 202, 400, 64},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int w = fontWidthRequest(c.attributes, zoom);
        EXPECT_EQ(w, c.w);
        const FontRequest font = finalFont(c.attributes, w, metrics, false);
        EXPECT_EQ(font.em, emHeight(c.attributes));
        EXPECT_EQ(font.height, c.height);
        EXPECT_EQ(font.width, c.width);
    }
}

TEST(Translate, TurnedPagesMapXUpTheSurface)
{
    TTranslate t;
    t.setPageExtent(16838);
    t.set(100, 200);
    EXPECT_EQ(t.deviceX(), 100);
    EXPECT_EQ(t.deviceY(), 200);
    t.setRotated(true);
    EXPECT_EQ(t.deviceX(), 200);
    EXPECT_EQ(t.deviceY(), 16838 - 100);
}

}  // namespace
}  // namespace zemprint
