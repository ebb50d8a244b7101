#include "display/pixel_formats.h"

#include <bit>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define ZEM_HAVE_AVX2_PATH 1
#endif

static_assert(std::endian::native == std::endian::little, "host pixels are stored little-endian");

namespace {

constexpr unsigned LevelMax = 7;
constexpr unsigned ChannelMax = 255;
constexpr unsigned PixelsPerNibble = 4;  // host pixels one nibble pair of a QL word gives
constexpr unsigned NibblePairs = 256;

template <HostFormat H>
constexpr unsigned bytesPerPixel()
{
    if constexpr (H == HostFormat::Rgb565 || H == HostFormat::Rgb555)
        return 2;
    else if constexpr (H == HostFormat::Bgr24)
        return 3;
    else
        return 4;
}

template <HostFormat H>
inline void storePixel(uint8_t* d, uint32_t value)
{
    if constexpr (bytesPerPixel<H>() == 2) {
        uint16_t v = uint16_t(value);
        memcpy(d, &v, 2);
    } else if constexpr (bytesPerPixel<H>() == 3) {
        d[0] = uint8_t(value);
        d[1] = uint8_t(value >> 8);
        d[2] = uint8_t(value >> 16);
    } else {
        memcpy(d, &value, 4);
    }
}

constexpr uint32_t encode(unsigned r, unsigned g, unsigned b, HostFormat format)
{
    switch (format) {
    case HostFormat::Rgb565:
        return (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3);
    case HostFormat::Rgb555:
        return (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3);
    case HostFormat::Bgr24:
    case HostFormat::Bgr0:
        return b | g << 8 | r << 16;
    case HostFormat::Rgb0:
        return r | g << 8 | b << 16;
    }
    return 0;
}

// 16-bit guest value to host pixel, written so that the compiler can vectorise the loop.
template <HostFormat H>
inline uint32_t from565(uint32_t v)
{
    if constexpr (H == HostFormat::Rgb565)
        return v;
    else if constexpr (H == HostFormat::Rgb555)
        return ((v >> 1) & 0x7FE0) | (v & 0x1F);
    else {
        uint32_t r = (v >> 11) << 3, g = ((v >> 5) & 0x3F) << 2, b = (v & 0x1F) << 3;
        if constexpr (H == HostFormat::Rgb0)
            return r | g << 8 | b << 16;
        else
            return b | g << 8 | r << 16;
    }
}

// ---- 16-bit guest format: two pixels per cell, low byte first.
template <HostFormat H>
void cell16(uint8_t* d, uint32_t cell)
{
    storePixel<H>(d, from565<H>(cell & 0xFFFF));
    storePixel<H>(d + bytesPerPixel<H>(), from565<H>(cell >> 16));
}

#if defined(__SSE2__)
// Eight 16-bit guest pixels at a time into 32-bit host pixels: each field is masked and
// shifted into its byte in place.
template <HostFormat H>
inline size_t span16To32Vector(uint8_t* d, const uint8_t* s, size_t pixels)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i red = _mm_set1_epi32(0xF800), green = _mm_set1_epi32(0x07E0), blue = _mm_set1_epi32(0x001F);
    auto convert = [&](__m128i p) {
        const __m128i g = _mm_slli_epi32(_mm_and_si128(p, green), 5);
        if constexpr (H == HostFormat::Bgr0)
            return _mm_or_si128(_mm_or_si128(_mm_slli_epi32(_mm_and_si128(p, red), 8), g),
                                _mm_slli_epi32(_mm_and_si128(p, blue), 3));
        else
            return _mm_or_si128(_mm_or_si128(_mm_srli_epi32(_mm_and_si128(p, red), 8), g),
                                _mm_slli_epi32(_mm_and_si128(p, blue), 19));
    };
    size_t i = 0;
    for (; i + 8 <= pixels; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 2 * i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * i), convert(_mm_unpacklo_epi16(v, zero)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * i + 16), convert(_mm_unpackhi_epi16(v, zero)));
    }
    return i;
}
#endif

#if defined(ZEM_HAVE_AVX2_PATH)
// The same sixteen pixels at a time, on processors that have AVX2 (chosen at run time).
template <HostFormat H>
__attribute__((target("avx2"))) size_t span16To32Wide(uint8_t* d, const uint8_t* s, size_t pixels)
{
    const __m256i red = _mm256_set1_epi32(0xF800), green = _mm256_set1_epi32(0x07E0), blue = _mm256_set1_epi32(0x001F);
    auto convert = [&](__m128i packed) __attribute__((target("avx2")))
    {
        const __m256i p = _mm256_cvtepu16_epi32(packed);
        const __m256i g = _mm256_slli_epi32(_mm256_and_si256(p, green), 5);
        if constexpr (H == HostFormat::Bgr0)
            return _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi32(_mm256_and_si256(p, red), 8), g),
                                   _mm256_slli_epi32(_mm256_and_si256(p, blue), 3));
        else
            return _mm256_or_si256(_mm256_or_si256(_mm256_srli_epi32(_mm256_and_si256(p, red), 8), g),
                                   _mm256_slli_epi32(_mm256_and_si256(p, blue), 19));
    };
    size_t i = 0;
    for (; i + 16 <= pixels; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 2 * i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 2 * i + 16));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 4 * i), convert(a));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 4 * i + 32), convert(b));
    }
    return i;
}

const bool hostHasAvx2 = __builtin_cpu_supports("avx2");
#endif

template <HostFormat H>
void span16(uint8_t* d, const uint8_t* s, size_t cells)
{
    const size_t pixels = cells * 2;
    size_t i = 0;
    if constexpr (H == HostFormat::Bgr0 || H == HostFormat::Rgb0) {
#if defined(ZEM_HAVE_AVX2_PATH)
        if (hostHasAvx2) i = span16To32Wide<H>(d, s, pixels);
#endif
#if defined(__SSE2__)
        i += span16To32Vector<H>(d + 4 * i, s + 2 * i, pixels - i);
#endif
    }
    for (; i < pixels; ++i) {
        uint16_t v;
        memcpy(&v, s + 2 * i, 2);
        storePixel<H>(d + i * bytesPerPixel<H>(), from565<H>(v));
    }
}

// ---- 8-bit guest format: one palette index per byte.
struct PaletteTable {
    std::array<std::array<uint32_t, 256>, HostFormatCount> pixel;
    PaletteTable()
    {
        for (size_t f = 0; f < HostFormatCount; ++f)
            for (unsigned i = 0; i < 256; ++i) pixel[f][i] = hostPixel(paletteRgb(uint8_t(i)), HostFormat(f));
    }
};
const PaletteTable& paletteTable()
{
    static const PaletteTable table;
    return table;
}

template <HostFormat H>
void cell8(uint8_t* d, uint32_t cell)
{
    const auto& t = paletteTable().pixel[size_t(H)];
    for (unsigned i = 0; i < 4; ++i) storePixel<H>(d + i * bytesPerPixel<H>(), t[(cell >> (8 * i)) & 0xFF]);
}

template <HostFormat H>
void span8(uint8_t* d, const uint8_t* s, size_t cells)
{
    const auto& t = paletteTable().pixel[size_t(H)];
    const size_t pixels = cells * 4;
    for (size_t i = 0; i < pixels; ++i) storePixel<H>(d + i * bytesPerPixel<H>(), t[s[i]]);
}

// ---- QL formats: a word is an even (green) and an odd (red) byte. The high nibbles of
// both give four host pixels, the low nibbles the next four; one table per format holds
// the pre-encoded host bytes of every nibble pair.
struct NibbleTables {
    // [format: 0 = 4-colour, 1 = 8-colour][host format][G nibble << 4 | R nibble]
    alignas(16) uint8_t bytes[2][HostFormatCount][NibblePairs][PixelsPerNibble * 4];
    NibbleTables()
    {
        for (size_t f = 0; f < HostFormatCount; ++f) {
            const HostFormat host = HostFormat(f);
            const unsigned bpp = hostBytesPerPixel(host);
            for (unsigned pair = 0; pair < NibblePairs; ++pair) {
                const unsigned even = pair >> 4, odd = pair & 0xF;
                for (unsigned k = 0; k < PixelsPerNibble; ++k) {
                    // 4-colour: one pixel per bit.
                    const unsigned bit = 3 - k;
                    const unsigned four = ((even >> bit) & 1) << 1 | ((odd >> bit) & 1);
                    put(bytes[0][f][pair] + k * bpp, hostPixel(QlColour::Four[four], host), bpp);
                    // 8-colour: bit pairs G F / R B, each pixel two host pixels wide.
                    const unsigned shift = k < 2 ? 2 : 0;
                    const unsigned e = (even >> shift) & 3, o = (odd >> shift) & 3;
                    const unsigned eight = (e & 1) << 3 | (e >> 1) << 2 | (o >> 1) << 1 | (o & 1);
                    put(bytes[1][f][pair] + k * bpp, hostPixel(QlColour::Eight[eight], host), bpp);
                }
            }
        }
    }
    static void put(uint8_t* d, uint32_t v, unsigned bpp)
    {
        for (unsigned i = 0; i < bpp; ++i) d[i] = uint8_t(v >> (8 * i));
    }
};
const NibbleTables& nibbleTables()
{
    static const NibbleTables tables;
    return tables;
}

template <unsigned Ql, HostFormat H>
inline void qlWord(uint8_t* d, unsigned even, unsigned odd, const uint8_t (*table)[PixelsPerNibble * 4])
{
    constexpr unsigned chunk = PixelsPerNibble * bytesPerPixel<H>();
    memcpy(d, table[(even & 0xF0) | odd >> 4], chunk);
    memcpy(d + chunk, table[(even & 0x0F) << 4 | (odd & 0x0F)], chunk);
}

template <unsigned Ql, HostFormat H>
void cellQl(uint8_t* d, uint32_t cell)
{
    const auto* table = nibbleTables().bytes[Ql][size_t(H)];
    constexpr unsigned word = 2 * PixelsPerNibble * bytesPerPixel<H>();
    qlWord<Ql, H>(d, cell & 0xFF, (cell >> 8) & 0xFF, table);
    qlWord<Ql, H>(d + word, (cell >> 16) & 0xFF, cell >> 24, table);
}

template <unsigned Ql, HostFormat H>
void spanQl(uint8_t* d, const uint8_t* s, size_t cells)
{
    const auto* table = nibbleTables().bytes[Ql][size_t(H)];
    constexpr unsigned word = 2 * PixelsPerNibble * bytesPerPixel<H>();
    for (size_t i = 0; i < cells * 2; ++i) qlWord<Ql, H>(d + i * word, s[2 * i], s[2 * i + 1], table);
}

template <template <HostFormat> class F>
constexpr auto perHost()
{
    return std::array{F<HostFormat::Rgb565>::value, F<HostFormat::Rgb555>::value, F<HostFormat::Bgr24>::value,
                      F<HostFormat::Bgr0>::value, F<HostFormat::Rgb0>::value};
}

#define ZEM_PER_HOST(name, fn)             \
    template <HostFormat H>                \
    struct name {                          \
        static constexpr auto value = &fn; \
    };
ZEM_PER_HOST(Cell16, cell16<H>)
ZEM_PER_HOST(Span16, span16<H>)
ZEM_PER_HOST(Cell8, cell8<H>)
ZEM_PER_HOST(Span8, span8<H>)
ZEM_PER_HOST(Cell4, (cellQl<0, H>))
ZEM_PER_HOST(Span4, (spanQl<0, H>))
ZEM_PER_HOST(CellQl8, (cellQl<1, H>))
ZEM_PER_HOST(SpanQl8, (spanQl<1, H>))
#undef ZEM_PER_HOST

const ConverterSet Converters[] = {
    {perHost<Cell4>(), perHost<Span4>()},
    {perHost<CellQl8>(), perHost<SpanQl8>()},
    {perHost<Cell8>(), perHost<Span8>()},
    {perHost<Cell16>(), perHost<Span16>()},
};

}  // namespace

bool hostFormatFromBits(unsigned bits, unsigned variant, HostFormat& format)
{
    if (bits == 24)
        format = HostFormat::Bgr24;
    else if (bits == 16 && variant == 1)
        format = HostFormat::Rgb565;
    else if (bits == 16 && variant == 2)
        format = HostFormat::Rgb555;
    else if (bits == 32 && variant == 1)
        format = HostFormat::Bgr0;
    else if (bits == 32 && variant == 2)
        format = HostFormat::Rgb0;
    else
        return false;
    return true;
}

unsigned hostBytesPerPixel(HostFormat format)
{
    switch (format) {
    case HostFormat::Rgb565:
    case HostFormat::Rgb555:
        return 2;
    case HostFormat::Bgr24:
        return 3;
    default:
        return 4;
    }
}

PaletteLevels paletteLevels(uint8_t i)
{
    auto b = [i](unsigned n) { return unsigned(i >> n) & 1; };
    const unsigned redHigh = b(6) << 1 | b(3), blueHigh = b(5) << 1 | b(2);
    const unsigned green = b(7) << 2 | b(4) << 1 | b(1);
    const unsigned redLow = (redHigh != 0 || blueHigh == 0) ? b(0) : 0;
    const unsigned blueLow = blueHigh != 0 ? b(0) : 0;
    return {uint8_t(redHigh << 1 | redLow), uint8_t(green), uint8_t(blueHigh << 1 | blueLow)};
}

uint8_t levelValue(unsigned level) { return uint8_t((level * ChannelMax * 2 + LevelMax) / (LevelMax * 2)); }

Rgb paletteRgb(uint8_t index)
{
    PaletteLevels l = paletteLevels(index);
    return Rgb(levelValue(l.red)) << 16 | Rgb(levelValue(l.green)) << 8 | levelValue(l.blue);
}

uint16_t rgb565(Rgb c) { return uint16_t(encode(c >> 16, (c >> 8) & 0xFF, c & 0xFF, HostFormat::Rgb565)); }

uint32_t hostPixel(Rgb c, HostFormat format) { return encode(c >> 16, (c >> 8) & 0xFF, c & 0xFF, format); }

uint32_t hostPixelFrom565(uint16_t value, HostFormat format)
{
    switch (format) {
    case HostFormat::Rgb565:
        return from565<HostFormat::Rgb565>(value);
    case HostFormat::Rgb555:
        return from565<HostFormat::Rgb555>(value);
    case HostFormat::Bgr24:
        return from565<HostFormat::Bgr24>(value);
    case HostFormat::Bgr0:
        return from565<HostFormat::Bgr0>(value);
    case HostFormat::Rgb0:
        return from565<HostFormat::Rgb0>(value);
    }
    return 0;
}

const ConverterSet& convertersFor(GuestFormatId format) { return Converters[size_t(format)]; }

unsigned hostPixelsPerCell(GuestFormatId format)
{
    switch (format) {
    case GuestFormatId::Ql4:
    case GuestFormatId::Ql8:
        return 16;
    case GuestFormatId::Indexed8:
        return 4;
    case GuestFormatId::Rgb16:
        return 2;
    }
    return 0;
}
