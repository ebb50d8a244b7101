// Operand sizes as template arguments: masks, sign bits, widths and sign extension, and
// the register file as one array.
//
// Hot-path rule carried here: the size of an operation is a compile-time argument of its
// handler, never a value tested while the instruction runs.
#pragma once

#include <cstdint>

#include "cpu/cpu.h"
#include "cpu/processor_path.h"

namespace m68k::ZEM_PATH {

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

}  // namespace m68k::ZEM_PATH
