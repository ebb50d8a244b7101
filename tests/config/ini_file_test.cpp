// The INI layer: lookups as the profile functions do them, and writes that leave the rest
// of a hand-edited file alone.
#include "config/ini_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() /
              ("zem_ini_" + std::to_string(getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
        path = (dir / "zem.ini").string();
    }
    void TearDown() override { fs::remove_all(dir); }

    void write(const std::string& text)
    {
        std::ofstream(path, std::ios::binary) << text;
    }
    std::string read()
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    fs::path dir;
    std::string path;
};

TEST_F(IniFileTest, LooksUpSectionsAndKeysWithoutRegardToCase)
{
    write("; comment\n[Screen]\n  resolutionx = 800 \nName=\"  quoted  \"\n[screen]\nResolutionX=1\n"
          "[Other]\nResolutionX=2\n");
    IniFile ini(path);
    ASSERT_TRUE(ini.exists());
    EXPECT_EQ(ini.getInt("SCREEN", "ResolutionX", -1), 800);  // the first section of that name wins
    EXPECT_EQ(ini.getString("Screen", "name", ""), "  quoted  ");
    EXPECT_EQ(ini.getInt("Other", "RESOLUTIONX", -1), 2);
    EXPECT_EQ(ini.getInt("Screen", "Missing", 77), 77);
    EXPECT_EQ(ini.getString("Nowhere", "Key", "def"), "def");
}

TEST_F(IniFileTest, NumbersAreReadFromTheStartOfTheValue)
{
    struct Case {
        const char* text;
        long long expected;  // the default is 99
    } cases[] = {
        {"300", 300},     {"-5", -5},      {"+7", 7},         {"12abc", 12},      {"0x1F", 31},
        {"abc", 99},      {"", 99},        {"99999999999", 99}, {"4294967295", 4294967295LL},
        {"-2147483648", -2147483648LL},    {"-2147483649", 99}, {" 42 ", 42},
    };
    for (const Case& c : cases) {
        write(std::string("[S]\nK=") + c.text + "\n");
        EXPECT_EQ(IniFile(path).getInt("S", "K", 99), c.expected) << "value \"" << c.text << "\"";
    }
}

TEST_F(IniFileTest, WritingKeysKeepsCommentsUnknownKeysAndOrder)
{
    write("; my settings\r\n[General]\r\nCountryCode=44\r\nMyOwnKey=keep me\r\n\r\n"
          "[Screen]\r\n# size\r\nwindowposx=5\r\n");
    IniFile ini(path);
    ini.set("general", "COUNTRYCODE", "49");
    ini.set("General", "ShowDialog", "1");   // new key: end of its section, before the blank
    ini.set("Screen", "WindowPosX", "100");  // keeps the file's spelling of the key
    ini.set("Sound", "Enabled", "2");        // new section at the end
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(read(), "; my settings\r\n[General]\r\nCountryCode=49\r\nMyOwnKey=keep me\r\nShowDialog=1\r\n\r\n"
                      "[Screen]\r\n# size\r\nwindowposx=100\r\n\r\n[Sound]\r\nEnabled=2\r\n");
}

TEST_F(IniFileTest, MissingFileIsCreatedAndReadOnlyFileIsLeftAlone)
{
    {
        IniFile ini(path);
        EXPECT_FALSE(ini.exists());
        ini.set("Screen", "WindowPosX", "3");
        ASSERT_TRUE(ini.save());
    }
    EXPECT_EQ(read(), "[Screen]\nWindowPosX=3\n");

    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_TRUE(isReadOnlyFile(path));
    IniFile ini(path);
    ini.set("Screen", "WindowPosX", "4");
    EXPECT_FALSE(ini.save());
    EXPECT_EQ(read(), "[Screen]\nWindowPosX=3\n");
    EXPECT_FALSE(isReadOnlyFile((dir / "absent.ini").string()));
}

TEST_F(IniFileTest, WritingThroughALinkKeepsTheLink)
{
    std::string target = (dir / "real.ini").string();
    std::ofstream(target) << "[A]\nB=1\n";
    fs::create_symlink(target, path);
    IniFile ini(path);
    ini.set("A", "B", "2");
    ASSERT_TRUE(ini.save());
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_EQ(IniFile(target).getInt("A", "B", 0), 2);
}

}  // namespace
