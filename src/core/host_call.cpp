#include "core/host_call.h"

#include "core/sys_calls.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"

namespace {

// Groups that exist in the catalogue but whose devices are not built yet answer like
// unassigned groups: every word is an illegal instruction.
int32_t notAssigned(unsigned, unsigned) { return HostCallResult::Illegal; }

constexpr HostCallGroup groupTable[HostCallGroupId::Count] = {
    sysGroup,     // $0 SYS
    notAssigned,  // $1 SCR
    notAssigned,  // $2 SER
    notAssigned,  // $3 PAR
    notAssigned,  // $4 INP
    notAssigned,  // $5 unassigned
    notAssigned,  // $6 unassigned
    notAssigned,  // $7 SND
    notAssigned,  // $8 unassigned
    notAssigned,  // $9 unassigned
    notAssigned,  // $A IP
    notAssigned,  // $B accelerator words, handled by the processor
    notAssigned,  // $C CD
    notAssigned,  // $D DOS
    notAssigned,  // $E WIN
    notAssigned,  // $F FLP
};

constexpr unsigned NibbleMask = 0xF;

}  // namespace

int32_t hostCall(unsigned group, unsigned sub, unsigned low)
{
    return groupTable[group & NibbleMask](sub & NibbleMask, low & NibbleMask);
}

bool hostCallTakeCheckWord()
{
    if (guestReadWord(cpu.hostCallPc) != HostCallCheckWord) return false;
    cpu.hostCallPc += sizeof(uint16_t);
    return true;
}
