// The register file, the dispatch loop with its next-step handling, the SR-change step,
// the attachment points (host calls, accelerator words, screen watch) and the write path
// for everything that is not plain RAM.
#include <cfenv>
#include <thread>

#include "core/log.h"
#include "cpu/cpu_internal.h"

CpuState cpu;
std::atomic<uint32_t> cpuIdleCounter{0};

namespace m68k {

Fast fast;
uint32_t extendedIndexUses = 0;

namespace {
HostCallHandler hostCallHandler = nullptr;
AccelHandler accelHandler = nullptr;
ScreenWatch watch{};
bool watchInstalled = false;
bool counting = false;
bool inHostCall = false;
uint64_t instructionCount = 0;
bool tableBuilt = false;
}  // namespace

void refreshMemoryGeometry() {
    fast.mask = mem.mask;
    fast.base = mem.base;
    uint8_t* start = watchInstalled ? watch.screenEnd : mem.base;
    if (!start || start < mem.base) start = mem.base;
    const uint64_t startOffset = uint64_t(start - mem.base);
    // No plain range at all (no RAM, or a screen reaching into the last long of RAM): an
    // unreachable start sends every write the slow way.
    const bool plain = mem.base && startOffset + 4 <= mem.ramSize;
    fast.writeStart = plain ? uint32_t(startOffset) : UINT32_MAX;
    for (unsigned s = 0; s < 5; ++s) {
        fast.writeSpan[s] = plain ? uint32_t(mem.ramSize - s - startOffset) : 0;
        fast.stackEnd[s] = mem.ramSize >= s ? mem.ramSize - s + 1 : 0;
    }
}

void slowWrite(uint32_t address, uint32_t value, unsigned size, bool watched, uint32_t pc) {
    uint8_t* p = guestBase() + address;
    if (uint64_t(address) + size > mem.ramSize) {
        zlog(LogCat::Error, "M68K access violation at address $%08x (possible PC $%08x)\r\n", address,
             pc);
        return;
    }
    if (size == 1) *p = uint8_t(value);
    else if (size == 2) store16(p, value);
    else store32(p, value);
    if (!watched || !watchInstalled || p >= watch.screenEnd) return;
    if (p >= watch.screenStart) {
        if (!watch.screenNote) return;
        const uintptr_t left = uintptr_t(watch.screenEnd - p);
        if (size <= left) {
            watch.screenNote(p, size);
        } else if (size == 2) {
            watch.screenNote(p, 1);  // a word at the last byte of the window
        } else {
            // A long within the last three bytes is reported as a word at the even address.
            watch.screenNote(reinterpret_cast<uint8_t*>(uintptr_t(p) & ~uintptr_t(1)), 2);
        }
    } else if (watch.qlScreenNote && address >= 0x20000 && address < 0x28000) {
        watch.qlScreenNote(address, size);
    }
}

void slowWriteRare(uint32_t address, uint32_t value, uint32_t sizeAndWatch, uint32_t pc) {
    slowWrite(address, value, sizeAndWatch & 0xFF, sizeAndWatch & 0x100, pc);
}

// A compare-exchange rather than a store: the value may have become another thread's
// request since the processor thread last looked, and that request must stay.
void endTraceStep() {
    NextStep step = cpu.nextStep.load(std::memory_order_relaxed);
    while ((step == NextStep::TraceArm || step == NextStep::TraceFire) &&
           !cpu.nextStep.compare_exchange_strong(step, NextStep::Loop, std::memory_order_relaxed)) {
    }
}

void endInterruptStep() {
    NextStep step = NextStep::Interrupt;
    cpu.nextStep.compare_exchange_strong(step, NextStep::Loop, std::memory_order_relaxed);
}

void traceAfterFlow(uint32_t, uint32_t, uint32_t, uint32_t) {
    cpu.nextStep.store(NextStep::TraceFire, std::memory_order_relaxed);
}

#if defined(__x86_64__) && !defined(ZEM_PORTABLE_FLAGS)
// rareCall's thunk: calls rax(edi, esi, edx, ecx) keeping every general register the handler may
// hold. The stack is realigned because handlers run at any alignment.
asm(R"(
    .text
    .p2align 4
    .globl zemRareCallThunk
    .type zemRareCallThunk, @function
zemRareCallThunk:
    push %rax
    push %rcx
    push %rdx
    push %rsi
    push %rdi
    push %r8
    push %r9
    push %r10
    push %r11
    push %rbp
    mov %rsp, %rbp
    and $-16, %rsp
    call *%rax
    mov %rbp, %rsp
    pop %rbp
    pop %r11
    pop %r10
    pop %r9
    pop %r8
    pop %rdi
    pop %rsi
    pop %rdx
    pop %rcx
    pop %rax
    ret
    .size zemRareCallThunk, .-zemRareCallThunk
)");
#endif

// ---------------------------------------------------------------------------------------
// Condition codes and the status register.
uint8_t ccrFromFlags() {
    const uint16_t f = cpu.flags;
    return uint8_t((cpu.x & 1) << 4 | ((f & FN) ? 8 : 0) | ((f & FZ) ? 4 : 0) | ((f & FV) ? 2 : 0) |
                   (f & FC));
}

void flagsFromCcr(uint8_t ccr) {
    cpu.flags = uint16_t(((ccr & 8) ? FN : 0) | ((ccr & 4) ? FZ : 0) | ((ccr & 2) ? FV : 0) | (ccr & 1));
    cpu.x = (ccr >> 4) & 1;
}

uint16_t srWord() { return uint16_t((cpu.srSystem & 0xF7) << 8 | ccrFromFlags()); }

void setSrWord(uint16_t sr, uint32_t pc) {
    flagsFromCcr(uint8_t(sr));
    cpu.srSystem = uint8_t(sr >> 8);
    srChangedAt(pc);
}

void srChangedAt(uint32_t pc) {
    cpu.srSystem &= uint8_t(~0x08);
    const uint8_t now = cpu.srSystem, before = cpu.srPrevious;
    if (now == before) return;
    if ((now ^ before) & SrBit::T1) {
        if (now & SrBit::T1) {
            cpu.nextStep.store(NextStep::TraceArm, std::memory_order_relaxed);
            cpu.instrLatch = pc;
        } else {
            endTraceStep();
        }
    }
    if ((now ^ before) & (SrBit::S | SrBit::M)) {
        *cpu.activeSlot = cpu.A[7];
        if (!(now & SrBit::S)) cpu.activeSlot = &cpu.usp;
        else cpu.activeSlot = (now & SrBit::M) ? &cpu.msp : &cpu.isp;
        cpu.A[7] = *cpu.activeSlot;
    }
    cpu.srPrevious = now;
}

// ---------------------------------------------------------------------------------------
// Next-step routing. The exit entries hand the PC of the instruction they were about to
// run back to the loop, which then looks at nextStep.
namespace {
uint32_t exitThreaded(uint64_t pc, uint32_t) { return uint32_t(pc); }
uint32_t exitCounting(uint64_t pc, uint32_t, uint64_t executed) {
    fast.executed = executed;
    return uint32_t(pc);
}
ThreadedHandler exitTable[0x10000];
CountingHandler exitCountingTable[0x10000];
}  // namespace

std::atomic<const ThreadedHandler*> threadedRoute{exitTable};
std::atomic<const CountingHandler*> countingRoute{exitCountingTable};

void buildExitTables() {
    for (auto& h : exitTable) h = &exitThreaded;
    for (auto& h : exitCountingTable) h = &exitCounting;
}

// ---------------------------------------------------------------------------------------
// Host calls and accelerator words.
uint32_t opHostCall(uint32_t pc, uint32_t op) {
    if (!hostCallHandler) return illegal(pc);
    cpu.hostCallPc = pc + 2;
    inHostCall = true;
    int32_t result = hostCallHandler((op >> 8) & 15, (op >> 4) & 15, op & 15);
    inHostCall = false;
    uint32_t next = cpu.hostCallPc;
    switch (result) {
    case HostCallResult::KeepRegisters:
        return next;
    case HostCallResult::Illegal:
        return illegal(pc);
    case HostCallResult::Stop:
        cpu.nextStep.store(NextStep::Leave, std::memory_order_relaxed);
        return next;
    default:
        cpu.D[0] = uint32_t(result);
        cpu.flags = flagsNZ<4>(uint32_t(result));
        return next;
    }
}

// An accelerator word is a whole subroutine: after the handler has done its work the word
// returns as RTS does (pop the PC, odd-address check, trace on change of flow).
uint32_t opAccel(uint32_t pc, uint32_t op) {
    if (!accelHandler) return illegal(pc);
    cpu.hostCallPc = pc + 2;
    inHostCall = true;
    const bool done = accelHandler(op & 0x1F);
    inHostCall = false;
    if (!done) return illegal(pc);
    cpu.instrLatch = pc;
    const uint32_t target = readMem<4>(cpu.A[7]);
    cpu.A[7] += 4;
    return flowTo(target);
}

// ---------------------------------------------------------------------------------------
// The dispatch loop. The inner loop looks at nothing but nextStep; everything else
// (interrupts, trace, leaving) is a next-step value handled outside it.

bool plainDispatch = false;

// Runs one instruction. The threaded form returns after it because the route is on the exit
// tables whenever no chain runs.
inline uint32_t stepOne(uint32_t pc) {
    fast.pc = pc;
#if ZEM_THREADED_DISPATCH
    if (!plainDispatch) {
        const uint32_t key = fetchOpcodeKey(pc);
        return threadedTable[key](pc, key);
    }
#endif
    const uint32_t op = fetch16(pc);
    return opTable[op](pc, op) & fast.mask;
}

// Handles a nextStep other than the plain loop. Returns false when the loop must end.
inline bool nextStepAction(uint32_t& pc, uint64_t& executed) {
    switch (cpu.nextStep.load(std::memory_order_relaxed)) {
    case NextStep::Loop:
        return true;
    case NextStep::Interrupt:
        pc = acceptInterrupt(pc) & fast.mask;
        return true;
    case NextStep::TraceArm: {
        NextStep armed = NextStep::TraceArm;
        // A request that arrived since the load above is handled first; the trace is lost
        // to it, as it would be to a request stored a moment earlier.
        if (!cpu.nextStep.compare_exchange_strong(armed, NextStep::TraceFire, std::memory_order_relaxed))
            return true;
        ++executed;
        pc = stepOne(pc);
        if (cpu.nextStep.load(std::memory_order_relaxed) == NextStep::TraceFire) {
            fast.pc = pc;
            pc = traceException(pc) & fast.mask;
        }
        return true;
    }
    case NextStep::TraceFire:
        fast.pc = pc;
        pc = traceException(pc) & fast.mask;
        return true;
    case NextStep::Leave:
        break;
    }
    return false;
}

#if ZEM_THREADED_DISPATCH
// Only the processor thread puts the chains back on their tables, and it reads nextStep
// after doing so: a request that raced the switch is either seen here or has already put
// the exit route back (cpuRouteToLoop). Outside a chain the route stays on the exit tables.
template <bool Counting>
bool enterChains() {
    if constexpr (Counting) countingRoute.exchange(countingTable, std::memory_order_seq_cst);
    else threadedRoute.exchange(threadedTable, std::memory_order_seq_cst);
    if (cpu.nextStep.load(std::memory_order_seq_cst) == NextStep::Loop) return true;
    if constexpr (Counting) countingRoute.store(exitCountingTable, std::memory_order_seq_cst);
    else threadedRoute.store(exitTable, std::memory_order_seq_cst);
    return false;
}
#endif

// The normal loop; with Counting, every instruction is counted.
template <bool Counting>
uint64_t runLoop() {
    uint32_t pc = fast.pc;
    uint64_t executed = 0;
    do {
#if ZEM_THREADED_DISPATCH
        if (!plainDispatch) {
            while (enterChains<Counting>()) {
                fast.pc = pc;
                const uint32_t key = fetchOpcodeKey(pc);
                if constexpr (Counting) {
                    pc = countingTable[key](pc, key, executed);
                    executed = fast.executed;
                } else {
                    pc = threadedTable[key](pc, key);
                }
            }
            continue;
        }
#endif
        while (cpu.nextStep.load(std::memory_order_relaxed) == NextStep::Loop) {
            fast.pc = pc;
            if constexpr (Counting) {
                const uint32_t key = fetchOpcodeKey(pc);
                pc = countingTable[key](pc, key, executed);
                executed = fast.executed;
            } else {
                const uint32_t op = fetch16(pc);
                pc = opTable[op](pc, op) & fast.mask;
            }
        }
    } while (nextStepAction(pc, executed));
    fast.pc = pc;
    return executed;
}

// At most limit instructions through the plain table (tools and tests).
uint64_t runLimited(uint64_t limit) {
    uint32_t pc = fast.pc;
    uint64_t executed = 0;
    while (executed < limit) {
        if (cpu.nextStep.load(std::memory_order_relaxed) == NextStep::Loop) {
            ++executed;
            pc = stepOne(pc);
            continue;
        }
        if (!nextStepAction(pc, executed)) break;
    }
    fast.pc = pc;
    return executed;
}

}  // namespace m68k

using namespace m68k;

void cpuReset() {
    if (!tableBuilt) {
        buildOpTable();
        buildExitTables();
        tableBuilt = true;
    }
    refreshMemoryGeometry();
    for (auto& d : cpu.D) d = 0;
    for (auto& a : cpu.A) a = 0;
    cpu.msp = cpu.isp = cpu.usp = 0;
    cpu.activeSlot = &cpu.isp;
    cpu.srSystem = cpu.srPrevious = 0x27;
    cpu.flags = 0;
    cpu.x = 0;
    cpu.vbr = 0;
    cpu.instrLatch = 0;
    cpu.hostCallPc = 0;
    cpu.nextStep.store(NextStep::Loop, std::memory_order_relaxed);
    fast.pc = 0x30000 & fast.mask;
    instructionCount = 0;
}

void cpuRun() {
    // Round to nearest and no host floating-point traps, for the accelerator words.
    std::fesetround(FE_TONEAREST);
    cpuReset();
    if (counting) {
        instructionCount = runLoop<true>();
    } else {
        runLoop<false>();
    }
}

uint64_t cpuRunFor(uint64_t count) {
    if (!tableBuilt) cpuReset();
    uint64_t n = runLimited(count);
    // A trace armed by the last instruction fires as part of it.
    if (cpu.nextStep.load(std::memory_order_relaxed) == NextStep::TraceFire) {
        fast.pc = traceException(fast.pc) & fast.mask;
    }
    instructionCount += n;
    return n;
}

void cpuSetPc(uint32_t pc) { fast.pc = pc & fast.mask; }
void cpuSetPlainDispatch(bool on) { plainDispatch = on; }
bool cpuThreadedDispatch() { return ZEM_THREADED_DISPATCH && !plainDispatch; }
void cpuSetStopWaits(bool on) { setStopWaits(on); }

// Sequentially consistent, as is the loop's switch back (enterChains): of a request's
// route store and the loop's, whichever comes second, the chains end up on the exit route
// or the loop sees the request.
void cpuRouteToLoop() {
    threadedRoute.store(exitTable, std::memory_order_seq_cst);
    countingRoute.store(exitCountingTable, std::memory_order_seq_cst);
}

void cpuRequestInterrupt() {
    cpu.nextStep.store(NextStep::Interrupt, std::memory_order_seq_cst);
    cpu.nextStep.notify_all();
}

void cpuRequestStop() {
    cpu.nextStep.store(NextStep::Leave, std::memory_order_seq_cst);
    cpu.nextStep.notify_all();
}

void cpuSetTrace() {
    cpu.srSystem |= SrBit::T1;
    cpuSrChanged();
}

void cpuSrChanged() { srChangedAt(cpuGetPc()); }

uint16_t cpuGetSr() { return srWord(); }

uint32_t cpuGetPc() { return inHostCall ? cpu.hostCallPc : fast.pc; }

void cpuSetHostCallHandler(HostCallHandler handler) { hostCallHandler = handler; }
void cpuSetAccelHandler(AccelHandler handler) { accelHandler = handler; }

void cpuSetScreenWatch(const ScreenWatch* w) {
    watchInstalled = w != nullptr && w->screenEnd != nullptr;
    if (w) watch = *w;
    else watch = ScreenWatch{};
    refreshMemoryGeometry();
}

uint64_t cpuInstructionCount() { return instructionCount; }
void cpuSetCounting(bool on) { counting = on; }
uint32_t cpuExtendedIndexUses() { return extendedIndexUses; }
