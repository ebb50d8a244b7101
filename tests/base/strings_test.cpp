#include "base/string_table.h"
#include "base/version.h"

#include <gtest/gtest.h>

TEST(VersionText, MajorMinorThenPatchWithoutSeparator)
{
    EXPECT_EQ(formatVersionText(5, 0, 2), "5.02");
    EXPECT_EQ(formatVersionText(0, 1, 0), "0.10");
    EXPECT_EQ(formatVersionText(1, 12, 3), "1.123");
}

TEST(StringTable, ImageMessagesFormatWithHostError)
{
    EXPECT_EQ(formatString(StringId::ErrorOpeningImage, 2L, "No such file or directory"),
              "Error opening VROSE file.\nCode 2: No such file or directory");
    EXPECT_EQ(formatString(StringId::CorruptImage, 1000, 98304, 0L, "Success"),
              "Corrupt VROSE file.\n1000 bytes read (98304 bytes requested).\nCode 0: Success");
    EXPECT_EQ(formatString(StringId::ErrorOpeningImage, 0x1fL, "x"), "Error opening VROSE file.\nCode 1f: x");
    EXPECT_STREQ(loadString(StringId::CannotAllocateMemory), "Cannot allocate memory.");
    EXPECT_STREQ(loadString(9999), "");
}

TEST(StringTable, MessageIsCutAt255Characters)
{
    std::string longText(400, 'e');
    std::string text = formatString(StringId::ErrorOpeningImage, 5L, longText.c_str());
    EXPECT_EQ(text.size(), 255u);
    EXPECT_EQ(text.rfind("Error opening VROSE file.\nCode 5: eee", 0), 0u);
}
