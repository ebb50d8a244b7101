// The floating-point accelerator words $AB00-$AB10: complete subroutines that the guest's
// arithmetic package calls instead of its software routines. Each takes its operands from
// the arithmetic stack at A1 (and D1/D2), leaves its result there and reports in D0 and
// the condition codes; the processor then returns from the word as RTS does.
#pragma once

#include <cstdint>

namespace AccelOp {
constexpr unsigned AddRegister = 0x00;       // TOS + register operand
constexpr unsigned Add = 0x01;               // NOS + TOS
constexpr unsigned SubtractRegister = 0x02;  // TOS - register operand
constexpr unsigned Subtract = 0x03;          // NOS - TOS
constexpr unsigned Double = 0x04;            // TOS * 2 in place
constexpr unsigned Halve = 0x05;             // TOS / 2 in place
constexpr unsigned DivideRegister = 0x06;    // TOS / register operand
constexpr unsigned Divide = 0x07;            // NOS / TOS
constexpr unsigned Reciprocal = 0x08;        // 1 / TOS
constexpr unsigned MultiplyRegister = 0x09;  // TOS * register operand
constexpr unsigned Multiply = 0x0A;          // NOS * TOS
constexpr unsigned Square = 0x0B;            // TOS * TOS
constexpr unsigned SquareRoot = 0x0C;
constexpr unsigned Cosine = 0x0D;
constexpr unsigned Sine = 0x0E;
constexpr unsigned Cotangent = 0x0F;
constexpr unsigned Tangent = 0x10;
constexpr unsigned Last = Tangent;
}  // namespace AccelOp

// The guest's overflow error, the only failure the words report.
constexpr int32_t accelOverflowError = -18;

// Runs word $AB00 + op on the register file and guest memory. Returns false for an op
// beyond the last word (the processor raises the illegal-instruction exception); on true
// the processor completes the word's return.
bool accelExecute(unsigned op);

// Attaches accelExecute to the processor.
void accelInstall();
