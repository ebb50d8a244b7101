#pragma once
// Pictures printed for control codes by ESC ( ^ (print data as characters).

#include <cstdint>
#include <optional>

inline constexpr unsigned kControlGlyphCount = 32;
inline constexpr std::uint8_t kDeleteCode = 127;
inline constexpr char16_t kDeleteGlyph = u'\u2302';

// The picture for codes 0 to 31 and for 127; nullopt for every other code, which prints
// through the current slot instead. Codes 0 and 21 have no picture and give U+0000.
std::optional<char16_t> controlGlyph(unsigned code);
