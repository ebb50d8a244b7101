// Interpreter internals shared by the instruction groups: guest memory access on the hot
// path, condition-code helpers, the operand (effective-address) data-flow layer and the
// exception entry points. Nothing outside src/cpu includes this.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>

#include "cpu/cpu.h"
#include "cpu/memory.h"

// Hot-path helpers must disappear into the handlers; the compiler's size heuristics would
// otherwise keep some of them out of line.
#define ZEM_HOT inline __attribute__((always_inline))

// Two processor paths can live in one program. The fixed path reaches guest memory at a
// constant host address and takes the condition codes from the host ALU; the portable path
// finds guest memory through fast.base and computes everything. The handler sources are
// compiled once per path into their own namespace (ZEM_PORTABLE_PATH selects the portable
// one); the register file, the memory geometry and the attachment points below stay one
// copy, so the paths differ only in how they execute.
#if defined(ZEM_PORTABLE_PATH)
#define ZEM_PATH portable
#else
#define ZEM_PATH fixed
#endif

namespace m68k {

// A handler gets the address of its opcode word and returns the address of the next
// instruction (the loop masks it).
using Handler = uint32_t (*)(uint32_t pc, uint32_t op);
// Threaded dispatch: each entry runs its instruction and then fetches and jumps to the next
// one itself, so that every handler has its own indirect branch for the predictor. It
// returns (with the masked PC) only when nextStep leaves the plain loop. Its entries take
// and are indexed by the opcode key (fetchOpcodeKey), as are the counting table's. The PC
// comes as a 64-bit value with a zero upper half: the next fetch then indexes memory with
// it directly, without a widening move in every handler.
using ThreadedHandler = uint32_t (*)(uint64_t pc, uint32_t key);
// The counting variant carries the number of executed instructions along the chain in a
// register and stores it in fast.executed when it hands back to the loop.
using CountingHandler = uint32_t (*)(uint64_t pc, uint32_t key, uint64_t executed);

// ---------------------------------------------------------------------------------------
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

uint8_t ccrFromFlags();
void flagsFromCcr(uint8_t ccr);
uint16_t srWord();
void setSrWord(uint16_t sr, uint32_t pc);  // loads system byte and CCR, runs the SR-change step
void srChangedAt(uint32_t pc);             // SR-change step with pc as the current PC

// Processor thread: the step being finished goes back to Loop unless another thread has
// stored a request over it meanwhile (which then stays for the loop to take).
void endTraceStep();      // TraceArm or TraceFire
void endInterruptStep();  // Interrupt, accepted or dropped by the mask
// The trace on a change of flow, in the rare-call form: the loop takes it as the next step.
void traceAfterFlow(uint32_t, uint32_t, uint32_t, uint32_t);

// Diagnostics for the test-vector runner: how often an index extension word used the
// 68020 fields (scale or full format). Costs one test in the indexed path only.
extern uint32_t extendedIndexUses;

// The attachment points and run settings (cpu.cpp).
extern HostCallHandler hostCallHandler;
extern AccelHandler accelHandler;
extern bool inHostCall;     // a host call or accelerator word is running (cpuGetPc)
extern bool plainDispatch;  // cpuSetPlainDispatch
extern bool stopWaits;      // cpuSetStopWaits

// What each path gives the selector in cpu.cpp (dispatch.cpp, compiled once per path).
struct ProcessorPath {
    void (*prepare)();                   // builds its tables on first use
    uint64_t (*run)(bool counting);      // the loop until Leave; how many ran when counting
    uint64_t (*runFor)(uint64_t count);  // cpuRunFor's steps, a trace of the last included
    void (*routeToLoop)();               // cpuRouteToLoop for its chains
    bool threaded;                       // whether its loop runs the threaded chains
};
namespace fixed {
extern const ProcessorPath path;
}
namespace portable {
extern const ProcessorPath path;
}

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

constexpr uint16_t FC = CpuFlag::C, FZ = CpuFlag::Z, FN = CpuFlag::N, FV = CpuFlag::V;

}  // namespace m68k

namespace m68k::ZEM_PATH {

extern Handler opTable[0x10000];
extern ThreadedHandler threadedTable[0x10000];
void buildOpTable();

// Threaded dispatch is chosen by the build (cmake/ProcessorPath.cmake): only where the jump
// to the next handler is certain to be a tail call. Clang guarantees it with musttail.
#ifndef ZEM_THREADED_DISPATCH
#define ZEM_THREADED_DISPATCH 0
#endif
#if defined(__has_cpp_attribute)
#if __has_cpp_attribute(clang::musttail)
#define ZEM_MUSTTAIL [[clang::musttail]]
#endif
#endif
#ifndef ZEM_MUSTTAIL
#define ZEM_MUSTTAIL
#if ZEM_THREADED_DISPATCH && (!defined(__OPTIMIZE__) || defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__))
#error "threaded dispatch without guaranteed tail calls: every guest instruction would grow the host stack"
#endif
#endif

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

// ---------------------------------------------------------------------------------------
// Registers and condition codes.
inline uint32_t* regs() { return cpu.D; }  // D0-D7 then A0-A7

template <int S>
constexpr uint32_t sizeMask = S == 1   ? 0xFFu
                              : S == 2 ? 0xFFFFu
                                       : 0xFFFFFFFFu;
template <int S>
constexpr uint32_t sizeMsb = S == 1   ? 0x80u
                             : S == 2 ? 0x8000u
                                      : 0x80000000u;
template <int S>
constexpr int sizeBits = S * 8;

template <int S>
ZEM_HOT int32_t sext(uint32_t v)
{
    if constexpr (S == 1)
        return int8_t(v);
    else if constexpr (S == 2)
        return int16_t(v);
    else
        return int32_t(v);
}

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

// ---------------------------------------------------------------------------------------
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

// ---------------------------------------------------------------------------------------
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

// ---------------------------------------------------------------------------------------
// One opcode-table slot: the plain handler (single steps) and its threaded and counting
// forms.
extern CountingHandler countingTable[0x10000];

struct OpSlot {
    Handler plain;
    ThreadedHandler threaded;  // null where the plain loop runs instead
    CountingHandler counting;
};

// Where the chains continue: their own tables while the loop runs them, otherwise tables
// whose every entry hands back to the loop (see enterChains and cpuRouteToLoop).
extern std::atomic<const ThreadedHandler*> threadedRoute;
extern std::atomic<const CountingHandler*> countingRoute;

// The threaded and counting tables are indexed by the opcode word as it lies in host
// memory, not by its value: the dispatch then goes straight from the load to the jump,
// and only a handler that decodes opcode fields pays for the byte swap.
ZEM_HOT uint32_t load16Raw(const uint8_t* p)
{
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
ZEM_HOT uint32_t fetchOpcodeKey(uint32_t pc) { return load16Raw(guestBase() + pc); }
ZEM_HOT uint32_t opcodeFromKey(uint32_t key)
{
    if constexpr (std::endian::native == std::endian::little)
        return __builtin_bswap16(uint16_t(key));
    else
        return key;
}
// The same swap maps an opcode to its key.
ZEM_HOT uint32_t opcodeKey(uint32_t op) { return opcodeFromKey(op); }

// The threaded forms are marked hot so that the linker packs them together, away from the
// plain and counting forms and the table builders: the handlers a program runs then share
// far fewer code pages and cache lines.
// The mask is read before the instruction runs: the compiler must assume that a guest byte
// store may change it and would read it again for the next fetch.
template <Handler F>
[[gnu::flatten, gnu::hot]] uint32_t threadedHandler(uint64_t pc, uint32_t key)
{
    const uint32_t mask = fast.mask;
    pc = F(uint32_t(pc), opcodeFromKey(key)) & mask;
    key = load16Raw(guestBase() + pc);
    ZEM_MUSTTAIL return threadedRoute.load(std::memory_order_relaxed)[key](pc, key);
}

template <Handler F>
[[gnu::flatten]] uint32_t countingHandler(uint64_t pc, uint32_t key, uint64_t executed)
{
    const uint32_t mask = fast.mask;
    ++executed;
    pc = F(uint32_t(pc), opcodeFromKey(key)) & mask;
#if ZEM_THREADED_DISPATCH
    key = load16Raw(guestBase() + pc);
    ZEM_MUSTTAIL return countingRoute.load(std::memory_order_relaxed)[key](pc, key, executed);
#else
    fast.executed = executed;
    return uint32_t(pc);
#endif
}

template <Handler F>
constexpr OpSlot slot()
{
#if ZEM_THREADED_DISPATCH
    return {F, &threadedHandler<F>, &countingHandler<F>};
#else
    return {F, nullptr, &countingHandler<F>};
#endif
}

// ---------------------------------------------------------------------------------------
// Table construction helpers: pick the instantiation of a handler family for a mode index
// (decided once at start-up, never per instruction). f is a template lambda returning the
// handler for its template arguments.
template <typename F, int... I>
inline OpSlot pickModeImpl(F f, int m, std::integer_sequence<int, I...>)
{
    static const OpSlot table[] = {f.template operator()<I>()...};
    return table[m];
}
template <typename F>
inline OpSlot pickMode(F f, int m)
{
    return pickModeImpl(f, m, std::make_integer_sequence<int, EaModeCount>{});
}

template <typename F, int... I>
inline OpSlot pickSizeModeImpl(F f, int s, int m, std::integer_sequence<int, I...>)
{
    static const OpSlot table[] = {f.template operator()<(1 << (I / EaModeCount)), I % EaModeCount>()...};
    return table[(s == 1 ? 0 : s == 2 ? 1 : 2) * EaModeCount + m];
}
// s = 1, 2 or 4 bytes.
template <typename F>
inline OpSlot pickSizeMode(F f, int s, int m)
{
    return pickSizeModeImpl(f, s, m, std::make_integer_sequence<int, 3 * EaModeCount>{});
}

template <typename F, int... I>
inline OpSlot pickModeModeImpl(F f, int a, int b, std::integer_sequence<int, I...>)
{
    static const OpSlot table[] = {f.template operator()<I / EaModeCount, I % EaModeCount>()...};
    return table[a * EaModeCount + b];
}
template <typename F>
inline OpSlot pickModeMode(F f, int a, int b)
{
    return pickModeModeImpl(f, a, b, std::make_integer_sequence<int, EaModeCount * EaModeCount>{});
}

inline bool allowed(uint16_t set, int m) { return m >= 0 && (set >> m) & 1; }
inline int eaOf(unsigned op) { return eaIndex((op >> 3) & 7, op & 7); }
// Standard size field in bits 7-6: 0 byte, 1 word, 2 long, 3 none.
inline int sizeField(unsigned op)
{
    static constexpr int sizes[] = {1, 2, 4, 0};
    return sizes[(op >> 6) & 3];
}

uint32_t opIllegal(uint32_t pc, uint32_t op);

// Opcode-table builders per instruction group.
void buildMoveGroup(OpSlot* t);
void buildArithGroup(OpSlot* t);
void buildLogicGroup(OpSlot* t);
void buildShiftGroup(OpSlot* t);
void buildBitGroup(OpSlot* t);
void buildFlowGroup(OpSlot* t);
void buildMiscGroup(OpSlot* t);
void buildSystemGroup(OpSlot* t);
void buildExtendedGroup(OpSlot* t);  // 68020 additions

}  // namespace m68k::ZEM_PATH
