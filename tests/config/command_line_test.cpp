#include "config/command_line.h"

#include <gtest/gtest.h>

namespace {

struct Parsed {
    CommandLineResult result;
    CommandLineOptions options;
    std::string messages;  // what went to standard error
};

Parsed parse(std::vector<std::string> args)
{
    Parsed p;
    ::testing::internal::CaptureStderr();
    ::testing::internal::CaptureStdout();
    p.result = parseCommandLine(args, p.options);
    ::testing::internal::GetCapturedStdout();
    p.messages = ::testing::internal::GetCapturedStderr();
    return p;
}

}  // namespace

TEST(CommandLine, OptionsAreCaseInsensitiveAndMayStartWithSlash)
{
    Parsed p = parse({"/os", "C:\\QL\\Vrose.bin", "-Dbg", "2049", "-CmdLine", "a \"b\" c", "/ini", "x.ini", "-stretch",
                      "-Snap", "shot.png"});
    ASSERT_EQ(p.result, CommandLineResult::Run) << p.messages;
    // Values are taken exactly as typed.
    EXPECT_EQ(p.options.osFile, "C:\\QL\\Vrose.bin");
    EXPECT_EQ(p.options.debugMask, 2049u);
    EXPECT_TRUE(p.options.debugMaskGiven);
    EXPECT_EQ(p.options.cmdline, "a \"b\" c");
    EXPECT_EQ(p.options.iniFile, "x.ini");
    EXPECT_TRUE(p.options.stretch);
    EXPECT_EQ(p.options.snapFile, "shot.png");
    EXPECT_TRUE(p.messages.empty());
}

TEST(CommandLine, ValueThatLooksLikeAnOptionIsStillTheValue)
{
    Parsed p = parse({"-OS", "-dbg"});
    ASSERT_EQ(p.result, CommandLineResult::Run);
    EXPECT_EQ(p.options.osFile, "-dbg");
    EXPECT_FALSE(p.options.debugMaskGiven);
}

TEST(CommandLine, IllegalParametersAreReportedAndEndTheProgram)
{
    struct Case {
        std::vector<std::string> args;
        const char* shown;
    } cases[] = {
        {{"-frobnicate"}, "Illegal command line parameter:\n-frobnicate"},
        {{"VROSE.BIN"}, "Illegal command line parameter:\nVROSE.BIN"},
        {{"-OS"}, "Illegal command line parameter:\n(null)"},
        {{"-os", "a", "-dbg"}, "Illegal command line parameter:\n(null)"},
        {{"-DBG", "0x10"}, "Illegal command line parameter:\n0x10"},
        {{"-DBG", "-1"}, "Illegal command line parameter:\n-1"},
        {{"-DBG", "4294967296"}, "Illegal command line parameter:\n4294967296"},
        {{"-STRETCH", "--HELP"}, "Illegal command line parameter:\n--HELP"},
    };
    for (const Case& c : cases) {
        Parsed p = parse(c.args);
        EXPECT_EQ(p.result, CommandLineResult::ExitError) << c.shown;
        EXPECT_NE(p.messages.find(c.shown), std::string::npos) << p.messages;
        EXPECT_NE(p.messages.find("ZEM2"), std::string::npos) << p.messages;
    }
}

TEST(CommandLine, HelpEndsTheProgramWithoutRunning)
{
    for (const char* arg : {"-h", "-H", "/h", "-?", "/?", "--help", "--version"}) {
        Parsed p = parse({"-os", "x", arg, "-bogus"});
        EXPECT_EQ(p.result, CommandLineResult::ExitOk) << arg;
    }
    Parsed p = parse({"-h"});
    EXPECT_NE(p.messages.find("-os file\t\tSet name of operating system file"), std::string::npos) << p.messages;
    EXPECT_EQ(p.messages.find("-dbg"), std::string::npos) << "the debug option is not advertised";
}

TEST(CommandLine, LargestDebugMaskIsAccepted)
{
    Parsed p = parse({"-DBG", "4294967295"});
    ASSERT_EQ(p.result, CommandLineResult::Run);
    EXPECT_EQ(p.options.debugMask, 0xFFFFFFFFu);
}
