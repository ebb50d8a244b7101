#pragma once
// Byte-to-Unicode tables that the interpreter loads into its character slots.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

inline constexpr std::size_t kCharsetTableSize = 256;
using CharsetTable = std::array<char16_t, kCharsetTableSize>;

struct TCharset {
    std::string_view name;  // shown in the settings window
    std::uint32_t id;       // stored in the settings file, selected by ESC ( t
    CharsetTable table;     // indexed by the job byte; 0 marks a byte the code page leaves undefined
};

inline constexpr std::size_t kCharsetCount = 17;
inline constexpr std::uint32_t kDefaultCharsetId = 768;  // PC850, the setting default of every slot

// Identifiers of the tables that have an alternative ESC ( t spelling.
inline constexpr std::uint32_t kIsoLatin1Id = 32513;
inline constexpr std::uint32_t kIsoLatin7Id = 32519;

std::size_t charsetCount();
// All tables in their fixed order (the order of the settings window's choices).
std::span<const TCharset, kCharsetCount> charsets();
// nullptr when index >= charsetCount().
const TCharset* charsetByIndex(std::size_t index);
// nullptr when no table has that identifier.
const TCharset* charsetById(std::uint32_t id);
// Falls back to the default table (PC850) when no table has that identifier.
const TCharset& charsetByIdOrDefault(std::uint32_t id);
std::optional<std::size_t> charsetIndexOf(std::uint32_t id);
// Identifier named by the two table bytes of ESC ( t: d2 * 256 + d3, with the
// alternative registrations (29, 16) and (29, 7) of ISO 8859-1 and ISO 8859-7.
std::uint32_t charsetIdFromSelector(std::uint8_t d2, std::uint8_t d3);
