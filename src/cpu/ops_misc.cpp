// Miscellaneous single-operand and register instructions: LEA, PEA, CLR, TST, TAS, EXT,
// EXTB, SWAP, MOVEM, LINK, UNLK, MOVE USP and the moves to and from SR and CCR.
#include <bit>

#include "cpu/exception_entry.h"
#include "cpu/flags.h"
#include "cpu/guest_access.h"
#include "cpu/opcode_table.h"
#include "cpu/operands.h"
#include "cpu/processor_path.h"
#include "cpu/sizes.h"
#include "cpu/threaded_dispatch.h"

namespace m68k::ZEM_PATH {
namespace {

template <int M>
uint32_t opLea(uint32_t pc, uint32_t op)
{
    pc += 2;
    cpu.A[(op >> 9) & 7] = eaAddress<M, 4>(pc, op & 7);
    return pc;
}

template <int M>
uint32_t opPea(uint32_t pc, uint32_t op)
{
    pc += 2;
    const uint32_t a = eaAddress<M, 4>(pc, op & 7);
    pushLong(a, pc);
    return pc;
}

template <int S, int M>
uint32_t opClr(uint32_t pc, uint32_t op)
{
    pc += 2;
    writeEa<M, S>(pc, op & 7, 0);
    cpu.flags = FZ;
    return pc;
}

template <int S, int M>
uint32_t opTst(uint32_t pc, uint32_t op)
{
    pc += 2;
    cpu.flags = flagsNZ<S>(readEa<M, S>(pc, op & 7));
    return pc;
}

template <int M>
uint32_t opTas(uint32_t pc, uint32_t op)
{
    pc += 2;
    Rmw<M, 1> loc(pc, op & 7);
    const uint32_t v = loc.read();
    cpu.flags = flagsNZ<1>(v);
    loc.write(v | 0x80);
    return pc;
}

uint32_t opExtW(uint32_t pc, uint32_t op)
{
    const uint32_t v = uint32_t(int8_t(cpu.D[op & 7]));
    writeDn<2>(op & 7, v);
    cpu.flags = flagsNZ<2>(v);
    return pc + 2;
}

uint32_t opExtL(uint32_t pc, uint32_t op)
{
    uint32_t& d = cpu.D[op & 7];
    d = uint32_t(int16_t(d));
    cpu.flags = flagsNZ<4>(d);
    return pc + 2;
}

uint32_t opExtbL(uint32_t pc, uint32_t op)
{
    uint32_t& d = cpu.D[op & 7];
    d = uint32_t(int8_t(d));
    cpu.flags = flagsNZ<4>(d);
    return pc + 2;
}

uint32_t opSwap(uint32_t pc, uint32_t op)
{
    uint32_t& d = cpu.D[op & 7];
    d = d << 16 | d >> 16;
    cpu.flags = flagsNZ<4>(d);
    return pc + 2;
}

// Registers to memory. Predecrement stores A7 down to D0 and lowers the address register
// before each store; the other modes store D0 first.
template <int S, int M>
uint32_t opMovemToMem(uint32_t pc, uint32_t op)
{
    const uint32_t list = fetch16(pc + 2);
    pc += 4;
    uint32_t* r = regs();
    // The loops visit only the registers in the list (lowest mask bit first), so a save of
    // a few registers costs a few steps and no branch per absent one.
    if constexpr (M == EPd) {
        // Bit b of the mask names register 15 - b: A7 down to D0.
        uint32_t& an = cpu.A[op & 7];
        for (uint32_t bits = list; bits; bits &= bits - 1) {
            an -= S;
            writeMem<S>(an, r[15 - std::countr_zero(bits)], pc);
        }
    } else {
        uint32_t a = eaAddress<M, S>(pc, op & 7);
        for (uint32_t bits = list; bits; bits &= bits - 1) {
            writeMem<S>(a, r[std::countr_zero(bits)], pc);
            a += S;
        }
    }
    return pc;
}

template <int S, int M>
uint32_t opMovemToRegs(uint32_t pc, uint32_t op)
{
    const uint32_t list = fetch16(pc + 2);
    pc += 4;
    uint32_t* r = regs();
    uint32_t a = M == EPi ? cpu.A[op & 7] : eaAddress<M, S>(pc, op & 7);
    for (uint32_t bits = list; bits; bits &= bits - 1) {
        r[std::countr_zero(bits)] = uint32_t(sext<S>(readMem<S>(a)));
        a += S;
    }
    if constexpr (M == EPi) cpu.A[op & 7] = a;
    return pc;
}

inline uint32_t link(uint32_t pc, unsigned an, int32_t disp)
{
    // Not pushLong: LINK A7 pushes A7 as already decremented.
    cpu.A[7] -= 4;
    writeStack<4>(cpu.A[7], cpu.A[an], pc);
    cpu.A[an] = cpu.A[7];
    cpu.A[7] += uint32_t(disp);
    return pc;
}

uint32_t opLinkW(uint32_t pc, uint32_t op) { return link(pc + 4, op & 7, int16_t(fetch16(pc + 2))); }
uint32_t opLinkL(uint32_t pc, uint32_t op) { return link(pc + 6, op & 7, int32_t(fetch32(pc + 2))); }

uint32_t opUnlk(uint32_t pc, uint32_t op)
{
    const unsigned an = op & 7;
    cpu.A[7] = cpu.A[an];
    const uint32_t v = readMem<4>(cpu.A[7]);
    cpu.A[7] += 4;
    cpu.A[an] = v;
    return pc + 2;
}

uint32_t opMoveToUsp(uint32_t pc, uint32_t op)
{
    if (!supervisor()) return privilegeViolation(pc);
    cpu.usp = cpu.A[op & 7];
    return pc + 2;
}

uint32_t opMoveFromUsp(uint32_t pc, uint32_t op)
{
    if (!supervisor()) return privilegeViolation(pc);
    cpu.A[op & 7] = cpu.usp;
    return pc + 2;
}

template <int M>
uint32_t opMoveFromSr(uint32_t pc, uint32_t op)
{
    pc += 2;
    writeEa<M, 2>(pc, op & 7, srWord());
    return pc;
}

template <int M>
uint32_t opMoveFromCcr(uint32_t pc, uint32_t op)
{
    pc += 2;
    writeEa<M, 2>(pc, op & 7, ccrFromFlags());
    return pc;
}

template <int M>
uint32_t opMoveToCcr(uint32_t pc, uint32_t op)
{
    pc += 2;
    flagsFromCcr(uint8_t(readEa<M, 2>(pc, op & 7) & 0x1F));
    return pc;
}

template <int M>
uint32_t opMoveToSr(uint32_t pc, uint32_t op)
{
    if (!supervisor()) return privilegeViolation(pc);
    pc += 2;
    const uint16_t sr = uint16_t(readEa<M, 2>(pc, op & 7));
    setSrWord(sr, pc);
    return pc;
}

}  // namespace

void buildMiscGroup(OpSlot* t)
{
    for (unsigned op = 0x4000; op < 0x5000; ++op) {
        const int m = eaOf(op);
        const int size = sizeField(op);
        if ((op & 0xF1C0) == 0x41C0 && allowed(EaSet::Control, m))
            t[op] = pickMode([]<int M>() { return slot<&opLea<M>>(); }, m);
        if ((op & 0xFFC0) == 0x4840 && allowed(EaSet::Control, m))
            t[op] = pickMode([]<int M>() { return slot<&opPea<M>>(); }, m);
        if ((op & 0xFF00) == 0x4200 && size && allowed(EaSet::DataAlt, m))
            t[op] = pickSizeMode([]<int S, int M>() { return slot<&opClr<S, M>>(); }, size, m);
        if ((op & 0xFF00) == 0x4A00 && size && allowed(EaSet::All, m) && !(size == 1 && m == EAn))
            t[op] = pickSizeMode([]<int S, int M>() { return slot<&opTst<S, M>>(); }, size, m);
        if ((op & 0xFFC0) == 0x4AC0 && allowed(EaSet::DataAlt, m))
            t[op] = pickMode([]<int M>() { return slot<&opTas<M>>(); }, m);
        if ((op & 0xFFC0) == 0x40C0 && allowed(EaSet::DataAlt, m))
            t[op] = pickMode([]<int M>() { return slot<&opMoveFromSr<M>>(); }, m);
        if ((op & 0xFFC0) == 0x42C0 && allowed(EaSet::DataAlt, m))
            t[op] = pickMode([]<int M>() { return slot<&opMoveFromCcr<M>>(); }, m);
        if ((op & 0xFFC0) == 0x44C0 && allowed(EaSet::Data, m))
            t[op] = pickMode([]<int M>() { return slot<&opMoveToCcr<M>>(); }, m);
        if ((op & 0xFFC0) == 0x46C0 && allowed(EaSet::Data, m))
            t[op] = pickMode([]<int M>() { return slot<&opMoveToSr<M>>(); }, m);
        if ((op & 0xFB80) == 0x4880) {
            const int s = (op & 0x40) ? 4 : 2;
            const bool toRegs = op & 0x400;
            if (!toRegs && (allowed(EaSet::ControlAlt, m) || m == EPd))
                t[op] = pickSizeMode([]<int S, int M>() { return slot<&opMovemToMem<S, M>>(); }, s, m);
            if (toRegs && (allowed(EaSet::Control, m) || m == EPi))
                t[op] = pickSizeMode([]<int S, int M>() { return slot<&opMovemToRegs<S, M>>(); }, s, m);
        }
    }
    for (unsigned r = 0; r < 8; ++r) {
        t[0x4880 | r] = slot<&opExtW>();
        t[0x48C0 | r] = slot<&opExtL>();
        t[0x49C0 | r] = slot<&opExtbL>();
        t[0x4840 | r] = slot<&opSwap>();
        t[0x4808 | r] = slot<&opLinkL>();
        t[0x4E50 | r] = slot<&opLinkW>();
        t[0x4E58 | r] = slot<&opUnlk>();
        t[0x4E60 | r] = slot<&opMoveToUsp>();
        t[0x4E68 | r] = slot<&opMoveFromUsp>();
    }
}

}  // namespace m68k::ZEM_PATH
