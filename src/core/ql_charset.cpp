#include "core/ql_charset.h"

#include <utility>

namespace {

// (guest byte, host byte) pairs; every other byte maps to itself.
constexpr std::pair<uint8_t, uint8_t> Pairs[] = {
    {0x60, 0xA3}, {0x7F, 0xA9}, {0x80, 0xE4}, {0x81, 0xE3}, {0x82, 0xE5}, {0x83, 0xE9}, {0x84, 0xF6}, {0x85, 0xF5},
    {0x86, 0xF8}, {0x87, 0xFC}, {0x88, 0xE7}, {0x89, 0xF1}, {0x8A, 0xE6}, {0x8C, 0xE1}, {0x8D, 0xE0}, {0x8E, 0xE2},
    {0x8F, 0xEB}, {0x90, 0xE8}, {0x91, 0xEA}, {0x92, 0xEF}, {0x93, 0xED}, {0x94, 0xEC}, {0x95, 0xEE}, {0x96, 0xF3},
    {0x97, 0xF2}, {0x98, 0xF4}, {0x99, 0xFA}, {0x9A, 0xF9}, {0x9B, 0xFB}, {0x9C, 0xDF}, {0x9D, 0xA2}, {0x9E, 0xA5},
    {0x9F, 0x60}, {0xA0, 0xC4}, {0xA1, 0xC3}, {0xA2, 0xC5}, {0xA3, 0xC9}, {0xA4, 0xD6}, {0xA5, 0xD5}, {0xA6, 0xD8},
    {0xA7, 0xDC}, {0xA8, 0xC7}, {0xA9, 0xD1}, {0xAA, 0xC6}, {0xB0, 0xB5}, {0xB3, 0xA1}, {0xB4, 0xBF}, {0xB5, 0x80},
    {0xB6, 0xA7}, {0xB7, 0xA4}, {0xB8, 0xAB}, {0xB9, 0xBB}, {0xBA, 0xB0}, {0xBB, 0xF7},
};

CharTable identity()
{
    CharTable t{};
    for (unsigned i = 0; i < t.size(); ++i) t[i] = uint8_t(i);
    return t;
}

CharTable buildQlToHost()
{
    CharTable t = identity();
    for (auto [guest, host] : Pairs) t[guest] = host;
    return t;
}

CharTable buildHostToQl()
{
    CharTable t = identity();
    for (auto [guest, host] : Pairs) t[host] = guest;
    return t;
}

// Unicode code points of code page 1252 bytes $80-$9F; the rest equal their byte value.
constexpr char16_t HighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};
constexpr uint8_t HighControlsFirst = 0x80;
constexpr uint8_t HighControlsLast = 0x9F;
constexpr char Unmappable = '?';

char32_t cp1252ToUnicode(uint8_t c)
{
    if (c >= HighControlsFirst && c <= HighControlsLast) return HighControls[c - HighControlsFirst];
    return c;
}

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

char unicodeToCp1252(char32_t cp)
{
    if (cp < HighControlsFirst || (cp > HighControlsLast && cp <= 0xFF)) return char(cp);
    for (unsigned i = 0; i < std::size(HighControls); ++i)
        if (HighControls[i] == cp) return char(HighControlsFirst + i);
    return Unmappable;
}

}  // namespace

const CharTable& qlToHostTable()
{
    static const CharTable table = buildQlToHost();
    return table;
}

const CharTable& hostToQlTable()
{
    static const CharTable table = buildHostToQl();
    return table;
}

std::string cp1252ToUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) appendUtf8(out, cp1252ToUnicode(uint8_t(c)));
    return out;
}

std::string utf8ToCp1252(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        uint8_t lead = uint8_t(text[i]);
        if (lead < 0x80) {
            out += char(lead);
            ++i;
            continue;
        }
        unsigned extra = (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : (lead & 0xF8) == 0xF0 ? 3 : 0;
        bool ok = extra != 0 && i + extra < text.size();
        char32_t cp = lead & (0x3F >> extra);
        for (unsigned k = 1; ok && k <= extra; ++k) {
            uint8_t cont = uint8_t(text[i + k]);
            ok = (cont & 0xC0) == 0x80;
            cp = (cp << 6) | (cont & 0x3F);
        }
        if (!ok) {
            out += Unmappable;
            ++i;
            continue;
        }
        out += unicodeToCp1252(cp);
        i += extra + 1;
    }
    return out;
}
