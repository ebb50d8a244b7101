// Building the opcode table: picking the instantiation of a handler family for a mode and
// size, the operand-class sets and size fields the builders test, and each instruction
// group's builder.
//
// Hot-path rule carried here: every decision on addressing mode and size is taken here,
// once per opcode at start-up, never while an instruction runs.
#pragma once

#include <cstdint>
#include <utility>

#include "cpu/operands.h"
#include "cpu/processor_path.h"
#include "cpu/threaded_dispatch.h"

namespace m68k::ZEM_PATH {

void buildOpTable();

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
