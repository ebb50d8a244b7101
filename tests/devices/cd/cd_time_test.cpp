// The guest's CD time formats at their boundaries.
#include "devices/cd/cd_time.h"

#include <gtest/gtest.h>

namespace {

struct Conversion {
    uint32_t frames;
    uint32_t msf;
};

TEST(CdTime, FramesToMsfAtTheBoundaries)
{
    const Conversion cases[] = {
        {0, 0x000000},      {74, 0x00004A},                             // last frame of the first second
        {75, 0x000100},     {4499, 0x003B4A},                           // 0:59:74
        {4500, 0x010000},                                               // one minute
        {4653, 0x010203},   {60 * 4500, 0x3C0000}, {359999, 0x4F3B4A},  // 79:59:74
        {360000, 0x500000},                                             // 80 minutes: the largest count converted
    };
    for (const Conversion& c : cases) {
        EXPECT_EQ(cdFramesToMsf(c.frames), c.msf) << c.frames;
        EXPECT_EQ(cdMsfToFrames(c.msf), c.frames) << std::hex << c.msf;
    }
}

TEST(CdTime, FramesToMsfLeavesCountsAbove80MinutesAlone)
{
    for (uint32_t frames : {360001u, 450000u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu})
        EXPECT_EQ(cdFramesToMsf(frames), frames) << frames;
    // The uncapped packing still converts them.
    EXPECT_EQ(cdPackMsf(360001), 0x500001u);
    EXPECT_EQ(cdPackMsf(100 * 4500 + 59 * 75 + 74), 0x643B4Au);
    EXPECT_EQ(cdPackMsf(300 * 4500), 0x12C0000u);  // minutes run into the top byte
}

TEST(CdTime, MsfToFramesTakesEveryMinuteBitAndCountsFieldsArithmetically)
{
    const Conversion cases[] = {
        {100 * 4500, 0x640000},  // minutes above 99
        {255 * 4500, 0xFF0000},
        {256 * 4500, 0x1000000},  // minutes in the top byte
        {294926880, 0xFFFFFFFF},  // the largest value: 65535:255:255
        {60 * 75, 0x003C00},      // 60 seconds are a minute
        {75, 0x00004B},           // 75 frames are a second
        {(65535u * 60) * 75, 0xFFFF0000},
    };
    for (const Conversion& c : cases) EXPECT_EQ(cdMsfToFrames(c.msf), c.frames) << std::hex << c.msf;
}

TEST(CdTime, EveryCountUpTo80MinutesSurvivesTheRoundTrip)
{
    for (uint32_t frames = 0; frames <= CdTime::GuestMsfLimit; ++frames) {
        const uint32_t msf = cdFramesToMsf(frames);
        ASSERT_LT((msf >> 8) & 0xFF, 60u) << frames;
        ASSERT_LT(msf & 0xFF, 75u) << frames;
        ASSERT_EQ(cdMsfToFrames(msf), frames) << frames;
    }
}

TEST(CdTime, TmsfPositions)
{
    struct Case {
        unsigned track;
        uint32_t frames;
        uint32_t tmsf;
    } cases[] = {
        {1, 0, 0x01000000},          {2, 74, 0x0200004A},     {12, 4653, 0x0C010203}, {99, 359999, 0x634F3B4A},
        {255, 4500, 0xFF010000},     {256, 4500, 0x00010000},  // only the track's low byte fits
        {3, 300 * 4500, 0x032C0000},                           // 300 minutes keep their low byte
    };
    for (const Case& c : cases) EXPECT_EQ(cdPackTmsf(c.track, c.frames), c.tmsf) << c.track << " " << c.frames;
}

}  // namespace
