// Dispatch: the handler forms (plain, threaded, counting), the tables they sit in, the
// opcode key the threaded tables are indexed by, and the wrappers that turn an
// instruction handler into a link of the threaded or counting chain.
//
// Hot-path rules carried here: threaded dispatch is chosen by the build
// (cmake/ProcessorPath.cmake) only where the jump to the next handler is a guaranteed tail
// call; each handler ends in its own indirect jump, indexed straight by the opcode word as
// it lies in memory; the route tables are switched back only by the processor thread.
#pragma once

#include <atomic>
#include <bit>
#include <cstdint>
#include <cstring>

#include "cpu/guest_access.h"
#include "cpu/processor_path.h"

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

}  // namespace m68k

namespace m68k::ZEM_PATH {

extern Handler opTable[0x10000];
extern ThreadedHandler threadedTable[0x10000];

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

}  // namespace m68k::ZEM_PATH
