// Exception entry and frames, interrupt acceptance with the throwaway frame, and the
// individual exception kinds the interpreter raises.
#include "cpu/exception_entry.h"
#include "cpu/flags.h"
#include "cpu/guest_access.h"
#include "cpu/processor_path.h"

namespace m68k::ZEM_PATH {

namespace {
constexpr uint8_t kTraceBits = SrBit::T1 | SrBit::T0;
constexpr unsigned kShortFrame = 8, kLongFrame = 12;

uint8_t systemByteFor(bool clearTrace)
{
    const uint8_t old = cpu.srSystem;
    return clearTrace ? uint8_t((old & ~kTraceBits) | SrBit::S) : uint8_t(old | SrBit::S);
}
}  // namespace

uint32_t exceptionEntry(uint8_t newSystem, unsigned format, unsigned vector, uint32_t stackedPc, bool clearTrace)
{
    const uint16_t oldSr = srWord();
    cpu.srSystem = newSystem;
    srChangedAt(stackedPc);
    const uint32_t frame = (cpu.A[7] - (format ? kLongFrame : kShortFrame)) & fast.mask;
    if (format) writeStack<4>(frame + 8, cpu.instrLatch, stackedPc);
    writeStack<2>(frame, oldSr, stackedPc);
    writeStack<4>(frame + 2, stackedPc, stackedPc);
    writeStack<2>(frame + 6, format << 12 | vector * 4, stackedPc);
    cpu.A[7] = frame;
    if (clearTrace) endTraceStep();
    return readMem<4>(cpu.vbr + vector * 4) & fast.mask;
}

uint32_t illegal(uint32_t opPc) { return exceptionEntry(systemByteFor(true), 0, Vec::Illegal, opPc, true); }

uint32_t privilegeViolation(uint32_t opPc)
{
    return exceptionEntry(systemByteFor(true), 0, Vec::Privilege, opPc, true);
}

uint32_t addressError(uint32_t target)
{
    const uint32_t instruction = cpu.instrLatch;
    cpu.instrLatch = target & ~1u;
    return exceptionEntry(systemByteFor(true), 2, Vec::AddressError, instruction, true);
}

uint32_t zeroDivide(uint32_t nextPc) { return exceptionEntry(systemByteFor(true), 2, Vec::ZeroDivide, nextPc, true); }

uint32_t chkTrap(uint32_t nextPc) { return exceptionEntry(systemByteFor(false), 2, Vec::Chk, nextPc, false); }

uint32_t trapVector7(uint32_t nextPc) { return exceptionEntry(systemByteFor(false), 2, Vec::TrapV, nextPc, false); }

uint32_t traceException(uint32_t nextPc)
{
    return exceptionEntry(systemByteFor(true), 2, Vec::Trace, nextPc & fast.mask, true);
}

uint32_t trapInstruction(unsigned n, uint32_t nextPc)
{
    return exceptionEntry(systemByteFor(false), 0, Vec::Trap0 + n, nextPc, false);
}

uint32_t lineF(uint32_t opPc) { return exceptionEntry(systemByteFor(false), 0, Vec::LineF, opPc, false); }

uint32_t acceptInterrupt(uint32_t pc)
{
    constexpr uint8_t kAcceptedLevel = 2;
    const uint8_t old = cpu.srSystem;
    if ((old & SrBit::Mask) >= kAcceptedLevel) {
        endInterruptStep();
        return pc;
    }
    const uint8_t newSystem = uint8_t((old & (SrBit::S | SrBit::M | 0x08)) | SrBit::S | kAcceptedLevel);
    uint32_t handler = exceptionEntry(newSystem, 0, Vec::Interrupt2, pc, true);
    if (cpu.srSystem & SrBit::M) {
        const uint32_t master = cpu.A[7];
        cpu.srSystem &= uint8_t(~SrBit::M);
        srChangedAt(pc);
        const uint32_t frame = (cpu.A[7] - kShortFrame) & fast.mask;
        writeStack<2>(frame, readMem<2>(master) | (uint32_t(SrBit::S) << 8), pc);
        writeStack<4>(frame + 2, readMem<4>(master + 2), pc);
        writeStack<2>(frame + 6, (readMem<2>(master + 6) & 0x0FFF) | 0x1000, pc);
        cpu.A[7] = frame;
    }
    endInterruptStep();
    return handler;
}

}  // namespace m68k::ZEM_PATH
