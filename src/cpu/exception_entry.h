// Exception entry (exceptions.cpp), the end of every change of flow, and the processor
// thread's ends of the trace and interrupt steps.
//
// Hot-path rules carried here: nothing is checked per instruction; trace and interrupts
// arrive as the loop's next step. A change of flow tests the trace bit once, and its rare
// branch leaves through rareCall.
#pragma once

#include <cstdint>

#include "cpu/cpu.h"
#include "cpu/guest_access.h"
#include "cpu/processor_path.h"

namespace m68k {

// Processor thread: the step being finished goes back to Loop unless another thread has
// stored a request over it meanwhile (which then stays for the loop to take).
void endTraceStep();      // TraceArm or TraceFire
void endInterruptStep();  // Interrupt, accepted or dropped by the mask
// The trace on a change of flow, in the rare-call form: the loop takes it as the next step.
void traceAfterFlow(uint32_t, uint32_t, uint32_t, uint32_t);

}  // namespace m68k

namespace m68k::ZEM_PATH {

// Exceptions (exceptions.cpp). Each returns the handler address to continue at.
namespace Vec {
constexpr unsigned AddressError = 3, Illegal = 4, ZeroDivide = 5, Chk = 6, TrapV = 7, Privilege = 8, Trace = 9,
                   LineF = 11, Interrupt2 = 26, Trap0 = 32;
}
uint32_t exceptionEntry(uint8_t newSystem, unsigned format, unsigned vector, uint32_t stackedPc, bool clearTrace);
uint32_t illegal(uint32_t opPc);
uint32_t privilegeViolation(uint32_t opPc);
uint32_t addressError(uint32_t target);  // stacked PC from instrLatch
uint32_t zeroDivide(uint32_t nextPc);
uint32_t chkTrap(uint32_t nextPc);
uint32_t trapVector7(uint32_t nextPc);
uint32_t traceException(uint32_t nextPc);
uint32_t trapInstruction(unsigned n, uint32_t nextPc);
uint32_t lineF(uint32_t opPc);
uint32_t acceptInterrupt(uint32_t pc);

inline bool supervisor() { return cpu.srSystem & SrBit::S; }

// End of a change of flow whose target is known to be even: trace on change of flow (T0).
// The exception is taken by the loop as the instruction's next step (TraceFire), with the
// target as the stacked PC.
ZEM_HOT uint32_t flowToEven(uint32_t target)
{
    if (cpu.srSystem & SrBit::T0) [[unlikely]]
        rareCall(&traceAfterFlow, 0, 0, 0, 0);
    return target;
}

// End of every other change of flow: odd target check first.
ZEM_HOT uint32_t flowTo(uint32_t target)
{
    if (target & 1) [[unlikely]]
        return addressError(target);
    return flowToEven(target);
}

}  // namespace m68k::ZEM_PATH
