// The beeper's tone generator: a 64-step wave read at a period that a pitch sweep moves,
// with optional random jitter, written at 22050 samples per second. Pure logic: the
// engine feeds it the parameter block and a half buffer to fill.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>

namespace BeeperRate {
constexpr unsigned SampleRate = 22050;
constexpr unsigned HalfSamples = 11025;
constexpr int MicrosPerSample = 45;  // phase and sweep advance per sample
constexpr int DurationScale = 72;    // remaining duration per duration unit and per sample
constexpr int IntervalScale = 44;
constexpr int PeriodPerPitch = 85;  // period = pitch * 85 + 890
constexpr int PeriodBase = 890;
constexpr int JitterScale = 6;
constexpr int DurationTicksRound = 55;  // beep ticks = (duration + 55) / 56
constexpr int DurationTicksDivisor = 56;
constexpr int WrapForever = 15;
}  // namespace BeeperRate

using BeeperWave = std::array<int16_t, 64>;
const BeeperWave& beeperWave();

// The 8-byte block as the guest hands it over (two 16-bit values low byte first).
struct BeepParameters {
    int pitch1 = 0;  // 0-255
    int pitch2 = 0;
    unsigned interval = 0;
    int duration = 0;     // signed
    int step = 0;         // -8 ... 7
    int wrap = 0;         // 0-15
    int cycleJitter = 0;  // 0-15
    int stepJitter = 0;   // 0-15
};
BeepParameters decodeBeepBlock(const uint8_t block[8]);

// A pseudo-random source for the jitter: seed = seed * 134775813 + tick; the host's tick
// count enters each draw, so the engine passes a clock, tests a fixed one.
class BeepJitter {
public:
    explicit BeepJitter(std::function<uint32_t()> tick = {}) : tick_(std::move(tick)) {}
    void seed(int32_t value) { seed_ = uint32_t(value); }
    // 0 for v below 8, else (v & 7) + 1 random bits.
    int next(int v);

private:
    std::function<uint32_t()> tick_;
    uint32_t seed_ = 0;
};

class BeeperVoice {
public:
    // Starts a beep from its parameters (the step accumulator carries over).
    void start(const BeepParameters& p);
    // Writes samples; each advances the wave, the sweep and the remaining duration.
    void render(std::span<int16_t> out, BeepJitter& jitter);

    int lowPitch() const { return low_; }
    int highPitch() const { return high_; }
    int startPitch() const { return startPitch_; }
    int pitch() const { return pitch_; }
    int period() const { return period_; }
    int stepSize() const { return stepSize_; }
    int32_t remaining() const { return remaining_; }

private:
    void stepPitch(BeepJitter& jitter);

    int low_ = 0, high_ = 0, pitch_ = 0, startPitch_ = 0;
    bool up_ = true;
    int stepSize_ = 0;
    int wrap_ = 0, wrapCounter_ = 0;
    int intervalLength_ = 44;
    int stepAccumulator_ = 0;
    int phase_ = 0;
    int period_ = BeeperRate::PeriodBase;
    int periodJitter_ = 0;
    int32_t remaining_ = 0;
    int cycleJitter_ = 0, stepJitter_ = 0;
};
