#include "printer/data/international_sets.h"

namespace {

// Set 0 (USA) is the ASCII characters of the replaced positions themselves.
constexpr std::array<InternationalSet, kInternationalSetCount> kSets = {{
    {u'#', u'$', u'@', u'[', u'\\', u']', u'^', u'`', u'{', u'|', u'}', u'~'},                  // USA
    {u'#', u'$', u'\u00E0', u'\u00B0', u'\u00E7', u'\u00A7', u'^', u'`', u'\u00E9', u'\u00F9',  // France
     u'\u00E8', u'\u00A8'},
    {u'#', u'$', u'\u00A7', u'\u00C4', u'\u00D6', u'\u00DC', u'^', u'`', u'\u00E4', u'\u00F6',  // Germany
     u'\u00FC', u'\u00DF'},
    {u'\u00A3', u'$', u'@', u'[', u'\\', u']', u'^', u'`', u'{', u'|', u'}', u'~'},        // United Kingdom
    {u'#', u'$', u'@', u'\u00C6', u'\u00D8', u'\u00C5', u'^', u'`', u'\u00E6', u'\u00F8',  // Denmark I
     u'\u00E5', u'~'},
    {u'#', u'\u00A4', u'\u00C9', u'\u00C4', u'\u00D6', u'\u00C5', u'\u00DC', u'\u00E9',  // Sweden
     u'\u00E4', u'\u00F6', u'\u00E5', u'\u00FC'},
    {u'#', u'$', u'@', u'\u00B0', u'\\', u'\u00E9', u'^', u'\u00F9', u'\u00E0', u'\u00F2',  // Italy
     u'\u00E8', u'\u00EC'},
    {u'\u20A7', u'$', u'@', u'\u00A1', u'\u00D1', u'\u00BF', u'^', u'`', u'\u00A8', u'\u00F1',  // Spain I
     u'}', u'~'},
    {u'#', u'$', u'@', u'[', u'\u00A5', u']', u'^', u'`', u'{', u'|', u'}', u'~'},       // Japan
    {u'#', u'\u00A4', u'\u00C9', u'\u00C6', u'\u00D8', u'\u00C5', u'\u00DC', u'\u00E9',  // Norway
     u'\u00E6', u'\u00F8', u'\u00E5', u'\u00FC'},
    {u'#', u'$', u'\u00C9', u'\u00C6', u'\u00D8', u'\u00C5', u'\u00DC', u'\u00E9', u'\u00E6',  // Denmark II
     u'\u00F8', u'\u00E5', u'\u00FC'},
    {u'#', u'$', u'\u00E1', u'\u00A1', u'\u00D1', u'\u00BF', u'\u00E9', u'`', u'\u00ED',  // Spain II
     u'\u00F1', u'\u00F3', u'\u00FA'},
    {u'#', u'$', u'\u00E1', u'\u00A1', u'\u00D1', u'\u00BF', u'\u00E9', u'\u00FC', u'\u00ED',  // Latin America
     u'\u00F1', u'\u00F3', u'\u00FA'},
    {u'#', u'$', u'\u00A7', u'\u00B0', u'\'', u'"', u'\u00B6', u'`', u'\u00A9', u'\u00AE',  // Legal
     u'\u2020', u'\u2122'},
}};

}  // namespace

const InternationalSet* internationalSet(unsigned n) { return n < kSets.size() ? &kSets[n] : nullptr; }

bool applyInternationalSet(std::span<char16_t, 256> slot, unsigned n)
{
    const InternationalSet* set = internationalSet(n);
    if (set == nullptr) {
        return false;
    }
    for (std::size_t i = 0; i < kInternationalPositionCount; ++i) {
        slot[kInternationalPositions[i]] = (*set)[i];
    }
    return true;
}
