// Length arithmetic of the interpreter: command values arrive in units of
// 1/28800 inch (a base every unit of ESC ( U divides, 2880 dpi included)
// and leave as twips, rounded to the nearest integer with ties to
// the even neighbour. Done in integers so no value depends on the FPU.
#pragma once

#include <climits>
#include <cmath>
#include <cstdint>

namespace zemprint {

inline constexpr int kEscpBase = 28800;  // interpreter units per inch
inline constexpr int kTwipsPerInchEscp = 1440;

// round(numerator / denominator), ties to even; denominator > 0.
constexpr std::int64_t divRoundEven(std::int64_t numerator, std::int64_t denominator)
{
    std::int64_t quotient = numerator / denominator;
    std::int64_t remainder = numerator % denominator;
    if (remainder < 0) {
        remainder += denominator;
        --quotient;
    }
    const std::int64_t twice = 2 * remainder;
    if (twice > denominator || (twice == denominator && (quotient & 1) != 0)) ++quotient;
    return quotient;
}

// Keeps a 64-bit intermediate inside the model's 32-bit coordinates.
constexpr int saturate(std::int64_t value)
{
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

// round(value × unit × 1440 / base): a value in one of the command units
// (unit in 1/base inch) as twips.
// Values far enough out saturate whatever their exact product, so they are settled before
// multiplying: a job can carry values whose product with the unit would overflow.
constexpr int unitsToTwips(std::int64_t value, int unit)
{
    if (unit > 0) {
        const std::int64_t reach = std::int64_t{INT_MAX} * (kEscpBase / kTwipsPerInchEscp) / unit + 1;
        if (value > reach) return INT_MAX;
        if (value < -reach) return INT_MIN;
    }
    return saturate(divRoundEven(value * unit * kTwipsPerInchEscp, kEscpBase));
}

// round(n × 1440 / perInch): n steps of 1/perInch inch as twips.
constexpr int inchFractionToTwips(std::int64_t n, int perInch)
{
    if (perInch > 0) {
        const std::int64_t reach = std::int64_t{INT_MAX} * perInch / kTwipsPerInchEscp + 1;
        if (n > reach) return INT_MAX;
        if (n < -reach) return INT_MIN;
    }
    return saturate(divRoundEven(n * kTwipsPerInchEscp, perInch));
}

inline int roundEven(double value) { return static_cast<int>(std::nearbyint(value)); }

}  // namespace zemprint
