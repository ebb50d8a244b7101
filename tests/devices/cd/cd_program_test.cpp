// CD audio as guest programs see it, through the real emulator against the simulated
// drive (a description file named by ZEM_CD_SIMULATED) and against host devices that are
// missing or are no CD drive. Each program prints its findings with DebugPrint.
#include "guest_runner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr const char* ThreeTracks = "track 1 00:02:00\ntrack 2 03:10:20\ntrack 3 07:45:00\nleadout 12:00:00\n";

std::string hex(uint32_t value)
{
    char text[9];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

class CdProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("zem_cd_" + std::to_string(getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs `image` on a simulated disc with this description.
    GuestRun runOnDisc(const char* image, const std::string& description)
    {
        const fs::path file = dir / "disc.txt";
        std::ofstream(file) << description;
        return run(image, {{"ZEM_CD_SIMULATED", file.string()}});
    }
    // Runs `image` on the host drive at `device`.
    GuestRun runOnDevice(const char* image, const std::string& device)
    {
        return run(image, {{"ZEM_CD_SIMULATED", ""}, {"ZEM_CD_DEVICE", device}});
    }

    GuestRun run(const char* image, std::vector<std::pair<std::string, std::string>> environment)
    {
        GuestRunOptions options;
        options.args = {"-OS", image, "-DBG", "0"};
        options.iniContents = "[Emulation]\nMemory=4\n";
        options.environment = std::move(environment);
        options.workingDirectory = dir.string();
        GuestRun result = runGuest(options);
        EXPECT_FALSE(result.timedOut) << result.describe();
        EXPECT_TRUE(result.exited && result.exitCode == 0) << result.describe();
        return result;
    }

    fs::path dir;
};

void expectLines(const GuestRun& run, const std::vector<std::string>& lines)
{
    EXPECT_TRUE(run.linesInOrder(lines)) << run.describe();
    for (const std::string& line : lines) EXPECT_TRUE(run.hasLine(line)) << "missing: " << line;
}

// The line that starts with `prefix`, split into its hexadecimal words after it.
std::vector<uint32_t> numbersAfter(const GuestRun& run, const std::string& prefix)
{
    for (const std::string& line : run.lines()) {
        if (line.rfind(prefix, 0) != 0) continue;
        std::vector<uint32_t> numbers;
        std::istringstream words(line.substr(prefix.size()));
        std::string word;
        while (words >> word)
            if (word.size() == 8) numbers.push_back(uint32_t(std::stoul(word, nullptr, 16)));
        return numbers;
    }
    ADD_FAILURE() << "no line " << prefix << "\n" << run.describe();
    return {};
}

TEST_F(CdProgram, TableOfContentsStatusAndConversions)
{
    struct Disc {
        const char* description;
        std::vector<std::string> lines;
    } discs[] = {
        {ThreeTracks,
         {"discinfo 00000000 length 000b3a00 tracks 00000301", "track 00000001 start 00000000 00000200",
          "track 00000001 length 00000000 00003728", "track 00000002 start 00000000 00030a14",
          "track 00000002 length 00000000 0000507d", "track 00000003 start 00000000 00072d00",
          "track 00000003 length 00000000 00004ab5", "track 00000004 start fffffff1 00000004",
          "track 00000004 length fffffff1 00000004", "track 0 start fffffff1 00000000",
          "track -1 start 00000000 ffffffff", "track $201 length 00000000 00003728"}},
        // Longer than the 80 minutes the guest's own conversion handles.
        {"track 1 00:02:00\ntrack 2 45:00:00\nleadout 90:00:00\n",
         {"discinfo 00000000 length 00593a00 tracks 00000201", "track 00000001 length 00000000 0003166e",
          "track 00000002 start 00000000 002d0000", "track 00000002 length 00000000 00031704",
          "track 00000003 start fffffff1 00000003"}},
    };
    for (const Disc& disc : discs) {
        GuestRun result = runOnDisc(GUEST_CD_TOC, disc.description);
        std::vector<std::string> lines = {"open 00000000", "open again 00000000"};
        lines.insert(lines.end(), disc.lines.begin(), disc.lines.end());
        lines.insert(lines.end(), {"status 00000000 00000006", "position 00000000 01000000 00000200"});
        expectLines(result, lines);
    }

    GuestRun result = runOnDisc(GUEST_CD_TOC, ThreeTracks);
    const struct {
        uint32_t frames, msf;
    } toMsf[] = {
        {0, 0},
        {74, 0x4A},
        {75, 0x100},
        {4499, 0x3B4A},
        {4500, 0x10000},
        {4653, 0x10203},
        {359999, 0x4F3B4A},
        {360000, 0x500000},
        {360001, 360001},
        {0x80000000, 0x80000000},
        {0xFFFFFFFF, 0xFFFFFFFF},
    };
    for (const auto& c : toMsf)
        EXPECT_TRUE(result.hasLine("f2m " + hex(c.frames) + " " + hex(c.msf) + " d0 12345678 ccr 0000001f"))
            << hex(c.frames);
    const struct {
        uint32_t msf, frames;
    } toFrames[] = {
        {0, 0},
        {0x4A, 74},
        {0x100, 75},
        {0x3B4A, 4499},
        {0x10203, 4653},
        {0x4F3B4A, 359999},
        {0x500000, 360000},
        {0x630000, 445500},
        {0x640000, 450000},
        {0xFF0000, 1147500},
        {0x1000000, 1152000},
        {0x3C00, 4500},
        {0x4B, 75},
        {0xFFFFFFFF, 294926880},
    };
    for (const auto& c : toFrames)
        EXPECT_TRUE(result.hasLine("m2f " + hex(c.msf) + " " + hex(c.frames) + " d0 12345678 ccr 00000000"))
            << hex(c.msf) << "\n"
            << result.describe();
}

TEST_F(CdProgram, PlayPauseResumeStopAndPlaysOffTheDisc)
{
    // Ten times real time: the program's two minutes of track 2 last twelve seconds.
    GuestRun result = runOnDisc(GUEST_CD_PLAY, std::string(ThreeTracks) + "speed 10\n");
    expectLines(result, {
                            "open 00000000",
                            "play 00000000",
                            "status 00000000 00000007",
                            "pause 00000000",
                            "status 00000000 0000000e",
                            "resume 00000000",
                            "status 00000000 00000007",
                            "pause again 00000000",
                            "status 00000000 00000006",
                            "resume when stopped status 00000006",
                            "play the end 00000000",
                            "at the end 03040f00 000c0000",  // track 3 at 4:15:00; 12:00:00
                            "past the last track fffffff1",
                            "from the lead-out fffffff1",
                            "from the lead-in fffffff1",
                            "no length fffffff1",
                            "negative length fffffff1",
                            "300 minutes fffffff1",
                            "track 99 fffffff1 00000063",
                            "eject 00000000",
                            "status 00000000 00000000",
                            "track start, door open ffffffff",
                            "position, door open ffffffff",
                            "close 00000000",
                            "status 00000000 00000006",
                        });
    constexpr uint32_t Track2 = 190 * 75 + 20;
    auto frames = [](uint32_t msf) { return ((msf >> 16) * 60 + ((msf >> 8) & 0xFF)) * 75 + (msf & 0xFF); };

    // While playing: in track 2, past its start, before the end of the play.
    std::vector<uint32_t> moving = numbersAfter(result, "moving ");
    ASSERT_EQ(moving.size(), 3u);
    EXPECT_EQ(moving[0] >> 24, 2u);
    EXPECT_GT(moving[2], 0u) << "the head never moved";
    EXPECT_GT(frames(moving[1]), Track2);
    EXPECT_LT(frames(moving[1]), Track2 + 120 * 75);
    EXPECT_EQ(frames(moving[0] & 0xFFFFFF), frames(moving[1]) - Track2);

    // Paused: the head stays where it was through all the polls.
    std::vector<uint32_t> held = numbersAfter(result, "held ");
    ASSERT_EQ(held.size(), 3u);
    EXPECT_EQ(held[0], held[1]);
    EXPECT_EQ(held[2], 0u);
    // Resumed: it moves on from there.
    std::vector<uint32_t> resumed = numbersAfter(result, "resumed ");
    ASSERT_EQ(resumed.size(), 3u);
    EXPECT_EQ(resumed[0], held[1]);
    EXPECT_GT(frames(resumed[1]), frames(resumed[0]));
    EXPECT_GT(resumed[2], 0u);

    std::vector<uint32_t> ended = numbersAfter(result, "ended status ");
    ASSERT_EQ(ended.size(), 2u);
    EXPECT_EQ(ended[0], 6u);
    EXPECT_GT(ended[1], 0u) << "the play did not end";
}

// The eleven calls the error program makes before and after its open, in its order.
std::vector<std::string> callLines(const std::string& phase, const std::vector<int32_t>& results,
                                   uint32_t statusRegister)
{
    const char* names[] = {"eject", "close",    "status", "discinfo",      "trackstart", "tracklength",
                           "play",  "position", "pause",  "pause stopped", "resume"};
    std::vector<std::string> lines;
    for (size_t i = 0; i < std::size(names); ++i) {
        std::string line = phase + " " + names[i] + " " + hex(uint32_t(results.at(i)));
        if (i == 2) line += " " + hex(statusRegister);
        lines.push_back(line);
    }
    return lines;
}

const std::vector<int32_t> NoDevice = {-6, -6, -7, -7, -7, -7, -7, -7, -7, -7, -7};
constexpr uint32_t Untouched = 0x11111111;

std::vector<std::string> errorLines(int32_t open, const std::vector<int32_t>& after, uint32_t status)
{
    std::vector<std::string> lines = callLines("before", NoDevice, Untouched);
    lines.push_back("open " + hex(uint32_t(open)));
    std::vector<std::string> rest = callLines("after", after, status);
    lines.insert(lines.end(), rest.begin(), rest.end());
    return lines;
}

TEST_F(CdProgram, MachinesWithoutAUsableDriveAnswerAtOnce)
{
    expectLines(runOnDevice(GUEST_CD_ERRORS, (dir / "no-such-drive").string()), errorLines(-7, NoDevice, Untouched));
    expectLines(runOnDevice(GUEST_CD_ERRORS, "/dev/null"), errorLines(-12, NoDevice, Untouched));
    expectLines(runOnDisc(GUEST_CD_ERRORS, std::string(ThreeTracks) + "fail open 288\n"),
                errorLines(-23, NoDevice, Untouched));

    // A description that cannot be used leaves the machine without a drive, and says so.
    GuestRun bad = runOnDisc(GUEST_CD_ERRORS, "track 1 00:02:00\nspin\n");
    expectLines(bad, errorLines(-7, NoDevice, Untouched));
    EXPECT_TRUE(bad.contains("disc.txt: line 2: unknown statement \"spin\"")) << bad.describe();
}

TEST_F(CdProgram, EveryCallReportsTheDrivesFailure)
{
    expectLines(runOnDisc(GUEST_CD_ERRORS, "nodisc\n"), errorLines(0, {0, 0, 0, -1, -1, -1, -1, -1, -1, -1, -1}, 0));

    expectLines(
        runOnDisc(GUEST_CD_ERRORS, std::string(ThreeTracks) + "fail eject 288\nfail close 265\nfail status 348\n"
                                                              "fail play 291\nfail position 262\nfail resume 274\n"),
        errorLines(0, {-23, -16, -16, 0, 0, 0, -23, -1, -1, -1, -19}, Untouched));

    expectLines(runOnDisc(GUEST_CD_ERRORS, std::string(ThreeTracks) + "fail toc 268\nfail stop 272\n"),
                errorLines(0, {0, 0, 0, -18, -18, -18, -18, 0, -15, -15, 0}, 6));
}

TEST_F(CdProgram, UnassignedWordsAndBadRegistersTrapAtTheWord)
{
    expectLines(runOnDisc(GUEST_CD_ILLEGAL, ThreeTracks),
                {"illegal 00000011 misplaced 00000000", "neighbours illegal 00000011 misplaced 00000000"});
}

}  // namespace
