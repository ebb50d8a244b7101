// The host-call dispatcher: words $Agsl (g = group, s = sub-operation, l = low nibble)
// that the interpreter hands over instead of raising the line-A exception.
#pragma once

#include <cstdint>

// Dispatches one host call on the processor thread and returns its 32-bit result
// (see HostCallResult in cpu/cpu.h for the three special values).
int32_t hostCall(unsigned group, unsigned sub, unsigned low);

// One handler per group; each validates its own sub-operation and low nibble.
using HostCallGroup = int32_t (*)(unsigned sub, unsigned low);

// One operation. `arg` is the register number 0-7 that the word names, or, for the few
// operations whose low nibble selects a variant, that selector 0-15 (the operation
// refuses the selectors it does not know with HostCallResult::Illegal).
using HostOperation = int32_t (*)(unsigned arg);

// Decoding shared by the groups.
namespace HostCallDecode {
constexpr unsigned MaxRegister = 7;
constexpr unsigned OperationsPerGroup = 32;

// Groups SYS and DOS: 32 operations, two per sub-operation, each with a register 0-7.
constexpr unsigned pairedIndex(unsigned sub, unsigned low) { return sub * 2 + (low >> 3); }
constexpr unsigned pairedRegister(unsigned low) { return low & MaxRegister; }
// Groups whose low nibble is a register number: 8-15 are not registers.
constexpr bool isRegister(unsigned low) { return low <= MaxRegister; }
}  // namespace HostCallDecode

namespace HostCallGroupId {
constexpr unsigned Sys = 0x0;
constexpr unsigned Scr = 0x1;
constexpr unsigned Ser = 0x2;
constexpr unsigned Par = 0x3;
constexpr unsigned Inp = 0x4;
constexpr unsigned Snd = 0x7;
constexpr unsigned Ip = 0xA;
constexpr unsigned Accel = 0xB;  // never reaches the dispatcher
constexpr unsigned Cd = 0xC;
constexpr unsigned Dos = 0xD;
constexpr unsigned Win = 0xE;
constexpr unsigned Flp = 0xF;
constexpr unsigned Count = 16;
}  // namespace HostCallGroupId

// Device modules install their operations here at start-up (before the processor thread
// runs). `index` is what the group's decoding yields: the sub-operation for SCR, SER,
// PAR, INP, SND and CD; the paired index 0-31 for SYS and DOS; the low nibble for IP, WIN
// and FLP. An empty slot, and every slot of groups 5, 6, 8, 9 and $B, is an illegal
// instruction. Returns false for a slot the catalogue does not have.
bool hostCallInstall(unsigned group, unsigned index, HostOperation operation);
// Empties the slot again (shut-down, tests).
void hostCallRemove(unsigned group, unsigned index);

// The check word that guards operations with drastic effects: it must follow the
// host-call word and is skipped when present.
constexpr uint16_t HostCallCheckWord = 0x4AFB;

// Skips the check word at hostCallPc. False (nothing moved) when it is not there.
bool hostCallTakeCheckWord();
