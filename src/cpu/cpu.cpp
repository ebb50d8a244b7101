// The register file, the SR-change step, the attachment points (host calls, accelerator
// words, screen watch), the write path for everything that is not plain RAM, and the choice
// of the processor path that runs.
#include <cfenv>

#include "log/log.h"
#include "cpu/exception_entry.h"
#include "cpu/flags.h"
#include "cpu/guest_access.h"
#include "cpu/memory.h"
#include "cpu/operands.h"
#include "cpu/processor_path.h"

CpuState cpu;
std::atomic<uint32_t> cpuIdleCounter{0};

namespace m68k {

Fast fast;
uint32_t extendedIndexUses = 0;

HostCallHandler hostCallHandler = nullptr;
AccelHandler accelHandler = nullptr;
bool inHostCall = false;
bool plainDispatch = false;
bool stopWaits = true;

namespace {
ScreenWatch watch{};
bool watchInstalled = false;
bool counting = false;
uint64_t instructionCount = 0;
bool resetDone = false;

// The fixed path needs guest memory at its address; wherever else memoryAllocate had to put
// it, the portable path runs.
const ProcessorPath& activePath()
{
#if defined(ZEM_PORTABLE_FLAGS)
    return portable::path;
#else
    if (mem.base && mem.base != reinterpret_cast<uint8_t*>(kGuestBaseAddress)) return portable::path;
    return fixed::path;
#endif
}
}  // namespace

void refreshMemoryGeometry()
{
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

void slowWrite(uint32_t address, uint32_t value, unsigned size, bool watched, uint32_t pc)
{
    uint8_t* p = mem.base + address;
    if (uint64_t(address) + size > mem.ramSize) {
        zlog(LogCat::Error, "M68K access violation at address $%08x (possible PC $%08x)\r\n", address, pc);
        return;
    }
    if (size == 1)
        *p = uint8_t(value);
    else if (size == 2)
        store16(p, value);
    else
        store32(p, value);
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

void slowWriteRare(uint32_t address, uint32_t value, uint32_t sizeAndWatch, uint32_t pc)
{
    slowWrite(address, value, sizeAndWatch & 0xFF, sizeAndWatch & 0x100, pc);
}

// A compare-exchange rather than a store: the value may have become another thread's
// request since the processor thread last looked, and that request must stay.
void endTraceStep()
{
    NextStep step = cpu.nextStep.load(std::memory_order_relaxed);
    while ((step == NextStep::TraceArm || step == NextStep::TraceFire) &&
           !cpu.nextStep.compare_exchange_strong(step, NextStep::Loop, std::memory_order_relaxed)) {}
}

void endInterruptStep()
{
    NextStep step = NextStep::Interrupt;
    cpu.nextStep.compare_exchange_strong(step, NextStep::Loop, std::memory_order_relaxed);
}

void traceAfterFlow(uint32_t, uint32_t, uint32_t, uint32_t)
{
    cpu.nextStep.store(NextStep::TraceFire, std::memory_order_relaxed);
}

#if defined(__x86_64__) && !defined(ZEM_PORTABLE_PATH)
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
uint8_t ccrFromFlags()
{
    const uint16_t f = cpu.flags;
    return uint8_t((cpu.x & 1) << 4 | ((f & FN) ? 8 : 0) | ((f & FZ) ? 4 : 0) | ((f & FV) ? 2 : 0) | (f & FC));
}

void flagsFromCcr(uint8_t ccr)
{
    cpu.flags = uint16_t(((ccr & 8) ? FN : 0) | ((ccr & 4) ? FZ : 0) | ((ccr & 2) ? FV : 0) | (ccr & 1));
    cpu.x = (ccr >> 4) & 1;
}

uint16_t srWord() { return uint16_t((cpu.srSystem & 0xF7) << 8 | ccrFromFlags()); }

void setSrWord(uint16_t sr, uint32_t pc)
{
    flagsFromCcr(uint8_t(sr));
    cpu.srSystem = uint8_t(sr >> 8);
    srChangedAt(pc);
}

void srChangedAt(uint32_t pc)
{
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
        if (!(now & SrBit::S))
            cpu.activeSlot = &cpu.usp;
        else
            cpu.activeSlot = (now & SrBit::M) ? &cpu.msp : &cpu.isp;
        cpu.A[7] = *cpu.activeSlot;
    }
    cpu.srPrevious = now;
}

}  // namespace m68k

using namespace m68k;

void cpuReset()
{
    activePath().prepare();
    resetDone = true;
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

void cpuRun()
{
    // Round to nearest and no host floating-point traps, for the accelerator words.
    std::fesetround(FE_TONEAREST);
    cpuReset();
    const uint64_t n = activePath().run(counting);
    if (counting) instructionCount = n;
}

uint64_t cpuRunFor(uint64_t count)
{
    if (!resetDone) cpuReset();
    const ProcessorPath& path = activePath();
    path.prepare();
    const uint64_t n = path.runFor(count);
    instructionCount += n;
    return n;
}

void cpuSetPc(uint32_t pc) { fast.pc = pc & fast.mask; }
void cpuSetPlainDispatch(bool on) { plainDispatch = on; }
bool cpuThreadedDispatch() { return activePath().threaded && !plainDispatch; }
bool cpuPortablePath() { return &activePath() == &portable::path; }
void cpuSetStopWaits(bool on) { stopWaits = on; }

// Only the fixed path has chains to send back; the portable one always runs the plain loop.
void cpuRouteToLoop()
{
#if defined(ZEM_PORTABLE_FLAGS)
    portable::path.routeToLoop();
#else
    fixed::path.routeToLoop();
#endif
}

void cpuRequestInterrupt()
{
    cpu.nextStep.store(NextStep::Interrupt, std::memory_order_seq_cst);
    cpu.nextStep.notify_all();
}

void cpuRequestStop()
{
    cpu.nextStep.store(NextStep::Leave, std::memory_order_seq_cst);
    cpu.nextStep.notify_all();
}

void cpuSetTrace()
{
    cpu.srSystem |= SrBit::T1;
    cpuSrChanged();
}

void cpuSrChanged() { srChangedAt(cpuGetPc()); }

uint16_t cpuGetSr() { return srWord(); }

uint32_t cpuGetPc() { return inHostCall ? cpu.hostCallPc : fast.pc; }

void cpuSetHostCallHandler(HostCallHandler handler) { hostCallHandler = handler; }
void cpuSetAccelHandler(AccelHandler handler) { accelHandler = handler; }

void cpuSetScreenWatch(const ScreenWatch* w)
{
    watchInstalled = w != nullptr && w->screenEnd != nullptr;
    if (w)
        watch = *w;
    else
        watch = ScreenWatch{};
    refreshMemoryGeometry();
}

uint64_t cpuInstructionCount() { return instructionCount; }
void cpuSetCounting(bool on) { counting = on; }
uint32_t cpuExtendedIndexUses() { return extendedIndexUses; }
