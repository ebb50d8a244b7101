// The $4E40-$4E7F group (TRAP, RESET, STOP, RTE, TRAPV, MOVEC), line F and the words that
// leave the processor model (host calls and accelerator words).
#include <thread>

#include "cpu/exception_entry.h"
#include "cpu/flags.h"
#include "cpu/guest_access.h"
#include "cpu/opcode_table.h"
#include "cpu/processor_path.h"
#include "cpu/sizes.h"
#include "cpu/threaded_dispatch.h"

namespace m68k::ZEM_PATH {

uint32_t opHostCall(uint32_t pc, uint32_t op);  // cpu.cpp
uint32_t opAccel(uint32_t pc, uint32_t op);     // cpu.cpp

namespace {

constexpr unsigned kFormatThrowaway = 1, kFormatShort = 0;

uint32_t opTrap(uint32_t pc, uint32_t op)
{
    const unsigned n = op & 15;
    if (n >= 1 && n <= 3) cpuIdleCounter.store(0, std::memory_order_relaxed);
    return trapInstruction(n, pc + 2);
}

uint32_t opReset(uint32_t pc, uint32_t)
{
    if (!supervisor()) return privilegeViolation(pc);
    return pc + 2;
}

// Waits for anything but the plain loop in nextStep: an interrupt or stop request from
// another thread, or trace arming by the new SR. Spins briefly, then sleeps on the atomic
// (the request functions notify it).
void waitForNextStep()
{
    constexpr int kSpins = 2000;
    for (int i = 0; i < kSpins; ++i) {
        if (cpu.nextStep.load(std::memory_order_relaxed) != NextStep::Loop) return;
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    }
    while (cpu.nextStep.load(std::memory_order_relaxed) == NextStep::Loop) cpu.nextStep.wait(NextStep::Loop);
}

uint32_t opStop(uint32_t pc, uint32_t)
{
    if (!supervisor()) return privilegeViolation(pc);
    setSrWord(uint16_t(fetch16(pc + 2)), pc + 4);
    fast.pc = pc + 4;
    if (stopWaits) waitForNextStep();
    return pc + 4;
}

uint32_t opRte(uint32_t pc, uint32_t)
{
    if (!supervisor()) return privilegeViolation(pc);
    uint32_t target;
    for (;;) {
        const uint32_t frame = cpu.A[7] & fast.mask;
        const uint32_t sr = readMem<2>(frame);
        target = readMem<4>(frame + 2);
        const unsigned format = readMem<2>(frame + 6) >> 12;
        flagsFromCcr(uint8_t(sr & 0x1F));
        cpu.srSystem = uint8_t(sr >> 8);
        cpu.A[7] += 8;
        if (format == kFormatShort) break;
        if (format == kFormatThrowaway) {
            srChangedAt(target & fast.mask);
            continue;
        }
        cpu.A[7] += 4;
        break;
    }
    target &= fast.mask;
    srChangedAt(target);
    return target;
}

uint32_t opTrapv(uint32_t pc, uint32_t)
{
    cpu.instrLatch = pc;
    if (cpu.flags & FV) return trapVector7(pc + 2);
    return pc + 2;
}

// MOVEC control registers.
namespace Ctrl {
constexpr unsigned Cacr = 0x002, Usp = 0x800, Vbr = 0x801, Caar = 0x802, Msp = 0x803, Isp = 0x804;
}

uint32_t* controlRegister(unsigned code, uint32_t& scratch)
{
    const bool master = cpu.srSystem & SrBit::M;
    switch (code) {
    case Ctrl::Cacr:
    case Ctrl::Caar:
        scratch = 0;
        return &scratch;
    case Ctrl::Usp:
        return &cpu.usp;
    case Ctrl::Vbr:
        return &cpu.vbr;
    case Ctrl::Msp:
        return master ? &cpu.A[7] : &cpu.msp;
    case Ctrl::Isp:
        return master ? &cpu.isp : &cpu.A[7];
    default:
        return nullptr;
    }
}

template <bool ToControl>
uint32_t opMovec(uint32_t pc, uint32_t)
{
    if (!supervisor()) return privilegeViolation(pc);
    const uint32_t ext = fetch16(pc + 2);
    uint32_t scratch = 0;
    uint32_t* control = controlRegister(ext & 0xFFF, scratch);
    if (!control) return illegal(pc);
    uint32_t& general = regs()[ext >> 12];
    if constexpr (ToControl) {
        *control = general;
    } else {
        general = *control;
    }
    return pc + 4;
}

uint32_t opLineF(uint32_t pc, uint32_t) { return lineF(pc); }

}  // namespace

uint32_t opIllegal(uint32_t pc, uint32_t) { return illegal(pc); }

void buildSystemGroup(OpSlot* t)
{
    for (unsigned n = 0; n < 16; ++n) t[0x4E40 | n] = slot<&opTrap>();
    t[0x4E70] = slot<&opReset>();
    t[0x4E72] = slot<&opStop>();
    t[0x4E73] = slot<&opRte>();
    t[0x4E76] = slot<&opTrapv>();
    t[0x4E7A] = slot<&opMovec<false>>();
    t[0x4E7B] = slot<&opMovec<true>>();
    for (unsigned op = 0xA000; op < 0xB000; ++op) {
        if ((op & 0xFF00) != 0xAB00)
            t[op] = slot<&opHostCall>();
        else if (op < 0xAB20)
            t[op] = slot<&opAccel>();
    }
    for (unsigned op = 0xF000; op <= 0xFFFF; ++op) t[op] = slot<&opLineF>();
}

Handler opTable[0x10000];
ThreadedHandler threadedTable[0x10000];
CountingHandler countingTable[0x10000];

void buildOpTable()
{
    static OpSlot slots[0x10000];
    for (auto& s : slots) s = slot<&opIllegal>();
    buildMoveGroup(slots);
    buildArithGroup(slots);
    buildLogicGroup(slots);
    buildShiftGroup(slots);
    buildBitGroup(slots);
    buildMiscGroup(slots);
    buildFlowGroup(slots);
    buildSystemGroup(slots);
    buildExtendedGroup(slots);
    for (unsigned op = 0; op < 0x10000; ++op) {
        opTable[op] = slots[op].plain;
        threadedTable[opcodeKey(op)] = slots[op].threaded;
        countingTable[opcodeKey(op)] = slots[op].counting;
    }
}

}  // namespace m68k::ZEM_PATH
