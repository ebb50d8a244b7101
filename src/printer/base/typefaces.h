// The twelve printer typefaces, numbered as the job selects them.
#pragma once

#include <array>
#include <string_view>

namespace zemprint {

inline constexpr int kTypefaceCount = 12;
// Typefaces 0 to 9 have a width factor; 10 and 11 are proportional faces.
inline constexpr int kZoomedTypefaceCount = 10;

inline constexpr std::array<std::string_view, kTypefaceCount> kTypefaceNames = {
    "Roman", "Sans Serif", "Courier",  "Prestige", "Script",  "OCR-B",
    "OCR-A", "Orator",     "Orator-S", "Script-C", "Roman T", "Sans Serif H",
};

}  // namespace zemprint
