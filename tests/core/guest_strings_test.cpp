#include "core/guest_error.h"
#include "core/guest_strings.h"
#include "core/qdos_string.h"
#include "core/ql_charset.h"
#include "cpu/memory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

TEST(QlCharset, TablesMapTheListedPairsAndAreNotInverseElsewhere)
{
    struct Pair {
        uint8_t guest, host;
    };
    for (Pair p : {Pair{0x60, 0xA3}, Pair{0x7F, 0xA9}, Pair{0x80, 0xE4}, Pair{0x9F, 0x60}, Pair{0xB5, 0x80},
                   Pair{0xBB, 0xF7}, Pair{0x9C, 0xDF}, Pair{0xAA, 0xC6}}) {
        EXPECT_EQ(qlToHost(p.guest), p.host) << int(p.guest);
        EXPECT_EQ(hostToQl(p.host), p.guest) << int(p.host);
    }
    EXPECT_EQ(qlToHost('A'), 'A');
    EXPECT_EQ(qlToHost(0x8B), 0x8B);  // not listed
    EXPECT_EQ(qlToHost(0xAB), 0xAB);
    EXPECT_EQ(hostToQl(0xAB), 0xB8);
    // Each listed byte is the source of exactly one pair in each direction.
    int differing = 0;
    for (unsigned c = 0; c < 256; ++c) differing += qlToHost(uint8_t(c)) != c;
    EXPECT_EQ(differing, 54);
}

TEST(QlCharset, CodePage1252AndUtf8)
{
    EXPECT_EQ(cp1252ToUtf8("\x80\xA3\xFF"
                           "a"),
              "\u20AC\u00A3\u00FF"
              "a");
    EXPECT_EQ(utf8ToCp1252("\u20AC\u00A3\u00FF"
                           "a"),
              "\x80\xA3\xFF"
              "a");
    // Every byte survives the way out and back.
    std::string all;
    for (unsigned c = 1; c < 256; ++c) all += char(c);
    EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(all)), all);
    // Outside the code page, or broken UTF-8: '?'.
    EXPECT_EQ(utf8ToCp1252("\u4E2D|\xC3|\xE2\x82"), "?|?|??");
}

TEST(QdosString, PutAndGetOnHostBuffers)
{
    uint8_t buffer[8] = {};
    EXPECT_EQ(putQdosString(nullptr, 8, "a"), GuestError::BadParameter);
    EXPECT_EQ(putQdosString(buffer, 4, "abc"), GuestError::BufferFull);
    EXPECT_EQ(buffer[1], 0);  // nothing written
    EXPECT_EQ(putQdosString(buffer, 5,
                            "a\xA3"
                            "c"),
              0);
    EXPECT_EQ(0, memcmp(buffer,
                        "\x00\x03"
                        "a\x60"
                        "c",
                        5));

    std::string out;
    EXPECT_EQ(getQdosString(nullptr, 8, out), GuestError::BadParameter);
    EXPECT_EQ(getQdosString(buffer, 3, out), GuestError::BufferFull);  // room for the terminator
    EXPECT_EQ(getQdosString(buffer, 4, out), 0);
    EXPECT_EQ(out,
              "a\xA3"
              "c");
}

class GuestStringTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(memoryAllocate(1)); }
    static void TearDownTestSuite() { memoryRelease(); }
    static void putRaw(uint32_t a, const std::string& text)
    {
        guestWriteWord(a, uint16_t(text.size()));
        for (size_t i = 0; i < text.size(); ++i) guestWriteByte(a + 2 + uint32_t(i), uint8_t(text[i]));
    }
};

TEST_F(GuestStringTest, RangesAreCheckedAgainstRamBeforeAnyWrite)
{
    const uint32_t ramEnd = mem.ramSize;
    EXPECT_EQ(putGuestString(ramEnd - 5, 100, "abc"), 0);
    EXPECT_EQ(guestReadWord(ramEnd - 5), 3);
    guestWriteWord(ramEnd - 4, 0x1234);
    EXPECT_EQ(putGuestString(ramEnd - 4, 100, "abc"), GuestError::BadParameter);
    EXPECT_EQ(guestReadWord(ramEnd - 4), 0x1234);

    // A length word inside RAM whose text runs past it.
    guestWriteWord(ramEnd - 4, 10);
    std::string out = "kept";
    EXPECT_EQ(getGuestStringAlloc(out, ramEnd - 4), GuestError::BadParameter);
    EXPECT_EQ(getGuestPath(out, 100, ramEnd - 4), GuestError::BadParameter);
    EXPECT_EQ(getQdosString(guestRange(ramEnd - 4, 2), 100, out), GuestError::BadParameter);
    EXPECT_EQ(getGuestStringAlloc(out, ramEnd - 1), GuestError::BadParameter);
    EXPECT_EQ(out, "kept");

    putRaw(0x1000, "win\x60");
    EXPECT_EQ(getGuestStringAlloc(out, 0x1000), 0);
    EXPECT_EQ(out, "win\xA3");
}

TEST_F(GuestStringTest, GuestPathsExpandEnvironmentVariables)
{
    setenv("ZEM_TEST_DIR", "/tmp/zem", 1);
    unsetenv("ZEM_TEST_UNSET");
    struct Case {
        const char* guest;
        const char* host;
    } cases[] = {
        {"%ZEM_TEST_DIR%/a", "/tmp/zem/a"},
        {"x%ZEM_TEST_UNSET%y", "x%ZEM_TEST_UNSET%y"},
        {"100%", "100%"},
        {"a%ZEM_TEST_UNSET%ZEM_TEST_DIR%b", "a%ZEM_TEST_UNSET%ZEM_TEST_DIR%b"},
    };
    for (const Case& c : cases) {
        putRaw(0x2000, c.guest);
        std::string out;
        EXPECT_EQ(getGuestPath(out, 256, 0x2000), 0) << c.guest;
        EXPECT_EQ(out, c.host) << c.guest;
    }
    putRaw(0x2000, "%ZEM_TEST_DIR%");
    std::string out;
    EXPECT_EQ(getGuestPath(out, 8, 0x2000), GuestError::BufferFull);  // 8 characters + terminator
    EXPECT_EQ(getGuestPath(out, 9, 0x2000), 0);
}
