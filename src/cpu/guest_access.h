// Guest memory access on the hot path: the memory geometry copied for the handlers,
// byte-order loads and stores, instruction-stream fetches, sized reads and writes with
// the write watch, stack pushes, and the rare-call thunk that keeps a handler's slow
// branch from costing its fast one.
//
// Hot-path rules carried here: on the fixed path guest memory sits at kGuestBaseAddress,
// reached with a constant displacement; the portable path finds it through fast.base. A
// write is plain RAM after one compare, everything else leaves through rareCall.
#pragma once

#include <cstdint>
#include <cstring>

#include "cpu/cpu.h"
#include "cpu/processor_path.h"

namespace m68k {

// Hot-path copies of the memory geometry and the write watch.
struct Fast {
    uint32_t mask;
    // Guest offsets, indexed by access size: a write at a is plain RAM when
    // a - writeStart <= writeSpan[size] (everything at or above the watched screen up to the
    // end of RAM); a stack push when a < stackEnd[size].
    uint32_t writeStart;
    uint32_t writeSpan[5];
    uint32_t stackEnd[5];
    uint32_t pc;        // the PC between runs of the loop (the threaded chains keep it in
                        // a register and store it when they hand back)
    uint64_t executed;  // the counting chain's total when it returns to the loop
    uint8_t* base;      // guest address 0 (the portable path's only way to find it)
};
extern Fast fast;

// Guest memory lies at this host address whenever memoryAllocate can reserve it there: the
// fixed path then reaches any guest byte with a constant displacement instead of loading
// the base first. The whole block (256 MB and a page) stays below 2 GB, so every guest
// address is a signed 32-bit displacement, and below the sanitizer's shadow memory; it lies
// above the gigabyte over which the host scatters the start of the program's heap, and far
// below where the host puts its own mappings. When something else already lies there the
// block goes anywhere and the portable path runs instead.
constexpr uintptr_t kGuestBaseAddress = 0x60000000u;

void refreshMemoryGeometry();  // after memoryAllocate or a watch change
void slowWrite(uint32_t address, uint32_t value, unsigned size, bool watched, uint32_t pc);

// Rare paths called from the hot handlers (a write that is not plain RAM, trace on a change
// of flow): see rareCall.
using RareCall = void (*)(uint32_t, uint32_t, uint32_t, uint32_t);
// slowWrite in the rare-call form: c = size, plus 0x100 when the screen watch applies, and
// the PC the instruction had reached (for the access-violation line).
void slowWriteRare(uint32_t address, uint32_t value, uint32_t sizeAndWatch, uint32_t pc);

ZEM_HOT uint32_t load16(const uint8_t* p)
{
    uint16_t v;
    std::memcpy(&v, p, 2);
    return __builtin_bswap16(v);
}
ZEM_HOT uint32_t load32(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return __builtin_bswap32(v);
}
ZEM_HOT void store16(uint8_t* p, uint32_t v)
{
    uint16_t s = __builtin_bswap16(uint16_t(v));
    std::memcpy(p, &s, 2);
}
ZEM_HOT void store32(uint8_t* p, uint32_t v)
{
    uint32_t s = __builtin_bswap32(v);
    std::memcpy(p, &s, 4);
}

}  // namespace m68k

namespace m68k::ZEM_PATH {

#if defined(ZEM_PORTABLE_PATH)
ZEM_HOT uint8_t* guestBase() { return fast.base; }
#else
ZEM_HOT uint8_t* guestBase() { return reinterpret_cast<uint8_t*>(kGuestBaseAddress); }
#endif

// A plain call to a rare path would make every handler that contains one save registers and
// align the stack on its fast path as well; on x86-64 they go through a thunk that keeps
// every general register instead, so the handler around it needs no frame at all.
#if defined(__x86_64__) && !defined(ZEM_PORTABLE_PATH)
ZEM_HOT void rareCall(RareCall fn, uint32_t a, uint32_t b, uint32_t c, uint32_t d)
{
    // The thunk's own call must not land in the red zone the handler may be using.
    asm volatile("lea -128(%%rsp), %%rsp\n\tcall zemRareCallThunk\n\tlea 128(%%rsp), %%rsp"
                 :
                 : "a"(fn), "D"(a), "S"(b), "d"(c), "c"(d)
                 : "memory", "cc", "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8", "xmm9",
                   "xmm10", "xmm11", "xmm12", "xmm13", "xmm14", "xmm15");
}
#else
inline void rareCall(RareCall fn, uint32_t a, uint32_t b, uint32_t c, uint32_t d) { fn(a, b, c, d); }
#endif

// Instruction-stream words: pc is already masked at the start of an instruction; the
// extension words of an instruction at the top of the range come from the bytes above it.
ZEM_HOT uint32_t fetch16(uint32_t pc) { return load16(guestBase() + pc); }
ZEM_HOT uint32_t fetch32(uint32_t pc) { return load32(guestBase() + pc); }

template <int S>
ZEM_HOT void storeSized(uint8_t* p, uint32_t v)
{
    if constexpr (S == 1)
        *p = uint8_t(v);
    else if constexpr (S == 2)
        store16(p, v);
    else
        store32(p, v);
}

template <int S>
ZEM_HOT uint32_t readMem(uint32_t a)
{
    const uint8_t* p = guestBase() + (a & fast.mask);
    if constexpr (S == 1)
        return *p;
    else if constexpr (S == 2)
        return load16(p);
    else
        return load32(p);
}

// pc: the PC the instruction has reached, for the access-violation line of a write into
// the read-only tail.
template <int S>
ZEM_HOT void writeMem(uint32_t a, uint32_t v, uint32_t pc)
{
    a &= fast.mask;
    uint8_t* p = guestBase() + a;
    if (a - fast.writeStart <= fast.writeSpan[S]) [[likely]] {
        storeSized<S>(p, v);
    } else {
        rareCall(&slowWriteRare, a, v, S | 0x100, pc);
    }
}

// Stack pushes of exception entry, JSR, BSR, PEA and LINK bypass the screen watch but
// still respect the read-only tail.
template <int S>
ZEM_HOT void writeStack(uint32_t a, uint32_t v, uint32_t pc)
{
    a &= fast.mask;
    uint8_t* p = guestBase() + a;
    if (a < fast.stackEnd[S]) [[likely]] {
        storeSized<S>(p, v);
    } else {
        rareCall(&slowWriteRare, a, v, S, pc);
    }
}

// Pushes a long onto the active stack (JSR, BSR, PEA); pc as for writeMem.
ZEM_HOT void pushLong(uint32_t v, uint32_t pc)
{
    cpu.A[7] -= 4;
    writeStack<4>(cpu.A[7], v, pc);
}

}  // namespace m68k::ZEM_PATH
