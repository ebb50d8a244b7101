#include "devices/comms/ip_address.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr unsigned MaxParts = 4;
constexpr uint32_t MaxPart = 255;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// One number in C notation (decimal, 0 octal, 0x hexadecimal), whole text. Nothing when
// it is empty, holds a stray character or exceeds `limit`.
std::optional<uint32_t> parseNumber(std::string_view part, uint64_t limit)
{
    if (part.empty()) return std::nullopt;
    unsigned base = 10;
    if (part.size() > 1 && part[0] == '0' && (part[1] == 'x' || part[1] == 'X')) {
        base = 16;
        part.remove_prefix(2);
        if (part.empty()) return std::nullopt;
    } else if (part.size() > 1 && part[0] == '0') {
        base = 8;
        part.remove_prefix(1);
    }
    uint64_t value = 0;
    for (char c : part) {
        int digit = base == 16 ? hexValue(c) : (isDigit(c) ? c - '0' : -1);
        if (digit < 0 || unsigned(digit) >= base) return std::nullopt;
        value = value * base + unsigned(digit);
        if (value > limit) return std::nullopt;
    }
    return uint32_t(value);
}

// The text split at dots into at most `max` parts; nothing when there are more.
std::optional<std::vector<std::string_view>> splitParts(std::string_view text)
{
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (true) {
        size_t dot = text.find('.', start);
        parts.push_back(text.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start));
        if (parts.size() > MaxParts) return std::nullopt;
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    return parts;
}

}  // namespace

std::optional<uint32_t> parseAddress(std::string_view text)
{
    auto parts = splitParts(text);
    if (!parts) return std::nullopt;
    uint32_t result = 0;
    for (std::string_view part : *parts) {
        auto value = parseNumber(part, MaxPart);
        if (!value) return std::nullopt;
        result = result << 8 | *value;
    }
    if (result == UINT32_MAX) return std::nullopt;
    return result;
}

std::optional<uint32_t> dottedToAddress(std::string_view text)
{
    auto parts = splitParts(text);
    if (!parts) return std::nullopt;
    const size_t count = parts->size();
    uint32_t result = 0;
    for (size_t i = 0; i < count; ++i) {
        // The last part holds the remaining bytes: 4 alone, 3 after one part, and so on.
        unsigned bytes = i + 1 < count ? 1 : unsigned(MaxParts - i);
        uint64_t limit = bytes >= 4 ? UINT32_MAX : (uint64_t(1) << (8 * bytes)) - 1;
        auto value = parseNumber((*parts)[i], limit);
        if (!value) return std::nullopt;
        result |= i + 1 < count ? *value << (8 * (3 - i)) : *value;
    }
    return result;
}

// Formatted in one go: GCC 12 warns falsely about chains of string concatenation at -O3.
std::string addressToDotted(uint32_t a)
{
    char text[16];
    snprintf(text, sizeof text, "%u.%u.%u.%u", a >> 24, (a >> 16) & 0xFF, (a >> 8) & 0xFF, a & 0xFF);
    return text;
}

std::string socketAddressText(const SocketAddress& address)
{
    std::string text = addressToDotted(address.ip);
    if (address.port == 0) return text;
    char port[8];
    snprintf(port, sizeof port, ":%u", unsigned(address.port));
    return text + port;
}

SocketAddress socketAddressFromGuest(const uint8_t* b)
{
    SocketAddress a;
    a.family = uint16_t(b[0] << 8 | b[1]);
    a.port = uint16_t(b[2] << 8 | b[3]);
    a.ip = uint32_t(b[4]) << 24 | uint32_t(b[5]) << 16 | uint32_t(b[6]) << 8 | b[7];
    return a;
}

void socketAddressToGuest(const SocketAddress& a, uint8_t* b)
{
    memset(b, 0, GuestSocketAddressSize);
    b[0] = uint8_t(a.family >> 8);
    b[1] = uint8_t(a.family);
    b[2] = uint8_t(a.port >> 8);
    b[3] = uint8_t(a.port);
    b[4] = uint8_t(a.ip >> 24);
    b[5] = uint8_t(a.ip >> 16);
    b[6] = uint8_t(a.ip >> 8);
    b[7] = uint8_t(a.ip);
}
