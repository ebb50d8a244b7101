// Guest memory: one host block; guest address a lives at base + (a & mask).
// RAM is read-write; between the end of RAM and the mask (plus one host page) the block is
// read-only: it reads as zeros, and guest writes there are dropped with a log line.
#pragma once

#include <cstdint>

struct GuestMemory {
    uint8_t* base = nullptr;        // guest address 0
    uint32_t ramSize = 0;           // Memory setting * 2^20
    uint8_t* ramEnd = nullptr;      // base + ramSize
    uint32_t addressSpaceSize = 0;  // smallest power of two >= ramSize
    uint32_t mask = 0;              // addressSpaceSize - 1
    uint32_t pageSize = 0;          // host page size
};

extern GuestMemory mem;

// Reserves 256 MB + one page and commits RAM read-write and the tail read-only.
// Returns false when the host refuses the memory.
bool memoryAllocate(uint32_t megabytes);
void memoryRelease();

// Checks a guest block against the RAM size before a host call touches it:
// address &= mask; refuses (nullptr) when address + length > ramSize, else base + address.
uint8_t* guestRange(uint32_t address, uint32_t length);

// Big-endian helpers for host-side code (host calls, loaders, tests). Addresses are masked;
// writes into the read-only tail are dropped with the access-violation log line.
uint8_t guestReadByte(uint32_t address);
uint16_t guestReadWord(uint32_t address);
uint32_t guestReadLong(uint32_t address);
void guestWriteByte(uint32_t address, uint8_t value);
void guestWriteWord(uint32_t address, uint16_t value);
void guestWriteLong(uint32_t address, uint32_t value);
