// Condition codes: taken from the host ALU where it can give them (x86-64 on the fixed
// path), computed everywhere else; the condition tests, and the CCR and SR words.
//
// Hot-path rules carried here: the fixed path captures N, Z, C and V with the host
// instruction that computed the result (LAHF and SETO), never recomputing them; the
// portable path builds without any assembler.
#pragma once

#include <cstdint>

#include "cpu/cpu.h"
#include "cpu/processor_path.h"
#include "cpu/sizes.h"

namespace m68k {

uint8_t ccrFromFlags();
void flagsFromCcr(uint8_t ccr);
uint16_t srWord();
void setSrWord(uint16_t sr, uint32_t pc);  // loads system byte and CCR, runs the SR-change step
void srChangedAt(uint32_t pc);             // SR-change step with pc as the current PC

constexpr uint16_t FC = CpuFlag::C, FZ = CpuFlag::Z, FN = CpuFlag::N, FV = CpuFlag::V;

}  // namespace m68k

namespace m68k::ZEM_PATH {

// On x86-64 the condition codes come straight from the host ALU: LAHF gives SF, ZF and CF
// at bits 7, 6 and 0 (our layout), SETO the overflow. Elsewhere they are computed.
#if defined(__x86_64__) && !defined(ZEM_PORTABLE_PATH)
#define ZEM_HOST_FLAGS 1
#else
#define ZEM_HOST_FLAGS 0
#endif

#if ZEM_HOST_FLAGS
// The capture leaves SF, ZF and CF in the low byte (LAHF, then rotated down) and OF as
// 0 or 1 in the high byte (SETO before the rotation): our layout as it stands, host bits
// in between included (the flag word ignores them).
#define ZEM_FLAGS_CAPTURE "\n\tlahf\n\tseto %%al\n\trorw $8,%%ax"
#define ZEM_ALU(insn, S, d, s, ax)                                                        \
    do {                                                                                  \
        if constexpr (S == 1)                                                             \
            asm(insn "b %b2,%b0" ZEM_FLAGS_CAPTURE : "+r"(d), "=&a"(ax) : "r"(s) : "cc"); \
        else if constexpr (S == 2)                                                        \
            asm(insn "w %w2,%w0" ZEM_FLAGS_CAPTURE : "+r"(d), "=&a"(ax) : "r"(s) : "cc"); \
        else                                                                              \
            asm(insn "l %2,%0" ZEM_FLAGS_CAPTURE : "+r"(d), "=&a"(ax) : "r"(s) : "cc");   \
    } while (0)
// The same, with the carry also stored as X straight from the host flag.
#define ZEM_ALU_X(insn, S, d, s, ax)                                                                              \
    do {                                                                                                          \
        if constexpr (S == 1)                                                                                     \
            asm(insn "b %b3,%b0\n\tsetc %2" ZEM_FLAGS_CAPTURE : "+r"(d), "=&a"(ax), "=m"(cpu.x) : "r"(s) : "cc"); \
        else if constexpr (S == 2)                                                                                \
            asm(insn "w %w3,%w0\n\tsetc %2" ZEM_FLAGS_CAPTURE : "+r"(d), "=&a"(ax), "=m"(cpu.x) : "r"(s) : "cc"); \
        else                                                                                                      \
            asm(insn "l %3,%0\n\tsetc %2" ZEM_FLAGS_CAPTURE : "+r"(d), "=&a"(ax), "=m"(cpu.x) : "r"(s) : "cc");   \
    } while (0)
#endif

template <int S>
ZEM_HOT uint16_t flagsNZ(uint32_t r)
{
#if ZEM_HOST_FLAGS
    uint32_t ax;
    if constexpr (S == 1)
        asm("testb %b1,%b1\n\tlahf" : "=a"(ax) : "r"(r) : "cc");
    else if constexpr (S == 2)
        asm("testw %w1,%w1\n\tlahf" : "=a"(ax) : "r"(r) : "cc");
    else
        asm("testl %1,%1\n\tlahf" : "=a"(ax) : "r"(r) : "cc");
    // TEST clears CF and OF: the host flag byte is the whole answer (V = C = 0).
    return uint8_t(ax >> 8);
#else
    r &= sizeMask<S>;
    return uint16_t(((r >> (sizeBits<S> - 8)) & 0x80) | (r == 0 ? FZ : 0));
#endif
}

inline bool flagN() { return cpu.flags & FN; }
inline bool flagZ() { return cpu.flags & FZ; }
inline bool flagV() { return cpu.flags & FV; }
inline bool flagC() { return cpu.flags & FC; }
inline uint32_t flagX() { return cpu.x & 1; }

// With an extend input (ADDX, SUBX, NEGX): computed on every host.
template <int S>
inline uint32_t addxFlags(uint32_t d, uint32_t s, uint32_t xin)
{
    d &= sizeMask<S>;
    s &= sizeMask<S>;
    uint64_t wide = uint64_t(d) + s + xin;
    uint32_t r = uint32_t(wide) & sizeMask<S>;
    uint16_t f = uint16_t(((r >> (sizeBits<S> - 8)) & 0x80) | (r == 0 ? FZ : 0));
    if ((s ^ r) & (d ^ r) & sizeMsb<S>) f |= FV;
    if (wide >> sizeBits<S>) f |= FC;
    cpu.flags = f;
    cpu.x = f & FC;
    return r;
}

template <int S>
inline uint32_t subxFlags(uint32_t d, uint32_t s, uint32_t xin)
{
    d &= sizeMask<S>;
    s &= sizeMask<S>;
    uint64_t wide = uint64_t(d) - s - xin;
    uint32_t r = uint32_t(wide) & sizeMask<S>;
    uint16_t f = uint16_t(((r >> (sizeBits<S> - 8)) & 0x80) | (r == 0 ? FZ : 0));
    if ((s ^ d) & (r ^ d) & sizeMsb<S>) f |= FV;
    if (wide >> 63) f |= FC;
    cpu.flags = f;
    cpu.x = f & FC;
    return r;
}

template <int S>
ZEM_HOT uint32_t addFlags(uint32_t d, uint32_t s)
{
#if ZEM_HOST_FLAGS
    uint32_t ax;
    ZEM_ALU_X("add", S, d, s, ax);
    cpu.flags = uint16_t(ax);
    return d & sizeMask<S>;
#else
    return addxFlags<S>(d, s, 0);
#endif
}

template <int S>
ZEM_HOT uint32_t subFlags(uint32_t d, uint32_t s)
{
#if ZEM_HOST_FLAGS
    uint32_t ax;
    ZEM_ALU_X("sub", S, d, s, ax);
    cpu.flags = uint16_t(ax);
    return d & sizeMask<S>;
#else
    return subxFlags<S>(d, s, 0);
#endif
}

template <int S>
ZEM_HOT void cmpFlags(uint32_t d, uint32_t s)
{
#if ZEM_HOST_FLAGS
    uint32_t ax;
    ZEM_ALU("sub", S, d, s, ax);
    cpu.flags = uint16_t(ax);
#else
    const uint8_t x = cpu.x;
    subxFlags<S>(d, s, 0);
    cpu.x = x;
#endif
}

template <int S>
ZEM_HOT void logicFlags(uint32_t r)
{
    cpu.flags = flagsNZ<S>(r);
}

ZEM_HOT bool testCondition(unsigned cc)
{
    const uint16_t f = cpu.flags;
    const bool c = f & FC, z = f & FZ, n = f & FN, v = f & FV;
    // Kept as separate tests: folding N != V and Z into one value measured slower, the host
    // predicts the two branches better than their combination.
    switch (cc & 15) {
    case 0:
        return true;
    case 1:
        return false;
    case 2:
        return !c && !z;
    case 3:
        return c || z;
    case 4:
        return !c;
    case 5:
        return c;
    case 6:
        return !z;
    case 7:
        return z;
    case 8:
        return !v;
    case 9:
        return v;
    case 10:
        return !n;
    case 11:
        return n;
    case 12:
        return n == v;
    case 13:
        return n != v;
    case 14:
        return !z && n == v;
    default:
        return z || n != v;
    }
}

}  // namespace m68k::ZEM_PATH
