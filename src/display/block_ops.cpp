#include "display/block_ops.h"

#include "core/guest_error.h"
#include "log/log.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"
#include "display/screen_state.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr unsigned UnitBytes = 4;
constexpr unsigned PixelBytes16 = 2;
constexpr unsigned AlphaScale = 256;  // alpha / 256 is the weight of source 1
constexpr unsigned MaxTrailingBytes = 4;
constexpr unsigned Rgb9Colours = 512;
constexpr uint32_t Rgb9Mask = Rgb9Colours - 1;

// Field masks of the blend, extended upwards so that a negative step rounds down to a
// whole field step (16 bits for 5-6-5, 9 bits for the palette levels).
constexpr uint32_t Red565 = 0xF800, Green565 = 0x07E0, Blue565 = 0x001F;
constexpr uint32_t RedStep565 = 0xF800, GreenStep565 = 0xFFE0, Mask565 = 0xFFFF;
constexpr uint32_t Red9 = 0x1C0, Green9 = 0x038, Blue9 = 0x007;
constexpr uint32_t RedStep9 = 0x1C0, GreenStep9 = 0x1F8;

uint16_t hi(uint32_t v) { return uint16_t(v >> 16); }
uint16_t lo(uint32_t v) { return uint16_t(v & 0xFFFF); }

uint32_t bigEndianPattern(uint32_t colour) { return __builtin_bswap32(colour); }

// Whole units of a row: plain stores or exclusive-ors of the pattern, which the compiler
// turns into wide vector operations.
void fillUnits(uint8_t* p, size_t units, uint32_t pattern)
{
    for (size_t i = 0; i < units; ++i) memcpy(p + i * UnitBytes, &pattern, UnitBytes);
}

void eorUnits(uint8_t* p, size_t units, uint32_t pattern)
{
    for (size_t i = 0; i < units; ++i) {
        uint32_t v;
        memcpy(&v, p + i * UnitBytes, UnitBytes);
        v ^= pattern;
        memcpy(p + i * UnitBytes, &v, UnitBytes);
    }
}

void putByte(uint8_t* p, uint8_t value, BlockKind kind) { *p = kind == BlockKind::Fill ? value : uint8_t(*p ^ value); }

void putWord(uint8_t* p, uint16_t value, BlockKind kind)
{
    putByte(p, uint8_t(value >> 8), kind);
    putByte(p + 1, uint8_t(value), kind);
}

bool overlapsScreen(uint64_t start, uint64_t extent)
{
    if (!guestScreen.format || !guestScreen.windowStart || extent == 0) return false;
    const uint64_t base = uint64_t(guestScreen.windowStart - mem.base);
    return start < base + guestScreen.size && start + extent > base;
}

struct AreaExtent {
    uint64_t start;   // guest address of the first pixel
    uint64_t extent;  // bytes from the first to one past the last pixel
};

AreaExtent areaExtent(const BlockArea& a, unsigned width, unsigned rows, unsigned shift)
{
    const uint64_t x = a.position >> 16, y = a.position & 0xFFFF;
    return {uint64_t(a.base) + y * a.pitch + (x << shift), uint64_t(rows - 1) * a.pitch + (uint64_t(width) << shift)};
}

bool areaInRam(const AreaExtent& e) { return e.start + e.extent <= mem.ramSize; }

bool areaOnScreen(const BlockArea& a, unsigned width, unsigned rows)
{
    return (a.position & 0xFFFF) + rows <= guestScreen.height && (a.position >> 16) + width <= guestScreen.width;
}

// ---- 8-bit combine: blending happens on 9-bit colours.
struct Rgb9Tables {
    std::array<uint16_t, 256> ofIndex{};
    std::array<uint8_t, Rgb9Colours> index{};
    Rgb9Tables()
    {
        std::array<bool, Rgb9Colours> exact{};
        for (unsigned i = 0; i < 256; ++i) {
            PaletteLevels l = paletteLevels(uint8_t(i));
            ofIndex[i] = uint16_t(l.red << 6 | l.green << 3 | l.blue);
            index[ofIndex[i]] = uint8_t(i);
            exact[ofIndex[i]] = true;
        }
        // A colour the palette lacks takes the nearest one that differs only in red or
        // blue: one level before two, red before blue.
        for (unsigned c = 0; c < Rgb9Colours; ++c) {
            if (exact[c]) continue;
            const int red = int(c >> 6), blue = int(c & 7);
            const unsigned green = c & Green9;
            auto take = [&](int r, int b) {
                if (r < 0 || r > 7 || b < 0 || b > 7) return false;
                const unsigned candidate = unsigned(r) << 6 | green | unsigned(b);
                if (exact[candidate]) index[c] = index[candidate];
                return exact[candidate];
            };
            bool found = false;
            for (int distance = 1; distance <= 2 && !found; ++distance)
                for (int sign : {-1, 1})
                    if ((found = take(red + sign * distance, blue) || take(red, blue + sign * distance))) break;
        }
    }
};

const Rgb9Tables& rgb9Tables()
{
    static const Rgb9Tables tables;
    return tables;
}

// One field of the blend: source 2 + (source 1 - source 2) * alpha / 256, the step
// truncated toward zero and then (for stepMask != 0) rounded down to a field step.
inline uint32_t blendField(uint32_t a, uint32_t b, uint32_t fieldMask, uint32_t stepMask, int alpha)
{
    const int d = (int(a & fieldMask) - int(b & fieldMask)) * alpha;
    int q = d / int(AlphaScale);
    if (stepMask) q &= int(stepMask);
    return (b & fieldMask) + uint32_t(q);
}

inline uint16_t blend565(uint16_t s1, uint16_t s2, int alpha)
{
    const uint32_t r = blendField(s1, s2, Red565, RedStep565, alpha);
    const uint32_t g = blendField(s1, s2, Green565, GreenStep565, alpha);
    const uint32_t b = blendField(s1, s2, Blue565, 0, alpha);
    return uint16_t((r | g | b) & Mask565);
}

inline uint8_t blendIndexed(uint8_t s1, uint8_t s2, int alpha)
{
    const Rgb9Tables& t = rgb9Tables();
    const uint32_t a = t.ofIndex[s1], b = t.ofIndex[s2];
    const uint32_t r = blendField(a, b, Red9, RedStep9, alpha) & Rgb9Mask;
    const uint32_t g = blendField(a, b, Green9, GreenStep9, alpha) & Rgb9Mask;
    const uint32_t bl = blendField(a, b, Blue9, 0, alpha);
    // The fields were rounded within their own bits, so they do not overlap.
    return t.index[(r + g + bl) & Rgb9Mask];
}

constexpr unsigned A1 = 9, A2 = 10, A3 = 11, A4 = 12, A5 = 13;

FillParams fillFromRegisters()
{
    return {cpuRegister(A1), cpuRegister(A2), lo(cpu.D[1]), lo(cpu.D[3]), cpu.D[4], cpu.D[5], cpu.D[6], cpu.D[7]};
}

CombineParams combineFromRegisters()
{
    return {cpu.D[1],
            {cpu.D[2], cpuRegister(A4), cpuRegister(A2)},
            {cpu.D[4], cpuRegister(A1), cpu.D[7]},
            {cpu.D[3], cpuRegister(A5), cpuRegister(A3)},
            uint8_t(cpu.D[6])};
}

}  // namespace

uint16_t paletteRgb9(uint8_t index) { return rgb9Tables().ofIndex[index]; }
uint8_t paletteIndexOfRgb9(uint16_t rgb9) { return rgb9Tables().index[rgb9 & Rgb9Mask]; }

int32_t fillBlock(BlockKind kind, unsigned bitsPerPixel, const FillParams& p)
{
    const bool wide = bitsPerPixel == ScreenBits::Rgb16;
    const bool leading = wide ? (p.d4 & 0xFF) != 0 : ((p.d4 >> 16) & 0xFF) != 0;
    const bool trailing16 = wide && (p.d5 & 0xFF) != 0;
    const unsigned trailing8 = wide ? 0 : (p.d4 & 0xFF);
    const uint64_t width =
        uint64_t(p.units) * UnitBytes +
        (wide ? (leading ? PixelBytes16 : 0) + (trailing16 ? PixelBytes16 : 0) : (leading ? 1 : 0) + trailing8);
    const uint64_t rowPitch = uint64_t(p.gap) + width;
    const uint64_t extent = p.rows ? (uint64_t(p.rows) - 1) * rowPitch + width : 0;
    if (extent == 0 || p.rows == 0) return 0;
    if (!guestScreen.format || p.rows > guestScreen.height || width > guestScreen.pitch ||
        p.address + extent > mem.ramSize) {
        zlog(LogCat::Screen,
             kind == BlockKind::Fill ? "Error in FillBlock (base %x, pitch %x, size %d x %d)\r\n"
                                     : "Error in EorBlock (base %x, pitch %x, size %d x %d)\r\n",
             unsigned(p.address), unsigned(rowPitch), int(width), int(p.rows));
        return GuestError::BadParameter;
    }

    uint8_t* const first = mem.base + p.address;
    // Only the trailing bytes the row counts are touched, whatever the mask says beyond.
    const unsigned trailingTouched = std::min(trailing8, MaxTrailingBytes);
    for (unsigned r = 0; r < p.rows; ++r) {
        const uint32_t colour = (r & 1) ? p.oddColour : p.evenColour;
        uint8_t* q = first + r * rowPitch;
        if (leading) {
            if (wide)
                putWord(q, lo(colour), kind);
            else
                putByte(q, uint8_t(colour >> 16), kind);
            q += wide ? PixelBytes16 : 1;
        }
        if (kind == BlockKind::Fill)
            fillUnits(q, p.units, bigEndianPattern(colour));
        else
            eorUnits(q, p.units, bigEndianPattern(colour));
        q += size_t(p.units) * UnitBytes;
        if (trailing16) putWord(q, hi(colour), kind);
        for (unsigned k = 0; k < trailingTouched; ++k) {
            const uint8_t mask = uint8_t(p.d5 >> (24 - 8 * k));
            const uint8_t c = uint8_t(colour >> (24 - 8 * k)) & mask;
            q[k] = kind == BlockKind::Fill ? uint8_t((q[k] & ~mask) | c) : uint8_t(q[k] ^ c);
        }
    }
    if (overlapsScreen(p.address, extent)) screenNoteRows(first, size_t(rowPitch), size_t(width), p.rows);
    return 0;
}

int32_t combineBlock(unsigned bitsPerPixel, const CombineParams& p)
{
    const unsigned width = p.size >> 16, rows = p.size & 0xFFFF;
    if (rows == 0 || width == 0) return 0;
    const unsigned shift = bitsPerPixel == ScreenBits::Rgb16 ? 1 : 0;
    const AreaExtent s1 = areaExtent(p.source1, width, rows, shift);
    const AreaExtent s2 = areaExtent(p.source2, width, rows, shift);
    const AreaExtent d = areaExtent(p.destination, width, rows, shift);
    const bool fits = guestScreen.format && areaOnScreen(p.source1, width, rows) &&
                      areaOnScreen(p.source2, width, rows) && areaOnScreen(p.destination, width, rows) &&
                      areaInRam(s1) && areaInRam(s2) && areaInRam(d);
    if (!fits) {
        zlog(LogCat::Screen, "Error in CombineBlock (%d x %d . %d x %d = %d x %d, size %d x %d)\r\n",
             int(p.source1.position >> 16), int(p.source1.position & 0xFFFF), int(p.source2.position >> 16),
             int(p.source2.position & 0xFFFF), int(p.destination.position >> 16), int(p.destination.position & 0xFFFF),
             int(width), int(rows));
        return GuestError::BadParameter;
    }
    const int alpha = p.alpha;
    for (unsigned r = 0; r < rows; ++r) {
        const uint8_t* a = mem.base + s1.start + uint64_t(r) * p.source1.pitch;
        const uint8_t* b = mem.base + s2.start + uint64_t(r) * p.source2.pitch;
        uint8_t* out = mem.base + d.start + uint64_t(r) * p.destination.pitch;
        if (shift) {
            for (unsigned x = 0; x < width; ++x) {
                const uint16_t v1 = uint16_t(a[2 * x] | a[2 * x + 1] << 8);
                const uint16_t v2 = uint16_t(b[2 * x] | b[2 * x + 1] << 8);
                const uint16_t v = blend565(v1, v2, alpha);
                out[2 * x] = uint8_t(v);
                out[2 * x + 1] = uint8_t(v >> 8);
            }
        } else {
            for (unsigned x = 0; x < width; ++x) out[x] = blendIndexed(a[x], b[x], alpha);
        }
    }
    if (overlapsScreen(d.start, d.extent))
        screenNoteRows(mem.base + d.start, p.destination.pitch, size_t(width) << shift, rows);
    return 0;
}

int32_t moveArea(const MoveParams& p)
{
    const unsigned width = p.size >> 16, rows = p.size & 0xFFFF;
    if (rows == 0 || width == 0) return 0;
    const unsigned shift = guestScreen.format ? guestScreen.format->shift : 0;
    const AreaExtent s = areaExtent(p.source, width, rows, shift);
    const AreaExtent d = areaExtent(p.destination, width, rows, shift);
    const bool onScreen = overlapsScreen(d.start, d.extent);
    // x and width count bytes in the QL formats, so the line is measured in bytes.
    const bool fitsScreen =
        !onScreen || ((p.destination.position & 0xFFFF) + rows <= guestScreen.height &&
                      (uint64_t((p.destination.position >> 16) + width) << shift) <= guestScreen.pitch);
    if (!fitsScreen || !areaInRam(s) || !areaInRam(d)) {
        zlog(LogCat::Screen, "Error in MoveArea (%d x %d = %d x %d, size %d x %d)\r\n", int(p.source.position >> 16),
             int(p.source.position & 0xFFFF), int(p.destination.position >> 16), int(p.destination.position & 0xFFFF),
             int(width), int(rows));
        cpuSetTrace();
        return GuestError::BadParameter;
    }
    const size_t bytes = size_t(width) << shift;
    const bool downwards = d.start < s.start;
    for (unsigned i = 0; i < rows; ++i) {
        const unsigned r = downwards ? i : rows - 1 - i;
        memmove(mem.base + d.start + uint64_t(r) * p.destination.pitch,
                mem.base + s.start + uint64_t(r) * p.source.pitch, bytes);
    }
    if (onScreen) screenNoteRows(mem.base + d.start, p.destination.pitch, bytes, rows);
    return 0;
}

int32_t fillBlock8() { return fillBlock(BlockKind::Fill, ScreenBits::Indexed, fillFromRegisters()); }
int32_t fillBlock16() { return fillBlock(BlockKind::Fill, ScreenBits::Rgb16, fillFromRegisters()); }
int32_t eorBlock8() { return fillBlock(BlockKind::Eor, ScreenBits::Indexed, fillFromRegisters()); }
int32_t eorBlock16() { return fillBlock(BlockKind::Eor, ScreenBits::Rgb16, fillFromRegisters()); }
int32_t combineBlock8() { return combineBlock(ScreenBits::Indexed, combineFromRegisters()); }
int32_t combineBlock16() { return combineBlock(ScreenBits::Rgb16, combineFromRegisters()); }

int32_t moveAreaFromRegisters()
{
    return moveArea(
        {cpu.D[1], {cpu.D[2], cpuRegister(A4), cpuRegister(A2)}, {cpu.D[3], cpuRegister(A5), cpuRegister(A3)}});
}
