#include "printer/ini_file.h"

#include <gtest/gtest.h>

#include "test_dir.h"

namespace zemprint {
namespace {

TEST(IniFile, LooksUpSectionsAndKeysIgnoringCase)
{
    test::TestDir dir;
    IniFile ini(dir.write("a.ini", "; comment\r\n[Fonts]\r\n  font0name = Courier New \r\n[defaults]\nLHDPI=0x12C\n"));
    EXPECT_EQ(ini.readString("FONTS", "Font0Name", "x"), "Courier New");
    EXPECT_EQ(ini.readInteger("Defaults", "lhdpi", 1), 300);
    EXPECT_EQ(ini.readString("Fonts", "Font1Name", "fallback"), "fallback");
    EXPECT_EQ(ini.readString("Nowhere", "Font0Name", "fallback"), "fallback");
}

TEST(IniFile, IntegerParsing)
{
    struct Case {
        const char* text;
        std::optional<int> value;
    };
    const Case cases[] = {
        {"140", 140}, {" -5 ", -5}, {"+7", 7}, {"0x10", 16}, {"0XfF", 255}, {"0xFFFFFFFF", -1},
        {"", std::nullopt}, {"abc", std::nullopt}, {"12abc", std::nullopt}, {"0x", std::nullopt},
        {"1.5", std::nullopt}, {"2147483648", std::nullopt}, {"-2147483648", INT32_MIN}, {"--1", std::nullopt},
        {"0x100000000", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IniFile::parseInteger(c.text), c.value) << '"' << c.text << '"';
}

TEST(IniFile, BooleansAreAnyNonZeroInteger)
{
    test::TestDir dir;
    IniFile ini(dir.write("b.ini", "[S]\nA=0\nB=2\nC=yes\n"));
    EXPECT_FALSE(ini.readBool("S", "A", true));
    EXPECT_TRUE(ini.readBool("S", "B", false));
    EXPECT_TRUE(ini.readBool("S", "C", true));  // not an integer: the fallback
    EXPECT_FALSE(ini.readBool("S", "C", false));
}

TEST(IniFile, WritingKeepsTheRestOfTheFile)
{
    test::TestDir dir;
    const std::string path = dir.write("c.ini", "; keep me\n[Fonts]\nFont0Name=A\n\n[Other]\nX=1\n");
    IniFile ini(path);
    ini.writeString("fonts", "FONT0NAME", "B");  // replaced in place, spelling of the file kept for the section
    ini.writeInteger("Fonts", "Font0Zoom", 150);  // appended to its section, before the blank line
    ini.writeBool("New", "Flag", true);          // new section at the end
    ASSERT_TRUE(ini.flush());
    EXPECT_EQ(test::readFile(path), "; keep me\n[Fonts]\nFONT0NAME=B\nFont0Zoom=150\n\n[Other]\nX=1\n\n[New]\nFlag=1\n");
    IniFile again(path);
    EXPECT_EQ(again.readInteger("FONTS", "font0zoom", 0), 150);
}

TEST(IniFile, MissingFileReadsEmptyAndUnwritablePathFails)
{
    test::TestDir dir;
    IniFile ini(dir.file("missing/none.ini"));
    EXPECT_FALSE(ini.value("Fonts", "Font0Name"));
    ini.writeString("Fonts", "Font0Name", "A");
    EXPECT_FALSE(ini.flush());
}

}  // namespace
}  // namespace zemprint
