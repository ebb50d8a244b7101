#pragma once
// Proportional character widths: the advance of each character in proportional mode, in
// 1/360 inch for a 10.5 point font (the page model scales it to the point size in force).

#include <cstddef>
#include <cstdint>
#include <span>

enum class PropWidthTable : std::uint8_t {
    General,  // the printer's own faces (typefaces 0 to 9)
    Times,    // "Roman T", drawn with a Times-style serif face
    Sans,     // "Sans Serif H", drawn with an Arial-style sans face
};

inline constexpr int kTypefaceRomanT = 10;
inline constexpr int kTypefaceSansSerifH = 11;

inline constexpr int kPropWidthUnitsPerInch = 360;
inline constexpr double kPropWidthPointSize = 10.5;

// Code points that have an entry of their own; every other one gets the table default.
struct PropWidthRange {
    char32_t first;
    char32_t last;
};
inline constexpr std::size_t kPropWidthRangeCount = 7;
inline constexpr std::size_t kPropWidthEntries = 1153;
std::span<const PropWidthRange, kPropWidthRangeCount> propWidthRanges();

PropWidthTable propWidthTableForTypeface(int typeface);
std::uint16_t propWidthDefault(PropWidthTable table);
// 0 means the character does not advance the print position.
std::uint16_t propWidth(PropWidthTable table, char32_t codePoint);
std::uint16_t propWidthForTypeface(int typeface, char32_t codePoint);
