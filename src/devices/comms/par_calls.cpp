// The PAR host calls ($A3xy): x = operation, y = register 0-7.
#include "config/config_blocks.h"
#include "core/events.h"
#include "core/guest_error.h"
#include "core/guest_strings.h"
#include "core/host_call.h"
#include "log/log.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"
#include "devices/comms/par_ports.h"

#include <vector>

namespace {

namespace Sub {
constexpr unsigned PortCount = 0x0;
constexpr unsigned EndJob = 0x1;
constexpr unsigned Open = 0x2;
constexpr unsigned EndJobToo = 0x3;
constexpr unsigned Send = 0x4;
constexpr unsigned PostEvent = 0x5;
constexpr unsigned Printers = 0x6;
constexpr unsigned GetTargetName = 0x7;
constexpr unsigned SetTarget = 0x8;
constexpr unsigned GetFilter = 0x9;
constexpr unsigned SetFilter = 0xA;
constexpr unsigned RingHandle = 0xF;
}  // namespace Sub

namespace PrinterQuery {
constexpr int32_t Count = -1;
constexpr int32_t Default = -2;
}  // namespace PrinterQuery

constexpr unsigned PortRegister = 0;    // D0.B for operations 7-10
constexpr unsigned LengthRegister = 1;  // D1.W: buffer length; D1: printer count
constexpr unsigned RingPortRegister = 1;
constexpr uint32_t UpperWordClear = 0xFFFF;

// Operations that take the port from Dn: the guest's register loses its upper word.
bool portFromRegister(unsigned n, int& port)
{
    cpu.D[n] &= UpperWordClear;
    port = int(cpu.D[n]);
    return port >= 1 && port <= ParLimits::PortCount;
}

int portFromD0() { return int(cpu.D[PortRegister] & 0xFF); }
bool validPort(int port) { return port >= 1 && port <= ParLimits::PortCount; }

int32_t portCount(unsigned n)
{
    cpu.D[n] = cpu.D[n] == 0 ? ParLimits::PortCount : 1;
    return HostCallResult::KeepRegisters;
}

int32_t endJob(unsigned n)
{
    int port = 0;
    if (!portFromRegister(n, port)) return HostCallResult::Illegal;
    parEndJob(port);
    return HostCallResult::KeepRegisters;
}

int32_t openPort(unsigned n)
{
    int port = 0;
    if (!portFromRegister(n, port)) return HostCallResult::Illegal;
    return parOpen(port);
}

int32_t send(unsigned n)
{
    int port = 0;
    if (!portFromRegister(n, port)) return HostCallResult::Illegal;
    parSend(port);
    return HostCallResult::KeepRegisters;
}

int32_t postParallelEvent(unsigned n)
{
    if (uint32_t key = eventLinkage(LinkageSlot::Parallel)) postEvent(key, cpu.D[n] & 0xFF);
    return HostCallResult::KeepRegisters;
}

size_t bufferLength() { return cpu.D[LengthRegister] & 0xFFFF; }

int32_t printers(unsigned n)
{
    const int32_t query = int32_t(cpu.D[0]);
    if (query == PrinterQuery::Default) return putGuestString(cpu.A[n], bufferLength(), parDefaultPrinter());
    std::vector<std::string> names;
    int hostError = 0;
    if (!parPrinterNames(names, hostError)) {
        zlog(LogCat::Error, "cfg: EnumPrinters failed: %d\r\n", hostError);
        if (query == PrinterQuery::Count) {
            cpu.D[LengthRegister] = uint32_t(GuestError::NotComplete);
            return 0;
        }
        return GuestError::NotComplete;
    }
    if (query == PrinterQuery::Count) {
        cpu.D[LengthRegister] = uint32_t(names.size());
        return 0;
    }
    if (names.empty()) return 0;
    if (query < 1 || size_t(query) > names.size()) return GuestError::BadParameter;
    return putGuestString(cpu.A[n], bufferLength(), names[size_t(query) - 1]);
}

int32_t getTargetName(unsigned n)
{
    const int port = portFromD0();
    if (!validPort(port)) return GuestError::BadParameter;
    return putGuestString(cpu.A[n], bufferLength(), parTargetName(port));
}

int32_t setTarget(unsigned n)
{
    const int port = portFromD0();
    if (!validPort(port)) return GuestError::BadParameter;
    std::string text;
    if (int32_t result = getGuestStringAlloc(text, cpu.A[n])) return result;
    return parSetTarget(port, text);
}

int32_t getFilter(unsigned n)
{
    const int port = portFromD0();
    if (!validPort(port)) return GuestError::BadParameter;
    cpu.D[n] = parFilter(port) ? 1 : 0;
    return 0;
}

int32_t setFilter(unsigned n)
{
    const int port = portFromD0();
    if (!validPort(port)) return GuestError::BadParameter;
    return parSetFilter(port, cpu.D[n]);
}

int32_t ringHandle(unsigned n)
{
    int port = 0;
    if (!portFromRegister(RingPortRegister, port)) return HostCallResult::Illegal;
    cpu.D[n] = parRingHandle(port);
    return HostCallResult::KeepRegisters;
}

struct Operation {
    unsigned sub;
    HostOperation run;
};

constexpr Operation Operations[] = {
    {Sub::PortCount, portCount}, {Sub::EndJob, endJob},
    {Sub::Open, openPort},       {Sub::EndJobToo, endJob},
    {Sub::Send, send},           {Sub::PostEvent, postParallelEvent},
    {Sub::Printers, printers},   {Sub::GetTargetName, getTargetName},
    {Sub::SetTarget, setTarget}, {Sub::GetFilter, getFilter},
    {Sub::SetFilter, setFilter}, {Sub::RingHandle, ringHandle},
};

std::vector<std::string> printerNamesForConfiguration()
{
    std::vector<std::string> names;
    int hostError = 0;
    if (!parPrinterNames(names, hostError)) zlog(LogCat::Error, "cfg: EnumPrinters failed: %d\r\n", hostError);
    return names;
}

}  // namespace

void parInstallHostCalls()
{
    for (const Operation& op : Operations) hostCallInstall(HostCallGroupId::Par, op.sub, op.run);
}

void parRemoveHostCalls()
{
    for (const Operation& op : Operations) hostCallRemove(HostCallGroupId::Par, op.sub);
}

MachinePart parPart()
{
    // The configuration, which starts before any device, matches printer names in the
    // image's blocks against the host's printers.
    setHostPrinterNamesProvider(printerNamesForConfiguration);
    return {MachineSlot::Par,
            [] {
                parStart();
                parInstallHostCalls();
                return true;
            },
            [] {
                parRemoveHostCalls();
                parShutDown();
            }};
}
