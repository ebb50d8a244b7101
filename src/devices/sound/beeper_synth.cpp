#include "devices/sound/beeper_synth.h"

#include <algorithm>
#include <cstdlib>

namespace {

BeeperWave buildWave()
{
    BeeperWave w{};
    auto d = [](int k) { return (k * 16384) / 11; };
    for (int k = 0; k <= 10; ++k) w[k] = int16_t(16383 + d(k));
    for (int i = 11; i <= 21; ++i) w[i] = 32767;
    for (int k = 1; k <= 10; ++k) w[21 + k] = int16_t(32767 - d(k));
    constexpr int16_t fall[10] = {-16384, -18022, -19660, -21299, -22937, -24576, -26214, -27852, -29491, -31129};
    for (int k = 0; k < 10; ++k) w[32 + k] = fall[k];
    for (int i = 42; i <= 53; ++i) w[i] = -32767;
    for (int k = 1; k <= 10; ++k) w[53 + k] = int16_t(d(k) - 32767);
    return w;
}

// Pitch bytes count from 1; 0 stands for the lowest tone.
int pitchFromByte(uint8_t b) { return b == 0 ? 255 : b - 1; }

}  // namespace

const BeeperWave& beeperWave()
{
    static const BeeperWave wave = buildWave();
    return wave;
}

BeepParameters decodeBeepBlock(const uint8_t block[8])
{
    BeepParameters p;
    p.pitch1 = pitchFromByte(block[0]);
    p.pitch2 = pitchFromByte(block[1]);
    p.interval = unsigned(block[2]) | unsigned(block[3]) << 8;
    p.duration = int16_t(uint16_t(block[4] | block[5] << 8));
    p.step = int8_t(block[6]) >> 4;
    p.wrap = block[6] & 0xF;
    p.cycleJitter = block[7] >> 4;
    p.stepJitter = block[7] & 0xF;
    return p;
}

int BeepJitter::next(int v)
{
    seed_ = seed_ * 134775813u + (tick_ ? tick_() : 0);
    if (v < 8) return 0;
    return int((seed_ >> 12) & ((2u << (v & 7)) - 1));
}

void BeeperVoice::start(const BeepParameters& p)
{
    startPitch_ = p.step >= 0 ? p.pitch1 : p.pitch2;
    stepSize_ = std::abs(p.step);
    low_ = std::min(p.pitch1, p.pitch2);
    high_ = std::max(p.pitch1, p.pitch2);
    up_ = startPitch_ == low_;
    pitch_ = startPitch_;
    wrap_ = wrapCounter_ = p.wrap;
    intervalLength_ = int(p.interval + 1) * BeeperRate::IntervalScale;
    phase_ = 0;
    periodJitter_ = 0;
    period_ = startPitch_ * BeeperRate::PeriodPerPitch + BeeperRate::PeriodBase;
    remaining_ = p.duration * BeeperRate::DurationScale;
    if (remaining_ == 0) remaining_ = -1;
    cycleJitter_ = p.cycleJitter;
    stepJitter_ = p.stepJitter;
}

void BeeperVoice::stepPitch(BeepJitter& jitter)
{
    if (low_ == high_) {
        pitch_ = low_;
    } else {
        pitch_ += up_ ? stepSize_ : -stepSize_;
        if (pitch_ < low_ || pitch_ > high_) {
            if (wrap_ > 0 && wrapCounter_ < BeeperRate::WrapForever) --wrapCounter_;
            if (wrap_ != 0 && wrapCounter_ != -1) {
                pitch_ = up_ ? low_ : high_;
            } else {
                wrapCounter_ = wrap_;
                pitch_ -= (up_ ? 2 : -2) * stepSize_;
                up_ = !up_;
            }
        }
    }
    period_ = (pitch_ + jitter.next(stepJitter_)) * BeeperRate::PeriodPerPitch + BeeperRate::PeriodBase;
}

void BeeperVoice::render(std::span<int16_t> out, BeepJitter& jitter)
{
    const BeeperWave& wave = beeperWave();
    for (int16_t& sample : out) {
        if (remaining_ == 0) {
            sample = 0;
            continue;
        }
        if (remaining_ > 0) remaining_ = std::max(remaining_ - BeeperRate::DurationScale, 0);
        // Pitches a wide step pushes past the ends still give a positive period; the
        // floor only guards the division.
        const int cycle = std::max(period_ + periodJitter_, 1);
        // A step can shorten the period below the phase already reached; that sample
        // takes the wave's last entry until the phase wraps.
        sample = wave[std::min((phase_ * 64) / cycle, 63)];
        phase_ += BeeperRate::MicrosPerSample;
        if (phase_ >= cycle) {
            phase_ = 0;
            periodJitter_ = BeeperRate::JitterScale * jitter.next(cycleJitter_);
        }
        stepAccumulator_ += BeeperRate::MicrosPerSample;
        if (stepAccumulator_ > intervalLength_) {
            stepAccumulator_ -= intervalLength_;
            stepPitch(jitter);
        }
    }
}
