#pragma once
// Overstrike compositions: a character, BS and a second character print as one composite
// character when the pair (in either order) has a row here.

#include <cstddef>
#include <optional>
#include <span>

struct Composition {
    char16_t base;
    char16_t accent;
    char16_t composite;
};

inline constexpr std::size_t kCompositionCount = 46;

// All rows in search order.
std::span<const Composition, kCompositionCount> compositions();

// The composite of the first row whose two source characters are (first, second) or
// (second, first); nullopt when no row matches.
std::optional<char16_t> composeOverstrike(char16_t first, char16_t second);
