// The real program with a test INI: the settings reach the guest (RAM size, the items of
// its configuration block), the image file is left alone, and the INI is written back at
// exit without losing what the user put there.
#include "guest_runner.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

using zemtest::readFile;

// Power-of-two RAM sizes mirror the first long word past RAM onto address 0, the others
// read it as zero: both show the mask the Memory setting gave.
class SettingsProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        image = dir / "VROSE.BIN";
        fs::copy_file(GUEST_SETTINGS, image);
        ini = dir / "zem.ini";
    }

    GuestRun run(std::vector<std::string> extra = {})
    {
        GuestRunOptions options;
        options.args = {"-INI", ini.string(), "-OS", image.string(), "-DBG", "1"};
        options.args.insert(options.args.end(), extra.begin(), extra.end());
        return runGuest(options);
    }

    zemtest::TempDir dir{"zem-settings"};
    fs::path image, ini;
};

TEST_F(SettingsProgramTest, IniValuesReachTheGuestAndTheFileKeepsItsOwnLines)
{
    const std::string userIni =
        "; my machine\n[Emulation]\nMemory=3\nForegroundPrio=1\nMyKey=mine\n"
        "[General]\ncountrycode=49\n";
    std::ofstream(ini) << userIni;
    const std::string imageBefore = readFile(image);

    GuestRun r = run();
    ASSERT_TRUE(r.exited) << r.describe();
    EXPECT_EQ(r.exitCode, 0) << r.describe();
    EXPECT_TRUE(r.hasLine("ram 00300000 top 12345678 beyond 00000000")) << r.describe();
    EXPECT_TRUE(r.hasLine("memory 00000003 country 00000031 priority 00000001")) << r.describe();
    EXPECT_TRUE(r.linesInOrder({"Loading INI information from \"" + ini.string() + "\" (0)", "ZEM: VROS/E version 7.77",
                                "ZEM: Config information read", "ZEM: Writing INI information"}))
        << r.describe();

    EXPECT_EQ(readFile(image), imageBefore);  // only the loaded copy changes
    // A run without a window has no position to remember: the file stays as it was.
    EXPECT_EQ(readFile(ini),
              "; my machine\n[Emulation]\nMemory=3\nForegroundPrio=1\nMyKey=mine\n"
              "[General]\ncountrycode=49\n");
}

TEST_F(SettingsProgramTest, WithoutAnIniTheImageBlockRulesAndAMissingIniEndsStartUp)
{
    // No -INI: the search ends in the user's folder (kept inside the build by the test's
    // environment), where nothing is configured, so the block's 16 MB stand.
    GuestRunOptions options;
    fs::path home = dir / "home";
    options.environment = {{"XDG_CONFIG_HOME", home.string()}, {"XDG_CONFIG_DIRS", (dir / "none").string()}};
    options.args = {"-OS", image.string(), "-DBG", "1"};
    GuestRun r = runGuest(options);
    ASSERT_TRUE(r.exited) << r.describe();
    EXPECT_TRUE(r.hasLine("ram 01000000 top 12345678 beyond 12345678")) << r.describe();
    EXPECT_TRUE(r.hasLine("memory 00000010 country 0000002c priority 00000003")) << r.describe();
    EXPECT_TRUE(fs::exists(home / "zem2" / "zem.ini"));

    fs::remove(ini);
    GuestRun missing = run();
    ASSERT_TRUE(missing.exited) << missing.describe();
    EXPECT_NE(missing.exitCode, 0);
    EXPECT_TRUE(missing.contains("INI file not found\n" + ini.string())) << missing.describe();
    EXPECT_FALSE(missing.contains("ram ")) << missing.describe();
}

TEST_F(SettingsProgramTest, AReadOnlyImageStartsWithTheSettingsAndStaysUntouched)
{
    // 256 keeps its low 8 bits, 0, which the machine cannot run with: it gets the least
    // RAM there is, and the guest's block says so too.
    std::ofstream(ini) << "[Emulation]\nMemory=256\n";
    fs::permissions(image, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const std::string imageBefore = readFile(image);
    GuestRun r = run();
    ASSERT_TRUE(r.exited) << r.describe();
    EXPECT_TRUE(r.hasLine("ram 00200000 top 12345678 beyond 12345678")) << r.describe();
    EXPECT_TRUE(r.hasLine("memory 00000002 country 0000002c priority 00000003")) << r.describe();
    EXPECT_TRUE(r.hasLine("ZEM: Memory of 0 MB raised to 2 MB")) << r.describe();
    EXPECT_EQ(readFile(image), imageBefore);
}

}  // namespace
