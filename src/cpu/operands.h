// The operand layer: effective-address modes, their address computation (brief and full
// extension words), immediates, and reads, writes and read-modify-writes of an operand.
//
// Hot-path rules carried here: the addressing mode and the size are template arguments,
// so no handler branches on them at run time; a byte or word result is merged into its
// data register in a host register and stored whole.
#pragma once

#include <cstdint>

#include "cpu/cpu.h"
#include "cpu/guest_access.h"
#include "cpu/processor_path.h"
#include "cpu/sizes.h"

namespace m68k {

// Diagnostics for the test-vector runner: how often an index extension word used the
// 68020 fields (scale or full format). Costs one test in the indexed path only.
extern uint32_t extendedIndexUses;

}  // namespace m68k

namespace m68k::ZEM_PATH {

// Effective addresses. Mode indices: 0 Dn, 1 An, 2 (An), 3 (An)+, 4 -(An), 5 d16(An),
// 6 d8(An,Xn)/full, 7 abs.W, 8 abs.L, 9 d16(PC), 10 d8(PC,Xn)/full, 11 #imm.
enum EaMode : int { EDn, EAn, EAi, EPi, EPd, EDi, EIx, EAw, EAl, EPcDi, EPcIx, EImm, EaModeCount };

constexpr int eaIndex(unsigned mode, unsigned reg)
{
    if (mode < 7) return int(mode);
    return reg <= 4 ? 7 + int(reg) : -1;
}

namespace EaSet {
constexpr uint16_t All = 0xFFF;
constexpr uint16_t Data = 0xFFD;
constexpr uint16_t Memory = 0xFFC;
constexpr uint16_t Alterable = 0x1FF;
constexpr uint16_t DataAlt = 0x1FD;
constexpr uint16_t MemAlt = 0x1FC;
constexpr uint16_t Control = 0x7E4;
constexpr uint16_t ControlAlt = 0x1E4;
constexpr uint16_t MoveDest = 0x7FD;  // data alterable plus the PC-relative forms
}  // namespace EaSet

ZEM_HOT uint32_t indexValue(uint32_t ext)
{
    const uint32_t raw = regs()[ext >> 12];
    const uint32_t value = (ext & 0x800) ? raw : uint32_t(int16_t(raw));
    return value << ((ext >> 9) & 3);
}

// The full extension-word format (effective_address.cpp); ext already fetched.
uint32_t fullFormatAddress(uint32_t base, uint32_t ext, uint32_t& pc);

// Brief and full extension-word formats; pc points at the extension word and is advanced.
// The PC base of the PC-relative forms is the address of the extension word.
ZEM_HOT uint32_t indexedAddress(uint32_t base, uint32_t& pc)
{
    constexpr uint32_t kFullFormat = 0x100, kScale = 0x600;
    const uint32_t ext = fetch16(pc);
    pc += 2;
    if (ext & kFullFormat) [[unlikely]]
        return fullFormatAddress(base, ext, pc);
    if (ext & kScale) ++extendedIndexUses;
    return base + uint32_t(int8_t(ext)) + indexValue(ext);
}

// (An)+ and -(An) step: the size, except that a byte access keeps A7 even.
template <int S>
ZEM_HOT uint32_t addressStep(unsigned r)
{
    if constexpr (S == 1) {
        static constexpr uint8_t kByteStep[8] = {1, 1, 1, 1, 1, 1, 1, 2};
        return kByteStep[r];
    } else {
        (void)r;
        return S;
    }
}

template <int M, int S>
ZEM_HOT uint32_t eaAddress(uint32_t& pc, unsigned r)
{
    uint32_t* A = cpu.A;
    if constexpr (M == EAi) {
        return A[r];
    } else if constexpr (M == EPi) {
        uint32_t a = A[r];
        A[r] = a + addressStep<S>(r);
        return a;
    } else if constexpr (M == EPd) {
        uint32_t a = A[r] - addressStep<S>(r);
        A[r] = a;
        return a;
    } else if constexpr (M == EDi) {
        uint32_t a = A[r] + uint32_t(int16_t(fetch16(pc)));
        pc += 2;
        return a;
    } else if constexpr (M == EIx) {
        return indexedAddress(A[r], pc);
    } else if constexpr (M == EAw) {
        uint32_t a = uint32_t(int16_t(fetch16(pc)));
        pc += 2;
        return a;
    } else if constexpr (M == EAl) {
        uint32_t a = fetch32(pc);
        pc += 4;
        return a;
    } else if constexpr (M == EPcDi) {
        uint32_t a = pc + uint32_t(int16_t(fetch16(pc)));
        pc += 2;
        return a;
    } else if constexpr (M == EPcIx) {
        return indexedAddress(pc, pc);
    } else {
        (void)pc, (void)r;
        return 0;  // Dn, An, #imm have no address; the opcode table never asks for one
    }
}

template <int S>
ZEM_HOT uint32_t fetchImmediate(uint32_t& pc)
{
    uint32_t v;
    if constexpr (S == 4) {
        v = fetch32(pc);
        pc += 4;
    } else {
        v = fetch16(pc) & sizeMask<S>;
        pc += 2;
    }
    return v;
}

template <int M, int S>
ZEM_HOT uint32_t readEa(uint32_t& pc, unsigned r)
{
    if constexpr (M == EDn)
        return cpu.D[r] & sizeMask<S>;
    else if constexpr (M == EAn)
        return cpu.A[r] & sizeMask<S>;
    else if constexpr (M == EImm)
        return fetchImmediate<S>(pc);
    else
        return readMem<S>(eaAddress<M, S>(pc, r));
}

// A byte or word result is merged in a host register and stored whole: stored as a byte or
// word, the next instruction's full-width read of the register could not be forwarded from
// the store and would wait for it to reach the cache.
template <int S>
ZEM_HOT void writeDn(unsigned r, uint32_t v)
{
    if constexpr (S == 4) {
        cpu.D[r] = v;
    } else {
        uint32_t old = cpu.D[r];
        asm("" : "+r"(old));
        cpu.D[r] = (old & ~sizeMask<S>) | (v & sizeMask<S>);
    }
}

template <int M, int S>
ZEM_HOT void writeEa(uint32_t& pc, unsigned r, uint32_t v)
{
    if constexpr (M == EDn)
        writeDn<S>(r, v);
    else if constexpr (M == EAn)
        cpu.A[r] = v;
    else if constexpr (M == EImm)
        (void)pc, (void)r, (void)v;
    else {
        const uint32_t a = eaAddress<M, S>(pc, r);
        writeMem<S>(a, v, pc);
    }
}

// Read-modify-write: the location is resolved once, read, then written back.
template <int M, int S>
struct Rmw {
    uint32_t addr = 0;
    unsigned reg;
    uint32_t pcAt;
    Rmw(uint32_t& pc, unsigned r) : reg(r)
    {
        if constexpr (M != EDn && M != EAn) addr = eaAddress<M, S>(pc, r);
        pcAt = pc;
    }
    uint32_t read() const
    {
        if constexpr (M == EDn)
            return cpu.D[reg] & sizeMask<S>;
        else if constexpr (M == EAn)
            return cpu.A[reg];
        else
            return readMem<S>(addr);
    }
    void write(uint32_t v) const
    {
        if constexpr (M == EDn)
            writeDn<S>(reg, v);
        else if constexpr (M == EAn)
            cpu.A[reg] = v;
        else
            writeMem<S>(addr, v, pcAt);
    }
};

}  // namespace m68k::ZEM_PATH
