#include "reference.h"

#include <bit>
#include <cmath>

namespace reference {
namespace {

using u128 = unsigned __int128;
using i128 = __int128;

constexpr int Bias = 0x800;
constexpr int FractionBits = 31;

// value = magnitude * 2^exponent (+ something below the last bit when sticky).
struct Exact {
    bool negative = false;
    u128 magnitude = 0;
    int exponent = 0;
    bool sticky = false;
};

int bitLength(u128 v)
{
    const auto high = uint64_t(v >> 64);
    if (high) return 128 - std::countl_zero(high);
    return 64 - std::countl_zero(uint64_t(v));
}

Exact exactOf(QlFloat v)
{
    const auto m = int32_t(v.mantissa);
    Exact e;
    e.negative = m < 0;
    e.magnitude = m < 0 ? u128(-int64_t(m)) : u128(m);
    e.exponent = int(v.exponent) - Bias - FractionBits;
    return e;
}

// Round to nearest with ties to even at 64 significant bits. Inexact inputs carry at
// least 66 significant bits, so the sticky bit only breaks exact halves.
Extended roundToExtended(const Exact& x)
{
    Extended r;
    r.negative = x.negative;
    if (x.magnitude == 0) return r;
    const int length = bitLength(x.magnitude);
    if (length <= 64) {
        r.sig = uint64_t(x.magnitude) << (64 - length);
        r.exponent = x.exponent - (64 - length);
        return r;
    }
    const int drop = length - 64;
    u128 kept = x.magnitude >> drop;
    const u128 rest = x.magnitude & ((u128(1) << drop) - 1);
    const u128 half = u128(1) << (drop - 1);
    const bool up = rest > half || (rest == half && (x.sticky || (kept & 1)));
    int exponent = x.exponent + drop;
    if (up && ++kept == (u128(1) << 64)) {
        kept >>= 1;
        ++exponent;
    }
    r.sig = uint64_t(kept);
    r.exponent = exponent;
    return r;
}

i128 signedMagnitude(const Exact& x) { return x.negative ? -i128(x.magnitude) : i128(x.magnitude); }

u128 isqrt(u128 n)
{
    u128 root = 0;
    for (int bit = 63; bit >= 0; --bit) {
        const u128 candidate = root | (u128(1) << bit);
        if (candidate * candidate <= n) root = candidate;
    }
    return root;
}

}  // namespace

long double Extended::value() const
{
    const long double v = std::ldexp(static_cast<long double>(sig), exponent);
    return negative ? -v : v;
}

bool valid(QlFloat v) { return (v.exponent & 0xF000) == 0; }

long double toLongDouble(QlFloat v)
{
    const Exact e = exactOf(v);
    const long double m = std::ldexp(static_cast<long double>(uint64_t(e.magnitude)), e.exponent);
    return e.negative ? -m : m;
}

namespace {

Extended addExact(Exact a, Exact b)
{
    if (a.magnitude == 0) return roundToExtended(b);
    if (b.magnitude == 0) return roundToExtended(a);
    const int topA = a.exponent + bitLength(a.magnitude);
    const int topB = b.exponent + bitLength(b.magnitude);
    if (topA < topB) std::swap(a, b);
    // A far smaller addend is below half the last place of the larger operand even where
    // that is a power of two being reduced: the sum rounds back to the larger operand.
    if (std::max(topA, topB) - std::min(topA, topB) > 66) return roundToExtended(a);
    const int low = std::min(a.exponent, b.exponent);
    const i128 sum = (signedMagnitude(a) << (a.exponent - low)) + (signedMagnitude(b) << (b.exponent - low));
    Exact s;
    s.negative = sum < 0;
    s.magnitude = u128(sum < 0 ? -sum : sum);
    s.exponent = low;
    return roundToExtended(s);
}

}  // namespace

std::optional<Extended> add(QlFloat left, QlFloat right) { return addExact(exactOf(left), exactOf(right)); }

std::optional<Extended> subtract(QlFloat left, QlFloat right)
{
    Exact b = exactOf(right);
    b.negative = !b.negative;
    return addExact(exactOf(left), b);
}

std::optional<Extended> multiply(QlFloat left, QlFloat right)
{
    const Exact a = exactOf(left);
    const Exact b = exactOf(right);
    Exact p;
    p.negative = a.negative != b.negative;
    p.magnitude = a.magnitude * b.magnitude;  // at most 2^62: the host product is exact
    p.exponent = a.exponent + b.exponent;
    return roundToExtended(p);
}

std::optional<Extended> divide(QlFloat left, QlFloat right)
{
    const Exact a = exactOf(left);
    const Exact b = exactOf(right);
    if (b.magnitude == 0) return std::nullopt;  // x/0 and 0/0 both fault on the host
    constexpr int Scale = 96;                   // quotient of at least 65 bits
    Exact q;
    q.negative = a.negative != b.negative;
    q.magnitude = (a.magnitude << Scale) / b.magnitude;
    q.sticky = (a.magnitude << Scale) % b.magnitude != 0;
    q.exponent = a.exponent - b.exponent - Scale;
    if (a.magnitude == 0) return Extended{};
    return roundToExtended(q);
}

std::optional<Extended> squareRoot(QlFloat v)
{
    Exact a = exactOf(v);
    if (a.magnitude == 0) return Extended{};
    if (a.negative) return std::nullopt;
    // Scale to an even exponent with the radicand in [2^126, 2^128): a 64-bit root.
    int shift = 128 - bitLength(a.magnitude);
    if ((a.exponent - shift) & 1) --shift;
    const u128 radicand = a.magnitude << shift;
    u128 root = isqrt(radicand);
    int exponent = (a.exponent - shift) / 2;
    // The root is never exactly halfway: above root + 1/2 exactly when n > root^2 + root.
    if (radicand > root * root + root) ++root;
    if (root >> 64) {
        root >>= 1;
        ++exponent;
    }
    Extended r;
    r.sig = uint64_t(root);
    r.exponent = exponent;
    return r;
}

Result store(const std::optional<Extended>& x) { return x ? store(*x) : std::nullopt; }

Result store(const Extended& x)
{
    const long double magnitude = std::fabs(x.value());
    if (magnitude > QlFloatLimit::Largest) return std::nullopt;
    if (magnitude < QlFloatLimit::Tiny) {
        if (magnitude <= QlFloatLimit::Vanishing) return QlFloat{};
        return QlFloatLimit::SmallestResult;
    }
    // The top 32 bits of the significand, moved right by one, rounded by the bit dropped.
    const auto top = uint32_t(x.sig >> 32);
    uint64_t mantissa = (top >> 1) + (top & 1);
    // sig * 2^e = (sig / 2^64) * 2^(e + 64) and mantissa / 2^31 = sig / 2^64.
    int exponent = x.exponent + 64 + Bias;
    if (mantissa == 0x80000000u) {
        mantissa = 0x40000000u;
        ++exponent;
    }
    if (exponent < 0) {
        const int shift = -exponent;
        mantissa = shift >= 32 ? 0 : (mantissa >> shift) + ((mantissa >> (shift - 1)) & 1);
        exponent = 0;
    }
    auto m = uint32_t(mantissa);
    if (x.negative) {
        m = 0u - m;
        if (exponent > 0 && (m >> 30) == 3) {
            m <<= 1;
            --exponent;
        }
    }
    return QlFloat{uint16_t(exponent), m};
}

}  // namespace reference
