// Container drives: each is one host file of 512-byte sectors that the guest's own file
// system fills. Opened on demand, kept open until closed.
#pragma once

#include "platform/host_block_file.h"

#include <cstdint>
#include <string>

constexpr uint32_t ContainerSectorBytes = 512;
// Byte positions are 32-bit: the last whole sector ends at 4 GiB.
constexpr uint64_t ContainerByteLimit = uint64_t(1) << 32;
// The largest container made: its last sector starts at the last 32-bit sector position.
constexpr uint32_t ContainerMaxSectors = uint32_t(ContainerByteLimit / ContainerSectorBytes) - 1;

enum class ContainerByteOrder : uint8_t { Unknown = 0, Normal = 1, WordSwapped = 2 };

struct ContainerDrive {
    std::string name;
    HostBlockFile file;
    ContainerByteOrder order = ContainerByteOrder::Unknown;
    int readOnlyReason = 0;  // errno of the refused read-write open, when opened read-only
};

// Drive 1-8 (its index + 1) from the guest's D7.B.
unsigned containerDriveIndex(uint32_t d7);

// Opens the drive if needed, learning its byte order; false when it cannot be opened.
bool containerOpen(ContainerDrive& drive, unsigned number);
void containerClose(ContainerDrive& drive, unsigned number);

// Exchanges the two bytes of every 16-bit word.
void swapWordBytes(uint8_t* data, size_t length);

void winInstallHostCalls();
void winRemoveHostCalls();
void winCloseAll();
