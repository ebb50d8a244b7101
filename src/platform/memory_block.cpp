#include "platform/memory_block.h"

#include <sys/mman.h>
#include <unistd.h>

uint32_t hostPageSize()
{
    long page = sysconf(_SC_PAGESIZE);
    return page > 0 ? uint32_t(page) : 4096u;
}

uint8_t* hostReserveAt(uintptr_t address, size_t size)
{
    void* const want = reinterpret_cast<void*>(address);
    void* p = mmap(want, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_FIXED_NOREPLACE, -1, 0);
    if (p == MAP_FAILED) return nullptr;
    if (p != want) {  // a kernel without MAP_FIXED_NOREPLACE takes the address as a hint
        munmap(p, size);
        return nullptr;
    }
    return static_cast<uint8_t*>(p);
}

uint8_t* hostReserve(size_t size)
{
    void* p = mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    return p == MAP_FAILED ? nullptr : static_cast<uint8_t*>(p);
}

bool hostCommitReadWrite(uint8_t* start, size_t size)
{
    return size == 0 || mprotect(start, size, PROT_READ | PROT_WRITE) == 0;
}

bool hostCommitReadOnly(uint8_t* start, size_t size) { return size == 0 || mprotect(start, size, PROT_READ) == 0; }

void hostRelease(uint8_t* start, size_t size)
{
    if (start) munmap(start, size);
}
