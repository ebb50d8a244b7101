// Host virtual-memory block: reserve address space without committing it, then grant
// read-write or read-only access to parts of it. The rest of the system never calls the
// operating system's memory functions directly.
#pragma once

#include <cstddef>
#include <cstdint>

uint32_t hostPageSize();
// Reserves size bytes with no access. Returns nullptr when the host refuses.
uint8_t* hostReserve(size_t size);
bool hostCommitReadWrite(uint8_t* start, size_t size);
bool hostCommitReadOnly(uint8_t* start, size_t size);
void hostRelease(uint8_t* start, size_t size);
