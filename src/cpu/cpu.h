// The processor's public face: the register file that host calls read and write, the
// requests other threads may make, and the hooks through which the machine (host-call
// dispatcher, screen write watch) is attached. The processor library depends on none of
// them: a bare processor runs with no hooks installed.
#pragma once

#include <atomic>
#include <cstdint>

// What the dispatch loop does after the current instruction. Other threads only ever
// store Interrupt or Leave, and only through cpuRequestInterrupt and cpuRequestStop (which
// also wake a STOP instruction sleeping on this value); the processor thread stores the
// rest. The processor thread never puts Loop over another thread's request: it replaces
// only the step it is finishing (compare_exchange), so a request is taken at the latest
// after the current instruction.
enum class NextStep : uint8_t {
    Loop,       // fetch the next instruction
    Interrupt,  // level-2 interrupt acceptance, then Loop
    TraceArm,   // execute one more instruction, then TraceFire
    TraceFire,  // take the trace exception
    Leave,      // cpuRun returns
};

// Sends the threaded dispatch back to the loop after a store of anything but Loop (cpu.cpp),
// so that the chains need no per-instruction test of the value. Only the loop itself sends
// them on again, and it reads the value after doing so.
void cpuRouteToLoop();

// The next-step value with the interface of std::atomic<NextStep> that callers use.
class NextStepCell {
public:
    NextStep load(std::memory_order order = std::memory_order_seq_cst) const { return value_.load(order); }
    void store(NextStep step, std::memory_order order = std::memory_order_seq_cst)
    {
        value_.store(step, order);
        if (step != NextStep::Loop) cpuRouteToLoop();
    }
    bool compare_exchange_strong(NextStep& expected, NextStep desired,
                                 std::memory_order order = std::memory_order_seq_cst)
    {
        if (!value_.compare_exchange_strong(expected, desired, order)) return false;
        if (desired != NextStep::Loop) cpuRouteToLoop();
        return true;
    }
    NextStepCell& operator=(NextStep step)
    {
        store(step);
        return *this;
    }
    operator NextStep() const { return load(); }
    void wait(NextStep old) const { value_.wait(old); }
    void notify_all() { value_.notify_all(); }

private:
    std::atomic<NextStep> value_{NextStep::Loop};
};

struct CpuState {
    uint32_t D[8];  // D0-D7 then A0-A7 back to back: one index 0-15 names any register
    uint32_t A[8];  // A[7] is always the live active stack pointer
    uint32_t msp, isp, usp;
    uint32_t* activeSlot;  // &msp, &isp or &usp: the slot that A[7] belongs to (stale while active)
    uint16_t flags;        // N = bit 7, Z = bit 6, C = bit 0, V = bit 8 (host flag layout); test
                           // single bits only: bits 1-5 and 9-15 may hold host leftovers
    uint8_t x;             // X in bit 0; lies directly above flags
    uint8_t srSystem;      // T1 b7, T0 b6, S b5, M b4, mask b2-0
    uint8_t srPrevious;
    uint32_t vbr;
    uint32_t instrLatch;
    uint32_t hostCallPc;
    NextStepCell nextStep;
};

extern CpuState cpu;

// The register that index 0-15 names: D0-D7, then A0-A7.
inline uint32_t& cpuRegister(unsigned index) { return index < 8 ? cpu.D[index] : cpu.A[index - 8]; }

namespace CpuFlag {
constexpr uint16_t C = 1u << 0;
constexpr uint16_t Z = 1u << 6;
constexpr uint16_t N = 1u << 7;
constexpr uint16_t V = 1u << 8;
}  // namespace CpuFlag

namespace SrBit {
constexpr uint8_t T1 = 0x80;
constexpr uint8_t T0 = 0x40;
constexpr uint8_t S = 0x20;
constexpr uint8_t M = 0x10;
constexpr uint8_t Mask = 0x07;
}  // namespace SrBit

// Special results of a host call (any other value goes to D0 with N and Z set from it).
namespace HostCallResult {
constexpr int32_t KeepRegisters = int32_t(0x80000000u);
constexpr int32_t Illegal = int32_t(0x80000001u);
constexpr int32_t Stop = int32_t(0x80000002u);
}  // namespace HostCallResult

// Resets the processor (PC $30000, SR $2700, all stack pointers 0) and runs until a stop
// request or a host call's Stop result.
void cpuRun();
void cpuRequestInterrupt();  // any thread
void cpuRequestStop();       // any thread
void cpuSetTrace();          // processor thread: trace exception after the next instruction
void cpuSrChanged();         // processor thread: after every write to srSystem

// Condition-code helpers for host calls.
inline void cpuSetZ(bool on) { cpu.flags = on ? (cpu.flags | CpuFlag::Z) : (cpu.flags & ~CpuFlag::Z); }
inline void cpuSetC(bool on) { cpu.flags = on ? (cpu.flags | CpuFlag::C) : (cpu.flags & ~CpuFlag::C); }
uint16_t cpuGetSr();  // srSystem << 8 | CCR
uint32_t cpuGetPc();  // next instruction's PC when the processor is not running; hostCallPc in a host call

// Host calls: words $A000-$AFFF except $ABxx. group = bits 11-8, sub = bits 7-4, low = bits 3-0.
// Without a handler every host-call word is an illegal instruction.
using HostCallHandler = int32_t (*)(unsigned group, unsigned sub, unsigned low);
void cpuSetHostCallHandler(HostCallHandler handler);

// Floating-point accelerator words $AB00-$AB1F (word & $1F passed). Without a handler
// they are illegal instructions. Returns false to raise the illegal-instruction exception
// (stacked PC at the word); after true the processor completes the word's return as RTS
// does (pop the PC from A7, address error on an odd PC, trace when T0 is set). During the
// call hostCallPc (and cpuGetPc) hold the address after the word.
using AccelHandler = bool (*)(unsigned op);
void cpuSetAccelHandler(AccelHandler handler);

// Screen write watch. Every data write through the accessors compares its host address
// with watchEnd; only writes below it reach these routines (see the display).
struct ScreenWatch {
    uint8_t* screenStart;  // large-screen window [screenStart, screenEnd) in host addresses
    uint8_t* screenEnd;
    void (*screenNote)(uint8_t* host, unsigned size);     // write inside the window
    void (*qlScreenNote)(uint32_t guest, unsigned size);  // write to guest $20000-$27FFF below it
};
// Installs the watch (nullptr removes it: no address is watched). Processor thread or before cpuRun.
void cpuSetScreenWatch(const ScreenWatch* watch);

// Counts executed instructions when enabled (benchmarks). Counting runs a second
// instantiation of the dispatch loop, so the normal loop pays nothing for it. Select it
// before cpuRun; the count restarts at every cpuRun.
uint64_t cpuInstructionCount();
void cpuSetCounting(bool on);

// The idle counter of the host-call throttle. The processor clears it on TRAP #1, #2 and
// #3 (guest activity); the timing code increments and resets it. Lives here so that the
// processor library needs nothing from the rest of the machine.
extern std::atomic<uint32_t> cpuIdleCounter;

// Tools and tests drive the processor step by step. cpuReset sets the reset state without
// running; cpuRunFor executes up to count instructions (a trace exception that fires after
// an instruction belongs to it; pending interrupt and leave requests are handled before the
// next one) and returns how many ran. It stops early on a leave request.
void cpuReset();
uint64_t cpuRunFor(uint64_t count);
void cpuSetPc(uint32_t pc);  // processor thread, between instructions
// Where the build has threaded dispatch, cpuRun and cpuRunFor go through the threaded
// handlers (cpuRunFor one instruction at a time); plain dispatch sends both through the
// plain table instead, so that tests can compare the two. Off by default.
void cpuSetPlainDispatch(bool on);
bool cpuThreadedDispatch();  // whether runs go through the threaded handlers now
// Whether runs go through the portable path: the build has no other, or guest memory could
// not be had at the fixed path's host address (memoryAllocate then puts it anywhere).
bool cpuPortablePath();
// Tools that run single instructions (no other thread to wake a STOP) turn waiting off:
// STOP then loads the SR and continues at once. On by default.
void cpuSetStopWaits(bool on);
// How many index extension words so far used a scale or the full format (68020 fields a
// 68000 would ignore). The test-vector runner uses it to recognise such cases.
uint32_t cpuExtendedIndexUses();
