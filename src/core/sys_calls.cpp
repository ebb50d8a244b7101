#include "core/sys_calls.h"

#include "core/gui_link.h"
#include "core/host_call.h"
#include "cpu/cpu.h"

namespace {

using SysOperation = int32_t (*)(unsigned n);

constexpr unsigned SysOperationCount = 32;

// Indexed by sub-operation * 2 + (low nibble >> 3); empty slots are unassigned.
constexpr SysOperation sysTable[SysOperationCount] = {
    sysQuit,  // $A000-$A007
};

}  // namespace

int32_t sysGroup(unsigned sub, unsigned low)
{
    unsigned index = HostCallDecode::pairedIndex(sub, low);
    if (index >= SysOperationCount || sysTable[index] == nullptr) return HostCallResult::Illegal;
    return sysTable[index](HostCallDecode::pairedRegister(low));
}

int32_t sysQuit(unsigned)
{
    // A stray word must not end the machine: without the check word it is an illegal
    // instruction reported at the word itself.
    if (!hostCallTakeCheckWord()) return HostCallResult::Illegal;
    if (const GuiLink* link = guiLink(); link && link->quitAndDestroy) link->quitAndDestroy();
    return HostCallResult::Stop;
}
