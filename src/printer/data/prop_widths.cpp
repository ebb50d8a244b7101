#include "printer/data/prop_widths.h"

#include <array>

namespace {

constexpr std::array<PropWidthRange, kPropWidthRangeCount> kRanges = {{
    {0x0020, 0x01FF},  // Latin, Latin-1, Latin Extended-A and -B
    {0x0280, 0x02FF},  // end of IPA, spacing modifier letters
    {0x0380, 0x03CF},  // Greek
    {0x2000, 0x20FF},  // general punctuation, super- and subscripts, currency signs
    {0x2116, 0x2116},  // numero sign
    {0x2310, 0x232F},  // technical symbols of the PC code pages
    {0x2500, 0x25AF},  // box drawing, blocks, geometric shapes
}};

constexpr std::size_t countEntries()
{
    std::size_t count = 0;
    for (const PropWidthRange& range : kRanges) {
        count += range.last - range.first + 1;
    }
    return count;
}
static_assert(countEntries() == kPropWidthEntries);

#include "printer/data/prop_width_tables.inc"

constexpr std::uint16_t kGeneralDefault = 30;
constexpr std::uint16_t kTimesDefault = 41;
constexpr std::uint16_t kSansDefault = 39;

// Position of a code point in the packed tables, or kPropWidthEntries when not covered.
std::size_t entryIndex(char32_t codePoint)
{
    std::size_t base = 0;
    for (const PropWidthRange& range : kRanges) {
        if (codePoint < range.first) {
            break;
        }
        if (codePoint <= range.last) {
            return base + (codePoint - range.first);
        }
        base += range.last - range.first + 1;
    }
    return kPropWidthEntries;
}

const std::array<std::uint16_t, kPropWidthEntries>& widths(PropWidthTable table)
{
    switch (table) {
    case PropWidthTable::Times:
        return kTimesWidths;
    case PropWidthTable::Sans:
        return kSansWidths;
    case PropWidthTable::General:
        break;
    }
    return kGeneralWidths;
}

}  // namespace

std::span<const PropWidthRange, kPropWidthRangeCount> propWidthRanges() { return kRanges; }

PropWidthTable propWidthTableForTypeface(int typeface)
{
    switch (typeface) {
    case kTypefaceRomanT:
        return PropWidthTable::Times;
    case kTypefaceSansSerifH:
        return PropWidthTable::Sans;
    default:
        return PropWidthTable::General;
    }
}

std::uint16_t propWidthDefault(PropWidthTable table)
{
    switch (table) {
    case PropWidthTable::Times:
        return kTimesDefault;
    case PropWidthTable::Sans:
        return kSansDefault;
    case PropWidthTable::General:
        break;
    }
    return kGeneralDefault;
}

std::uint16_t propWidth(PropWidthTable table, char32_t codePoint)
{
    const std::size_t index = entryIndex(codePoint);
    return index < kPropWidthEntries ? widths(table)[index] : propWidthDefault(table);
}

std::uint16_t propWidthForTypeface(int typeface, char32_t codePoint)
{
    return propWidth(propWidthTableForTypeface(typeface), codePoint);
}
