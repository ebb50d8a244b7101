// The dispatch loop with its next-step handling, and the host-call and accelerator words
// that leave the processor model. Compiled once per processor path (see processor_path.h).
#include "cpu/exception_entry.h"
#include "cpu/flags.h"
#include "cpu/guest_access.h"
#include "cpu/opcode_table.h"
#include "cpu/processor_path.h"
#include "cpu/threaded_dispatch.h"

namespace m68k::ZEM_PATH {

// ---------------------------------------------------------------------------------------
// Next-step routing. The exit entries hand the PC of the instruction they were about to
// run back to the loop, which then looks at nextStep.
namespace {
uint32_t exitThreaded(uint64_t pc, uint32_t) { return uint32_t(pc); }
uint32_t exitCounting(uint64_t pc, uint32_t, uint64_t executed)
{
    fast.executed = executed;
    return uint32_t(pc);
}
ThreadedHandler exitTable[0x10000];
CountingHandler exitCountingTable[0x10000];
}  // namespace

std::atomic<const ThreadedHandler*> threadedRoute{exitTable};
std::atomic<const CountingHandler*> countingRoute{exitCountingTable};

// ---------------------------------------------------------------------------------------
// Host calls and accelerator words.
uint32_t opHostCall(uint32_t pc, uint32_t op)
{
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
uint32_t opAccel(uint32_t pc, uint32_t op)
{
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
namespace {

// Runs one instruction. The threaded form returns after it because the route is on the exit
// tables whenever no chain runs.
inline uint32_t stepOne(uint32_t pc)
{
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
inline bool nextStepAction(uint32_t& pc, uint64_t& executed)
{
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
        if (!cpu.nextStep.compare_exchange_strong(armed, NextStep::TraceFire, std::memory_order_relaxed)) return true;
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
bool enterChains()
{
    if constexpr (Counting)
        countingRoute.exchange(countingTable, std::memory_order_seq_cst);
    else
        threadedRoute.exchange(threadedTable, std::memory_order_seq_cst);
    if (cpu.nextStep.load(std::memory_order_seq_cst) == NextStep::Loop) return true;
    if constexpr (Counting)
        countingRoute.store(exitCountingTable, std::memory_order_seq_cst);
    else
        threadedRoute.store(exitTable, std::memory_order_seq_cst);
    return false;
}
#endif

// The normal loop; with Counting, every instruction is counted.
template <bool Counting>
uint64_t runLoop()
{
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

// At most limit instructions, one at a time (tools and tests).
uint64_t runLimited(uint64_t limit)
{
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

void prepare()
{
    static bool built = false;
    if (built) return;
    buildOpTable();
    for (auto& h : exitTable) h = &exitThreaded;
    for (auto& h : exitCountingTable) h = &exitCounting;
    built = true;
}

uint64_t run(bool counting) { return counting ? runLoop<true>() : runLoop<false>(); }

uint64_t runFor(uint64_t count)
{
    const uint64_t n = runLimited(count);
    // A trace armed by the last instruction fires as part of it.
    if (cpu.nextStep.load(std::memory_order_relaxed) == NextStep::TraceFire) {
        fast.pc = traceException(fast.pc) & fast.mask;
    }
    return n;
}

// Sequentially consistent, as is the loop's switch back (enterChains): of a request's
// route store and the loop's, whichever comes second, the chains end up on the exit route
// or the loop sees the request.
void routeToLoop()
{
    threadedRoute.store(exitTable, std::memory_order_seq_cst);
    countingRoute.store(exitCountingTable, std::memory_order_seq_cst);
}

}  // namespace

const ProcessorPath path{&prepare, &run, &runFor, &routeToLoop, ZEM_THREADED_DISPATCH != 0};

}  // namespace m68k::ZEM_PATH
