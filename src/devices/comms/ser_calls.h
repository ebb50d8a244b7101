// The serial host-call group ($A2xy: x = operation, y = register 0-7) and the serial
// ports as a machine part.
#pragma once

#include "core/machine_parts.h"

#include <cstdint>
#include <string>

// Sub-operations of the group.
namespace SerSub {
constexpr unsigned PortCount = 0x0;
constexpr unsigned ClosePort = 0x1;
constexpr unsigned OpenPort = 0x2;
constexpr unsigned CloseDirections = 0x3;
constexpr unsigned Send = 0x4;
constexpr unsigned PostEvent = 0x5;
constexpr unsigned ReceiveOn = 0x6;
constexpr unsigned ReceiveOff = 0x7;
constexpr unsigned Carrier = 0x8;
constexpr unsigned SetBaudRate = 0x9;
constexpr unsigned GetHostName = 0xA;
constexpr unsigned SetHostName = 0xB;
constexpr unsigned ReceiveRing = 0xE;
constexpr unsigned TransmitRing = 0xF;
}  // namespace SerSub

// Host names the guest sees: "COM" and the number.
constexpr const char* SerHostNamePrefix = "COM";
constexpr size_t SerHostNameMax = 15;

void serInstallHostCalls();
void serRemoveHostCalls();

// The COM number a host name gives (letter case ignored), 0 when it names none (or one
// outside 1-64).
unsigned serParseHostName(const std::string& name);

// Start-up makes the records and installs the group; shut-down force-closes every port.
MachinePart serPart();
