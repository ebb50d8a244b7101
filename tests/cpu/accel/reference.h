// An independent model of the accelerator's arithmetic for the tests: exact integer
// arithmetic on the guest values, one rounding to the host's 64-bit significand (nearest,
// ties to even), then the guest format's storing rules applied to the significand's bits.
#pragma once

#include <cstdint>
#include <optional>

#include "cpu/accel/ql_float.h"

namespace reference {

// sig * 2^exponent with sig's bit 63 set, or zero (sig 0).
struct Extended {
    bool negative = false;
    uint64_t sig = 0;
    int exponent = 0;
    long double value() const;
};

// The outcome of a word whose operands loaded: nothing means the overflow error.
using Result = std::optional<QlFloat>;

bool valid(QlFloat v);  // exponent bits 15-12 clear

// Extended results of the exactly computable words (operands must be valid). Nothing for
// an operation the host flags as invalid or division by zero.
std::optional<Extended> add(QlFloat left, QlFloat right);
std::optional<Extended> subtract(QlFloat left, QlFloat right);
std::optional<Extended> multiply(QlFloat left, QlFloat right);
std::optional<Extended> divide(QlFloat left, QlFloat right);
std::optional<Extended> squareRoot(QlFloat v);

// Storing an extended result into the guest format.
Result store(const Extended& x);
Result store(const std::optional<Extended>& x);

// The value of a guest number as a long double (for tolerance checks).
long double toLongDouble(QlFloat v);

}  // namespace reference
