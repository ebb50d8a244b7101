#include "printer/data/charsets.h"
#include "printer/data/international_sets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string_view>

namespace {

// Each set in the order of the replaced bytes # $ @ [ \ ] ^ ` { | } ~
constexpr std::u16string_view kExpectedSets[] = {
    u"#$@[\\]^`{|}~", u"#$à°ç§^`éùè¨",  u"#$§ÄÖÜ^`äöüß", u"£$@[\\]^`{|}~", u"#$@ÆØÅ^`æøå~",
    u"#¤ÉÄÖÅÜéäöåü",  u"#$@°\\é^ùàòèì", u"₧$@¡Ñ¿^`¨ñ}~", u"#$@[¥]^`{|}~",  u"#¤ÉÆØÅÜéæøåü",
    u"#$ÉÆØÅÜéæøåü",  u"#$á¡Ñ¿é`íñóú",  u"#$á¡Ñ¿éüíñóú", u"#$§°'\"¶`©®†™",
};

TEST(InternationalSets, EverySetHasItsTwelveCharacters)
{
    static_assert(std::size(kExpectedSets) == kInternationalSetCount);
    for (unsigned n = 0; n < kInternationalSetCount; ++n) {
        const InternationalSet* set = internationalSet(n);
        ASSERT_NE(set, nullptr) << n;
        ASSERT_EQ(kExpectedSets[n].size(), kInternationalPositionCount) << n;
        for (std::size_t i = 0; i < kInternationalPositionCount; ++i) {
            EXPECT_EQ((*set)[i], kExpectedSets[n][i]) << "set " << n << " position " << i;
        }
    }
    EXPECT_EQ(internationalSet(kInternationalSetCount), nullptr);
    EXPECT_EQ(internationalSet(64), nullptr);  // the ESC R alias of 13 is the interpreter's business
}

TEST(InternationalSets, ApplyingASetTouchesOnlyTheTwelvePositions)
{
    const TCharset& pc850 = *charsetById(768);
    CharsetTable slot = pc850.table;
    auto isReplaced = [](std::size_t b) {
        return std::find(kInternationalPositions.begin(), kInternationalPositions.end(), b) !=
               kInternationalPositions.end();
    };

    ASSERT_TRUE(applyInternationalSet(slot, 2));
    for (std::size_t b = 0; b < slot.size(); ++b) {
        if (!isReplaced(b)) {
            EXPECT_EQ(slot[b], pc850.table[b]) << b;
        }
    }
    EXPECT_EQ(slot[0x40], u'§');
    EXPECT_EQ(slot[0x5B], u'Ä');
    EXPECT_EQ(slot[0x7E], u'ß');
    EXPECT_EQ(slot[0xE1], u'ß');  // the code page's own ß is still there

    const CharsetTable german = slot;
    EXPECT_FALSE(applyInternationalSet(slot, kInternationalSetCount));
    EXPECT_EQ(slot, german);

    ASSERT_TRUE(applyInternationalSet(slot, 0));
    EXPECT_EQ(slot, pc850.table);
}

}  // namespace
