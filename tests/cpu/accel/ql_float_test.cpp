// The conversions between the guest's six-byte format and host extended precision.
#include "cpu/accel/ql_float.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

std::string show(QlFloat v)
{
    char text[32];
    std::snprintf(text, sizeof text, "$%04X/$%08X", v.exponent, v.mantissa);
    return text;
}

std::string show(const std::optional<QlFloat>& v) { return v ? show(*v) : std::string("overflow"); }

TEST(QlFloatLoad, ValuesAndInvalidExponents)
{
    struct Case {
        QlFloat in;
        long double expected;
    } const cases[] = {
        {{0x801, 0x40000000}, 1.0L},
        {{0x802, 0x60000000}, 3.0L},
        {{0x800, 0x80000000}, -1.0L},  // the most negative mantissa is -2^31
        {{0x801, 0xC0000000}, -1.0L},  // unnormalised
        {{0x801, 0x00000001}, std::ldexp(1.0L, -30)},
        {{0x7FF, 0xA0000000}, -0.375L},
        {{0x123, 0x00000000}, 0.0L},  // zero whatever the exponent
        {{0xFFF, 0x7FFFFFFF}, std::ldexp(static_cast<long double>(0x7FFFFFFF), 2047 - 31)},
        {{0x000, 0x00000001}, std::ldexp(1.0L, -2079)},
        {{0x000, 0xFFFFFFFF}, -std::ldexp(1.0L, -2079)},
    };
    for (const Case& c : cases) {
        const std::optional<long double> got = qlToLongDouble(c.in);
        ASSERT_TRUE(got.has_value()) << show(c.in);
        EXPECT_EQ(*got, c.expected) << show(c.in);
    }
    for (uint16_t exponent : {0x1000, 0x1800, 0x8000, 0xF801, 0x2FFF}) {
        EXPECT_FALSE(qlToLongDouble({exponent, 0x40000000}).has_value()) << std::hex << exponent;
        EXPECT_FALSE(qlToLongDouble({exponent, 0}).has_value()) << "zero mantissa, " << std::hex << exponent;
    }
}

TEST(QlFloatStore, RoundingNormalisationAndSign)
{
    struct Case {
        long double in;
        QlFloat expected;
    } const cases[] = {
        {1.0L, {0x801, 0x40000000}},
        {3.0L, {0x802, 0x60000000}},
        {-1.0L, {0x800, 0x80000000}},  // -2^k takes the most negative mantissa
        {-2.0L, {0x801, 0x80000000}},
        {-0.75L, {0x800, 0xA0000000}},
        {0.0L, {0, 0}},
        {-0.0L, {0, 0}},
        // The bit below the 31 kept bits rounds, halves away from zero.
        {1.0L + std::ldexp(1.0L, -31), {0x801, 0x40000001}},
        {1.0L + std::ldexp(1.0L, -31) - std::ldexp(1.0L, -62), {0x801, 0x40000000}},
        {-(1.0L + std::ldexp(1.0L, -31)), {0x801, 0xBFFFFFFF}},
        // Rounding up carries out of the mantissa: renormalised one exponent higher.
        {1.0L - std::ldexp(1.0L, -32), {0x801, 0x40000000}},
        {-(1.0L - std::ldexp(1.0L, -32)), {0x800, 0x80000000}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(show(qlFromLongDouble(c.in)), show(c.expected)) << double(c.in);
    }
}

TEST(QlFloatStore, LimitsAtBothEnds)
{
    const long double largest = QlFloatLimit::Largest;
    const long double inf = std::numeric_limits<long double>::infinity();
    const long double tiny = QlFloatLimit::Tiny;
    const long double vanishing = QlFloatLimit::Vanishing;
    const QlFloat smallest = QlFloatLimit::SmallestResult;

    // Overflow: beyond the limit (though still below the format's largest value), and
    // anything that is not a finite number.
    EXPECT_EQ(qlFromLongDouble(largest).value_or(QlFloat{}).exponent, 0xFFF);
    EXPECT_FALSE(qlFromLongDouble(std::nextafter(largest, inf)));
    EXPECT_FALSE(qlFromLongDouble(-std::nextafter(largest, inf)));
    EXPECT_FALSE(qlFromLongDouble(*qlToLongDouble({0xFFF, 0x7FFFFFFF})));
    EXPECT_FALSE(qlFromLongDouble(inf));
    EXPECT_FALSE(qlFromLongDouble(-inf));
    EXPECT_FALSE(qlFromLongDouble(std::numeric_limits<long double>::quiet_NaN()));

    // Underflow: the tiny limit itself converts normally (to the fixed value, which is that
    // limit in the guest format); below it the fixed positive value, at or below the
    // vanishing limit zero.
    EXPECT_EQ(show(qlFromLongDouble(tiny)), show(smallest));
    EXPECT_EQ(show(qlFromLongDouble(-tiny)), show(QlFloat{0, 0u - smallest.mantissa}));
    EXPECT_EQ(show(qlFromLongDouble(std::nextafter(tiny, 0.0L))), show(smallest));
    EXPECT_EQ(show(qlFromLongDouble(-std::nextafter(tiny, 0.0L))), show(smallest));
    EXPECT_EQ(show(qlFromLongDouble(std::nextafter(vanishing, 1.0L))), show(smallest));
    EXPECT_EQ(show(qlFromLongDouble(vanishing)), show(QlFloat{}));
    EXPECT_EQ(show(qlFromLongDouble(-vanishing)), show(QlFloat{}));
}

TEST(QlFloatStore, BelowTheSmallestNormalisedValue)
{
    // Exponent 0 with a shorter mantissa, rounded by the last bit shifted out.
    struct Case {
        long double in;
        QlFloat expected;
    } const cases[] = {
        {std::ldexp(1.0L, -2049), {0, 0x40000000}},  // smallest normalised value
        {std::ldexp(1.0L, -2050), {0, 0x20000000}},
        {std::ldexp(static_cast<long double>(0x40000003), -31 - 2048 - 1), {0, 0x20000002}},
        {std::ldexp(static_cast<long double>(0x40000003), -31 - 2048 - 3), {0, 0x08000000}},
        {-std::ldexp(1.0L, -2048), {0, 0x80000000}},
        // Negative values at exponent 0 cannot be renormalised below it.
        {-std::ldexp(1.0L, -2049), {0, 0xC0000000}},
        {-std::ldexp(1.0L, -2050), {0, 0xE0000000}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(show(qlFromLongDouble(c.in)), show(c.expected)) << std::log2(std::fabs(c.in));
    }
}

TEST(QlFloatStore, RoundTripOfRepresentableValues)
{
    std::mt19937 rng(20261210);
    int checked = 0;
    for (int i = 0; i < 20000; ++i) {
        QlFloat v{uint16_t(rng() & 0xFFF), (uint32_t(rng()) & 0x3FFFFFFF) | 0x40000000};
        if (i % 2) v.mantissa = 0u - v.mantissa;
        if (i % 7 == 0) {
            // Exponent 0 with an unnormalised (shorter) mantissa of either sign.
            v.exponent = 0;
            v.mantissa = uint32_t(int32_t(v.mantissa) >> (rng() % 8));
        }
        if (v.mantissa == 0xC0000000u && v.exponent > 0) continue;  // -2^k is spelt $80000000
        const long double value = *qlToLongDouble(v);
        const long double magnitude = std::fabs(value);
        if (magnitude < QlFloatLimit::Tiny || magnitude > QlFloatLimit::Largest) continue;
        ASSERT_EQ(show(qlFromLongDouble(value)), show(v)) << "round trip";
        ++checked;
    }
    EXPECT_GT(checked, 15000);
}

TEST(QlFloatScale, DoublingAndHalving)
{
    QlFloat v{0x801, 0x40000000};
    EXPECT_TRUE(qlDouble(v));
    EXPECT_EQ(v, (QlFloat{0x802, 0x40000000}));

    for (uint16_t exponent : {0xFFF, 0x1800, 0xFFFF}) {
        QlFloat top{exponent, 0x40000000};
        EXPECT_FALSE(qlDouble(top)) << std::hex << exponent;
        EXPECT_EQ(top.exponent, exponent);
    }

    struct Case {
        QlFloat in, expected;
    } const halving[] = {
        {{0x802, 0x60000000}, {0x801, 0x60000000}},
        {{0x001, 0x40000000}, {0x000, 0x40000000}},
        {{0x000, 0x40000000}, {0x000, 0x20000000}},
        {{0x000, 0x80000000}, {0x000, 0xC0000000}},  // arithmetic shift keeps the sign
        {{0x000, 0x00000001}, {0x000, 0x00000000}},
    };
    for (const Case& c : halving) {
        QlFloat v2 = c.in;
        EXPECT_TRUE(qlHalve(v2));
        EXPECT_EQ(show(v2), show(c.expected)) << show(c.in);
    }
    for (uint16_t exponent : {0x1000, 0x1800, 0x8000}) {
        QlFloat bad{exponent, 0x40000000};
        EXPECT_FALSE(qlHalve(bad)) << std::hex << exponent;
        EXPECT_EQ(show(bad), show(QlFloat{exponent, 0x40000000}));
    }
}

}  // namespace
