// The guest formats' colours decoded straight from their description, pixel by pixel,
// and host pixel bytes encoded the same way: the yardstick for the table-driven
// converters.
#pragma once

#include "display/pixel_formats.h"

#include <cstdint>
#include <vector>

namespace reference {

inline uint8_t level(unsigned l)
{
    static const uint8_t values[8] = {0, 36, 73, 109, 146, 182, 219, 255};
    return values[l];
}

inline uint32_t paletteColour(uint8_t i)
{
    auto b = [i](int n) { return unsigned(i >> n) & 1; };
    unsigned rTop = b(6) * 2 + b(3), bTop = b(5) * 2 + b(2);
    unsigned red = rTop * 2 + ((rTop != 0 || bTop == 0) ? b(0) : 0);
    unsigned green = b(7) * 4 + b(4) * 2 + b(1);
    unsigned blue = bTop * 2 + (bTop != 0 ? b(0) : 0);
    return uint32_t(level(red)) << 16 | uint32_t(level(green)) << 8 | level(blue);
}

inline uint32_t ql4Colour(unsigned i)
{
    static const uint32_t c[4] = {0x000000, 0xFF0000, 0x00FF00, 0xFFFFFF};
    return c[i];
}

inline uint32_t ql8Colour(unsigned i)
{
    static const uint32_t c[16] = {0x000000, 0x0000FF, 0xFF0000, 0xFF00FF, 0x00FF00, 0x00FFFF, 0xFFFF00, 0xFFFFFF,
                                   0x808080, 0x000080, 0x800000, 0x800080, 0x008000, 0x008080, 0x808000, 0xC0C0C0};
    return c[i];
}

inline uint32_t from565(uint16_t v)
{
    return uint32_t((v >> 11) << 3) << 16 | uint32_t(((v >> 5) & 63) << 2) << 8 | uint32_t((v & 31) << 3);
}

// Colour of host pixel p of a line whose guest bytes start at `bytes`.
inline uint32_t hostPixelColour(GuestFormatId f, const uint8_t* bytes, unsigned p)
{
    switch (f) {
    case GuestFormatId::Ql4: {
        const uint8_t e = bytes[p / 8 * 2], o = bytes[p / 8 * 2 + 1];
        const int bit = 7 - int(p % 8);
        return ql4Colour(((e >> bit) & 1) * 2 + ((o >> bit) & 1));
    }
    case GuestFormatId::Ql8: {
        const unsigned q = p / 2;  // QL pixel, two host pixels wide
        const uint8_t e = bytes[q / 4 * 2], o = bytes[q / 4 * 2 + 1];
        const int hiBit = 7 - 2 * int(q % 4);
        const unsigned g = (e >> hiBit) & 1, fl = (e >> (hiBit - 1)) & 1;
        const unsigned r = (o >> hiBit) & 1, b = (o >> (hiBit - 1)) & 1;
        return ql8Colour(fl * 8 + g * 4 + r * 2 + b);
    }
    case GuestFormatId::Indexed8:
        return paletteColour(bytes[p]);
    case GuestFormatId::Rgb16:
        return from565(uint16_t(bytes[2 * p] | bytes[2 * p + 1] << 8));
    }
    return 0;
}

inline std::vector<uint8_t> hostBytes(uint32_t rgb, HostFormat h)
{
    const unsigned r = rgb >> 16, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    switch (h) {
    case HostFormat::Rgb565: {
        unsigned v = (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3);
        return {uint8_t(v), uint8_t(v >> 8)};
    }
    case HostFormat::Rgb555: {
        unsigned v = (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3);
        return {uint8_t(v), uint8_t(v >> 8)};
    }
    case HostFormat::Bgr24:
        return {uint8_t(b), uint8_t(g), uint8_t(r)};
    case HostFormat::Bgr0:
        return {uint8_t(b), uint8_t(g), uint8_t(r), 0};
    case HostFormat::Rgb0:
        return {uint8_t(r), uint8_t(g), uint8_t(b), 0};
    }
    return {};
}

}  // namespace reference
