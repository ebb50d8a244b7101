// The seventeen accelerator words on guest memory and the register file, called the way
// the processor calls them. Expected results come from an exact integer model of the
// arithmetic (reference.h) or, for the trigonometric words, from the host's double
// precision functions within a tolerance.
#include "cpu/accel/accel.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#if defined(__GLIBC__) && (defined(__x86_64__) || defined(__i386__))
#include <fpu_control.h>
#endif

#include "cpu/accel/ql_float.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"
#include "reference.h"

namespace {

constexpr uint32_t StackBase = 0x10000;  // A1 before each word: TOS here, NOS at +6
constexpr uint32_t Size = 6;
constexpr uint32_t SnapshotStart = StackBase - 2 * Size;
constexpr uint32_t SnapshotLength = 5 * Size;
constexpr uint32_t OverflowD0 = uint32_t(accelOverflowError);
constexpr QlFloat One{0x801, 0x40000000};
constexpr QlFloat Two{0x802, 0x40000000};
constexpr QlFloat Zero{};

std::string show(QlFloat v)
{
    char text[32];
    std::snprintf(text, sizeof text, "$%04X/$%08X", v.exponent, v.mantissa);
    return text;
}

enum class Shape { Register, Stack, Single };

Shape shapeOf(unsigned op)
{
    switch (op) {
    case AccelOp::AddRegister:
    case AccelOp::SubtractRegister:
    case AccelOp::DivideRegister:
    case AccelOp::MultiplyRegister:
        return Shape::Register;
    case AccelOp::Add:
    case AccelOp::Subtract:
    case AccelOp::Divide:
    case AccelOp::Multiply:
        return Shape::Stack;
    default:
        return Shape::Single;
    }
}

// What a word should leave behind.
struct Outcome {
    uint32_t a1 = StackBase;
    bool ok = true;
    std::optional<QlFloat> pushed;  // nothing: memory unchanged
};

class AccelTest : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(memoryAllocate(16)); }
    static void TearDownTestSuite() { memoryRelease(); }

    void SetUp() override { reset(); }

    static void reset()
    {
        std::memset(mem.base + SnapshotStart - 16, 0xA5, SnapshotLength + 32);
        cpu.A[1] = StackBase;
        cpu.D[0] = 0x12345678;
        cpu.D[1] = cpu.D[2] = 0;
        // Every result bit set beforehand, and V and X, which the words keep.
        cpu.flags = CpuFlag::N | CpuFlag::Z | CpuFlag::V | CpuFlag::C;
        cpu.x = 1;
    }

    static QlFloat read(uint32_t address) { return {guestReadWord(address), guestReadLong(address + 2)}; }
    static void write(uint32_t address, QlFloat v)
    {
        guestWriteWord(address, v.exponent);
        guestWriteLong(address + 2, v.mantissa);
    }
    static void setOperands(QlFloat tos, QlFloat other)
    {
        write(StackBase, tos);
        write(StackBase + Size, other);
        cpu.D[1] = other.mantissa;
        cpu.D[2] = 0xBEEF0000u | other.exponent;  // only the low word is the exponent
    }

    // Runs the word and describes every difference from the expected outcome ("" if none).
    static std::string check(unsigned op, const Outcome& want)
    {
        std::vector<uint8_t> memory(mem.base + SnapshotStart, mem.base + SnapshotStart + SnapshotLength);
        if (want.pushed) {
            const QlFloat p = *want.pushed;
            uint8_t* at = memory.data() + (want.a1 - SnapshotStart);
            const uint8_t bytes[Size] = {uint8_t(p.exponent >> 8),  uint8_t(p.exponent),      uint8_t(p.mantissa >> 24),
                                         uint8_t(p.mantissa >> 16), uint8_t(p.mantissa >> 8), uint8_t(p.mantissa)};
            std::memcpy(at, bytes, Size);
        }
        std::string diff;
        if (!accelExecute(op)) return "word refused";
        if (cpu.A[1] != want.a1) diff += " A1=" + std::to_string(int(cpu.A[1] - StackBase));
        if (cpu.D[0] != (want.ok ? 0u : OverflowD0)) diff += " D0=" + std::to_string(int32_t(cpu.D[0]));
        const uint16_t flags = want.ok ? (CpuFlag::Z | CpuFlag::V) : (CpuFlag::N | CpuFlag::V);
        const uint16_t seen = cpu.flags & (CpuFlag::N | CpuFlag::Z | CpuFlag::V | CpuFlag::C);
        if (seen != flags || cpu.x != 1) diff += " flags=" + std::to_string(seen);
        if (want.pushed && read(want.a1) != *want.pushed) {
            diff += " result " + show(read(want.a1)) + " expected " + show(*want.pushed);
        }
        if (std::memcmp(memory.data(), mem.base + SnapshotStart, SnapshotLength) != 0) diff += " memory";
        return diff;
    }
};

// ---------------------------------------------------------------------------------------
// The documented cases, one per behaviour.

TEST_F(AccelTest, AddsTheTwoTopValues)
{
    setOperands(One, Two);
    EXPECT_EQ(check(AccelOp::Add, {StackBase + Size, true, QlFloat{0x802, 0x60000000}}), "");
}

TEST_F(AccelTest, HostFaultsPushZeroAndReportOverflow)
{
    setOperands(Zero, One);
    EXPECT_EQ(check(AccelOp::Reciprocal, {StackBase, false, Zero}), "") << "1/0";
    reset();
    setOperands({0x801, 0xC0000000}, One);
    EXPECT_EQ(check(AccelOp::SquareRoot, {StackBase, false, Zero}), "") << "sqrt(-1)";
    reset();
    setOperands(Zero, Zero);
    EXPECT_EQ(check(AccelOp::Divide, {StackBase + Size, false, Zero}), "") << "0/0";
    reset();
    setOperands(Zero, One);
    EXPECT_EQ(check(AccelOp::Cotangent, {StackBase, false, Zero}), "") << "cot 0";
}

// The limit lies a little below the largest guest value, so the top few mantissas of
// exponent $FFF do not survive even an addition of zero.
TEST_F(AccelTest, OverflowLimitLiesJustBelowTheLargestValue)
{
    const QlFloat cases[] = {{0xFFF, 0x7FFFFFE7}, {0xFFF, 0x7FFFFFE8}, {0xFFF, 0x80000019}, {0xFFF, 0x80000018}};
    for (const QlFloat& v : cases) {
        const bool below = v.mantissa == 0x7FFFFFE7 || v.mantissa == 0x80000019;
        reset();
        setOperands(v, Zero);
        EXPECT_EQ(check(AccelOp::AddRegister, {StackBase, below, below ? v : Zero}), "") << show(v);
    }
}

TEST_F(AccelTest, InvalidExponentStopsAfterItsPop)
{
    const QlFloat bad{0x1800, 0x40000000};
    struct Case {
        unsigned op;
        QlFloat tos, other;
        uint32_t a1;
    } const cases[] = {
        {AccelOp::Add, bad, One, StackBase + Size},          // TOS popped, NOS not
        {AccelOp::Add, One, bad, StackBase + 2 * Size},      // both popped
        {AccelOp::AddRegister, One, bad, StackBase + Size},  // register operand
        {AccelOp::MultiplyRegister, bad, One, StackBase + Size},
        {AccelOp::SquareRoot, {0x8001, 0}, One, StackBase + Size},  // zero mantissa too
        {AccelOp::Sine, {0x1000, 0x40000000}, One, StackBase + Size},
    };
    for (const Case& c : cases) {
        reset();
        setOperands(c.tos, c.other);
        EXPECT_EQ(check(c.op, {c.a1, false, std::nullopt}), "")
            << "word " << c.op << " " << show(c.tos) << " " << show(c.other);
    }
}

TEST_F(AccelTest, DoublingAndHalvingWorkInPlace)
{
    setOperands({0x801, 0x60000000}, One);
    EXPECT_EQ(check(AccelOp::Double, {StackBase, true, QlFloat{0x802, 0x60000000}}), "");
    reset();
    setOperands({0xFFF, 0x40000000}, One);
    EXPECT_EQ(check(AccelOp::Double, {StackBase, false, std::nullopt}), "") << "top exponent unchanged";
    reset();
    setOperands({0x1800, 0x40000000}, One);
    EXPECT_EQ(check(AccelOp::Double, {StackBase, false, std::nullopt}), "") << "invalid exponent";
    reset();
    setOperands({0x802, 0xA0000000}, One);
    EXPECT_EQ(check(AccelOp::Halve, {StackBase, true, QlFloat{0x801, 0xA0000000}}), "");
    reset();
    setOperands({0x000, 0x40000000}, One);
    EXPECT_EQ(check(AccelOp::Halve, {StackBase, true, QlFloat{0x000, 0x20000000}}), "");
    reset();
    setOperands({0x1000, 0x40000000}, One);
    EXPECT_EQ(check(AccelOp::Halve, {StackBase, false, std::nullopt}), "") << "invalid exponent";
}

TEST_F(AccelTest, WordsBeyondTheLastAreRefusedUntouched)
{
    setOperands(One, Two);
    for (unsigned op = AccelOp::Last + 1; op <= 0x1F; ++op) {
        EXPECT_FALSE(accelExecute(op)) << op;
    }
    EXPECT_EQ(cpu.A[1], StackBase);
    EXPECT_EQ(cpu.D[0], 0x12345678u);
    EXPECT_EQ(read(StackBase), One);
}

TEST_F(AccelTest, StackAddressIsMaskedOnEachAccessButKeptWhole)
{
    const uint32_t high = 0xFF000000u;  // above the 16 MB mask
    setOperands(One, Two);
    cpu.A[1] = StackBase | high;
    ASSERT_TRUE(accelExecute(AccelOp::Subtract));
    EXPECT_EQ(cpu.A[1], (StackBase + Size) | high);
    EXPECT_EQ(read(StackBase + Size), One);  // 2 - 1
    EXPECT_EQ(cpu.D[0], 0u);
}

// The words run in their own host environment: traps another component enabled cannot
// fire, flags it left behind do not turn into errors, a reduced precision does not cut
// results short, and the caller's environment comes back.
TEST_F(AccelTest, HostEnvironmentIsIsolated)
{
    std::feclearexcept(FE_ALL_EXCEPT);
    std::feraiseexcept(FE_OVERFLOW | FE_INVALID);
    setOperands(One, Two);
    EXPECT_EQ(check(AccelOp::Add, {StackBase + Size, true, QlFloat{0x802, 0x60000000}}), "") << "stale flags";
    EXPECT_EQ(std::fetestexcept(FE_ALL_EXCEPT) & (FE_OVERFLOW | FE_INVALID), FE_OVERFLOW | FE_INVALID);
    std::feclearexcept(FE_ALL_EXCEPT);
#if defined(__GLIBC__)
    feenableexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
    reset();
    setOperands(Zero, One);
    const std::string divide = check(AccelOp::Reciprocal, {StackBase, false, Zero});
    reset();
    setOperands({0x801, 0xC0000000}, One);
    const std::string root = check(AccelOp::SquareRoot, {StackBase, false, Zero});
    const int traps = fegetexcept();
    fedisableexcept(FE_ALL_EXCEPT);
    EXPECT_EQ(divide, "");
    EXPECT_EQ(root, "");
    EXPECT_EQ(traps, FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
#endif
#if defined(__GLIBC__) && (defined(__x86_64__) || defined(__i386__))
    // x87 precision cut to 24 bits: the words still divide with the full significand.
    fpu_control_t control;
    _FPU_GETCW(control);
    const fpu_control_t single = fpu_control_t((control & ~_FPU_EXTENDED) | _FPU_SINGLE);
    _FPU_SETCW(single);
    reset();
    const QlFloat three{0x802, 0x60000000};
    setOperands(three, One);
    const std::string third =
        check(AccelOp::Reciprocal, {StackBase, true, reference::store(reference::divide(One, three))});
    fpu_control_t after;
    _FPU_GETCW(after);
    _FPU_SETCW(control);
    EXPECT_EQ(third, "") << "1/3 at reduced precision";
    EXPECT_EQ(after, single);
#endif
    reset();
    std::feclearexcept(FE_ALL_EXCEPT);
    setOperands(Zero, One);
    check(AccelOp::Reciprocal, {StackBase, false, Zero});
    EXPECT_EQ(std::fetestexcept(FE_ALL_EXCEPT), 0) << "the word's own flags do not leak";
}

// ---------------------------------------------------------------------------------------
// Generated operands against the exact model.

class OperandSource {
public:
    explicit OperandSource(uint32_t seed) : rng_(seed) {}

    unsigned below(unsigned n) { return unsigned(rng_() % n); }
    int between(int low, int high) { return low + int(below(unsigned(high - low + 1))); }

    uint32_t mantissa()
    {
        switch (below(12)) {
        case 0:
            return 0x80000000u;
        case 1:
            return 0x40000000u;
        case 2:
            return 0xC0000000u;
        case 3:
            return 0x7FFFFFFFu;
        case 4:
            return 0xFFFFFFFFu;
        case 5:
            return uint32_t(rng_()) >> between(2, 31);  // unnormalised
        default: {
            const uint32_t m = (uint32_t(rng_()) & 0x3FFFFFFFu) | 0x40000000u;
            return below(2) ? 0u - m : m;
        }
        }
    }

    QlFloat value(int exponent)
    {
        if (below(25) == 0) return {invalidExponent(), mantissa()};
        if (below(20) == 0) return {uint16_t(std::clamp(exponent, 0, 0xFFF)), 0};
        return {uint16_t(std::clamp(exponent, 0, 0xFFF)), mantissa()};
    }

    QlFloat any()
    {
        switch (below(6)) {
        case 0:
            return value(between(0, 0xFFF));
        case 1:
            return value(between(0, 40));
        case 2:
            return value(between(0xFC0, 0xFFF));
        default:
            return value(between(0x7C0, 0x840));
        }
    }

    // An operand pair whose result lands near the top or bottom of the range (in value
    // exponent terms, result ~ 2^(target - $800)), for a product (sign +1) or a quotient
    // (sign -1): left + sign*right = target + $800.
    std::pair<QlFloat, QlFloat> around(int target, int sign)
    {
        const int sum = target + 0x800;
        int left = 0;
        int right = 0;
        if (sign > 0) {
            left = between(std::max(0, sum - 0xFFF), std::min(0xFFF, sum));
            right = sum - left;
        } else {
            left = between(std::max(0, sum), std::min(0xFFF, 0xFFF + sum));
            right = left - sum;
        }
        return {value(left), value(right)};
    }

    int extremeTarget() { return below(2) ? between(0xFFD, 0x1001) : between(-32, 2); }

private:
    uint16_t invalidExponent()
    {
        static constexpr uint16_t bad[] = {0x1800, 0x1000, 0x8000, 0xF000, 0x2FFF};
        return uint16_t(bad[below(5)] | (below(2) ? below(0x1000) : 0));
    }

    std::mt19937 rng_;
};

// The operands of one generated case: TOS, and NOS or the register operand.
std::pair<QlFloat, QlFloat> operandsFor(unsigned op, OperandSource& source)
{
    const bool extreme = source.below(3) == 0;
    switch (op) {
    case AccelOp::AddRegister:
    case AccelOp::Add:
    case AccelOp::SubtractRegister:
    case AccelOp::Subtract:
        if (extreme) {
            // Both at the top (overflow) or both at the bottom (cancellation into the
            // smallest magnitudes), now and then a value against its own negation.
            const bool top = source.below(2);
            const QlFloat a = source.value(top ? source.between(0xFF8, 0xFFF) : source.between(0, 12));
            QlFloat b = source.value(top ? source.between(0xFF8, 0xFFF) : source.between(0, 12));
            if (source.below(4) == 0) b = {a.exponent, 0u - a.mantissa};
            return {a, b};
        }
        return {source.any(), source.any()};
    case AccelOp::MultiplyRegister:
    case AccelOp::Multiply:
        if (extreme) return source.around(source.extremeTarget(), +1);
        return {source.any(), source.any()};
    case AccelOp::DivideRegister:
    case AccelOp::Divide: {
        if (extreme) {
            // NOS / TOS for the stack word, TOS / register for the other.
            auto [left, right] = source.around(source.extremeTarget(), -1);
            return op == AccelOp::Divide ? std::pair{right, left} : std::pair{left, right};
        }
        return {source.any(), source.any()};
    }
    case AccelOp::Square:
        if (extreme) return {source.value((source.extremeTarget() + 0x800) / 2), Zero};
        return {source.any(), Zero};
    default:
        return {source.any(), Zero};
    }
}

std::optional<reference::Extended> modelled(unsigned op, QlFloat tos, QlFloat other)
{
    using namespace reference;
    switch (op) {
    case AccelOp::AddRegister:
        return add(tos, other);
    case AccelOp::Add:
        return add(other, tos);
    case AccelOp::SubtractRegister:
        return subtract(tos, other);
    case AccelOp::Subtract:
        return subtract(other, tos);
    case AccelOp::DivideRegister:
        return divide(tos, other);
    case AccelOp::Divide:
        return divide(other, tos);
    case AccelOp::Reciprocal:
        return divide(One, tos);
    case AccelOp::MultiplyRegister:
        return multiply(tos, other);
    case AccelOp::Multiply:
        return multiply(other, tos);
    case AccelOp::Square:
        return multiply(tos, tos);
    case AccelOp::SquareRoot:
        return squareRoot(tos);
    }
    ADD_FAILURE() << "no model for word " << op;
    return std::nullopt;
}

Outcome expectedOutcome(unsigned op, QlFloat tos, QlFloat other)
{
    const Shape shape = shapeOf(op);
    Outcome out;
    out.ok = false;
    out.a1 = StackBase + Size;
    if (!reference::valid(tos)) return out;
    if (shape == Shape::Stack) out.a1 += Size;
    if (shape != Shape::Single && !reference::valid(other)) return out;
    const reference::Result stored = reference::store(modelled(op, tos, other));
    out.a1 -= Size;
    out.ok = stored.has_value();
    out.pushed = stored.value_or(Zero);
    return out;
}

TEST_F(AccelTest, GeneratedCasesMatchTheExactModel)
{
    const unsigned words[] = {
        AccelOp::AddRegister,    AccelOp::Add,    AccelOp::SubtractRegister, AccelOp::Subtract,
        AccelOp::DivideRegister, AccelOp::Divide, AccelOp::Reciprocal,       AccelOp::MultiplyRegister,
        AccelOp::Multiply,       AccelOp::Square, AccelOp::SquareRoot};
    constexpr int CasesPerWord = 600;
    OperandSource source(0x5EED2026);
    for (unsigned op : words) {
        int failures = 0;
        int errors = 0;
        int tiny = 0;
        for (int i = 0; i < CasesPerWord; ++i) {
            const auto [tos, other] = operandsFor(op, source);
            const Outcome want = expectedOutcome(op, tos, other);
            errors += !want.ok;
            tiny += want.pushed && (*want.pushed == QlFloatLimit::SmallestResult ||
                                    (want.pushed->exponent == 0 && want.pushed->mantissa != 0));
            reset();
            setOperands(tos, other);
            const std::string diff = check(op, want);
            if (!diff.empty() && ++failures <= 5) {
                ADD_FAILURE() << "word $AB" << std::hex << op << " TOS " << show(tos) << " other " << show(other) << ":"
                              << diff;
            }
        }
        EXPECT_EQ(failures, 0) << "word " << op;
        // The generator is meant to reach both failure and the bottom of the range.
        EXPECT_GT(errors, 0) << "word " << op;
        if (op != AccelOp::Reciprocal && op != AccelOp::SquareRoot) {
            EXPECT_GT(tiny, 0) << "word " << op;
        }
    }
}

// ---------------------------------------------------------------------------------------
// The trigonometric words against the host's double precision functions.

TEST_F(AccelTest, TrigonometricWordsAgreeWithDoublePrecision)
{
    struct Word {
        unsigned op;
        double (*f)(double);
    } const words[] = {
        {AccelOp::Cosine, [](double x) { return std::cos(x); }},
        {AccelOp::Sine, [](double x) { return std::sin(x); }},
        {AccelOp::Cotangent, [](double x) { return std::cos(x) / std::sin(x); }},
        {AccelOp::Tangent, [](double x) { return std::tan(x); }},
    };
    OperandSource source(0x7215);
    for (const Word& w : words) {
        for (int i = 0; i < 400; ++i) {
            // |x| from 2^-64 to 2^21: plain doubles, results far from the range limits.
            QlFloat x{uint16_t(source.between(0x7C0, 0x815)), source.mantissa()};
            if (x.mantissa == 0 || (x.mantissa & 0x7FFFFFFF) == 0) x.mantissa = 0x5A5A5A5A;
            reset();
            setOperands(x, One);
            ASSERT_TRUE(accelExecute(w.op));
            ASSERT_EQ(cpu.D[0], 0u) << w.op << " " << show(x);
            ASSERT_EQ(cpu.A[1], StackBase);
            const double want = w.f(double(reference::toLongDouble(x)));
            const double got = double(reference::toLongDouble(read(StackBase)));
            ASSERT_LE(std::fabs(got - want), std::ldexp(std::fabs(want), -29)) << w.op << " " << show(x);
        }
    }
}

TEST_F(AccelTest, TrigonometricEdges)
{
    const QlFloat tiny{0x000, 0x40000000};  // 2^-2049
    const QlFloat huge{0xFFE, 0x5A827999};
    struct Case {
        unsigned op;
        QlFloat x;
        Outcome want;
    } const cases[] = {
        {AccelOp::Sine, Zero, {StackBase, true, Zero}},
        {AccelOp::Cosine, Zero, {StackBase, true, One}},
        {AccelOp::Tangent, Zero, {StackBase, true, Zero}},
        {AccelOp::Sine, tiny, {StackBase, true, tiny}},
        {AccelOp::Tangent, tiny, {StackBase, true, tiny}},
        {AccelOp::Cotangent, tiny, {StackBase, false, Zero}},  // 2^2049 overflows
    };
    for (const Case& c : cases) {
        reset();
        setOperands(c.x, One);
        EXPECT_EQ(check(c.op, c.want), "") << c.op << " " << show(c.x);
    }
    for (unsigned op : {AccelOp::Sine, AccelOp::Cosine}) {
        reset();
        setOperands(huge, One);
        ASSERT_TRUE(accelExecute(op));
        EXPECT_EQ(cpu.D[0], 0u);
        EXPECT_LE(std::fabs(reference::toLongDouble(read(StackBase))), 1.0L) << op;
    }
}

}  // namespace
