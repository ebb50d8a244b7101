#include "devices/sound/ay_chip.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr std::array<uint8_t, 16> RegisterMask = {255, 15, 255, 15,  255, 15, 31,  255,
                                                  31,  31, 31,  255, 255, 15, 255, 255};

constexpr std::array<int32_t, 32> AyLevels = {
    0,     0,     832,   832,   1216,  1216,  1778,  1778,  2628,  2628,  3859,  3859,  5392,  5392,  8830,  8830,
    10399, 10399, 16718, 16718, 23329, 23329, 29272, 29272, 36958, 36958, 46416, 46416, 55200, 55200, 65535, 65535};
constexpr std::array<int32_t, 32> YmLevels = {
    0,    0,    239,  464,  656,   810,   1006,  1234,  1553,  1922,  2322,  2614,  3121,  3766,  4400,  5024,
    5969, 7157, 8418, 9620, 11425, 13695, 15941, 18270, 21762, 26144, 30512, 34884, 41426, 49410, 57506, 65535};

struct Pan {
    int left, right;
};
// Per mode: channels A, B, C.
constexpr Pan Pans[AyStereo::Modes][3] = {
    {{100, 100}, {100, 100}, {100, 100}}, {{100, 10}, {66, 66}, {10, 100}}, {{100, 10}, {10, 100}, {66, 66}},
    {{66, 66}, {100, 10}, {10, 100}},     {{10, 100}, {100, 10}, {66, 66}}, {{66, 66}, {10, 100}, {100, 10}},
    {{10, 100}, {66, 66}, {100, 10}},
};

constexpr int64_t TableDivisor = 19660500;
constexpr int StepFull = 65536;
constexpr unsigned Phases = 64;
constexpr unsigned StepsPerCycle = 8;  // clock cycles per generator step
constexpr unsigned SliceUnits = 10;    // a slice is 10 units of 1/500 s
constexpr unsigned UnitsPerSecond = 500;
constexpr unsigned RhoShift = 12;
constexpr unsigned RhoScaleBits = 18;
constexpr int MaxLevel = 31;

namespace Reg {
constexpr unsigned Mixer = 7;
constexpr unsigned AmplitudeA = 8;
constexpr unsigned EnvelopeLow = 11;
constexpr unsigned EnvelopeHigh = 12;
constexpr unsigned EnvelopeShape = 13;
constexpr unsigned NoisePeriod = 6;
}  // namespace Reg
constexpr uint8_t EnvelopeModeBit = 0x10;
constexpr uint8_t AttackBit = 0x04;

std::array<int32_t, 129> buildStepTable()
{
    std::array<double, 128> c{};
    double total = 0;
    for (int i = 0; i < 128; ++i) {
        const double x = (i - 63.5) / 128.0;
        const double sinc = std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
        c[i] = sinc * (0.54 - 0.46 * std::cos(2 * std::numbers::pi * i / 127.0));
        total += c[i];
    }
    std::array<int32_t, 129> w{};
    double partial = 0;
    for (int i = 0; i < 128; ++i) {
        w[i] = int32_t(65536.0 * partial / total);
        partial += c[i];
    }
    w[128] = StepFull;
    return w;
}

}  // namespace

const std::array<int32_t, 129>& ayStepTable()
{
    static const std::array<int32_t, 129> table = buildStepTable();
    return table;
}

AyChip::AyChip()
{
    rebuildTables();
    setClock(AyDefaults::Clock);
}

void AyChip::rebuildTables()
{
    const auto& levels = type_ == AyType::Ym ? YmLevels : AyLevels;
    for (unsigned ch = 0; ch < 3; ++ch) {
        const Pan pan = Pans[stereoMode_][ch];
        for (unsigned i = 0; i < 32; ++i) {
            tables_[ch][0][i] = int(int64_t(volume_) * levels[i] * pan.left / TableDivisor);
            tables_[ch][1][i] = int(int64_t(volume_) * levels[i] * pan.right / TableDivisor);
        }
    }
}

void AyChip::setType(int type)
{
    type_ = type == AyType::Ym ? AyType::Ym : AyType::Ay;
    rebuildTables();
}

void AyChip::setVolume(int volume)
{
    volume_ = std::clamp(volume, 0, AyDefaults::Volume);
    rebuildTables();
}

void AyChip::setStereoMode(int mode)
{
    stereoMode_ = std::clamp(mode, 0, AyStereo::Modes - 1);
    rebuildTables();
}

void AyChip::setClock(uint32_t clock)
{
    clock_ = std::clamp(clock, AyDefaults::MinClock, AyDefaults::MaxClock);
    steps_per_second_ = clock_ / StepsPerCycle;
    rho_ = (uint64_t(AyDefaults::OutputRate) << RhoScaleBits) / steps_per_second_;
    slices_ = stepsRun_ = stepsHanded_ = timeTaken_ = 0;
    sliceOffset_ = 0;
    for (unsigned r = 0; r < AyDefaults::RegisterCount; ++r) {
        const uint8_t value = regs_[r];
        writeRegister(r, value ^ 1);
        writeRegister(r, value);
    }
    noiseShift_ = 0xFFFF;
}

void AyChip::startEnvelope()
{
    envelopeCounter_ = 0;
    if (regs_[Reg::EnvelopeShape] & AttackBit) {
        envelopeLevel_ = 0;
        envelopeDirection_ = 1;
    } else {
        envelopeLevel_ = MaxLevel;
        envelopeDirection_ = -1;
    }
}

void AyChip::writeRegister(unsigned r, uint8_t value)
{
    if (r >= AyDefaults::RegisterCount) return;
    value &= RegisterMask[r];
    if (r != Reg::EnvelopeShape && value == regs_[r]) return;
    regs_[r] = value;
    if (r < Reg::NoisePeriod) {
        const unsigned ch = r / 2;
        tonePeriod_[ch] = regs_[ch * 2] | regs_[ch * 2 + 1] << 8;
    } else if (r == Reg::NoisePeriod) {
        noiseLimit_ = 2 * value;
    } else if (r >= Reg::AmplitudeA && r < Reg::AmplitudeA + 3) {
        const unsigned ch = r - Reg::AmplitudeA;
        envelopeMode_[ch] = (value & EnvelopeModeBit) != 0;
        fixedIndex_[ch] = 2 * (value & 15) + 1;
    } else if (r == Reg::EnvelopeLow || r == Reg::EnvelopeHigh) {
        envelopePeriod_ = regs_[Reg::EnvelopeLow] | regs_[Reg::EnvelopeHigh] << 8;
    } else if (r == Reg::EnvelopeShape) {
        startEnvelope();
    }
}

void AyChip::step()
{
    for (unsigned ch = 0; ch < 3; ++ch) {
        if (++toneCounter_[ch] >= tonePeriod_[ch]) {
            toneCounter_[ch] = 0;
            toneOut_[ch] = !toneOut_[ch];
        }
    }
    if (++noiseCounter_ >= noiseLimit_) {
        noiseCounter_ = 0;
        const uint32_t old = noiseShift_;
        noiseOut_ = (old >> 15) & 1;
        noiseShift_ = ((old << 1) | (~((old >> 13) ^ (old >> 16)) & 1)) & 0x1FFFF;
    }
    if (++envelopeCounter_ >= envelopePeriod_) {
        envelopeCounter_ = 0;
        const int next = envelopeLevel_ + envelopeDirection_;
        if (envelopeDirection_ != 0 && (next < 0 || next > MaxLevel)) {
            switch (regs_[Reg::EnvelopeShape] & 15) {
            case 8:
            case 12:
                envelopeLevel_ = next & MaxLevel;
                break;
            case 10:
            case 14:
                envelopeDirection_ = -envelopeDirection_;
                break;
            case 11:
            case 13:
                envelopeLevel_ = MaxLevel;
                envelopeDirection_ = 0;
                break;
            default:
                envelopeLevel_ = 0;
                envelopeDirection_ = 0;
                break;
            }
        } else {
            envelopeLevel_ = next;
        }
    }
    const uint8_t mixer = regs_[Reg::Mixer];
    int left = 0, right = 0;
    for (unsigned ch = 0; ch < 3; ++ch) {
        const bool toneOff = mixer & (1u << ch);
        const bool noiseOff = mixer & (8u << ch);
        const bool sounds = (toneOut_[ch] || toneOff) && (noiseOut_ || noiseOff);
        const int index = !sounds ? 0 : envelopeMode_[ch] ? envelopeLevel_ : fixedIndex_[ch];
        left += tables_[ch][0][index];
        right += tables_[ch][1][index];
    }
    left_ = left;
    right_ = right;
}

void AyChip::addChange(int64_t time, int dl, int dr)
{
    const auto& w = ayStepTable();
    const size_t m = size_t(time >> 6);
    const unsigned p = unsigned(time & (Phases - 1));
    if (m + 2 >= deltaLeft_.size()) return;  // cannot happen with a sane step time
    const int64_t a = StepFull - w[Phases + p], b = w[Phases + p] - w[p], c = w[p];
    deltaLeft_[m] += dl * a;
    deltaLeft_[m + 1] += dl * b;
    deltaLeft_[m + 2] += dl * c;
    deltaRight_[m] += dr * a;
    deltaRight_[m + 1] += dr * b;
    deltaRight_[m + 2] += dr * c;
}

void AyChip::runSlice(std::vector<AyFrame>& out)
{
    const size_t need = AyDefaults::FramesPerSliceMax + 3;
    if (deltaLeft_.size() < need) {
        deltaLeft_.resize(need, 0);
        deltaRight_.resize(need, 0);
    }
    const uint64_t s = steps_per_second_;
    const uint64_t target = (uint64_t(SliceUnits) * slices_ + SliceUnits) * s / UnitsPerSecond;
    const uint64_t e = target - stepsRun_;
    for (uint64_t i = 1; i <= e; ++i) {
        step();
        if (left_ != lastLeft_ || right_ != lastRight_) {
            addChange(sliceOffset_ + int64_t((i * rho_) >> RhoShift), left_ - lastLeft_, right_ - lastRight_);
            lastLeft_ = left_;
            lastRight_ = right_;
        }
    }
    stepsHanded_ += e;
    const int64_t endTime =
        int64_t((unsigned __int128)stepsHanded_ * AyDefaults::OutputRate * Phases / s) - int64_t(timeTaken_);
    const size_t m = std::min(size_t(endTime / Phases), size_t(AyDefaults::FramesPerSliceMax));
    for (size_t n = 0; n < m; ++n) {
        sumLeft_ += deltaLeft_[n];
        sumRight_ += deltaRight_[n];
        // The windowed kernel overshoots a little at sharp edges.
        out.push_back({int16_t(std::clamp<int64_t>(sumLeft_ / StepFull, INT16_MIN, INT16_MAX)),
                       int16_t(std::clamp<int64_t>(sumRight_ / StepFull, INT16_MIN, INT16_MAX))});
    }
    // The changes near the end reach into the next two samples.
    std::move(deltaLeft_.begin() + m, deltaLeft_.end(), deltaLeft_.begin());
    std::move(deltaRight_.begin() + m, deltaRight_.end(), deltaRight_.begin());
    std::fill(deltaLeft_.end() - m, deltaLeft_.end(), 0);
    std::fill(deltaRight_.end() - m, deltaRight_.end(), 0);
    timeTaken_ += Phases * m;
    sliceOffset_ = endTime - int64_t(Phases * m);
    ++slices_;
    stepsRun_ += e;
}
