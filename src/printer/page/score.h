// TScore: the score lines under, through and over text. Characters hand in
// their segments; touching segments on one line join into a run, and a run is
// drawn once it ends (a gap, another line, a style change or the page end).
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "printer/page/page_model.h"

namespace zemprint {

enum class ScoreKind : std::uint8_t { Underline, StrikeThrough, Overline };
inline constexpr std::size_t kScoreKindCount = 3;

inline constexpr int kDefaultScorePenWidth = 14;

// One straight line of a run, in twips.
struct ScoreLine {
    int x1;
    int x2;
    int y;
    int penWidth;
    bool dashed;
};

class TScore {
public:
    using LineSink = std::function<void(const ScoreLine&)>;

    struct Run {
        ScoreStyle style = ScoreStyle::None;
        bool newRun = true;
        int startX = 0;
        int endX = 0;
        int y = 0;
    };

    // Where finished runs are drawn (the device context of the page model).
    void setSink(LineSink sink) { sink_ = std::move(sink); }

    // All styles none, each record waiting for a new run, pen width 14.
    void reset();
    // Draws the pending run of that record first.
    void setStyle(ScoreKind kind, ScoreStyle style);
    ScoreStyle style(ScoreKind kind) const { return record(kind).style; }
    void addSegment(ScoreKind kind, int x1, int x2, int y);
    // Draws every pending run (end of page).
    void flush();

    int penWidth() const { return penWidth_; }
    void setPenWidth(int twips) { penWidth_ = twips; }
    const Run& record(ScoreKind kind) const { return runs_[static_cast<std::size_t>(kind)]; }

private:
    Run& record(ScoreKind kind) { return runs_[static_cast<std::size_t>(kind)]; }
    void draw(const Run& run) const;

    std::array<Run, kScoreKindCount> runs_{};
    int penWidth_ = kDefaultScorePenWidth;
    LineSink sink_;
};

}  // namespace zemprint
