#include "display/mirror.h"

#include "cpu/memory.h"
#include "display/screen_state.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr unsigned PixelsPerQlWord = 8;  // host-width pixels a QL word covers

uint8_t* qlLine(unsigned line) { return mem.base + QlScreen::Address + size_t(QlScreen::Pitch) * line; }
uint8_t* screenLine(unsigned line) { return guestScreen.windowStart + guestScreen.pitch * line; }

// The colour index (0-15 in mode 8, 0-3 in mode 4) of pixel k (0-7) of a QL word.
unsigned qlPixel(unsigned even, unsigned odd, unsigned k, uint8_t mode)
{
    if (mode == MirrorMode::Four) {
        const unsigned bit = 7 - k;
        return ((even >> bit) & 1) << 1 | ((odd >> bit) & 1);
    }
    const unsigned shift = 2 * (3 - k / 2);
    const unsigned e = (even >> shift) & 3, o = (odd >> shift) & 3;
    return (e & 1) << 3 | (e >> 1) << 2 | (o >> 1) << 1 | (o & 1);
}

// Colour values of the mirror mode's QL colours in a screen format (indices or 5-6-5).
template <typename Pixel>
struct MirrorColours {
    Pixel four[4];
    Pixel eight[16];
};

const MirrorColours<uint16_t>& colours16()
{
    static const MirrorColours<uint16_t> c = [] {
        MirrorColours<uint16_t> m{};
        for (unsigned i = 0; i < 4; ++i) m.four[i] = rgb565(QlColour::Four[i]);
        for (unsigned i = 0; i < 16; ++i) m.eight[i] = rgb565(QlColour::Eight[i]);
        return m;
    }();
    return c;
}

const MirrorColours<uint8_t>& colours8()
{
    static const MirrorColours<uint8_t> c = [] {
        MirrorColours<uint8_t> m{};
        std::copy(QlColour::FourIndex.begin(), QlColour::FourIndex.end(), m.four);
        std::copy(QlColour::EightIndex.begin(), QlColour::EightIndex.end(), m.eight);
        return m;
    }();
    return c;
}

template <typename Pixel>
void storePixel(uint8_t* p, Pixel v)
{
    if constexpr (sizeof(Pixel) == 1)
        *p = v;
    else {
        p[0] = uint8_t(v);  // the 16-bit format keeps the low byte first
        p[1] = uint8_t(v >> 8);
    }
}

template <typename Pixel>
Pixel loadPixel(const uint8_t* p)
{
    if constexpr (sizeof(Pixel) == 1)
        return *p;
    else
        return Pixel(p[0] | p[1] << 8);
}

template <typename Pixel>
void qlToScreen(const MirrorColours<Pixel>& colours, unsigned column, unsigned line, unsigned size)
{
    const uint8_t mode = guestScreen.mirrorMode;
    if (line >= guestScreen.shownLines || mode == MirrorMode::Off) return;
    const unsigned firstWord = column / 2;
    const unsigned lastWord = std::min((column + size - 1) / 2, QlScreen::Pitch / 2 - 1);
    const uint8_t* ql = qlLine(line);
    uint8_t* out = screenLine(line);
    const unsigned firstX = firstWord * PixelsPerQlWord;
    const unsigned endX = std::min((lastWord + 1) * PixelsPerQlWord, guestScreen.width);
    if (firstX >= endX) return;
    for (unsigned x = firstX; x < endX; ++x) {
        const unsigned word = x / PixelsPerQlWord;
        const unsigned index = qlPixel(ql[2 * word], ql[2 * word + 1], x % PixelsPerQlWord, mode);
        storePixel<Pixel>(out + x * sizeof(Pixel),
                          mode == MirrorMode::Four ? colours.four[index] : colours.eight[index]);
    }
    screenMarkLine(line, firstX * sizeof(Pixel), (endX - firstX) * sizeof(Pixel));
}

template <typename Pixel>
void screenToQl(const MirrorColours<Pixel>& colours, unsigned column, unsigned line, unsigned size)
{
    const uint8_t mode = guestScreen.mirrorMode;
    if (line >= QlScreen::Lines || mode == MirrorMode::Off || size == 0) return;
    const unsigned firstX = column / sizeof(Pixel);
    const unsigned endX =
        std::min({(column + size - 1) / unsigned(sizeof(Pixel)) + 1, QlScreen::Width, guestScreen.width});
    const uint8_t* in = screenLine(line);
    uint8_t* ql = qlLine(line);
    for (unsigned x = firstX; x < endX; ++x) {
        const Pixel value = loadPixel<Pixel>(in + x * sizeof(Pixel));
        uint8_t* word = ql + (x / PixelsPerQlWord) * 2;
        if (mode == MirrorMode::Four) {
            const Pixel* hit = std::find(colours.four, colours.four + 4, value);
            if (hit == colours.four + 4) continue;
            const unsigned index = unsigned(hit - colours.four);
            const uint8_t bit = uint8_t(0x80 >> (x % PixelsPerQlWord));
            word[0] = uint8_t((word[0] & ~bit) | ((index >> 1) ? bit : 0));
            word[1] = uint8_t((word[1] & ~bit) | ((index & 1) ? bit : 0));
        } else {
            if (x % 2) continue;
            const Pixel* hit = std::find(colours.eight, colours.eight + 8, value);  // no flash colours
            if (hit == colours.eight + 8) continue;
            const unsigned index = unsigned(hit - colours.eight);
            const unsigned pair = 3 - (x / 2) % 4;
            const uint8_t mask = uint8_t(3u << (2 * pair));
            const unsigned green = (index >> 2) & 1, red = (index >> 1) & 1, blue = index & 1;
            word[0] = uint8_t((word[0] & ~mask) | (green << 1) << (2 * pair));
            word[1] = uint8_t((word[1] & ~mask) | (red << 1 | blue) << (2 * pair));
        }
    }
}

}  // namespace

void mirrorScreenToQlCopy(uint8_t* host, unsigned column, unsigned line, unsigned size)
{
    if (column >= QlScreen::Pitch || line >= QlScreen::Lines) return;
    memmove(qlLine(line) + column, host, std::min(size, QlScreen::Pitch - column));
}

void mirrorQlToScreenCopy(uint8_t* host, unsigned column, unsigned line, unsigned size)
{
    if (line >= guestScreen.shownLines || column >= guestScreen.pitch) return;
    const size_t length = std::min<size_t>({size, QlScreen::Pitch - column, guestScreen.pitch - column});
    memmove(screenLine(line) + column, host, length);
    screenMarkLine(line, column, length);
}

void mirrorScreenToQl8(uint8_t*, unsigned column, unsigned line, unsigned size)
{
    screenToQl(colours8(), column, line, size);
}

void mirrorQlToScreen8(uint8_t*, unsigned column, unsigned line, unsigned size)
{
    qlToScreen(colours8(), column, line, size);
}

void mirrorScreenToQl16(uint8_t*, unsigned column, unsigned line, unsigned size)
{
    screenToQl(colours16(), column, line, size);
}

void mirrorQlToScreen16(uint8_t*, unsigned column, unsigned line, unsigned size)
{
    qlToScreen(colours16(), column, line, size);
}
