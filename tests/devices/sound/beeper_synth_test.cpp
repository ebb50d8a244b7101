// The beeper's generator: wave table, parameter block, pitch, sweep, duration, jitter.
#include "devices/sound/beeper_synth.h"
#include "signal_analysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {

constexpr double Rate = 22050;

BeepParameters steady(int pitch, int duration = 0)
{
    BeepParameters p;
    p.pitch1 = p.pitch2 = pitch;
    p.duration = duration;
    return p;
}

std::vector<int16_t> render(BeeperVoice& voice, size_t samples)
{
    BeepJitter jitter;
    std::vector<int16_t> out(samples);
    voice.render(out, jitter);
    return out;
}

// A tone of pitch p has a period of p * 85 + 890 microseconds; the generator sees it in
// whole samples of 45 microseconds, a cycle ending at the first sample past the period.
double expectedFrequency(int pitch)
{
    const int periodMicros = pitch * 85 + 890;
    const int samplesPerCycle = (periodMicros + 44) / 45;
    return Rate / samplesPerCycle;
}

}  // namespace

TEST(BeeperWave, FollowsTheTrapezoidRule)
{
    const BeeperWave& w = beeperWave();
    const std::array<std::pair<int, int16_t>, 12> expected = {{{0, 16383},
                                                               {1, 17872},
                                                               {3, 20851},
                                                               {10, 31277},
                                                               {11, 32767},
                                                               {21, 32767},
                                                               {22, 31278},
                                                               {32, -16384},
                                                               {41, -31129},
                                                               {42, -32767},
                                                               {53, -32767},
                                                               {63, -17873}}};
    for (auto [index, value] : expected) EXPECT_EQ(w[index], value) << "index " << index;
    EXPECT_EQ(w[61], -20852);
    EXPECT_EQ(w[62], -19362);
}

TEST(BeeperBlock, DecodesPitchesLowByteFirstValuesAndNibbles)
{
    // Pitch bytes 0 and 1 give 255 and 0; interval 0x1234 and duration -2 low byte first.
    const uint8_t block[8] = {0, 1, 0x34, 0x12, 0xFE, 0xFF, 0x9F, 0xA3};
    const BeepParameters p = decodeBeepBlock(block);
    EXPECT_EQ(p.pitch1, 255);
    EXPECT_EQ(p.pitch2, 0);
    EXPECT_EQ(p.interval, 0x1234u);
    EXPECT_EQ(p.duration, -2);
    EXPECT_EQ(p.step, -7);
    EXPECT_EQ(p.wrap, 15);
    EXPECT_EQ(p.cycleJitter, 10);
    EXPECT_EQ(p.stepJitter, 3);
}

TEST(BeeperVoice, NegativeStepStartsAtPitch2AndSweepsDown)
{
    BeepParameters p;
    p.pitch1 = 10;
    p.pitch2 = 40;
    p.step = -3;
    BeeperVoice voice;
    voice.start(p);
    EXPECT_EQ(voice.startPitch(), 40);
    EXPECT_EQ(voice.lowPitch(), 10);
    EXPECT_EQ(voice.highPitch(), 40);
    EXPECT_EQ(voice.stepSize(), 3);
    render(voice, 1);  // interval 0: one step per sample
    EXPECT_EQ(voice.pitch(), 37);
}

TEST(BeeperVoice, SteadyToneHasThePitchFrequency)
{
    for (int pitch : {0, 19, 100, 255}) {
        BeeperVoice voice;
        voice.start(steady(pitch));
        const double f = measure::frequency(measure::toDouble(render(voice, 22050)), Rate);
        EXPECT_NEAR(f, expectedFrequency(pitch), expectedFrequency(pitch) * 0.01) << "pitch " << pitch;
    }
}

TEST(BeeperVoice, SweepMovesTheFrequencyStepByStep)
{
    // Pitch 10 up to 60 in steps of 5, a step every (2000 + 1) * 44 microseconds.
    BeepParameters p;
    p.pitch1 = 10;
    p.pitch2 = 60;
    p.step = 5;
    p.interval = 2000;
    p.wrap = 15;
    BeeperVoice voice;
    voice.start(p);
    const int samplesPerStep = (2001 * 44) / 45;  // about 1956
    std::vector<int16_t> all = render(voice, size_t(samplesPerStep) * 6);
    for (int k = 0; k < 5; ++k) {
        // The middle of each step's stretch, away from the changes.
        std::vector<double> part(all.begin() + k * samplesPerStep + 200, all.begin() + (k + 1) * samplesPerStep - 200);
        const int pitch = 10 + 5 * k;
        EXPECT_NEAR(measure::frequency(part, Rate), expectedFrequency(pitch), expectedFrequency(pitch) * 0.01)
            << "step " << k;
    }
}

TEST(BeeperVoice, WrapCountDecidesBetweenWrappingAndReversing)
{
    // Range 10 ... 14, step 2, one step per sample (interval 0).
    struct Case {
        int wrap;
        std::vector<int> pitches;
    };
    const Case cases[] = {
        {0, {12, 14, 12, 10, 12, 14, 12, 10, 12}},                  // always reverses
        {15, {12, 14, 10, 12, 14, 10, 12, 14, 10}},                 // always wraps
        {1, {12, 14, 10, 12, 14, 12, 10, 14, 12, 10, 12, 14, 10}},  // wraps once, then reverses
    };
    for (const Case& c : cases) {
        BeepParameters p;
        p.pitch1 = 10;
        p.pitch2 = 14;
        p.step = 2;
        p.wrap = c.wrap;
        BeeperVoice voice;
        voice.start(p);
        std::vector<int> seen;
        for (size_t i = 0; i < c.pitches.size(); ++i) {
            render(voice, 1);
            seen.push_back(voice.pitch());
        }
        EXPECT_EQ(seen, c.pitches) << "wrap " << c.wrap;
    }
}

TEST(BeeperVoice, DurationCountsSamplesAndZeroOrLessSoundsOn)
{
    BeeperVoice voice;
    voice.start(steady(50, 1000));
    std::vector<int16_t> out = render(voice, 3000);
    for (size_t i = 0; i < 1000; ++i) ASSERT_NE(out[i], 0) << i;
    for (size_t i = 1000; i < out.size(); ++i) ASSERT_EQ(out[i], 0) << i;

    for (int duration : {0, -5}) {
        voice.start(steady(50, duration));
        std::vector<int16_t> endless = render(voice, 50000);
        EXPECT_NE(endless.back(), 0) << duration;
        EXPECT_LT(voice.remaining(), 0);
    }
}

TEST(BeeperVoice, PeriodShorterThanThePhaseStaysInsideTheTable)
{
    // From the lowest tone straight to the highest in one step: the phase reached at the
    // long period lies past the short one.
    BeepParameters p;
    p.pitch1 = 255;
    p.pitch2 = 0;
    p.step = -8;
    p.wrap = 15;
    p.interval = 400;
    BeeperVoice voice;
    voice.start(p);
    const std::vector<int16_t> out = render(voice, 50000);
    const BeeperWave& w = beeperWave();
    for (int16_t s : out) ASSERT_NE(std::find(w.begin(), w.end(), s), w.end());
}

TEST(BeepJitter, GivesNoBitsBelowEightAndUpToEightBitsAbove)
{
    uint32_t tick = 1234;
    BeepJitter jitter([&tick] { return tick += 7; });
    jitter.seed(-3);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(jitter.next(7), 0);
    for (int v : {8, 11, 15}) {
        const int limit = 1 << ((v & 7) + 1);
        std::vector<bool> hit(size_t(limit), false);
        for (int i = 0; i < 4000; ++i) {
            const int r = jitter.next(v);
            ASSERT_GE(r, 0);
            ASSERT_LT(r, limit);
            hit[size_t(r)] = true;
        }
        EXPECT_GT(std::count(hit.begin(), hit.end(), true), limit / 2) << "v " << v;
    }
}

TEST(BeeperVoice, CycleJitterSpreadsThePeriod)
{
    BeepParameters p = steady(100);
    p.cycleJitter = 15;  // up to 255 x 6 microseconds longer
    BeeperVoice voice;
    voice.start(p);
    uint32_t tick = 99;
    BeepJitter jitter([&tick] { return ++tick; });
    std::vector<int16_t> out(22050);
    voice.render(out, jitter);
    const double f = measure::frequency(measure::toDouble(out), Rate);
    // Longer on average, never shorter.
    EXPECT_LT(f, expectedFrequency(100) * 0.97);
    EXPECT_GT(f, Rate / ((100 * 85 + 890 + 255 * 6 + 44) / 45 + 1));
}
