#include "printer/page/score.h"

namespace zemprint {

void TScore::reset()
{
    for (Run& run : runs_) {
        run.style = ScoreStyle::None;
        run.newRun = true;
    }
    penWidth_ = kDefaultScorePenWidth;
}

void TScore::setStyle(ScoreKind kind, ScoreStyle style)
{
    Run& run = record(kind);
    draw(run);
    run.newRun = style != run.style && style != ScoreStyle::None;
    run.style = style;
}

void TScore::addSegment(ScoreKind kind, int x1, int x2, int y)
{
    Run& run = record(kind);
    if (run.newRun) {
        run.newRun = false;
    } else if (x1 == run.endX && y == run.y) {
        run.endX = x2;
        return;
    } else {
        draw(run);
    }
    run.startX = x1;
    run.endX = x2;
    run.y = y;
}

void TScore::flush()
{
    for (std::size_t i = 0; i < kScoreKindCount; ++i) addSegment(static_cast<ScoreKind>(i), 0, 0, 0);
}

void TScore::draw(const Run& run) const
{
    // The page-end flush leaves an empty run behind; it has nothing to show.
    if (run.style == ScoreStyle::None || run.startX == run.endX || !sink_) return;
    const bool dashed = run.style == ScoreStyle::SingleBroken || run.style == ScoreStyle::DoubleBroken;
    sink_({run.startX, run.endX, run.y, penWidth_, dashed});
    if (run.style == ScoreStyle::Double || run.style == ScoreStyle::DoubleBroken)
        sink_({run.startX, run.endX, run.y - 2 * penWidth_, penWidth_, dashed});
}

}  // namespace zemprint
