#include "printer/data/compositions.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

struct Case {
    char16_t first;
    char16_t second;
    std::optional<char16_t> composite;
};

TEST(Compositions, PairsComposeInEitherOrder)
{
    const Case cases[] = {
        {u'a', u'"', u'ä'},      {u'"', u'a', u'ä'},      {u'A', u'"', u'Ä'},      {u'a', u'~', u'ã'},
        {u'O', u'~', u'Õ'},      {u'\u02DA', u'a', u'å'}, {u'A', u'\u02DA', u'Å'}, {u'a', u'\u02C6', u'â'},
        {u'\u02C6', u'U', u'Û'}, {u'i', u'\u02C6', u'î'}, {u'A', u'\'', u'Á'},     {u'`', u'a', u'à'},
        {u'u', u'`', u'ù'},      {u'I', u'"', u'Ï'},      {u'o', u'/', u'ø'},      {u'/', u'O', u'Ø'},
        {u'C', u',', u'Ç'},      {u',', u'c', u'ç'},      {u'O', u'c', u'\u00A9'}, {u'c', u'O', u'\u00A9'},
        {u'o', u'x', u'\u00A9'}, {u'C', u'=', u'\u20AC'}, {u'-', u'C', u'\u20AC'},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(composeOverstrike(c.first, c.second), c.composite)
            << std::hex << unsigned(c.first) << " + " << unsigned(c.second);
    }
}

TEST(Compositions, PairsWithoutARowPrintBothCharacters)
{
    const Case cases[] = {
        {u'a', u'x', std::nullopt},                                    // plain overstrike
        {u'e', u'\'', std::nullopt},                                   // only a, o, u, i and c take accents
        {u'^', u'a', std::nullopt},                                    // only the modifier circumflex composes
        {u'a', u'^', std::nullopt},  {u'\u00B0', u'a', std::nullopt},  // only the modifier ring composes
        {u'o', u'c', std::nullopt},                                    // the copyright pairs are case-specific
        {u'O', u'x', std::nullopt},  {u'c', u'=', std::nullopt},       // the euro needs the capital
        {u'c', u'-', std::nullopt},  {u'U', u'~', std::nullopt},
        {u'a', u'a', std::nullopt},  {u'"', u'\'', std::nullopt},
        {0, 0, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(composeOverstrike(c.first, c.second), c.composite)
            << std::hex << unsigned(c.first) << " + " << unsigned(c.second);
    }
}

// The rows come in capital/small pairs where the table gives both, capital first; a row
// out of place would still compose, so check the order the interpreter searches in.
TEST(Compositions, RowsAreInSearchOrder)
{
    const auto rows = compositions();
    EXPECT_EQ(rows[0].base, u'A');
    EXPECT_EQ(rows[1].base, u'a');
    EXPECT_EQ(rows[24].composite, u'\u00A9');
    EXPECT_EQ(rows[25].composite, u'\u00A9');
    EXPECT_EQ(rows[44].accent, u'=');
    EXPECT_EQ(rows[45].accent, u'-');
    for (const Composition& row : rows) {
        EXPECT_EQ(composeOverstrike(row.base, row.accent), row.composite);
        EXPECT_EQ(composeOverstrike(row.accent, row.base), row.composite);
    }
}

}  // namespace
