#include "core/host_call.h"

#include "cpu/cpu.h"
#include "cpu/memory.h"

#include <array>
#include <atomic>

namespace {

constexpr unsigned NibbleMask = 0xF;

// How a group turns (sub, low) into a slot and an argument.
enum class Decoding {
    None,         // no operations: groups 5, 6, 8, 9 and $B
    ByRegister,   // slot = sub; low = register 0-7, except in the selector subs
    Paired,       // slot = sub * 2 + (low >> 3); register = low & 7
    ByLowNibble,  // sub must be 0; slot = low; the operation takes no register
};

struct GroupLayout {
    Decoding decoding;
    uint32_t slots;         // bit i set: slot i exists in the catalogue
    uint16_t selectorSubs;  // ByRegister only: subs whose low nibble is a selector
};

constexpr uint32_t range(unsigned first, unsigned last)
{
    uint32_t bits = 0;
    for (unsigned i = first; i <= last; ++i) bits |= 1u << i;
    return bits;
}

constexpr uint32_t bit(unsigned i) { return 1u << i; }

// Which slots of each group the catalogue assigns. Anything outside them can never be
// installed, so a word that names it is always an illegal instruction.
constexpr std::array<GroupLayout, HostCallGroupId::Count> Layouts = {{
    {Decoding::Paired, UINT32_MAX, 0},                                           // $0 SYS
    {Decoding::ByRegister, range(0, 7) | bit(14) | bit(15), uint16_t(bit(15))},  // $1 SCR
    {Decoding::ByRegister, range(0, 11) | bit(14) | bit(15), 0},                 // $2 SER
    {Decoding::ByRegister, range(0, 10) | bit(15), 0},                           // $3 PAR
    {Decoding::ByRegister, range(0, 3), 0},                                      // $4 INP
    {Decoding::None, 0, 0},                                                      // $5
    {Decoding::None, 0, 0},                                                      // $6
    {Decoding::ByRegister, range(0, 4), uint16_t(bit(1) | bit(3))},              // $7 SND
    {Decoding::None, 0, 0},                                                      // $8
    {Decoding::None, 0, 0},                                                      // $9
    {Decoding::ByLowNibble, range(0, 4), 0},                                     // $A IP
    {Decoding::None, 0, 0},                                                      // $B accelerator
    {Decoding::ByRegister, range(1, 8) | bit(14) | bit(15), uint16_t(bit(2))},   // $C CD
    {Decoding::Paired, UINT32_MAX, 0},                                           // $D DOS
    {Decoding::ByLowNibble, range(0, 15), 0},                                    // $E WIN
    {Decoding::ByLowNibble, range(0, 6), 0},                                     // $F FLP
}};

using GroupSlots = std::array<std::atomic<HostOperation>, HostCallDecode::OperationsPerGroup>;
std::array<GroupSlots, HostCallGroupId::Count> operations{};

bool slotExists(unsigned group, unsigned index)
{
    return group < HostCallGroupId::Count && index < HostCallDecode::OperationsPerGroup &&
           (Layouts[group].slots & (1u << index)) != 0;
}

}  // namespace

int32_t hostCall(unsigned group, unsigned sub, unsigned low)
{
    group &= NibbleMask;
    sub &= NibbleMask;
    low &= NibbleMask;
    const GroupLayout& layout = Layouts[group];
    unsigned index = 0;
    unsigned arg = 0;
    switch (layout.decoding) {
    case Decoding::None:
        return HostCallResult::Illegal;
    case Decoding::ByRegister:
        index = sub;
        arg = low;
        if (!(layout.selectorSubs & (1u << sub)) && !HostCallDecode::isRegister(low)) return HostCallResult::Illegal;
        break;
    case Decoding::Paired:
        index = HostCallDecode::pairedIndex(sub, low);
        arg = HostCallDecode::pairedRegister(low);
        break;
    case Decoding::ByLowNibble:
        if (sub != 0) return HostCallResult::Illegal;
        index = low;
        break;
    }
    if (!(layout.slots & (1u << index))) return HostCallResult::Illegal;
    HostOperation operation = operations[group][index].load(std::memory_order_relaxed);
    if (!operation) return HostCallResult::Illegal;
    return operation(arg);
}

bool hostCallInstall(unsigned group, unsigned index, HostOperation operation)
{
    if (!slotExists(group, index)) return false;
    operations[group][index].store(operation, std::memory_order_release);
    return true;
}

void hostCallRemove(unsigned group, unsigned index)
{
    if (slotExists(group, index)) operations[group][index].store(nullptr, std::memory_order_release);
}

bool hostCallTakeCheckWord()
{
    if (guestReadWord(cpu.hostCallPc) != HostCallCheckWord) return false;
    cpu.hostCallPc += sizeof(uint16_t);
    return true;
}
