// The SYS host calls and the dispatcher as a guest program sees them, through the real
// emulator: each program prints its findings with DebugPrint and quits.
#include "guest_runner.h"

#include <gtest/gtest.h>

#include <cctype>

namespace {

GuestRun runProgram(const char* image, std::vector<std::string> args = {})
{
    GuestRun run = runGuestProgram(image, std::move(args));
    EXPECT_TRUE(run.started);
    EXPECT_FALSE(run.timedOut) << run.describe();
    EXPECT_TRUE(run.exited) << run.describe();
    EXPECT_EQ(run.exitCode, 0) << run.describe();
    return run;
}

// True when `line` has the length of `pattern` and equals it except that every '#' in
// the pattern stands for one lower-case hexadecimal digit.
bool matchesHexPattern(const std::string& line, const std::string& pattern)
{
    if (line.size() != pattern.size()) return false;
    for (size_t i = 0; i < line.size(); ++i) {
        if (pattern[i] != '#') {
            if (line[i] != pattern[i]) return false;
        } else if (!isdigit(uint8_t(line[i])) && (line[i] < 'a' || line[i] > 'f')) {
            return false;
        }
    }
    return true;
}

void expectLines(const GuestRun& run, const std::vector<std::string>& lines)
{
    for (const std::string& line : lines)
        EXPECT_TRUE(run.hasLine(line)) << "missing: " << line << "\n" << run.describe();
}

}  // namespace

TEST(GuestSys, UnassignedWordsAndBadRegistersTrapAtTheWord)
{
    GuestRun run = runProgram(GUEST_ILLEGAL_WORDS);
    expectLines(run, {"illegal 00000011 misplaced 00000000"});
}

TEST(GuestSys, ResultsSetD0AndTheConditionCodes)
{
    GuestRun run = runProgram(GUEST_RESULTS);
    expectLines(run, {
                         "execute fffffff9 ccr 00000018",  // -7: X kept, N set
                         "cmdline 00000000 ccr 00000014",  // 0: X kept, Z set
                         "ramsize 01000000 d0 55aa55aa ccr 0000001f",
                         "cpu 00000020",
                         "host 00000004",
                         "ringget 0000aaaa ccr 00000000",
                         "ringtest ccr 00000004",
                     });
}

TEST(GuestSys, DebugPrintDirectivesAndTextSkipping)
{
    GuestRun run = runProgram(GUEST_DEBUG_PRINT);
    EXPECT_TRUE(run.linesInOrder({"", "a", "ab", "abc", "count 00000004"})) << run.describe();
    expectLines(run, {
                         "pct % done",
                         "d0 12345678 a1 00abcdef",
                         "str <Hi\u00a3> null <(null)>",
                         "mem 00 03 48 69 60 0a 01 02 03 04 05 06 07 08 09 0a  ..Hi\u00a3" + std::string(11, '.'),
                         "broken xqy q 8 9z Z end",
                         "after mask",
                     });
    // The dump takes two lines of its own; the text's line end follows it.
    std::vector<std::string> lines = run.lines();
    const std::string dataLine =
        "regs D0 12345678 D1 ######## D2 ######## D3 00000000 D4 ######## "
        "D5 00000004 D6 ######## D7 ########";
    const std::string addressLine =
        "A0 ######## A1 00abcdef A2 000##### A3 ######## A4 ######## "
        "A5 ######## A6 ######## A7 00020000";
    bool found = false;
    for (size_t i = 0; i + 2 < lines.size() && !found; ++i)
        found = matchesHexPattern(lines[i], dataLine) && matchesHexPattern(lines[i + 1], addressLine) &&
                lines[i + 2].empty();
    EXPECT_TRUE(found) << run.describe();
}

TEST(GuestSys, DebugMaskFromTheGuestSilencesTheLog)
{
    GuestRun run = runImage(GUEST_DEBUG_PRINT);
    ASSERT_TRUE(run.exited) << run.describe();
    EXPECT_TRUE(run.hasLine("ZEM: Emulation started")) << run.describe();
    EXPECT_TRUE(run.hasLine("after mask"));
    EXPECT_FALSE(run.hasLine("ZEM: QuitEmulation")) << run.describe();
}

TEST(GuestSys, CommandLineAgainstBufferSizes)
{
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {{}, {"small 00000000 length 00000000", "seven 00000000 text <>", "beyond fffffff1"}},
        {{"-CMDLINE", "x"}, {"small fffffffb length 0000ffff", "seven 00000000 text <x>", "beyond fffffff1"}},
        {{"-CMDLINE", "hello"}, {"small fffffffb length 0000ffff", "seven 00000000 text <hello>", "beyond fffffff1"}},
        {{"-CMDLINE", "hello!"}, {"seven fffffffb text <>", "large 00000000 text <hello!>"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? "no -CMDLINE" : c.args[1]);
        expectLines(runProgram(GUEST_COMMAND_LINE, c.args), c.lines);
    }
}

TEST(GuestSys, ClearMemoryAndRegisterSaveArea)
{
    GuestRun run = runProgram(GUEST_MEMORY_OPS);
    EXPECT_TRUE(run.contains("cleared 00 00 00 00 00 00 00 00 ff ff ff ff ff ff ff ff  ")) << run.describe();
    EXPECT_TRUE(run.contains("untouched ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff  ")) << run.describe();
    expectLines(run, {
                         "D0 d0d0d0d0 D1 d1d1d1d1 D2 d2d2d2d2 D3 d3d3d3d3 D4 d4d4d4d4 D5 d5d5d5d5 D6 d6d6d6d6 "
                         "D7 d7d7d7d7",
                         "A0 a0a0a0a0 A1 a1a1a1a1 A2 a2a2a2a2 A3 a3a3a3a3 A4 a4a4a4a4 A5 a5a5a5a5 A6 a6a6a6a6 "
                         "A7 0001f000",
                     });
}

TEST(GuestSys, WindowRequestsAndClipboardRoundTrip)
{
    GuestRunOptions options;
    options.args = {"-OS", GUEST_WINDOW_CLIPBOARD, "-DBG", "1"};
    options.iniContents = "";
    GuestRun run = runGuest(options);
    ASSERT_TRUE(run.exited) << run.describe();
    expectLines(run, {
                         "ZEM: Window title \"Guest \u00a3 1\"",
                         "title 00000000",
                         "foreground 00000000 00000000",
                         "flash 00000000",
                         "put 00000000",
                         // "A\r\nB\r\nC\u00a3" on the host: 8 bytes in its code page, + 1.
                         "fetch 00000000 size 00000009",
                         "get <A",
                         "B",
                         "C\u00a3>",
                         "length 00000006",
                     });
    // The empty title falls back to the program name and its version.
    const std::string fallback = "ZEM: Window title \"ZEM II ";
    size_t at = run.standardError.find(fallback);
    ASSERT_NE(at, std::string::npos) << run.describe();
    EXPECT_TRUE(isdigit(uint8_t(run.standardError[at + fallback.size()]))) << run.describe();
}
