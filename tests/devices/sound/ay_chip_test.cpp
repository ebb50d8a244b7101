// The sound chip: registers, tone and noise generators, envelopes, mixer, stereo
// placement and the band-limited 44100 Hz output.
#include "devices/sound/ay_chip.h"
#include "signal_analysis.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr double Rate = 44100;
constexpr unsigned MixerReg = 7;
constexpr uint8_t AllOff = 0x3F;

struct Rendered {
    std::vector<double> left, right;
};

Rendered run(AyChip& chip, int slices)
{
    std::vector<AyFrame> frames;
    for (int i = 0; i < slices; ++i) chip.runSlice(frames);
    Rendered r;
    for (const AyFrame& f : frames) {
        r.left.push_back(f.left);
        r.right.push_back(f.right);
    }
    return r;
}

void setTone(AyChip& chip, unsigned channel, unsigned period, uint8_t amplitude)
{
    chip.writeRegister(channel * 2, uint8_t(period & 0xFF));
    chip.writeRegister(channel * 2 + 1, uint8_t(period >> 8));
    chip.writeRegister(8 + channel, amplitude);
}

}  // namespace

TEST(AyStepTable, IsTheRunningSumOfTheWindowedSinc)
{
    const auto& w = ayStepTable();
    EXPECT_EQ(w[0], 0);
    EXPECT_EQ(w[1], 52);
    EXPECT_EQ(w[64], 32768);
    EXPECT_EQ(w[127], 65483);
    EXPECT_EQ(w[128], 65536);
}

TEST(AyChip, RegistersKeepOnlyTheirBits)
{
    AyChip chip;
    const uint8_t masks[16] = {255, 15, 255, 15, 255, 15, 31, 255, 31, 31, 31, 255, 255, 15, 255, 255};
    for (unsigned r = 0; r < 16; ++r) {
        chip.writeRegister(r, 0xFF);
        EXPECT_EQ(chip.reg(r), masks[r]) << "R" << r;
    }
    chip.writeRegister(16, 0x12);  // no such register: nothing happens
    EXPECT_EQ(chip.reg(16), 0);
}

TEST(AyChip, EachChannelSoundsAtItsFrequencyOnItsSide)
{
    // Stereo mode 1: A left, B centre, C right.
    struct Case {
        unsigned channel;
        unsigned period;
        int side;  // -1 left, 0 centre, 1 right
    };
    const Case cases[] = {{0, 100, -1}, {1, 250, 0}, {2, 63, 1}};
    for (const Case& c : cases) {
        AyChip chip;
        chip.writeRegister(MixerReg, uint8_t(AllOff & ~(1u << c.channel)));
        setTone(chip, c.channel, c.period, 15);
        const Rendered r = run(chip, 50);
        ASSERT_EQ(r.left.size(), 44100u);
        const double expected = 1773400.0 / (16.0 * c.period);
        EXPECT_NEAR(measure::frequency(r.left, Rate), expected, expected * 0.01) << "channel " << c.channel;
        const double l = measure::rms(r.left), rr = measure::rms(r.right);
        if (c.side < 0) {
            EXPECT_GT(l, 5 * rr);
        } else if (c.side > 0) {
            EXPECT_GT(rr, 5 * l);
        } else {
            EXPECT_NEAR(l, rr, l * 0.01);
        }
    }
}

TEST(AyChip, StereoModesPlaceTheChannels)
{
    // Mode 0: every channel on both sides alike. Mode 4: A right, B left.
    AyChip chip;
    chip.setStereoMode(0);
    chip.writeRegister(MixerReg, 0x38);
    setTone(chip, 0, 100, 15);
    setTone(chip, 1, 170, 12);
    setTone(chip, 2, 230, 9);
    const Rendered same = run(chip, 10);
    EXPECT_EQ(same.left, same.right);

    AyChip placed;
    placed.setStereoMode(4);
    placed.writeRegister(MixerReg, uint8_t(AllOff & ~1u));
    setTone(placed, 0, 100, 15);
    const Rendered a = run(placed, 10);
    EXPECT_GT(measure::rms(a.right), 5 * measure::rms(a.left));
    EXPECT_EQ(placed.tableEntry(1, false, 31), placed.tableEntry(0, true, 31));
}

TEST(AyChip, OutputTablesScaleWithVolumeLevelAndPan)
{
    AyChip chip;
    // 32767 x 65535 x 100 / 19660500 on the full side, x 10 on the far side.
    EXPECT_EQ(chip.tableEntry(0, false, 31), 10922);
    EXPECT_EQ(chip.tableEntry(0, true, 31), 1092);
    EXPECT_EQ(chip.tableEntry(1, false, 31), 7208);
    chip.setType(AyType::Ym);
    EXPECT_EQ(chip.tableEntry(0, false, 2), int(32767LL * 239 * 100 / 19660500));
    chip.setVolume(0);
    EXPECT_EQ(chip.tableEntry(0, false, 31), 0);
}

TEST(AyChip, NoiseHasNoStrongPeak)
{
    AyChip chip;
    chip.writeRegister(MixerReg, uint8_t(AllOff & ~0x08u));  // noise on A only
    chip.writeRegister(6, 5);
    chip.writeRegister(8, 15);
    const Rendered noise = run(chip, 25);
    EXPECT_GT(measure::rms(noise.left), 1000);
    EXPECT_LT(measure::peakToAverage(measure::spectrum(noise.left)), 12);

    // The same measure on a tone, so the bound above tells the two apart.
    AyChip tone;
    tone.writeRegister(MixerReg, uint8_t(AllOff & ~1u));
    setTone(tone, 0, 200, 15);
    EXPECT_GT(measure::peakToAverage(measure::spectrum(run(tone, 25).left)), 50);
}

TEST(AyChip, EnvelopeShapesOverTheirPeriod)
{
    // Level after n envelope periods (one period = R11/R12 steps), for n = 0, 16, 31, 32,
    // 48, 63, 64, 80.
    struct Case {
        uint8_t shape;
        int levels[8];
    };
    const Case cases[] = {
        {13, {0, 16, 31, 31, 31, 31, 31, 31}},  // rise and hold high
        {9, {31, 15, 0, 0, 0, 0, 0, 0}},        // fall and hold low
        {15, {0, 16, 31, 0, 0, 0, 0, 0}},       // rise, then low
        {8, {31, 15, 0, 31, 15, 0, 31, 15}},    // falling ramps
        {12, {0, 16, 31, 0, 16, 31, 0, 16}},    // rising ramps
        {10, {31, 15, 0, 0, 16, 31, 31, 15}},   // falling then rising
        {11, {31, 15, 0, 31, 31, 31, 31, 31}},  // fall, then high
    };
    const int at[8] = {0, 16, 31, 32, 48, 63, 64, 80};
    constexpr int Period = 3;
    for (const Case& c : cases) {
        AyChip chip;
        chip.writeRegister(11, Period);
        chip.writeRegister(13, c.shape);
        int steps = 0;
        for (int i = 0; i < 8; ++i) {
            while (steps < at[i] * Period) {
                chip.step();
                ++steps;
            }
            EXPECT_EQ(chip.envelopeLevel(), c.levels[i]) << "shape " << int(c.shape) << " after " << at[i];
        }
    }
}

TEST(AyChip, EnvelopeRampTakesThirtyTwoPeriodsInTheOutput)
{
    // Shape 13 on channel A with tone and noise off: the output rises in 32 levels of
    // 8 x EP clock cycles each and then stays high.
    AyChip chip;
    chip.setType(AyType::Ym);  // its 32 levels all differ (the AY's come in pairs)
    chip.writeRegister(MixerReg, AllOff);
    chip.writeRegister(8, 0x10);
    chip.writeRegister(11, 0x00);
    chip.writeRegister(12, 0x10);  // EP = 4096: 32 levels in 0.591 s
    chip.writeRegister(13, 13);
    const Rendered r = run(chip, 50);
    // The top level comes after 31 of the 32 periods.
    const double topSeconds = 31.0 * 8 * 4096 / 1773400;
    const double top = r.left.back();
    size_t reached = 0;
    while (reached < r.left.size() && r.left[reached] < top) ++reached;
    EXPECT_NEAR(reached / Rate, topSeconds, 0.002);
    EXPECT_LT(r.left[r.left.size() / 4], top / 2);
}

TEST(AyChip, ShapeRegisterRestartsEvenWithTheSameValue)
{
    AyChip chip;
    chip.writeRegister(11, 1);
    chip.writeRegister(13, 13);
    for (int i = 0; i < 40; ++i) chip.step();
    ASSERT_EQ(chip.envelopeLevel(), 31);
    chip.writeRegister(13, 13);
    EXPECT_EQ(chip.envelopeLevel(), 0);
    // Other registers ignore a repeated value: the tone keeps its count.
    chip.writeRegister(0, 7);
    chip.writeRegister(0, 7);
    EXPECT_EQ(chip.reg(0), 7);
}

TEST(AyChip, SlicesAddUpToTheOutputRateAtAnyClock)
{
    for (uint32_t clock : {1773400u, 2000000u, 1000003u, 0u, 4000000000u}) {
        AyChip chip;
        chip.setClock(clock);
        std::vector<AyFrame> frames;
        size_t most = 0;
        for (int i = 0; i < 100; ++i) {
            const size_t before = frames.size();
            chip.runSlice(frames);
            most = std::max(most, frames.size() - before);
        }
        EXPECT_NEAR(double(frames.size()), 88200.0, 2.0) << clock;
        EXPECT_LE(most, 884u) << clock;
    }
}

TEST(AyChip, ClockChangeKeepsTheRegisters)
{
    AyChip chip;
    chip.writeRegister(MixerReg, uint8_t(AllOff & ~1u));
    setTone(chip, 0, 100, 15);
    chip.setClock(1000000);
    EXPECT_EQ(chip.reg(0), 100);
    EXPECT_EQ(chip.reg(8), 15);
    const double expected = 1000000.0 / (16.0 * 100);
    EXPECT_NEAR(measure::frequency(run(chip, 50).left, Rate), expected, expected * 0.01);
}
