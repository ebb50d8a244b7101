#include "cpu/accel/ql_float.h"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>

namespace {
constexpr uint32_t SignBit = 0x80000000u;
constexpr uint32_t TopTwoBits = 0xC0000000u;
constexpr int TopBits = 32;  // how much of the host significand the conversion looks at

// The host's extended format split into its fields: magnitude = significand * 2^(exponent
// - 16383 - 63) with the leading one at bit 63 of the significand.
struct Extended {
    bool negative;
    uint64_t significand;
    int exponent;
};

constexpr int ExtendedBias = 0x3FFF;
// With the guest mantissa's bit 31 at the significand's bit 63, guest exponent = extended
// exponent - LoadOffset; storing puts the leading one at bit 30, one exponent higher.
constexpr int LoadOffset = ExtendedBias - QlFloatLimit::ExponentBias;  // $37FF
constexpr int StoreOffset = LoadOffset - 1;                            // $37FE

#if LDBL_MANT_DIG == 64 && (defined(__x86_64__) || defined(__i386__))
// The x87 layout: the significand with its explicit leading one in the low eight bytes,
// then sign and exponent in a 16-bit word. Both conversions only move bits.
constexpr uint16_t ExtendedSign = 0x8000;
constexpr uint16_t ExtendedExponentMask = 0x7FFF;

long double fromExtended(const Extended& x)
{
    long double value = 0.0L;
    unsigned char bytes[sizeof(long double)] = {};
    const uint16_t signAndExponent = uint16_t((x.negative ? ExtendedSign : 0) | x.exponent);
    std::memcpy(bytes, &x.significand, sizeof x.significand);
    std::memcpy(bytes + sizeof x.significand, &signAndExponent, sizeof signAndExponent);
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

Extended toExtended(long double value)
{  // finite and nonzero
    unsigned char bytes[sizeof(long double)];
    std::memcpy(bytes, &value, sizeof value);
    Extended x;
    uint16_t signAndExponent = 0;
    std::memcpy(&x.significand, bytes, sizeof x.significand);
    std::memcpy(&signAndExponent, bytes + sizeof x.significand, sizeof signAndExponent);
    x.negative = (signAndExponent & ExtendedSign) != 0;
    x.exponent = signAndExponent & ExtendedExponentMask;
    return x;
}
#else
// Any other long double: the same fields through the library's exact scaling functions.
constexpr int SignificandBits = 64;

long double fromExtended(const Extended& x)
{
    const long double magnitude =
        std::ldexp(static_cast<long double>(x.significand), x.exponent - ExtendedBias - (SignificandBits - 1));
    return x.negative ? -magnitude : magnitude;
}

Extended toExtended(long double value)
{  // finite and nonzero
    int binary = 0;
    const long double fraction = std::frexp(std::fabs(value), &binary);  // [0.5, 1)
    Extended x;
    x.negative = std::signbit(value);
    x.significand = static_cast<uint64_t>(std::ldexp(fraction, SignificandBits));
    x.exponent = binary - 1 + ExtendedBias;
    return x;
}
#endif

}  // namespace

std::optional<long double> qlToLongDouble(QlFloat value)
{
    if (value.exponent & QlFloatLimit::InvalidExponentBits) return std::nullopt;
    if (value.mantissa == 0) return 0.0L;
    const bool negative = (value.mantissa & SignBit) != 0;
    // The most negative mantissa keeps its magnitude 2^31 here.
    const uint32_t magnitude = negative ? 0u - value.mantissa : value.mantissa;
    const int shift = std::countl_zero(magnitude);
    return fromExtended(
        Extended{negative, uint64_t(magnitude << shift) << TopBits, int(value.exponent) - shift + LoadOffset});
}

std::optional<QlFloat> qlFromLongDouble(long double value)
{
    if (!std::isfinite(value)) return std::nullopt;
    const long double magnitude = std::fabs(value);
    if (magnitude > QlFloatLimit::Largest) return std::nullopt;
    if (magnitude < QlFloatLimit::Tiny) {
        if (magnitude <= QlFloatLimit::Vanishing) return QlFloat{};
        return QlFloatLimit::SmallestResult;  // positive whatever the sign of the result
    }

    const Extended x = toExtended(value);
    const auto top = uint32_t(x.significand >> TopBits);
    // Leading one into bit 30, rounded by the bit shifted out (halves away from zero).
    uint32_t mantissa = (top >> 1) + (top & 1u);
    int exponent = x.exponent - StoreOffset;
    if (mantissa & SignBit) {  // rounding carried into bit 31
        mantissa >>= 1;
        ++exponent;
    }
    if (exponent < 0) {
        // Below the smallest normalised value: a shorter mantissa at exponent 0, rounded by
        // the last bit shifted out.
        const unsigned shift = unsigned(-exponent);
        if (shift >= unsigned(TopBits)) {
            mantissa = 0;
        } else {
            mantissa = (mantissa >> shift) + ((mantissa >> (shift - 1)) & 1u);
        }
        exponent = 0;
    }
    if (exponent > QlFloatLimit::MaxExponent) return std::nullopt;

    if (x.negative) {
        mantissa = 0u - mantissa;
        // -2^k negates to $C0000000, which is not normalised; $80000000 one exponent
        // lower is. At exponent 0 there is nothing lower, so the mantissa stays as it is.
        if ((mantissa & TopTwoBits) == TopTwoBits && exponent > 0) {
            mantissa <<= 1;
            --exponent;
        }
    }
    return QlFloat{uint16_t(exponent), mantissa};
}

bool qlDouble(QlFloat& value)
{
    const unsigned exponent = unsigned(value.exponent) + 1u;
    if (exponent > QlFloatLimit::MaxExponent) return false;
    value.exponent = uint16_t(exponent);
    return true;
}

bool qlHalve(QlFloat& value)
{
    if (value.exponent & QlFloatLimit::InvalidExponentBits) return false;
    if (value.exponent == 0) {
        value.mantissa = uint32_t(int32_t(value.mantissa) >> 1);
    } else {
        --value.exponent;
    }
    return true;
}
