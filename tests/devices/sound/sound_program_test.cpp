// Sound from guest programs in the real emulator, heard through SDL's "disk" audio
// driver, which writes the device's 44100 Hz 16-bit stereo stream to a file.
#include "guest_runner.h"
#include "signal_analysis.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

constexpr double Rate = 44100;
const std::string AutomaticIni = "[Sound]\r\nEnabled=2\r\nBeepVolume=100\r\nVSNDVolume=100\r\n";
const std::string EnabledIni = "[Sound]\r\nEnabled=1\r\nBeepVolume=100\r\nVSNDVolume=100\r\n";

struct Heard {
    GuestRun run;
    std::vector<double> left, right;
};

Heard play(const char* image, const std::string& ini, const std::string& driver = "disk")
{
    const std::string file =
        (std::filesystem::temp_directory_path() / ("zem_sound_" + std::to_string(getpid()) + ".raw")).string();
    std::filesystem::remove(file);
    GuestRunOptions options;
    options.args = {"-OS", image, "-DBG", "33"};
    options.iniContents = ini;
    options.environment = {{"SDL_AUDIODRIVER", driver}, {"SDL_DISKAUDIOFILE", file}};
    Heard heard;
    heard.run = runGuest(options);
    EXPECT_TRUE(heard.run.exited && heard.run.exitCode == 0) << heard.run.describe();
    std::ifstream in(file, std::ios::binary);
    int16_t frame[2];
    while (in.read(reinterpret_cast<char*>(frame), sizeof frame)) {
        heard.left.push_back(frame[0]);
        heard.right.push_back(frame[1]);
    }
    std::filesystem::remove(file);
    return heard;
}

// The stretch from the first to the last sample that is not silent.
std::vector<double> sounding(const std::vector<double>& s)
{
    size_t first = 0, last = s.size();
    while (first < s.size() && s[first] == 0) ++first;
    while (last > first && s[last - 1] == 0) --last;
    return {s.begin() + first, s.begin() + last};
}

std::vector<double> seconds(const std::vector<double>& s, double from, double to)
{
    const size_t a = std::min(s.size(), size_t(from * Rate)), b = std::min(s.size(), size_t(to * Rate));
    return {s.begin() + a, s.begin() + b};
}

}  // namespace

TEST(SoundProgram, BeepHasItsPitchAndDurationAndTheDeviceComesAndGoes)
{
    const Heard h = play(GUEST_BEEP_TONE, AutomaticIni);
    EXPECT_TRUE(h.run.hasLine("active 000000ff")) << h.run.describe();
    EXPECT_TRUE(h.run.hasLine("ended"));
    const std::vector<double> tone = sounding(h.left);
    // Pitch byte 20: a 2505 us period, 56 samples of 22050 Hz; 11025 samples long.
    const double expected = 22050.0 / 56;
    EXPECT_NEAR(measure::frequency(tone, Rate), expected, expected * 0.01);
    EXPECT_NEAR(tone.size() / Rate, 0.5, 0.5);
    EXPECT_GT(tone.size() / Rate, 0.45);
    // Opened at the first sound, released when the beeper stopped.
    EXPECT_TRUE(h.run.linesInOrder({"ZEM: Sound ready", "ZEM: Emulation started", "sound: InitDirectSound start",
                                    "sound: InitDirectSound end", "beep: Playing", "Sound: Stop",
                                    "sound: CleanupDirectSound end", "ZEM: Free sound", "Sound: Thread quit"}))
        << h.run.describe();
}

TEST(SoundProgram, EnabledOpensTheDeviceAtStartUpAndKeepsIt)
{
    const Heard h = play(GUEST_BEEP_TONE, EnabledIni);
    EXPECT_TRUE(
        h.run.linesInOrder({"sound: InitDirectSound end", "ZEM: Sound ready", "ZEM: Emulation started", "beep: Playing",
                            "Sound: Stop", "ZEM: Free sound", "sound: CleanupDirectSound end"}))
        << h.run.describe();
    const int cleanup = h.run.findLine("sound: CleanupDirectSound end");
    EXPECT_GT(cleanup, h.run.findLine("ZEM: Free sound"));
}

TEST(SoundProgram, WithoutAnAudioDeviceTheMachineRunsSilentlyWithOneLine)
{
    GuestRunOptions options;
    options.args = {"-OS", GUEST_BEEP_TONE, "-DBG", "0"};
    options.iniContents = AutomaticIni;
    options.environment = {{"SDL_AUDIODRIVER", "no_such_driver"}};
    const GuestRun run = runGuest(options);
    ASSERT_TRUE(run.exited && run.exitCode == 0 && !run.timedOut) << run.describe();
    EXPECT_TRUE(run.linesInOrder({"active 00000000", "ended"})) << run.describe();
    int soundLines = 0;
    for (const std::string& line : run.lines()) soundLines += line.rfind("sound:", 0) == 0;
    EXPECT_EQ(soundLines, 1) << run.describe();
    EXPECT_FALSE(run.contains("Error:")) << run.describe();  // no message box
}

TEST(SoundProgram, EveryCallGivesItsResultAndBadInputLeavesTheMixerAlone)
{
    const Heard h = play(GUEST_SND_CALLS, EnabledIni);
    const char* lines[] = {
        "beep 12345678 ccr 0000001f active aaaaaaff",
        "stopbeep 12345678 ccr 0000001f active aaaaaa00",
        "beep past ram active aaaaaa00",
        "endless active aaaaaaff",
        "endless stopped aaaaaa00",
        "block past ram 12345678 ccr 0000001f",
        "sampleplay 12345678 ccr 0000001f",
        "samplestop 12345678 ccr 0000001f",
        "reset 12345678 ccr 0000001f",
        "stop 0 00000000 ccr 00000014",
        "stop 2 fffffff1 ccr 00000018",
        "stop 101 00000000",
        "type 1 00000000",
        "type 2 fffffff1",
        "type ff fffffff1",
        "clock 0 00000000",
        "clock ffffffff 00000000",
        "stereo 6 00000000",
        "stereo 7 fffffff1",
        "stereo 300 00000000",
        "volume 255 00000000",
        "play chip 2 fffffff1",
        "play past ram 00000000",
        "illegal 0000000a",
        "play 00000000",
    };
    for (const char* line : lines) EXPECT_TRUE(h.run.hasLine(line)) << "missing: " << line << "\n" << h.run.describe();
    int refused = 0;
    for (const std::string& line : h.run.lines()) refused += line == "vsnd: SetBuffer failed";
    EXPECT_EQ(refused, 2);
    // The last second: channel C at 1773400 / (16 x 400) Hz, 10 % left, 100 % right.
    ASSERT_GT(h.left.size(), size_t(2 * Rate));
    const auto right = seconds(h.right, h.right.size() / Rate - 1.2, h.right.size() / Rate - 0.2);
    const auto left = seconds(h.left, h.left.size() / Rate - 1.2, h.left.size() / Rate - 0.2);
    const double expected = 1773400.0 / 6400;
    EXPECT_NEAR(measure::frequency(right, Rate), expected, expected * 0.01);
    EXPECT_NEAR(measure::toneLevel(left, expected, Rate) / measure::toneLevel(right, expected, Rate), 0.1, 0.01);
}

TEST(SoundProgram, TwoChipsToneByToneOnTheirSides)
{
    const Heard h = play(GUEST_CHIP_TONES, AutomaticIni);
    EXPECT_TRUE(h.run.hasLine("chips done")) << h.run.describe();
    const auto l = seconds(sounding(h.left), 0.5, 1.5), r = seconds(sounding(h.right), 0.5, 1.5);
    ASSERT_EQ(l.size(), size_t(Rate));
    struct Tone {
        double hz;
        double leftOverRight;
    };
    const Tone tones[] = {
        {1773400.0 / 1600, 10},   // chip 0 A: 100 % left, 10 % right
        {1773400.0 / 3200, 1},    // chip 0 B: centre
        {1773400.0 / 5600, 0.1},  // chip 0 C: right
        {1773400.0 / 2400, 1},    // chip 1 B: centre
    };
    for (const Tone& t : tones) {
        const double left = measure::toneLevel(l, t.hz, Rate), right = measure::toneLevel(r, t.hz, Rate);
        EXPECT_GT(left + right, 1000) << t.hz;
        EXPECT_NEAR(left / right, t.leftOverRight, t.leftOverRight * 0.05) << t.hz;
    }
}

TEST(SoundProgram, SampledStreamPlaysItsRingAndTakesItAll)
{
    const Heard h = play(GUEST_SAMPLED_TONE, AutomaticIni);
    const std::vector<double> tone = seconds(sounding(h.left), 0.05, 0.95);
    EXPECT_NEAR(measure::frequency(tone, Rate), 500, 5);
    EXPECT_EQ(h.left, h.right);
    // Everything taken: the read position stands at the write position.
    const auto lines = h.run.lines();
    bool found = false;
    for (const std::string& line : lines)
        if (line.rfind("write ", 0) == 0) {
            found = true;
            EXPECT_EQ(line.substr(6, 8), line.substr(20, 8)) << line;
        }
    EXPECT_TRUE(found) << h.run.describe();
}
