// The whole configuration read: image blocks, then the configuration file chosen by the
// command line or the search, and the way back into the file at exit.
#include "block_builder.h"
#include "config/config_blocks.h"
#include "config/configuration.h"
#include "config/settings.h"
#include "platform/ini_file.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

constexpr size_t CopySize = 0x18000;

using zemtest::readFile;

class ConfigurationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings = Settings{};
        configState = ConfigurationState{};
        savedCwd = fs::current_path();
        fs::create_directories(root / "prog");
        fs::create_directories(root / "sys1");
        fs::create_directories(root / "sys2" / "zem2");
        where.programDir = (root / "prog").string();
        where.systemConfigDirs = (root / "sys1").string() + ":" + (root / "sys2").string();
        where.userConfigDir = (root / "user").string();
    }
    void TearDown() override
    {
        fs::current_path(savedCwd);
        settings = Settings{};
        scanConfigBlocks(nullptr, 0);
    }
    static void write(const fs::path& p, const std::string& text) { zemtest::writeFile(p, text); }

    zemtest::TempDir dir{"zem-cfg"};
    fs::path root = dir.path(), savedCwd;
    IniLocations where;
    std::vector<uint8_t> copy = std::vector<uint8_t>(CopySize, 0);
};

TEST_F(ConfigurationTest, ImageBlockThenFileThenCommandLineChoice)
{
    struct Case {
        const char* name;
        const char* besideProgram;  // zem.ini beside the program (nullptr: none)
        const char* inSystemDir;    // zem.ini in the second system folder
        const char* requested;      // -INI file contents (nullptr: no -INI)
        int memory, country, foreground;
        const char* dos1;
        const char* chosen;  // the file used, relative to the test folder
    } cases[] = {
        {"block only", nullptr, nullptr, nullptr, 24, 33, ThreadPriority::AboveNormal, "/blk", "user/zem2/zem.ini"},
        {"system folder", nullptr, "[Emulation]\nMemory=32\n", nullptr, 32, 33, ThreadPriority::AboveNormal, "/blk",
         "sys2/zem2/zem.ini"},
        {"beside program", "[emulation]\nmemory=48\n[DOS]\nDOS1=/ini\n", "[Emulation]\nMemory=32\n", nullptr, 48, 33,
         ThreadPriority::AboveNormal, "/ini", "prog/zem.ini"},
        {"-INI wins", "[Emulation]\nMemory=48\n", nullptr, "[Emulation]\nMemory=64\nForegroundPrio=1\n", 64, 33,
         ThreadPriority::Lowest, "/blk", "given.ini"},
        {"low 8 bits", nullptr, nullptr, "[Emulation]\nMemory=300\n[General]\nCountryCode=-1\n", 44, -1,
         ThreadPriority::AboveNormal, "/blk", "given.ini"},
        {"bad values keep the block's", nullptr, nullptr,
         "[Emulation]\nMemory=lots\nForegroundPrio=9\n[General]\nCountryCode=\n[DOS]\nDOS1\n", 24, 33,
         ThreadPriority::AboveNormal, "/blk", "given.ini"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        settings = Settings{};
        fs::remove_all(root / "user");
        fs::remove(root / "prog" / "zem.ini");
        fs::remove(root / "sys2" / "zem2" / "zem.ini");
        if (c.besideProgram) write(root / "prog" / "zem.ini", c.besideProgram);
        if (c.inSystemDir) write(root / "sys2" / "zem2" / "zem.ini", c.inSystemDir);
        where.requested.clear();
        if (c.requested) {
            write(root / "given.ini", c.requested);
            where.requested = (root / "given.ini").string();
        }
        std::fill(copy.begin(), copy.end(), 0);
        BlockBuilder("Generic settings", "3.01")
            .byte("ZEMM", 24)
            .word("ZEML", 33)
            .byte("ZE2F", 4)
            .text("ZED1", "/blk")
            .writeTo(copy, 0x1000);

        ASSERT_TRUE(readConfiguration(copy.data(), copy.size(), where));
        EXPECT_EQ(configState.imageVersion, "3.01");
        EXPECT_EQ(settings.Memory, c.memory);
        EXPECT_EQ(settings.CountryCode, c.country);
        EXPECT_EQ(settings.ForegroundPrio, c.foreground);
        EXPECT_EQ(settings.DOS[0], c.dos1);
        EXPECT_EQ(configState.iniPath, (root / c.chosen).string());
        const std::string dir = fs::path(configState.iniPath).parent_path().string();
        EXPECT_EQ(getenv("INIPATH"), dir);
        EXPECT_EQ(fs::current_path(), fs::path(dir));
        EXPECT_TRUE(fs::is_directory(dir));
    }
}

TEST_F(ConfigurationTest, FailuresOfTheSearchAbandon)
{
    where.requested = (root / "missing.ini").string();
    EXPECT_FALSE(readConfiguration(copy.data(), copy.size(), where));
    where.requested.clear();
    where.userConfigDir.clear();
    EXPECT_FALSE(readConfiguration(copy.data(), copy.size(), where));
    where.systemConfigDirs.clear();
    EXPECT_FALSE(readConfiguration(copy.data(), copy.size(), where));
}

TEST_F(ConfigurationTest, ReadingTheFileCoversEveryKind)
{
    write(root / "given.ini",
          "[General]\nShowDialog=1\n[Parallel]\nPrinter1=Laser Jet\nPrinter2=def\nPrinter3=\nFilter1=1\n"
          "[FLP]\nFLP1=" +
              std::string(300, 'f') + "\n[Screen]\nWindowPosX=-20\nWindowPosY=4294967295\n");
    where.requested = (root / "given.ini").string();
    settings.ParallelPrinter[1] = "kept";
    settings.ParallelPrinter[2] = "cleared";
    ASSERT_TRUE(readConfiguration(copy.data(), copy.size(), where));
    EXPECT_EQ(configState.showDialogAsRead, 1);
    EXPECT_FALSE(configState.iniReadOnly);
    EXPECT_EQ(settings.ParallelPrinter[0], "Laser Jet");
    EXPECT_EQ(settings.ParallelPrinter[1], "kept");
    EXPECT_EQ(settings.ParallelPrinter[2], "");
    EXPECT_EQ(settings.ParallelFilter[0], 1);
    EXPECT_EQ(settings.FLP[0], std::string(255, 'f'));
    EXPECT_EQ(settings.WindowPosX, -20);
    EXPECT_EQ(settings.WindowPosY, -1);
    EXPECT_EQ(settings.AlwaysRemovable, 1);  // missing key: default
}

TEST_F(ConfigurationTest, AtExitOnlyTheWindowPositionIsWrittenAndTheRestSurvives)
{
    const std::string original =
        "; written by hand\n[General]\nCountryCode=49\nMyNote=do not lose\n\n[Screen]\nWindowPosX=1\n"
        "; position above\n[Emulation]\nMemory=8\nForegroundPrio=1\n";
    write(root / "given.ini", original);
    where.requested = (root / "given.ini").string();
    ASSERT_TRUE(readConfiguration(copy.data(), copy.size(), where));
    EXPECT_EQ(settings.ForegroundPrio, ThreadPriority::Lowest);
    settings.WindowPosX = 640;
    settings.Memory = 99;  // not an at-exit setting
    // WindowPosY keeps "no position": it gets no line.
    writeIniFile(true);
    EXPECT_EQ(readFile(root / "given.ini"),
              "; written by hand\n[General]\nCountryCode=49\nMyNote=do not lose\n\n[Screen]\nWindowPosX=640\n"
              "; position above\n[Emulation]\nMemory=8\nForegroundPrio=1\n");

    // The whole form writes every setting; the priority goes back as its index.
    writeIniFile(false);
    IniFile ini((root / "given.ini").string());
    EXPECT_EQ(ini.readString("Emulation", "ForegroundPrio", ""), "1");
    EXPECT_EQ(ini.readString("Emulation", "Memory", ""), "99");
    EXPECT_EQ(ini.readString("General", "MyNote", ""), "do not lose");
    EXPECT_EQ(ini.readString("Parallel", "Printer8", "absent"), "");
    EXPECT_EQ(readFile(root / "given.ini").rfind("; written by hand\n", 0), 0u);

    // A read-only file is reported and left as it is.
    const std::string before = readFile(root / "given.ini");
    fs::permissions(root / "given.ini", fs::perms::owner_read);
    ASSERT_TRUE(readConfiguration(copy.data(), copy.size(), where));
    EXPECT_TRUE(configState.iniReadOnly);
    settings.WindowPosX = 1;
    writeIniFile(true);
    EXPECT_EQ(readFile(root / "given.ini"), before);
}

// Every setting with its default, in the documented section and key order, written out
// here rather than taken from the table the code uses. The serial ports' host devices
// (Device1-Device8) are ours: a Linux host has no fixed COM names.
TEST_F(ConfigurationTest, ANewFileHoldsEverySettingInOrderWithItsDefault)
{
    auto numbered = [](const std::string& stem, const std::string& value) {
        std::string keys;
        for (int n = 1; n <= 8; ++n) keys += stem + std::to_string(n) + "=" + value + "\n";
        return keys;
    };
    const std::string expected =
        "[General]\nCountryCode=44\nShowDialog=0\nNoExitThroughX=0\nTaskButton=0\n\n"
        "[Keyboard]\nKeyboardDriver=1\nAltGr=0\nLegacyHomeEndKeys=0\n\n"
        "[Screen]\nScreenDriver=0\nScreenFilter=1\nColourDepth=3\nResolutionX=0\nResolutionY=0\n"
        "WindowSizeX=0\nWindowSizeY=0\nKeepAspectRatio=0\nAlwaysOnTop=0\nWindowMode=0\n"
        "WindowPosX=2147483647\nWindowPosY=2147483647\n\n"
        "[Emulation]\nMemory=16\nPowerManagement=1\nForegroundPrio=3\nBackgroundPrio=3\n\n"
        "[Boot]\nBootFromFLP=0\nBootFromWIN=0\n\n"
        "[FLP]\nFLP1=\nFLP2=\n\n"
        "[WIN]\n" +
        numbered("WIN", "") +
        "AlwaysRemovable=1\n\n"
        "[DOS]\n" +
        numbered("DOS", "") +
        "ConvertFileExtension=1\n\n"
        "[Sound]\nEnabled=0\nBeepVolume=0\nVSNDVolume=0\n\n"
        "[Serial]\n" +
        numbered("Port", "0") + "LeavePortsOpen=0\n" + numbered("Device", "") +
        "\n"
        "[Parallel]\n" +
        numbered("Port", "0") + numbered("Filter", "0") + numbered("Printer", "");

    ASSERT_TRUE(readConfiguration(copy.data(), copy.size(), where));
    writeIniFile(false);
    EXPECT_EQ(readFile(configState.iniPath), expected);
}

TEST_F(ConfigurationTest, EndingTheDialogExpandsPathsAndNeedsThePrinterProgramForFilters)
{
    auto at = BlockBuilder("Generic settings", "").text("ZEM1", "").byte("ZEPa", 0).byte("ZEMM", 0).writeTo(copy, 0);
    scanConfigBlocks(copy.data(), copy.size());
    setenv("ZEM_TEST_A", "/data", 1);
    settings.WIN[0] = "%ZEM_TEST_A%/win1.win";
    settings.ParallelFilter[0] = 1;
    settings.Memory = 3;
    finishSettingsForGuest(copy.data(), copy.size(), false);
    EXPECT_EQ(settings.WIN[0], "/data/win1.win");
    EXPECT_EQ(std::string(copy.begin() + long(at[0]), copy.begin() + long(at[0]) + 14), "/data/win1.win");
    EXPECT_EQ(copy[at[0] - 1], 14);
    EXPECT_EQ(copy[at[1]], 0);
    EXPECT_EQ(copy[at[2]], 3);
    settings.ParallelFilter[0] = 1;
    finishSettingsForGuest(copy.data(), copy.size(), true);
    EXPECT_EQ(copy[at[1]], 1);
}

}  // namespace
