#include "printer/data/charsets.h"
#include "printer/data/compositions.h"
#include "printer/data/control_glyphs.h"
#include "printer/data/international_sets.h"
#include "printer/data/prop_widths.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<int> parseRow(const std::string& text)
{
    std::istringstream in(text);
    std::vector<int> values;
    for (int v; in >> v;) {
        values.push_back(v);
    }
    return values;
}

const char* const kGeneralAscii =
    "30 18 30 30 30 36 36 18 24 24 30 30 18 30 18 30 30 30 30 30 30 30 30 30 30 30 18 18 30 30 30 30 36 36 36 36 "
    "36 36 36 36 36 24 30 36 36 42 36 36 36 36 36 36 36 42 36 42 36 36 30 24 30 24 30 30 18 30 36 30 36 30 24 36 "
    "36 18 24 36 18 42 36 30 36 36 30 30 24 36 36 42 30 36 30 24 18 24 30";
const char* const kTimesAscii =
    "13 17 21 26 26 44 41 9 17 17 26 30 13 17 13 15 26 26 26 26 26 26 26 26 26 26 15 15 30 30 30 23 48 38 35 35 38 "
    "32 29 38 38 17 20 38 32 47 38 38 29 38 35 29 32 38 38 50 38 38 32 17 15 17 25 26 17 23 26 23 26 23 17 26 26 15 "
    "15 26 15 41 26 26 26 26 17 20 15 26 26 38 26 26 23 25 10 25 28";
const char* const kSansAscii =
    "15 15 19 29 29 47 35 10 17 17 20 31 15 17 15 15 29 29 29 29 29 29 29 29 29 29 15 15 31 31 31 29 53 35 35 38 38 "
    "35 32 41 38 15 26 35 29 44 38 41 35 41 38 35 32 38 35 50 35 35 32 15 15 15 25 29 29 29 29 26 29 29 15 29 29 12 "
    "12 26 12 44 29 29 29 29 17 26 15 29 26 38 26 26 26 18 14 18 31";
const char* const kGeneralLatin1 =
    "30 30 30 30 30 36 18 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 30 "
    "30 42 30 36 36 36 36 24 24 24 24 42 36 36 36 36 36 36 42 36 42 42 42 42 36 30 36 30 30 30 30 30 30 42 30 30 30 "
    "30 30 18 18 18 18 30 36 30 30 30 30 30 30 30 36 36 36 36 36 30 36";

struct Range {
    char32_t first, last;
};
const Range kCovered[] = {{0x0020, 0x01FF}, {0x0280, 0x02FF}, {0x0380, 0x03CF}, {0x2000, 0x20FF},
                          {0x2116, 0x2116}, {0x2310, 0x232F}, {0x2500, 0x25AF}};

bool covered(char32_t c)
{
    for (const Range& r : kCovered) {
        if (c >= r.first && c <= r.last) {
            return true;
        }
    }
    return false;
}

int zerosIn(PropWidthTable table, char32_t first, char32_t last)
{
    int zeros = 0;
    for (char32_t c = first; c <= last; ++c) {
        zeros += propWidth(table, c) == 0;
    }
    return zeros;
}

TEST(PropWidths, PublishedRowsAreExact)
{
    struct Row {
        PropWidthTable table;
        char32_t first;
        const char* values;
    };
    for (const Row& row :
         {Row{PropWidthTable::General, 0x20, kGeneralAscii}, Row{PropWidthTable::Times, 0x20, kTimesAscii},
          Row{PropWidthTable::Sans, 0x20, kSansAscii}, Row{PropWidthTable::General, 0xA0, kGeneralLatin1}}) {
        const std::vector<int> expected = parseRow(row.values);
        ASSERT_EQ(expected.size(), row.first == 0x20 ? 95u : 96u);
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(propWidth(row.table, row.first + static_cast<char32_t>(i)), expected[i])
                << "table " << int(row.table) << " U+" << std::hex << unsigned(row.first + i);
        }
    }
}

TEST(PropWidths, TypefacesPickTheirTable)
{
    for (int typeface = 0; typeface <= 9; ++typeface) {
        EXPECT_EQ(propWidthTableForTypeface(typeface), PropWidthTable::General) << typeface;
    }
    EXPECT_EQ(propWidthTableForTypeface(10), PropWidthTable::Times);
    EXPECT_EQ(propWidthTableForTypeface(11), PropWidthTable::Sans);
    EXPECT_EQ(propWidthTableForTypeface(12), PropWidthTable::General);
    EXPECT_EQ(propWidthTableForTypeface(-1), PropWidthTable::General);

    EXPECT_EQ(propWidthForTypeface(3, u'M'), 42);
    EXPECT_EQ(propWidthForTypeface(10, u'M'), 47);
    EXPECT_EQ(propWidthForTypeface(11, u'M'), 44);
}

TEST(PropWidths, NotableEntries)
{
    EXPECT_EQ(propWidth(PropWidthTable::General, 0x0100), 36);  // A with macron, like A
    EXPECT_EQ(propWidth(PropWidthTable::General, 0x0101), 30);  // a with macron, like a
    EXPECT_EQ(propWidth(PropWidthTable::General, 0x2022), 0);   // covered, but no printer glyph
    EXPECT_EQ(propWidth(PropWidthTable::General, 0x7F), 0);
    EXPECT_EQ(propWidth(PropWidthTable::General, 0x9F), 0);
    EXPECT_EQ(propWidth(PropWidthTable::General, 0x20AC), 36);
}

// Code points outside the covered ranges take the table default, inside they never do
// by accident of lookup: probe every code point of the first three planes.
TEST(PropWidths, UncoveredCodePointsGetTheDefault)
{
    const std::map<PropWidthTable, int> defaults = {
        {PropWidthTable::General, 30}, {PropWidthTable::Times, 41}, {PropWidthTable::Sans, 39}};
    for (const auto& [table, width] : defaults) {
        EXPECT_EQ(propWidthDefault(table), width);
        EXPECT_EQ(propWidth(table, 0x2600), width);
        int mismatches = 0;
        for (char32_t c = 0; c < 0x30000; ++c) {
            if (!covered(c) && propWidth(table, c) != width && ++mismatches < 5) {
                ADD_FAILURE() << "table " << int(table) << " U+" << std::hex << unsigned(c);
            }
        }
        EXPECT_EQ(propWidth(table, 0x10FFFF), width);
        EXPECT_EQ(propWidth(table, 0xFFFFFFFF), width);
    }
    // Range edges: the first and last covered code points have entries of their own.
    EXPECT_EQ(propWidth(PropWidthTable::General, 0x01FF), 0);
    EXPECT_EQ(propWidth(PropWidthTable::General, 0x0200), 30);
    EXPECT_EQ(propWidth(PropWidthTable::General, 0x2115), 30);
    EXPECT_EQ(propWidth(PropWidthTable::General, 0x2116), 42);
    EXPECT_EQ(propWidth(PropWidthTable::General, 0x2117), 30);
    EXPECT_EQ(propWidth(PropWidthTable::General, 0x232F), 0);
    EXPECT_EQ(propWidth(PropWidthTable::General, 0x2330), 30);
}

TEST(PropWidths, GeneralTableShape)
{
    for (const Range& r : kCovered) {
        for (char32_t c = r.first; c <= r.last; ++c) {
            const int w = propWidth(PropWidthTable::General, c);
            EXPECT_TRUE(w == 0 || (w % 6 == 0 && w >= 18 && w <= 42)) << "U+" << std::hex << unsigned(c) << ": " << w;
        }
    }
    EXPECT_EQ(zerosIn(PropWidthTable::General, 0x0020, 0x00FF), 33);
    EXPECT_EQ(zerosIn(PropWidthTable::General, 0x007F, 0x009F), 33);
    EXPECT_EQ(zerosIn(PropWidthTable::General, 0x0100, 0x01FF), 133);
    EXPECT_EQ(zerosIn(PropWidthTable::General, 0x0280, 0x02FF), 121);
    EXPECT_EQ(zerosIn(PropWidthTable::General, 0x0380, 0x03CF), 8);
    EXPECT_EQ(zerosIn(PropWidthTable::General, 0x2000, 0x20FF), 250);
    EXPECT_EQ(zerosIn(PropWidthTable::General, 0x2116, 0x2116), 0);
    EXPECT_EQ(zerosIn(PropWidthTable::General, 0x2310, 0x232F), 29);
    for (char32_t c = 0x2500; c <= 0x25AF; ++c) {
        EXPECT_EQ(propWidth(PropWidthTable::General, c), 30) << std::hex << unsigned(c);
    }
}

TEST(PropWidths, FaceTablesHaveNoAdvanceOnlyForFormatControls)
{
    struct Expected {
        PropWidthTable table;
        int zeros;
    };
    for (const Expected& e : {Expected{PropWidthTable::Times, 4}, Expected{PropWidthTable::Sans, 15}}) {
        int total = 0;
        for (const Range& r : kCovered) {
            total += zerosIn(e.table, r.first, r.last);
        }
        EXPECT_EQ(total, e.zeros);
        EXPECT_EQ(zerosIn(e.table, 0x2000, 0x20FF), e.zeros);
        for (char32_t c : {0x200Cu, 0x200Du, 0x200Eu, 0x200Fu}) {
            EXPECT_EQ(propWidth(e.table, c), 0) << std::hex << unsigned(c);
        }
        for (char32_t c = 0x20; c <= 0x25AF; ++c) {
            const int w = propWidth(e.table, c);
            EXPECT_LE(w, 60) << "U+" << std::hex << unsigned(c);  // nothing wider than a double em
        }
    }
}

// Everything a job can make the printer draw: the characters of every table above the
// control range, the international sets, the composites and the control-code pictures.
std::set<char32_t> printableCharacters()
{
    std::set<char32_t> out;
    for (const TCharset& charset : charsets()) {
        for (unsigned b = 0x20; b < 256; ++b) {
            const char16_t c = charset.table[b];
            if (c >= 0x20 && !(c >= 0x7F && c <= 0x9F)) {
                out.insert(c);
            }
        }
    }
    for (unsigned n = 0; n < kInternationalSetCount; ++n) {
        out.insert(internationalSet(n)->begin(), internationalSet(n)->end());
    }
    for (const Composition& row : compositions()) {
        out.insert(row.composite);
    }
    for (unsigned code = 1; code <= kDeleteCode; ++code) {
        if (auto glyph = controlGlyph(code); glyph && *glyph != 0) {
            out.insert(*glyph);
        }
    }
    return out;
}

TEST(PropWidths, PrintableCharactersAdvance)
{
    // The printer's own width table has no entry for these few; they print without advance.
    const std::set<char32_t> generalGaps = {0x2020, 0x203C, 0x207F, 0x2319};
    for (char32_t c : printableCharacters()) {
        EXPECT_GT(propWidth(PropWidthTable::Times, c), 0) << "Times U+" << std::hex << unsigned(c);
        EXPECT_GT(propWidth(PropWidthTable::Sans, c), 0) << "Sans U+" << std::hex << unsigned(c);
        if (!generalGaps.contains(c)) {
            EXPECT_GT(propWidth(PropWidthTable::General, c), 0) << "general U+" << std::hex << unsigned(c);
        }
    }
    for (char32_t c : generalGaps) {
        EXPECT_EQ(propWidth(PropWidthTable::General, c), 0) << std::hex << unsigned(c);
    }
}

}  // namespace
