// Program flow: Bcc/BRA/BSR, DBcc, Scc, TRAPcc, JMP, JSR, RTS, RTR, RTD, NOP. Every taken
// change of flow ends through flowTo (odd target check, then trace on change of flow).
#include "cpu/exception_entry.h"
#include "cpu/flags.h"
#include "cpu/guest_access.h"
#include "cpu/opcode_table.h"
#include "cpu/operands.h"
#include "cpu/processor_path.h"
#include "cpu/threaded_dispatch.h"

namespace m68k::ZEM_PATH {
namespace {

// Pushes a return address (also the PC reported should the push hit the read-only tail).
inline void push32(uint32_t v) { pushLong(v, v); }

inline uint32_t pop32()
{
    const uint32_t v = readMem<4>(cpu.A[7]);
    cpu.A[7] += 4;
    return v;
}

// The displacement form is part of the opcode word, so the table picks it: an 8-bit
// displacement (even or odd), or a 16- or 32-bit one in the extension words.
enum BranchForm : int { ByteEven, ByteOdd, Word, Long, BranchFormCount };

constexpr int branchForm(unsigned op)
{
    const uint8_t disp = uint8_t(op);
    if (disp == 0) return Word;
    if (disp == 0xFF) return Long;
    return (disp & 1) ? ByteOdd : ByteEven;
}

// cc = 0 is BRA, cc = 1 is BSR.
template <int Cond, int Form>
uint32_t opBranch(uint32_t pc, uint32_t op)
{
    int32_t disp;
    uint32_t next;
    if constexpr (Form == Word) {
        disp = int16_t(fetch16(pc + 2));
        next = pc + 4;
    } else if constexpr (Form == Long) {
        disp = int32_t(fetch32(pc + 2));
        next = pc + 6;
    } else {
        disp = int8_t(op);
        next = pc + 2;
    }
    if constexpr (Cond == 1) {
        push32(next);
    } else if constexpr (Cond != 0) {
        if (!testCondition(Cond)) return next;
    }
    cpu.instrLatch = pc;
    const uint32_t target = pc + 2 + uint32_t(disp);
    // pc is even, so an even 8-bit displacement cannot reach an odd target.
    if constexpr (Form == ByteEven)
        return flowToEven(target);
    else
        return flowTo(target);
}

template <int Cond>
uint32_t opDbcc(uint32_t pc, uint32_t op)
{
    if (testCondition(Cond)) return pc + 4;
    cpu.instrLatch = pc;
    const uint32_t counter = (cpu.D[op & 7] - 1) & 0xFFFF;
    writeDn<2>(op & 7, counter);
    if (counter == 0xFFFF) return pc + 4;
    return flowTo(pc + 2 + uint32_t(int16_t(fetch16(pc + 2))));
}

template <int Cond, int M>
uint32_t opScc(uint32_t pc, uint32_t op)
{
    pc += 2;
    writeEa<M, 1>(pc, op & 7, testCondition(Cond) ? 0xFF : 0x00);
    return pc;
}

template <int Cond>
uint32_t opTrapcc(uint32_t pc, uint32_t op)
{
    static constexpr unsigned kOperandBytes[] = {0, 0, 2, 4, 0};
    const uint32_t next = pc + 2 + kOperandBytes[op & 7];
    if (!testCondition(Cond)) return next;
    cpu.instrLatch = pc;
    return trapVector7(next);
}

template <int M>
uint32_t opJmp(uint32_t pc, uint32_t op)
{
    cpu.instrLatch = pc;
    pc += 2;
    return flowTo(eaAddress<M, 4>(pc, op & 7));
}

template <int M>
uint32_t opJsr(uint32_t pc, uint32_t op)
{
    cpu.instrLatch = pc;
    pc += 2;
    const uint32_t target = eaAddress<M, 4>(pc, op & 7);
    push32(pc);
    return flowTo(target);
}

uint32_t opRts(uint32_t pc, uint32_t)
{
    cpu.instrLatch = pc;
    return flowTo(pop32());
}

uint32_t opRtr(uint32_t pc, uint32_t)
{
    cpu.instrLatch = pc;
    const uint32_t ccr = readMem<2>(cpu.A[7]);
    cpu.A[7] += 2;
    flagsFromCcr(uint8_t(ccr & 0x1F));
    return flowTo(pop32());
}

uint32_t opRtd(uint32_t pc, uint32_t)
{
    cpu.instrLatch = pc;
    const uint32_t target = pop32();
    cpu.A[7] += uint32_t(int16_t(fetch16(pc + 2)));
    return flowTo(target);
}

uint32_t opNop(uint32_t pc, uint32_t)
{
    cpu.instrLatch = pc;
    return flowTo(pc + 2);
}

template <int... C>
void fillConditions(OpSlot* t, std::integer_sequence<int, C...>)
{
    static constexpr OpSlot branch[][BranchFormCount] = {{slot<&opBranch<C, ByteEven>>(), slot<&opBranch<C, ByteOdd>>(),
                                                          slot<&opBranch<C, Word>>(), slot<&opBranch<C, Long>>()}...};
    static constexpr OpSlot dbcc[] = {slot<&opDbcc<C>>()...};
    static constexpr OpSlot trapcc[] = {slot<&opTrapcc<C>>()...};
    for (unsigned op = 0x6000; op < 0x7000; ++op) t[op] = branch[(op >> 8) & 15][branchForm(op)];
    for (unsigned op = 0x50C0; op < 0x6000; ++op) {
        if ((op & 0xC0) != 0xC0) continue;
        const unsigned cc = (op >> 8) & 15;
        const unsigned mode = (op >> 3) & 7;
        if (mode == 1) {
            t[op] = dbcc[cc];
        } else if (op & 0x38) {
            if ((op & 0x3F) >= 0x3A && (op & 0x3F) <= 0x3C) t[op] = trapcc[cc];
        }
        const int m = eaOf(op);
        if (allowed(EaSet::DataAlt, m)) {
            switch (cc) {
#define ZEM_SCC(n)                                                         \
    case n:                                                                \
        t[op] = pickMode([]<int M>() { return slot<&opScc<n, M>>(); }, m); \
        break;
                ZEM_SCC(0)
                ZEM_SCC(1)
                ZEM_SCC(2) ZEM_SCC(3) ZEM_SCC(4) ZEM_SCC(5) ZEM_SCC(6) ZEM_SCC(7) ZEM_SCC(8) ZEM_SCC(9) ZEM_SCC(10)
                    ZEM_SCC(11) ZEM_SCC(12) ZEM_SCC(13) ZEM_SCC(14) ZEM_SCC(15)
#undef ZEM_SCC
            }
        }
    }
}

}  // namespace

void buildFlowGroup(OpSlot* t)
{
    fillConditions(t, std::make_integer_sequence<int, 16>{});
    for (unsigned op = 0x4E80; op < 0x4F00; ++op) {
        const int m = eaOf(op);
        if (!allowed(EaSet::Control, m)) continue;
        t[op] = (op & 0x40) ? pickMode([]<int M>() { return slot<&opJmp<M>>(); }, m)
                            : pickMode([]<int M>() { return slot<&opJsr<M>>(); }, m);
    }
    t[0x4E71] = slot<&opNop>();
    t[0x4E74] = slot<&opRtd>();
    t[0x4E75] = slot<&opRts>();
    t[0x4E77] = slot<&opRtr>();
}

}  // namespace m68k::ZEM_PATH
