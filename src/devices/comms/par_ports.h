// The guest's eight parallel ports: each one's target (nothing, a host printer device,
// a host printer), its 512-byte ring that the guest fills through the ring host calls,
// and the writer thread that empties the ring into the target while the port is open.
#pragma once

#include "core/machine_parts.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ParLimits {
constexpr int PortCount = 8;
constexpr uint32_t RingSize = 512;
constexpr int DeviceCount = 3;           // LPT1-LPT3
constexpr size_t PrinterNameMax = 1023;  // as the configuration keeps them
}  // namespace ParLimits

// What a port is bound to (the configuration's byte per port).
namespace ParMode {
constexpr uint8_t None = 0;
constexpr uint8_t Printer = 4;  // 1-3 are the host devices LPT1-LPT3
}  // namespace ParMode

// How an open port's job reaches the host.
enum class ParKind { Device, PrinterJob, SpoolFile };

// Start-up: builds the eight ports from the settings and registers their rings.
void parStart();
// Shut-down: every open port first writes what the guest has already handed over (up to
// three seconds), then closes; a filtered job is handed to the printer program.
void parShutDown();
// The machine part (host calls installed at start, removed at shut-down).
MachinePart parPart();

// Port operations, port = 1-8 (the host calls check the range first). Guest strings are
// in the host code page (cp1252).
int32_t parOpen(int port);  // 0 or a guest error code
void parEndJob(int port);   // the writer finishes the job and closes the port
void parSend(int port);     // wakes the writer
bool parIsOpen(int port);
uint32_t parRingHandle(int port);
// Waits until the port's writer has ended (closed); false after `ms` milliseconds.
bool parWaitClosed(int port, int ms);

uint8_t parMode(int port);
std::string parTargetName(int port);  // "", "LPTn" or the printer name
int32_t parSetTarget(int port, const std::string& text);
bool parFilter(int port);
int32_t parSetFilter(int port, uint32_t value);

void parInstallHostCalls();
void parRemoveHostCalls();

// The host's printers (cp1252), or nothing when they cannot be listed.
bool parPrinterNames(std::vector<std::string>& names, int& hostError);
std::string parDefaultPrinter();
