// The two processor paths and what both share: which path a handler source is compiled
// for, the inlining every hot helper gets, the attachment points and run settings, and
// what each path hands the selector in cpu.cpp. Nothing outside src/cpu includes this.
//
// Hot-path rules carried here: helpers marked ZEM_HOT always disappear into the handlers;
// the handler sources are compiled once per path (ZEM_PATH), so the portable path never
// costs the fixed one an instruction.
#pragma once

#include <cstdint>

#include "cpu/cpu.h"

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

}  // namespace m68k
