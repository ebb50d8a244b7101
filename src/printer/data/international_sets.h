#pragma once
// National character replacements selected by ESC R: twelve fixed byte positions of the
// current slot are overwritten with the chosen set's characters.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

inline constexpr std::size_t kInternationalSetCount = 14;
inline constexpr std::size_t kInternationalPositionCount = 12;

using InternationalSet = std::array<char16_t, kInternationalPositionCount>;

// The bytes that a set replaces: # $ @ [ \ ] ^ ` { | } ~
inline constexpr std::array<std::uint8_t, kInternationalPositionCount> kInternationalPositions = {
    0x23, 0x24, 0x40, 0x5B, 0x5C, 0x5D, 0x5E, 0x60, 0x7B, 0x7C, 0x7D, 0x7E};

// nullptr when n >= kInternationalSetCount.
const InternationalSet* internationalSet(unsigned n);

// Writes set n into the replaced positions of a byte table; false (and nothing written)
// when there is no such set.
bool applyInternationalSet(std::span<char16_t, 256> slot, unsigned n);
