// The engine end to end, through its host calls and the mixer's output, with an output
// the test pulls itself (standing in for the audio device's callback).
#include "core/host_call.h"
#include "core/timer.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"
#include "devices/sound/sound_calls.h"
#include "devices/sound/sound_engine.h"
#include "platform/sound_buffer.h"
#include "signal_analysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

namespace {

constexpr double Rate = 44100;
constexpr unsigned Snd = HostCallGroupId::Snd;
constexpr uint32_t BlockAddress = 0x1000;
constexpr uint32_t ChipRegisters = 0x1100;

class PulledOutput : public SoundOutput {
public:
    bool open(SoundMixer&, std::string& error) override
    {
        ++opens;
        if (!available) error = "none here";
        return available;
    }
    void close() override { ++closes; }
    bool available = true;
    int opens = 0, closes = 0;
};

uint64_t fakeNow = 0;
uint64_t now() { return fakeNow; }

struct Stereo {
    std::vector<double> left, right;
};

class SoundEngineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(memoryAllocate(1)); }
    static void TearDownTestSuite() { memoryRelease(); }

    void SetUp() override
    {
        memset(mem.base, 0, mem.ramSize);
        fakeNow = 100000;
        output = PulledOutput{};
        soundSetOutput(&output);
        soundSetClock(now);
        timerSoundCountdown = 0;
    }
    void TearDown() override
    {
        soundRemoveHostCalls();
        soundShutDown();
        soundSetOutput(nullptr);
        soundSetClock(nullptr);
    }

    void start(int mode, int beepVolume = 100, int vsndVolume = 100)
    {
        soundStart({mode, beepVolume, vsndVolume});
        soundInstallHostCalls();
    }

    // Renders like the device does, letting the sound thread answer each pull.
    Stereo pull(double seconds)
    {
        Stereo out;
        std::vector<int16_t> chunk(512 * 2);
        for (unsigned done = 0; done < unsigned(seconds * Rate); done += 512) {
            soundMixer().render(chunk.data(), 512);
            soundSettle();
            for (size_t i = 0; i < chunk.size(); i += 2) {
                out.left.push_back(chunk[i]);
                out.right.push_back(chunk[i + 1]);
            }
        }
        return out;
    }

    void beep(const std::vector<uint8_t>& block)
    {
        memcpy(mem.base + BlockAddress, block.data(), block.size());
        cpu.A[3] = BlockAddress;
        EXPECT_EQ(hostCall(Snd, 0, 3), HostCallResult::KeepRegisters);
    }
    bool beepActive()
    {
        cpu.D[7] = 0x12345600;
        hostCall(Snd, 1, 3);
        EXPECT_EQ(cpu.D[7] & 0xFFFFFF00, 0x12345600u);
        return (cpu.D[7] & 0xFF) == 0xFF;
    }
    int32_t chipPlay(unsigned chip, const std::vector<uint8_t>& regs)
    {
        memcpy(mem.base + ChipRegisters, regs.data(), regs.size());
        cpu.D[1] = chip;
        cpu.A[4] = ChipRegisters;
        return hostCall(Snd, 4, 4);
    }

    PulledOutput output;
};

// Samples from the first to the last that is not silent.
size_t soundingFrames(const std::vector<double>& s)
{
    size_t first = s.size(), last = 0;
    for (size_t i = 0; i < s.size(); ++i)
        if (s[i] != 0) {
            first = std::min(first, i);
            last = i;
        }
    return first < s.size() ? last - first + 1 : 0;
}

std::vector<double> slice(const std::vector<double>& s, double from, double to)
{
    return {s.begin() + size_t(from * Rate), s.begin() + size_t(to * Rate)};
}

// Beep block: pitch bytes, interval, duration (low bytes first), step and wrap, jitters.
std::vector<uint8_t> steadyBeep(uint8_t pitchByte, int duration)
{
    return {pitchByte, pitchByte, 0, 0, uint8_t(duration & 0xFF), uint8_t((duration >> 8) & 0xFF), 0, 0};
}

}  // namespace

TEST_F(SoundEngineTest, BeepSoundsAtItsPitchForItsDurationAndEndsWithItsTicks)
{
    start(SoundMode::Automatic);
    EXPECT_EQ(output.opens, 0);  // nothing opened before the first sound
    beep(steadyBeep(20, 11025));
    EXPECT_EQ(output.opens, 1);
    EXPECT_TRUE(beepActive());
    const Stereo out = pull(1.5);
    // Pitch 19: 2505 us, 56 samples of 22050 Hz per cycle.
    const double expected = 22050.0 / 56;
    EXPECT_NEAR(measure::frequency(slice(out.left, 0.05, 0.45), Rate), expected, expected * 0.01);
    EXPECT_EQ(out.left, out.right);
    // 11025 samples of 22050 Hz sound; the rest of the halves is silence.
    EXPECT_NEAR(soundingFrames(out.left) / Rate, 0.5, 0.01);

    // (11025 + 55) / 56 ticks end the beep and stop the channel; with nothing else
    // playing the device goes.
    for (int i = 0; i < 196; ++i) timerTick();
    EXPECT_TRUE(beepActive());
    timerTick();
    EXPECT_FALSE(beepActive());
    pull(0.05);
    EXPECT_EQ(output.closes, 1);
}

TEST_F(SoundEngineTest, BeepVolumeIsAttenuationOnTheLevel)
{
    double level[2] = {};
    const int volumes[2] = {100, 50};
    for (int i = 0; i < 2; ++i) {
        start(SoundMode::Enabled, volumes[i]);
        beep(steadyBeep(60, 0));
        level[i] = measure::rms(slice(pull(0.4).left, 0.05, 0.35));
        TearDown();
        SetUp();
    }
    EXPECT_NEAR(measure::decibels(level[1] / level[0]), -50.0, 0.2);
    EXPECT_EQ(soundVolumeAttenuation(50), -5000);
    EXPECT_EQ(soundVolumeAttenuation(0), -10000);
    EXPECT_EQ(soundVolumeAttenuation(100), 0);
}

TEST_F(SoundEngineTest, NewBeepReplacesTheRunningOneAtOnce)
{
    start(SoundMode::Enabled);
    beep(steadyBeep(200, 0));
    pull(0.3);
    beep(steadyBeep(10, 0));
    const Stereo out = pull(0.2);
    const double expected = 22050.0 / ((9 * 85 + 890 + 44) / 45);
    EXPECT_NEAR(measure::frequency(slice(out.left, 0.0, 0.2), Rate), expected, expected * 0.01);
}

TEST_F(SoundEngineTest, StoppedBeepRunsOnSilenceUntilTheIdleTimeOut)
{
    start(SoundMode::Automatic);
    beep(steadyBeep(60, 0));  // until stopped
    pull(0.3);
    EXPECT_TRUE(beepActive());
    EXPECT_EQ(hostCall(Snd, 1, 0), HostCallResult::KeepRegisters);
    EXPECT_FALSE(beepActive());
    const Stereo after = pull(1.0);
    EXPECT_EQ(soundingFrames(slice(after.left, 0.02, 1.0)), 0u);
    EXPECT_EQ(output.closes, 0);  // still running on cleared halves
    fakeNow += 5001;
    pull(0.6);
    EXPECT_EQ(output.closes, 1);
}

TEST_F(SoundEngineTest, EnabledKeepsTheDeviceAndDisabledMakesNothing)
{
    start(SoundMode::Enabled);
    EXPECT_EQ(output.opens, 1);
    beep(steadyBeep(60, 10));
    for (int i = 0; i < 5; ++i) timerTick();
    pull(0.1);
    EXPECT_EQ(output.closes, 0);
    TearDown();

    SetUp();
    start(SoundMode::Disabled);
    beep(steadyBeep(60, 0));
    EXPECT_FALSE(beepActive());
    cpu.D[1] = 0;
    EXPECT_EQ(chipPlay(0, std::vector<uint8_t>(14, 0)), 0);
    cpu.D[1] = 2;
    EXPECT_EQ(hostCall(Snd, 3, 1), -15);  // the normal answer to a bad chip
    EXPECT_EQ(output.opens, 0);
}

TEST_F(SoundEngineTest, WithoutADeviceSoundStaysSilentAndRetriesOnlyWhenAutomatic)
{
    output.available = false;
    start(SoundMode::Enabled);
    beep(steadyBeep(60, 0));
    beep(steadyBeep(60, 0));
    EXPECT_FALSE(beepActive());
    EXPECT_EQ(output.opens, 1);
    TearDown();

    SetUp();
    output.available = false;
    start(SoundMode::Automatic);
    beep(steadyBeep(60, 0));
    EXPECT_EQ(chipPlay(1, std::vector<uint8_t>(14, 0)), 0);
    EXPECT_EQ(output.opens, 2);
    EXPECT_FALSE(beepActive());
}

TEST_F(SoundEngineTest, ChipToneOnTheLeftThroughTheChannel)
{
    start(SoundMode::Enabled);
    // Channel A: period 100, fixed level 15, tone only.
    std::vector<uint8_t> regs = {100, 0, 0, 0, 0, 0, 0, 0x3E, 15, 0, 0, 0, 0, 0};
    EXPECT_EQ(chipPlay(0, regs), 0);
    const Stereo out = pull(1.0);
    const double expected = 1773400.0 / 1600;
    EXPECT_NEAR(measure::frequency(slice(out.left, 0.1, 0.9), Rate), expected, expected * 0.01);
    EXPECT_GT(measure::rms(slice(out.left, 0.1, 0.9)) - std::abs(measure::mean(slice(out.left, 0.1, 0.9))), 0);
    const auto l = slice(out.left, 0.1, 0.9), r = slice(out.right, 0.1, 0.9);
    EXPECT_NEAR(measure::mean(r) / measure::mean(l), 0.1, 0.01);  // A: 100 % left, 10 % right
}

TEST_F(SoundEngineTest, ShapeHandedOverAs255LeavesTheEnvelopeRunning)
{
    start(SoundMode::Enabled);
    // Channel A on the envelope, tone and noise off; shape 13 rising over about 1.2 s.
    std::vector<uint8_t> regs = {0, 0, 0, 0, 0, 0, 0, 0x3F, 0x10, 0, 0, 0, 0x20, 13};
    chipPlay(0, regs);
    const double early = pull(0.6).left.back();
    regs[13] = 255;
    chipPlay(0, regs);
    const double kept = pull(0.1).left.back();
    EXPECT_GT(kept, early);
    regs[13] = 13;
    chipPlay(0, regs);
    const double restarted = pull(0.05).left.back();
    EXPECT_LT(restarted, early / 4);
}

TEST_F(SoundEngineTest, ChipStopsAfterItsIdleTimeOut)
{
    start(SoundMode::Automatic);
    chipPlay(1, {100, 0, 0, 0, 0, 0, 0, 0x3E, 15, 0, 0, 0, 0, 0});
    pull(0.2);
    fakeNow += 5001;
    pull(0.1);
    EXPECT_EQ(output.closes, 1);
}

namespace {

// A guest ring: "VSND" at P - 16, pointers at P + 4 ... P + 12, frames from P + 16.
constexpr uint32_t P = 0x4010;
constexpr uint32_t RingStart = P + 16;

uint32_t readLong(uint32_t a) { return guestReadLong(a); }
void writeLong(uint32_t a, uint32_t v) { guestWriteLong(a, v); }

void makeBlock(uint32_t ringBytes)
{
    memcpy(mem.base + P - 16, "VSND", 4);
    writeLong(P + 4, RingStart);
    writeLong(P + 8, RingStart);
    writeLong(P + 12, RingStart + ringBytes);
}

// Appends frames to the ring as the guest would, wrapping at its end.
void feed(const std::vector<uint8_t>& frames)
{
    uint32_t w = readLong(P + 4);
    const uint32_t end = readLong(P + 12);
    for (uint8_t b : frames) {
        mem.base[w] = b;
        if (++w >= end) w = RingStart;
    }
    writeLong(P + 4, w);
}

std::vector<uint8_t> sineFrames(size_t count, double hz, size_t& phase)
{
    std::vector<uint8_t> f;
    for (size_t i = 0; i < count; ++i, ++phase) {
        const auto v = uint8_t(std::lround(128 + 100 * std::sin(2 * std::numbers::pi * hz * double(phase) / 20000)));
        f.push_back(v);
        f.push_back(v);
    }
    return f;
}

}  // namespace

TEST_F(SoundEngineTest, SampledStreamPlaysAtItsRateWithoutClicksAtTheSeams)
{
    start(SoundMode::Enabled);
    // Not a whole number of cycles per half or per buffer: a half played twice or skipped
    // breaks the wave.
    constexpr double Hz = 517;
    makeBlock(20000 * 2);  // one second of frames
    size_t phase = 0;
    feed(sineFrames(12000, Hz, phase));
    cpu.A[1] = P;
    EXPECT_EQ(hostCall(Snd, 2, 1), HostCallResult::KeepRegisters);
    hostCall(Snd, 1, 1);  // play
    Stereo out;
    for (int i = 0; i < 20; ++i) {
        const Stereo part = pull(0.1);
        out.left.insert(out.left.end(), part.left.begin(), part.left.end());
        // The guest keeps its ring topped up, a tenth of a second at a time.
        feed(sineFrames(2000, Hz, phase));
        hostCall(Snd, 1, 1);
    }
    const auto steady = slice(out.left, 0.05, 1.95);
    EXPECT_NEAR(measure::frequency(steady, Rate), Hz, Hz * 0.01);
    // The sine of amplitude 100 x 256 moves at most 25600 x 2 pi x 517 / 44100 = 1886 per
    // output frame; a seam that dropped or repeated data would jump far more.
    double jump = 0;
    for (size_t i = 1; i < steady.size(); ++i) jump = std::max(jump, std::abs(steady[i] - steady[i - 1]));
    EXPECT_LT(jump, 1886 + 256);
    EXPECT_GT(jump, 1500);
}

TEST_F(SoundEngineTest, StarvedStreamHoldsItsLastFrameAndWritesTheReadPositionBack)
{
    start(SoundMode::Enabled);
    makeBlock(64);
    // 30 frames: the ring wraps once the guest writes past its end.
    std::vector<uint8_t> frames;
    for (int i = 0; i < 30; ++i) {
        frames.push_back(uint8_t(0x80 + i));
        frames.push_back(uint8_t(0x80 - i));
    }
    writeLong(P + 4, RingStart + 40);
    writeLong(P + 8, RingStart + 40);
    cpu.A[0] = P;
    hostCall(Snd, 2, 0);  // handed over empty: a block is refused while read lies past write
    feed(frames);         // 24 bytes up to the end, 36 from the start
    ASSERT_EQ(readLong(P + 4), RingStart + 36);
    hostCall(Snd, 1, 1);
    const Stereo out = pull(0.1);
    EXPECT_EQ(readLong(P + 8), RingStart + 36);  // everything taken, position written back
    EXPECT_EQ(out.left.back(), 29 * 256);
    EXPECT_EQ(out.right.back(), -29 * 256);
    // The stream went on from its last frame, not from silence.
    EXPECT_EQ(slice(out.left, 0.05, 0.1), std::vector<double>(size_t(0.1 * Rate) - size_t(0.05 * Rate), 29 * 256));
}

TEST_F(SoundEngineTest, LostMarkStopsTheStreamAndBadBlocksAreRefused)
{
    start(SoundMode::Automatic);
    makeBlock(4000);
    size_t phase = 0;
    feed(sineFrames(1000, 500, phase));
    // Refused: read after write, end beyond RAM, block at the top of memory.
    const uint32_t good = readLong(P + 4);
    writeLong(P + 8, good + 2);
    cpu.A[0] = P;
    hostCall(Snd, 2, 0);
    writeLong(P + 8, RingStart);
    writeLong(P + 12, mem.ramSize + 2);
    hostCall(Snd, 2, 0);
    cpu.A[0] = mem.ramSize - 8;
    hostCall(Snd, 2, 0);
    hostCall(Snd, 1, 1);
    EXPECT_EQ(measure::rms(pull(0.2).left), 0);  // no block: nothing from the ring
    EXPECT_EQ(readLong(P + 8), RingStart);

    writeLong(P + 12, RingStart + 4000);
    cpu.A[0] = P;
    hostCall(Snd, 2, 0);
    hostCall(Snd, 1, 1);
    pull(0.3);
    EXPECT_NE(readLong(P + 8), RingStart);
    memcpy(mem.base + P - 16, "XSND", 4);
    pull(0.5);
    EXPECT_EQ(output.closes, 1);  // the stream stopped and nothing else plays
}
