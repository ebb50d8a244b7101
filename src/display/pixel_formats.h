// The guest pixel formats, their colours and the cell converters into every host pixel
// format. A cell is 4 bytes of guest screen memory; a converter writes the host pixels
// of one cell, a span converter those of a run of cells of one line.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Host pixel formats, in the order of the converter slots of a format record.
enum class HostFormat : uint8_t {
    Rgb565,  // 16 bits, variant 1
    Rgb555,  // 16 bits, variant 2
    Bgr24,   // 24 bits: bytes B, G, R
    Bgr0,    // 32 bits, variant 1: bytes B, G, R, 0
    Rgb0,    // 32 bits, variant 2: bytes R, G, B, 0
};
constexpr size_t HostFormatCount = 5;

// The host format of a (bits, variant) pair as a back end reports it; false when there
// is no converter for it (a 16 or 32-bit variant other than 1 or 2, or other bits).
bool hostFormatFromBits(unsigned bits, unsigned variant, HostFormat& format);
unsigned hostBytesPerPixel(HostFormat format);

enum class GuestFormatId : uint8_t { Ql4, Ql8, Indexed8, Rgb16 };

// 24-bit colour 0xRRGGBB.
using Rgb = uint32_t;

namespace QlColour {
// QL 4-colour: index G << 1 | R.
constexpr std::array<Rgb, 4> Four = {0x000000, 0xFF0000, 0x00FF00, 0xFFFFFF};
// QL 8-colour: index F << 3 | G << 2 | R << 1 | B; 8-15 are the flash set.
constexpr std::array<Rgb, 16> Eight = {0x000000, 0x0000FF, 0xFF0000, 0xFF00FF, 0x00FF00, 0x00FFFF, 0xFFFF00, 0xFFFFFF,
                                       0x808080, 0x000080, 0x800000, 0x800080, 0x008000, 0x008080, 0x808000, 0xC0C0C0};
// Palette indices of the same colours in the 8-bit format.
constexpr std::array<uint8_t, 4> FourIndex = {0, 73, 147, 255};
constexpr std::array<uint8_t, 16> EightIndex = {0,   37, 73, 109, 147, 183, 219, 255,
                                                224, 32, 64, 96,  128, 160, 192, 252};
}  // namespace QlColour

// 3-bit channel levels of a palette index (red, green, blue) and their 8-bit values.
struct PaletteLevels {
    uint8_t red, green, blue;
};
PaletteLevels paletteLevels(uint8_t index);
uint8_t levelValue(unsigned level);  // round(level * 255 / 7)
Rgb paletteRgb(uint8_t index);
// The 16-bit guest value (5-6-5) of a colour, and a guest 5-6-5 value as host pixel.
uint16_t rgb565(Rgb colour);

// The host pixel value of a colour (24-bit formats: B | G << 8 | R << 16).
uint32_t hostPixel(Rgb colour, HostFormat format);
// The host pixel of a 16-bit guest value.
uint32_t hostPixelFrom565(uint16_t value, HostFormat format);

// A cell as loaded from guest memory: byte i of the cell in bits 8i-8i+7.
inline uint32_t loadCell(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

using CellConverter = void (*)(uint8_t* dest, uint32_t cell);
// Converts `cells` whole cells starting at src into dest.
using SpanConverter = void (*)(uint8_t* dest, const uint8_t* src, size_t cells);

struct ConverterSet {
    std::array<CellConverter, HostFormatCount> cell;
    std::array<SpanConverter, HostFormatCount> span;
};
const ConverterSet& convertersFor(GuestFormatId format);
// Host pixels that one cell of the format produces.
unsigned hostPixelsPerCell(GuestFormatId format);
