// Host virtual-memory block: reserve address space without committing it, then grant
// read-write or read-only access to parts of it. The rest of the system never calls the
// operating system's memory functions directly.
#pragma once

#include <cstddef>
#include <cstdint>

uint32_t hostPageSize();
// Reserves size bytes with no access at exactly the given address. Returns nullptr when
// the host refuses or anything already lies there.
uint8_t* hostReserveAt(uintptr_t address, size_t size);
// Reserves size bytes with no access wherever the host has room. Returns nullptr on refusal.
uint8_t* hostReserve(size_t size);
bool hostCommitReadWrite(uint8_t* start, size_t size);
bool hostCommitReadOnly(uint8_t* start, size_t size);
void hostRelease(uint8_t* start, size_t size);
