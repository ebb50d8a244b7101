#include "cpu/accel/ql_float.h"

#include <cmath>

namespace {
constexpr uint32_t SignBit = 0x80000000u;
constexpr uint32_t TopTwoBits = 0xC0000000u;
constexpr int MantissaFractionBits = 31;
constexpr int TopBits = 32;  // how much of the host significand the conversion looks at
}  // namespace

std::optional<long double> qlToLongDouble(QlFloat value) {
    if (value.exponent & QlFloatLimit::InvalidExponentBits) return std::nullopt;
    if (value.mantissa == 0) return 0.0L;
    const bool negative = (value.mantissa & SignBit) != 0;
    // The most negative mantissa keeps its magnitude 2^31 here.
    const uint32_t magnitude = negative ? 0u - value.mantissa : value.mantissa;
    // At most 32 significant bits and an exponent well inside the extended range: exact.
    const long double scaled =
        std::ldexp(static_cast<long double>(magnitude),
                   int(value.exponent) - QlFloatLimit::ExponentBias - MantissaFractionBits);
    return negative ? -scaled : scaled;
}

std::optional<QlFloat> qlFromLongDouble(long double value) {
    if (!std::isfinite(value)) return std::nullopt;
    const bool negative = std::signbit(value);
    const long double magnitude = std::fabs(value);
    if (magnitude > QlFloatLimit::Largest) return std::nullopt;
    if (magnitude < QlFloatLimit::Tiny) {
        if (magnitude <= QlFloatLimit::Vanishing) return QlFloat{};
        return QlFloatLimit::SmallestResult;  // positive whatever the sign of the result
    }

    // magnitude = fraction * 2^binary, fraction in [0.5, 1): the top 32 bits of the
    // significand with the leading one in bit 31 (both scalings are exact).
    int binary = 0;
    const long double fraction = std::frexp(magnitude, &binary);
    const auto top = static_cast<uint32_t>(std::ldexp(fraction, TopBits));

    // Leading one into bit 30, rounded by the bit shifted out (halves away from zero).
    uint32_t mantissa = (top >> 1) + (top & 1u);
    int exponent = binary + QlFloatLimit::ExponentBias;
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

    if (negative) {
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

bool qlDouble(QlFloat& value) {
    const unsigned exponent = unsigned(value.exponent) + 1u;
    if (exponent > QlFloatLimit::MaxExponent) return false;
    value.exponent = uint16_t(exponent);
    return true;
}

bool qlHalve(QlFloat& value) {
    if (value.exponent & QlFloatLimit::InvalidExponentBits) return false;
    if (value.exponent == 0) {
        value.mantissa = uint32_t(int32_t(value.mantissa) >> 1);
    } else {
        --value.exponent;
    }
    return true;
}
