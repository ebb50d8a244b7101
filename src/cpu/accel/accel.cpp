#include "cpu/accel/accel.h"

#include <cfenv>
#include <cmath>
#include <optional>

#if defined(__GLIBC__) && (defined(__x86_64__) || defined(__i386__))
#include <fpu_control.h>
#endif

#include "cpu/accel/ql_float.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"

// The host status flags are read back after each operation, so the compiler must neither
// fold nor move the arithmetic around them (GCC gets -frounding-math from the build and
// the volatile result below; clang honours the pragma).
#if defined(__clang__)
#pragma STDC FENV_ACCESS ON
#endif

namespace {

constexpr uint32_t QlFloatSize = 6;
constexpr uint32_t MantissaOffset = 2;
constexpr int HostFaults = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW | FE_UNDERFLOW;
constexpr uint16_t ResultFlags = CpuFlag::N | CpuFlag::Z | CpuFlag::C;

// The environment the words compute in: round to nearest, full extended precision, every
// exception masked and no fault flag raised. The processor sets it up at reset and nothing
// else on its thread is meant to change it, so a quick look usually finds it in place and
// the words leave it as they found it (the inexact flag aside). Anything else (traps
// another component enabled, stale flags, a changed rounding mode) is set aside for the
// word and comes back afterwards: no host exception can fire inside a word and no flag of
// the caller's turns into a guest error. Saving and loading the whole environment is
// slow, hence the look first.
bool hostFpuReady()
{
#if defined(__GLIBC__)
    if (std::fegetround() != FE_TONEAREST || std::fetestexcept(HostFaults) != 0) return false;
    if (fegetexcept() != 0) return false;  // traps enabled
#if defined(__x86_64__) || defined(__i386__)
    fpu_control_t control;
    _FPU_GETCW(control);
    if ((control & _FPU_EXTENDED) != _FPU_EXTENDED) return false;  // reduced x87 precision
#endif
    return true;
#else
    return false;  // no cheap way to see the traps: always use the full swap
#endif
}

class HostFpuScope {
public:
    HostFpuScope() : swapped_(!hostFpuReady())
    {
        if (swapped_) {
            std::fegetenv(&saved_);
            std::fesetenv(FE_DFL_ENV);
        }
    }
    ~HostFpuScope()
    {
        if (swapped_) std::fesetenv(&saved_);
    }
    HostFpuScope(const HostFpuScope&) = delete;
    HostFpuScope& operator=(const HostFpuScope&) = delete;

    // Whether the operations in the scope raised a fault flag. The flags are cleared, so
    // that the next word still finds the environment in place.
    bool takeFaults()
    {
        if (std::fetestexcept(HostFaults) == 0) return false;
        std::feclearexcept(HostFaults);
        return true;
    }

private:
    bool swapped_;
    std::fenv_t saved_{};
};

// ---------------------------------------------------------------------------------------
// The arithmetic stack at A1. Each access masks the address (through the guest memory
// helpers); stores honour the read-only tail and bypass the screen write watch.
QlFloat readQlFloat(uint32_t address)
{
    return QlFloat{guestReadWord(address), guestReadLong(address + MantissaOffset)};
}

void writeQlFloat(uint32_t address, QlFloat value)
{
    guestWriteWord(address, value.exponent);
    guestWriteLong(address + MantissaOffset, value.mantissa);
}

QlFloat pop()
{
    const QlFloat value = readQlFloat(cpu.A[1]);
    cpu.A[1] += QlFloatSize;
    return value;
}

void push(QlFloat value)
{
    cpu.A[1] -= QlFloatSize;
    writeQlFloat(cpu.A[1], value);
}

QlFloat registerOperand() { return QlFloat{uint16_t(cpu.D[2]), cpu.D[1]}; }

// D0 and N, Z, C; V and X keep their values.
bool report(bool ok)
{
    cpu.D[0] = ok ? 0u : uint32_t(accelOverflowError);
    cpu.flags = uint16_t((cpu.flags & ~ResultFlags) | (ok ? CpuFlag::Z : CpuFlag::N));
    return true;
}

// ---------------------------------------------------------------------------------------
// The arithmetic words. Stack: left = NOS, right = TOS. Register: left = TOS, right = the
// register operand. Single: TOS alone (right unused).
enum class Operands : uint8_t { Register, Stack, Single };

struct Word {
    Operands operands;
    long double (*apply)(long double left, long double right);
};

long double add(long double l, long double r) { return l + r; }
long double subtract(long double l, long double r) { return l - r; }
long double multiply(long double l, long double r) { return l * r; }
long double divide(long double l, long double r) { return l / r; }
long double reciprocal(long double x, long double) { return 1.0L / x; }
long double square(long double x, long double) { return x * x; }
long double squareRoot(long double x, long double) { return std::sqrt(x); }
long double cosine(long double x, long double) { return std::cos(x); }
long double sine(long double x, long double) { return std::sin(x); }
long double cotangent(long double x, long double) { return std::cos(x) / std::sin(x); }
long double tangent(long double x, long double) { return std::sin(x) / std::cos(x); }

constexpr Word words[AccelOp::Last + 1] = {
    {Operands::Register, add},       // AddRegister
    {Operands::Stack, add},          // Add
    {Operands::Register, subtract},  // SubtractRegister
    {Operands::Stack, subtract},     // Subtract
    {Operands::Single, nullptr},     // Double: by exponent, below
    {Operands::Single, nullptr},     // Halve: by exponent, below
    {Operands::Register, divide},    // DivideRegister
    {Operands::Stack, divide},       // Divide
    {Operands::Single, reciprocal},  // Reciprocal
    {Operands::Register, multiply},  // MultiplyRegister
    {Operands::Stack, multiply},     // Multiply
    {Operands::Single, square},      // Square
    {Operands::Single, squareRoot},  // SquareRoot
    {Operands::Single, cosine},      // Cosine
    {Operands::Single, sine},        // Sine
    {Operands::Single, cotangent},   // Cotangent
    {Operands::Single, tangent},     // Tangent
};

// Pops TOS (and NOS) and loads the operands in the order they are popped; a bad exponent
// ends the word there, with what was popped so far staying popped.
bool loadOperands(Operands kind, long double& left, long double& right)
{
    const std::optional<long double> tos = qlToLongDouble(pop());
    if (!tos) return false;
    std::optional<long double> other;
    switch (kind) {
    case Operands::Single:
        left = *tos;
        right = 0.0L;
        return true;
    case Operands::Register:
        other = qlToLongDouble(registerOperand());
        if (!other) return false;
        left = *tos;
        right = *other;
        return true;
    case Operands::Stack:
        other = qlToLongDouble(pop());
        if (!other) return false;
        left = *other;
        right = *tos;
        return true;
    }
    return false;
}

bool arithmetic(const Word& word)
{
    HostFpuScope fpu;
    long double left = 0.0L;
    long double right = 0.0L;
    if (!loadOperands(word.operands, left, right)) return report(false);

    // Stored through a volatile so that the operation is complete before the flags are read.
    volatile long double computed = word.apply(left, right);
    const long double result = computed;
    const bool hostFault = fpu.takeFaults();

    const std::optional<QlFloat> stored = hostFault ? std::nullopt : qlFromLongDouble(result);
    push(stored.value_or(QlFloat{}));
    return report(stored.has_value());
}

bool doubleInPlace()
{
    QlFloat tos = readQlFloat(cpu.A[1]);
    if (!qlDouble(tos)) return report(false);
    guestWriteWord(cpu.A[1], tos.exponent);
    return report(true);
}

bool halveInPlace()
{
    const QlFloat before = readQlFloat(cpu.A[1]);
    QlFloat tos = before;
    if (!qlHalve(tos)) return report(false);
    guestWriteWord(cpu.A[1], tos.exponent);
    if (tos.mantissa != before.mantissa) guestWriteLong(cpu.A[1] + MantissaOffset, tos.mantissa);
    return report(true);
}

}  // namespace

bool accelExecute(unsigned op)
{
    if (op > AccelOp::Last) return false;
    if (op == AccelOp::Double) return doubleInPlace();
    if (op == AccelOp::Halve) return halveInPlace();
    return arithmetic(words[op]);
}

void accelInstall() { cpuSetAccelHandler(&accelExecute); }
