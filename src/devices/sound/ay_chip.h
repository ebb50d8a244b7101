// One AY-3-8910 / YM2149 sound chip: three square-wave tone channels, a noise generator,
// one envelope, the mixer and a stereo placement, run in 20 ms slices and written as
// band-limited 44100 Hz stereo frames. Pure logic; the engine feeds it registers and
// copies its frames into the chip's looping buffer.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace AyDefaults {
constexpr uint32_t Clock = 1773400;
constexpr uint32_t OutputRate = 44100;
constexpr int Volume = 32767;
constexpr int StereoMode = 1;
constexpr unsigned RegisterCount = 16;
constexpr unsigned HandedOverRegisters = 14;  // R0-R13 per play call
constexpr unsigned SlicesPerSecond = 50;      // one slice per refill: 20 ms
constexpr uint32_t FramesPerSliceMax = 1024;  // 882 on average
// Clocks outside this range are held to it: far below real chips a slice holds too few
// steps to give an even 882 frames (at 0 none at all), and far above them one slice would
// cost the sound thread more than the 20 ms it stands for.
constexpr uint32_t MinClock = 8000;
constexpr uint32_t MaxClock = 16000000;
}  // namespace AyDefaults

namespace AyType {
constexpr int Ay = 0;
constexpr int Ym = 1;
}  // namespace AyType

namespace AyStereo {
constexpr int Modes = 7;
}

// Band-limited step table: W[i] = integer part of 65536 x (c[0] + ... + c[i-1]) of a
// 128-tap Hamming-windowed sinc; W[128] = 65536.
const std::array<int32_t, 129>& ayStepTable();

struct AyFrame {
    int16_t left = 0;
    int16_t right = 0;
};

class AyChip {
public:
    AyChip();

    // Timing at a new clock (sample rate 44100): slice counters to 0, every register
    // written again so that each takes effect, noise register reset.
    void setClock(uint32_t clock);
    uint32_t clock() const { return clock_; }
    // Output tables from volume (0 ... 32767), level table and stereo mode.
    void setType(int type);
    void setVolume(int volume);
    void setStereoMode(int mode);
    int type() const { return type_; }
    int volume() const { return volume_; }
    int stereoMode() const { return stereoMode_; }

    // Writes register r (above 15 ignored) with the per-register mask.
    void writeRegister(unsigned r, uint8_t value);
    uint8_t reg(unsigned r) const { return r < AyDefaults::RegisterCount ? regs_[r] : 0; }

    // Runs one 20 ms slice and appends its completed frames (882 on average) to `out`.
    void runSlice(std::vector<AyFrame>& out);

    // One table entry: volume x level[i] x pan / 19660500.
    int tableEntry(unsigned channel, bool right, unsigned index) const { return tables_[channel][right][index]; }
    int envelopeLevel() const { return envelopeLevel_; }
    // One generator step (8 clock cycles), for tests of the generators.
    void step();
    // Current left and right sums of the three channels.
    int left() const { return left_; }
    int right() const { return right_; }

private:
    void rebuildTables();
    void startEnvelope();
    void addChange(int64_t time, int dl, int dr);

    std::array<uint8_t, AyDefaults::RegisterCount> regs_{};
    int type_ = AyType::Ay;
    int volume_ = AyDefaults::Volume;
    int stereoMode_ = AyDefaults::StereoMode;
    uint32_t clock_ = AyDefaults::Clock;
    std::array<std::array<std::array<int, 32>, 2>, 3> tables_{};

    // Generators.
    std::array<int, 3> tonePeriod_{};
    std::array<int, 3> toneCounter_{};
    std::array<bool, 3> toneOut_{};
    std::array<int, 3> fixedIndex_{};
    std::array<bool, 3> envelopeMode_{};
    int noiseLimit_ = 0;
    int noiseCounter_ = 0;
    uint32_t noiseShift_ = 0xFFFF;
    bool noiseOut_ = false;
    int envelopePeriod_ = 0;
    int envelopeCounter_ = 0;
    int envelopeLevel_ = 0;
    int envelopeDirection_ = 0;  // +1, -1, or 0 while holding
    int left_ = 0, right_ = 0;

    // Slices: k slices and K steps run since the timing was set; H steps handed to the
    // output and Q output time taken out (1/64 sample units).
    uint64_t steps_per_second_ = 0;  // clock / 8
    uint64_t rho_ = 0;               // output time per step, x 4096
    uint64_t slices_ = 0, stepsRun_ = 0, stepsHanded_ = 0, timeTaken_ = 0;
    int64_t sliceOffset_ = 0;  // O: where the previous slice ended, 0 ... 63
    // Deltas of the band-limited sums per output sample of this slice (two carried over).
    std::vector<int64_t> deltaLeft_, deltaRight_;
    int64_t sumLeft_ = 0, sumRight_ = 0;
    int lastLeft_ = 0, lastRight_ = 0;
};
