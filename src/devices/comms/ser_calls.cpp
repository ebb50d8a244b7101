#include "devices/comms/ser_calls.h"

#include "core/guest_error.h"
#include "core/guest_strings.h"
#include "core/host_call.h"
#include "cpu/cpu.h"
#include "devices/comms/ser_port.h"

#include <cctype>
#include <cstdio>
#include <optional>

namespace {

constexpr uint32_t CarrierMask = 0x80;
constexpr uint32_t AllPortsQuery = 0;  // D0 of the port count that asks for all ports

// Guest port numbers 1-8 as record indexes; nothing for any other value.
std::optional<unsigned> portIndex(uint32_t number)
{
    if (number < 1 || number > SerPortCount) return std::nullopt;
    return unsigned(number - 1);
}

uint8_t lowByte(uint32_t value) { return uint8_t(value); }
uint8_t directionsOf(uint32_t value) { return uint8_t(value >> 8); }

int32_t portCount(unsigned) { return cpu.D[0] == AllPortsQuery ? int32_t(SerPortCount) : 1; }

int32_t closePort(unsigned n)
{
    std::optional<unsigned> port = portIndex(cpu.D[n]);
    if (!port) return HostCallResult::Illegal;
    serCloseDirections(*port, SerDirection::Both);
    return HostCallResult::KeepRegisters;
}

int32_t openPort(unsigned n)
{
    // The handshake comes from the next register, which D7 does not have.
    if (n >= HostCallDecode::MaxRegister) return HostCallResult::Illegal;
    std::optional<unsigned> port = portIndex(lowByte(cpu.D[n]));
    if (!port) return HostCallResult::Illegal;
    return serOpenPort(*port, directionsOf(cpu.D[n]), lowByte(cpu.D[n + 1]));
}

int32_t closeDirections(unsigned n)
{
    std::optional<unsigned> port = portIndex(lowByte(cpu.D[n]));
    if (!port) return HostCallResult::Illegal;
    serCloseDirections(*port, directionsOf(cpu.D[n]));
    return HostCallResult::KeepRegisters;
}

int32_t send(unsigned n)
{
    std::optional<unsigned> port = portIndex(lowByte(cpu.D[n]));
    if (!port) return HostCallResult::Illegal;
    serSend(*port);
    return HostCallResult::KeepRegisters;
}

int32_t postEvent(unsigned)
{
    serPostTransmitEvent(lowByte(cpu.D[0]));
    return HostCallResult::KeepRegisters;
}

int32_t receiveOn(unsigned)
{
    std::optional<unsigned> port = portIndex(lowByte(cpu.D[0]));
    if (!port) return HostCallResult::Illegal;
    serReceiveOn(*port);
    return HostCallResult::KeepRegisters;
}

int32_t receiveOff(unsigned)
{
    std::optional<unsigned> port = portIndex(lowByte(cpu.D[0]));
    if (!port) return HostCallResult::Illegal;
    serReceiveOff(*port);
    return HostCallResult::KeepRegisters;
}

int32_t carrier(unsigned n)
{
    std::optional<unsigned> port = portIndex(lowByte(cpu.D[n]));
    if (!port) return HostCallResult::Illegal;
    return int32_t(serModemStatus(*port) & CarrierMask);
}

int32_t setBaudRate(unsigned)
{
    std::optional<unsigned> port = portIndex(lowByte(cpu.D[0]));
    if (!port) return HostCallResult::Illegal;
    return serSetBaudRate(*port, cpu.D[1]);
}

int32_t getHostName(unsigned n)
{
    std::optional<unsigned> port = portIndex(lowByte(cpu.D[0]));
    if (!port) return GuestError::BadParameter;
    char name[16];
    snprintf(name, sizeof name, "%s%u", SerHostNamePrefix, serComNumber(*port));
    return putGuestString(cpu.A[n], uint16_t(cpu.D[1]), name);
}

int32_t setHostName(unsigned n)
{
    std::optional<unsigned> port = portIndex(lowByte(cpu.D[0]));
    if (!port) return GuestError::BadParameter;
    std::string name;
    if (int32_t result = getGuestStringAlloc(name, cpu.A[n]); result != 0) return result;
    if (name.size() > SerHostNameMax) return GuestError::BufferFull;
    unsigned com = serParseHostName(name);
    if (com == 0) return GuestError::BadParameter;
    serSetComNumber(*port, com);
    return 0;
}

int32_t ringHandle(unsigned n, uint32_t (*handle)(unsigned))
{
    std::optional<unsigned> port = portIndex(uint16_t(cpu.D[1]));
    if (!port) return HostCallResult::Illegal;
    cpu.D[n] = handle(*port);
    return HostCallResult::KeepRegisters;
}

int32_t receiveRing(unsigned n) { return ringHandle(n, serReceiveRingHandle); }
int32_t transmitRing(unsigned n) { return ringHandle(n, serTransmitRingHandle); }

struct Slot {
    unsigned sub;
    HostOperation operation;
};

const Slot Slots[] = {
    {SerSub::PortCount, portCount},
    {SerSub::ClosePort, closePort},
    {SerSub::OpenPort, openPort},
    {SerSub::CloseDirections, closeDirections},
    {SerSub::Send, send},
    {SerSub::PostEvent, postEvent},
    {SerSub::ReceiveOn, receiveOn},
    {SerSub::ReceiveOff, receiveOff},
    {SerSub::Carrier, carrier},
    {SerSub::SetBaudRate, setBaudRate},
    {SerSub::GetHostName, getHostName},
    {SerSub::SetHostName, setHostName},
    {SerSub::ReceiveRing, receiveRing},
    {SerSub::TransmitRing, transmitRing},
};

}  // namespace

unsigned serParseHostName(const std::string& name)
{
    const std::string prefix = SerHostNamePrefix;
    if (name.size() <= prefix.size()) return 0;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::toupper(uint8_t(name[i])) != prefix[i]) return 0;
    unsigned value = 0;
    for (size_t i = prefix.size(); i < name.size(); ++i) {
        if (!std::isdigit(uint8_t(name[i]))) return 0;
        value = value * 10 + unsigned(name[i] - '0');
        if (value > SerLimits::MaxComNumber) return 0;
    }
    return value;
}

void serInstallHostCalls()
{
    for (const Slot& s : Slots) hostCallInstall(HostCallGroupId::Ser, s.sub, s.operation);
}

void serRemoveHostCalls()
{
    for (const Slot& s : Slots) hostCallRemove(HostCallGroupId::Ser, s.sub);
}

MachinePart serPart()
{
    return {MachineSlot::Ser,
            [] {
                serStartUp();
                serInstallHostCalls();
                return true;
            },
            [] {
                serRemoveHostCalls();
                serShutDown();
            }};
}
