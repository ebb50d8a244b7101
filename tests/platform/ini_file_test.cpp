// The INI layer of both programs: lookups as the profile functions do them, the two ways
// of reading numbers, and writes that leave the rest of a hand-edited file alone.
#include "platform/ini_file.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

class IniFileTest : public ::testing::Test {
protected:
    void write(const std::string& text) { zemtest::writeFile(path, text); }
    std::string read() const { return zemtest::readFile(path); }

    zemtest::TempDir dir{"zem-ini"};
    std::string path = dir.file("zem.ini");
};

TEST_F(IniFileTest, LooksUpSectionsAndKeysWithoutRegardToCase)
{
    write(
        "; comment\r\n[Screen]\r\n  resolutionx = 800 \nName=\"  quoted  \"\n[screen]\nResolutionX=1\n"
        "[Other]\nResolutionX=2\n");
    IniFile ini(path);
    ASSERT_TRUE(ini.exists());
    EXPECT_EQ(ini.readLeadingInteger("SCREEN", "ResolutionX", -1), 800);  // the first section of that name wins
    EXPECT_EQ(ini.readString("Screen", "name", ""), "  quoted  ");
    EXPECT_EQ(ini.readInteger("Other", "RESOLUTIONX", -1), 2);
    EXPECT_EQ(ini.readLeadingInteger("Screen", "Missing", 77), 77);
    EXPECT_EQ(ini.readString("Nowhere", "Key", "def"), "def");
    EXPECT_FALSE(ini.value("Screen", "Missing"));
}

// The emulator's settings read the number at the start of a value, as the profile
// functions do.
TEST_F(IniFileTest, LeadingNumbersAreReadFromTheStartOfTheValue)
{
    struct Case {
        const char* text;
        long long expected;  // the default is 99
    } cases[] = {
        {"300", 300},
        {"-5", -5},
        {"+7", 7},
        {"12abc", 12},
        {"0x1F", 31},
        {"abc", 99},
        {"", 99},
        {"99999999999", 99},
        {"4294967295", 4294967295LL},
        {"-2147483648", -2147483648LL},
        {"-2147483649", 99},
        {" 42 ", 42},
    };
    for (const Case& c : cases) {
        write(std::string("[S]\nK=") + c.text + "\n");
        EXPECT_EQ(IniFile(path).readLeadingInteger("S", "K", 99), c.expected) << "value \"" << c.text << "\"";
    }
}

// The printer's settings take a value as a number only when all of it is one.
TEST_F(IniFileTest, WholeIntegersAndBooleans)
{
    struct Case {
        const char* text;
        std::optional<int> value;
    };
    const Case cases[] = {
        {"140", 140},
        {" -5 ", -5},
        {"+7", 7},
        {"0x10", 16},
        {"0XfF", 255},
        {"0xFFFFFFFF", -1},
        {"", std::nullopt},
        {"abc", std::nullopt},
        {"12abc", std::nullopt},
        {"0x", std::nullopt},
        {"1.5", std::nullopt},
        {"2147483648", std::nullopt},
        {"-2147483648", INT32_MIN},
        {"--1", std::nullopt},
        {"0x100000000", std::nullopt},
        {"- 1", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(IniFile::parseInteger(c.text), c.value) << '"' << c.text << '"';

    write("[defaults]\nLHDPI=0x12C\n[S]\nA=0\nB=2\nC=yes\n");
    IniFile ini(path);
    EXPECT_EQ(ini.readInteger("Defaults", "lhdpi", 1), 300);
    EXPECT_EQ(ini.readInteger("S", "C", 9), 9);
    EXPECT_FALSE(ini.readBool("S", "A", true));
    EXPECT_TRUE(ini.readBool("S", "B", false));
    EXPECT_TRUE(ini.readBool("S", "C", true));  // not an integer: the default
    EXPECT_FALSE(ini.readBool("S", "C", false));
}

TEST_F(IniFileTest, WritingKeysKeepsCommentsUnknownKeysAndOrder)
{
    write(
        "; my settings\r\n[General]\r\nCountryCode=44\r\nMyOwnKey=keep me\r\n; about sound\r\n\r\n"
        "[Screen]\r\n# size\r\nwindowposx=5\r\n");
    IniFile ini(path);
    ini.writeString("general", "COUNTRYCODE", "49");  // keeps the file's spelling of the key
    ini.writeBool("General", "ShowDialog", true);     // new key: after the last key, before the comment
    ini.writeInteger("Screen", "WindowPosX", -100);
    ini.writeString("Sound", "Enabled", "2");  // new section at the end
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(read(),
              "; my settings\r\n[General]\r\nCountryCode=49\r\nMyOwnKey=keep me\r\nShowDialog=1\r\n"
              "; about sound\r\n\r\n[Screen]\r\n# size\r\nwindowposx=-100\r\n\r\n[Sound]\r\nEnabled=2\r\n");
    EXPECT_EQ(IniFile(path).readInteger("SCREEN", "WindowPosX", 0), -100);

    // Changes not saved are dropped by a reload.
    ini.writeString("Sound", "Enabled", "0");
    ini.reload();
    EXPECT_EQ(ini.readString("Sound", "Enabled", ""), "2");
}

TEST_F(IniFileTest, MissingFileIsCreatedAndReadOnlyFileIsLeftAlone)
{
    {
        IniFile ini(path);
        EXPECT_FALSE(ini.exists());
        ini.writeString("Screen", "WindowPosX", "3");
        ASSERT_TRUE(ini.save());
    }
    EXPECT_EQ(read(), "[Screen]\nWindowPosX=3\n");

    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_TRUE(isReadOnlyFile(path));
    IniFile ini(path);
    ini.writeString("Screen", "WindowPosX", "4");
    EXPECT_FALSE(ini.save());
    EXPECT_EQ(read(), "[Screen]\nWindowPosX=3\n");
    EXPECT_FALSE(isReadOnlyFile(dir.file("absent.ini")));

    IniFile nowhere(dir.file("missing/none.ini"));
    nowhere.writeString("Fonts", "Font0Name", "A");
    EXPECT_FALSE(nowhere.save());
}

TEST_F(IniFileTest, WritingThroughALinkKeepsTheLink)
{
    std::string target = dir.write("real.ini", "[A]\nB=1\n");
    fs::create_symlink(target, path);
    IniFile ini(path);
    ini.writeString("A", "B", "2");
    ASSERT_TRUE(ini.save());
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_EQ(IniFile(target).readLeadingInteger("A", "B", 0), 2);
}

}  // namespace
