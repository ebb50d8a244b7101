// The guest's six-byte floating-point format and its conversion to and from the host's
// extended precision. Pure functions: no guest memory, no processor state, no host flags.
//
// A value is a 12-bit exponent biased by $800 (bits 15-12 of its word must be clear) and a
// 32-bit two's complement fraction: value = mantissa / 2^31 * 2^(exponent - $800).
// Normalised values have mantissa bits 31 and 30 different; a zero mantissa is zero
// whatever the exponent.
#pragma once

#include <cstdint>
#include <optional>

struct QlFloat {
    uint16_t exponent = 0;
    uint32_t mantissa = 0;
    friend bool operator==(const QlFloat&, const QlFloat&) = default;
};

namespace QlFloatLimit {
constexpr uint16_t ExponentBias = 0x800;
constexpr uint16_t MaxExponent = 0xFFF;
constexpr uint16_t InvalidExponentBits = 0xF000;
// Results beyond this magnitude are reported as overflow (just below the largest value).
constexpr long double Largest = 1.615850285e616L;
// Results below Tiny are not stored as they are: at or below Vanishing they become zero,
// otherwise the fixed value SmallestResult.
constexpr long double Tiny = 1e-620L;
constexpr long double Vanishing = 1e-625L;
constexpr QlFloat SmallestResult{0, 0x000A96F2};
}  // namespace QlFloatLimit

// The value in host extended precision (always exact); nothing when exponent bits 15-12
// are set.
std::optional<long double> qlToLongDouble(QlFloat value);

// Rounds a host result into the guest format (magnitudes below the tiny limit become
// zero or the fixed smallest value); nothing when it overflows or is not a number.
std::optional<QlFloat> qlFromLongDouble(long double value);

// Doubling and halving by the exponent alone. qlDouble leaves the value unchanged and
// returns false when the exponent would pass $FFF. qlHalve at exponent 0 halves the
// mantissa instead (arithmetic shift); it refuses (false, unchanged) an exponent word
// with bits 15-12 set, which is no number and must not turn into one.
bool qlDouble(QlFloat& value);
bool qlHalve(QlFloat& value);
