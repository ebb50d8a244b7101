// Configuration blocks: finding them in the 96 KB copy, taking settings from their items
// and writing the settings back.
#include "block_builder.h"
#include "config/config_blocks.h"
#include "config/settings.h"

#include <gtest/gtest.h>

namespace {

constexpr size_t CopySize = 0x18000;

class ConfigBlocksTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings = Settings{};
        setHostPrinterNamesProvider([] { return std::vector<std::string>{"Home", "Office"}; });
        setHostScreenSizeProvider(nullptr);
    }
    void TearDown() override
    {
        setHostPrinterNamesProvider(nullptr);
        setHostScreenSizeProvider(nullptr);
        settings = Settings{};
        scanConfigBlocks(nullptr, 0);
    }
    std::vector<uint8_t> copy = std::vector<uint8_t>(CopySize, 0);
};

TEST(Crc32, MatchesTheCommonCheckValue)
{
    EXPECT_EQ(crc32Of("123456789"), 0xCBF43926u);
    EXPECT_EQ(crc32Of(""), 0u);
}

TEST_F(ConfigBlocksTest, EveryTypeIsTakenFromItsItem)
{
    BlockBuilder("Other block", "x").byte("ZEMK", 0).writeTo(copy, 0x100);
    auto at = BlockBuilder("Generic settings", "1.23beta")
                  .byte("ZEMM", 24)
                  .word("ZEML", -5)
                  .word("ZEMX", 1024)
                  .byte("ZE2F", 1)
                  .byte("ZE2B", 9)  // names no priority: the setting stays
                  .text("ZED1", "/home/ql/dos1")
                  .crc("ZE21", crc32Of("Office"))
                  .crc("ZE22", crc32Of("Gone"))
                  .byte("ZEP2", 1)
                  .byte("ZEXX", 7)         // a tag the host does not know
                  .writeTo(copy, 0x4001);  // blocks need not be aligned

    EXPECT_EQ(scanConfigBlocks(copy.data(), copy.size()), "1.23");
    EXPECT_EQ(findSetting("Emulation", "Memory")->blockOffset, at[0]);
    EXPECT_EQ(findSetting("Screen", "ScreenDriver")->blockOffset, 0u);  // no tag
    blocksToSettings(copy.data(), copy.size());

    EXPECT_EQ(settings.KeyboardDriver, 0);  // from the first block
    EXPECT_EQ(settings.Memory, 24);
    EXPECT_EQ(settings.CountryCode, -5);
    EXPECT_EQ(settings.ResolutionX, 1024);
    EXPECT_EQ(settings.ForegroundPrio, ThreadPriority::Lowest);
    EXPECT_EQ(settings.BackgroundPrio, ThreadPriority::Normal);
    EXPECT_EQ(settings.DOS[0], "/home/ql/dos1");
    EXPECT_EQ(settings.ParallelPrinter[0], "Office");
    EXPECT_EQ(settings.ParallelPort[0], ParallelModePrinter);
    EXPECT_EQ(settings.ParallelPrinter[1], "");
    EXPECT_EQ(settings.ParallelPort[1], 1);  // an unknown printer leaves the port's own choice
    EXPECT_EQ(settings.ColourDepth, 3);      // no item: default
}

TEST_F(ConfigBlocksTest, SettingsAreWrittenBackIntoTheItems)
{
    auto at = BlockBuilder("Generic settings", "2.00")
                  .byte("ZEMM", 16)
                  .word("ZEML", 44)
                  .byte("ZE2F", 3)
                  .text("ZED2", "old", 199)
                  .crc("ZE23", 0)
                  .writeTo(copy, 0x200);
    scanConfigBlocks(copy.data(), copy.size());
    const std::vector<uint8_t> before = copy;

    settings.Memory = 3;
    settings.CountryCode = 0x1234;
    settings.ForegroundPrio = ThreadPriority::Highest;
    settings.DOS[1] = std::string(300, 'd');  // longer than the setting allows
    settings.ParallelPrinter[2] = "Office";
    settings.ColourDepth = 0;  // no item: nothing written for it
    settingsToBlocks(copy.data(), copy.size(), false);

    EXPECT_EQ(copy[at[0]], 3);
    EXPECT_EQ(copy[at[1]], 0x12);
    EXPECT_EQ(copy[at[1] + 1], 0x34);
    EXPECT_EQ(copy[at[2]], 5);
    EXPECT_EQ(copy[at[3] - 1], 199);
    EXPECT_EQ(std::string(copy.begin() + long(at[3]), copy.begin() + long(at[3]) + 199), std::string(199, 'd'));
    const uint32_t crc = crc32Of("Office");
    EXPECT_EQ(copy[at[4]], uint8_t(crc));
    EXPECT_EQ(copy[at[4] + 3], uint8_t(crc >> 24));
    size_t changed = 0;
    for (size_t i = 0; i < copy.size(); ++i) changed += copy[i] != before[i];
    EXPECT_LE(changed, 1u + 2u + 1u + 200u + 4u);

    // And read back they give the same settings.
    Settings written = settings;
    settings = Settings{};
    blocksToSettings(copy.data(), copy.size());
    EXPECT_EQ(settings.Memory, written.Memory);
    EXPECT_EQ(settings.CountryCode, written.CountryCode);
    EXPECT_EQ(settings.ForegroundPrio, written.ForegroundPrio);
    EXPECT_EQ(settings.DOS[1], std::string(199, 'd'));
    EXPECT_EQ(settings.ParallelPrinter[2], "Office");
}

TEST_F(ConfigBlocksTest, ScreenSizeFillsAResolutionOfZeroOnlyWhenAsked)
{
    auto at = BlockBuilder("Generic settings", "").word("ZEMX", 0).word("ZEMY", 0).writeTo(copy, 0);
    scanConfigBlocks(copy.data(), copy.size());
    setHostScreenSizeProvider([](int& w, int& h) { w = 1920, h = 1080; });
    settings.ResolutionY = 600;
    settingsToBlocks(copy.data(), copy.size(), false);
    EXPECT_EQ(copy[at[0]] << 8 | copy[at[0] + 1], 0);
    settingsToBlocks(copy.data(), copy.size(), true);
    EXPECT_EQ(copy[at[0]] << 8 | copy[at[0] + 1], 1920);
    EXPECT_EQ(copy[at[1]] << 8 | copy[at[1] + 1], 600);
}

TEST_F(ConfigBlocksTest, BlocksCutOffByTheEndOfTheCopyAreWalkedAsFarAsTheyGo)
{
    // The items start 32 bytes before the end: the first lies inside, the second would
    // run past the copy, and the data of the first lies beyond it.
    std::vector<uint8_t> big(CopySize + 64, 0);
    BlockBuilder("Generic settings", "9.99").byte("ZEMM", 7).byte("ZEMC", 2).writeTo(big, CopySize - 40);
    copy.assign(big.begin(), big.begin() + long(CopySize));
    EXPECT_EQ(scanConfigBlocks(copy.data(), copy.size()), "9.99");
    blocksToSettings(copy.data(), copy.size());
    settingsToBlocks(copy.data(), copy.size(), true);
    EXPECT_EQ(settings.Memory, 16);
    EXPECT_EQ(settings.ColourDepth, 3);

    // A marker in the last bytes and an item pointing outside the copy are ignored.
    std::vector<uint8_t> odd(CopySize, 0);
    BlockBuilder("Generic settings", "1.00").byte("ZEMM", 8).writeTo(odd, 0x10);
    odd[0x10 + 10 + 2 + 16 + 2 + 4 + 6] = 0x80;  // the item's offset: before the copy
    memcpy(&odd[CopySize - 12], "<<QCFX>>02", 10);
    EXPECT_EQ(scanConfigBlocks(odd.data(), odd.size()), "1.00");
    blocksToSettings(odd.data(), odd.size());
    EXPECT_EQ(settings.Memory, 16);
}

TEST_F(ConfigBlocksTest, AnImageWithoutBlocksKeepsTheDefaults)
{
    EXPECT_EQ(scanConfigBlocks(copy.data(), copy.size()), "");
    blocksToSettings(copy.data(), copy.size());
    settingsToBlocks(copy.data(), copy.size(), true);
    EXPECT_EQ(settings.Memory, 16);
    for (uint8_t b : copy) ASSERT_EQ(b, 0);
}

}  // namespace
