#include "cpu/memory.h"

#include <cmath>

#include "log/log.h"
#include "cpu/guest_access.h"
#include "platform/memory_block.h"

GuestMemory mem;

namespace {
constexpr uint32_t kReservedBytes = 0x10000000u;  // 256 MB of guest address space
constexpr uint32_t kMegabyte = 1u << 20;
constexpr uint32_t kLargestRamMegabytes = 256;

size_t reservedSize() { return size_t(kReservedBytes) + mem.pageSize; }
}  // namespace

bool memoryAllocate(uint32_t megabytes)
{
    memoryRelease();
    if (megabytes == 0 || megabytes > kLargestRamMegabytes) return false;
    mem.pageSize = hostPageSize();
#if defined(ZEM_PORTABLE_FLAGS)
    uint8_t* block = hostReserve(reservedSize());
#else
    uint8_t* block = hostReserveAt(m68k::kGuestBaseAddress, reservedSize());
    // Something already lies at the fixed address (a library, another mapping): the
    // portable path runs on a block anywhere rather than the machine not starting at all.
    if (!block) block = hostReserve(reservedSize());
    static bool fallbackLogged = false;
    if (block && block != reinterpret_cast<uint8_t*>(m68k::kGuestBaseAddress) && !fallbackLogged) {
        fallbackLogged = true;
        zlog(LogCat::Error,
             "ZEM: Guest memory cannot be reserved at host address $%llx; guest memory at $%llx, "
             "running the portable processor path\r\n",
             static_cast<unsigned long long>(m68k::kGuestBaseAddress),
             static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(block)));
    }
#endif
    if (!block) {
        zlog(LogCat::Error, "ZEM: Guest memory cannot be reserved\r\n");
        return false;
    }
    const uint32_t ramSize = megabytes * kMegabyte;
    const unsigned k = unsigned(std::ceil(std::log2(double(ramSize))));
    const uint32_t space = k >= 32 ? 0u : (1u << k);
    const size_t tail = size_t(space) - ramSize + mem.pageSize;
    if (!hostCommitReadWrite(block, ramSize) || !hostCommitReadOnly(block + ramSize, tail)) {
        hostRelease(block, size_t(kReservedBytes) + mem.pageSize);
        return false;
    }
    mem.base = block;
    mem.ramSize = ramSize;
    mem.ramEnd = block + ramSize;
    mem.addressSpaceSize = space;
    mem.mask = space - 1;
    m68k::refreshMemoryGeometry();
    return true;
}

void memoryRelease()
{
    if (mem.base) hostRelease(mem.base, reservedSize());
    mem = GuestMemory{};
    m68k::refreshMemoryGeometry();
}

uint8_t* guestRange(uint32_t address, uint32_t length)
{
    address &= mem.mask;
    if (uint64_t(address) + length > mem.ramSize) return nullptr;
    return mem.base + address;
}

uint8_t guestReadByte(uint32_t address) { return mem.base[address & mem.mask]; }
uint16_t guestReadWord(uint32_t address) { return uint16_t(m68k::load16(mem.base + (address & mem.mask))); }
uint32_t guestReadLong(uint32_t address) { return m68k::load32(mem.base + (address & mem.mask)); }

// Host-side writes: no screen watch (the caller notes screen changes itself), but the
// read-only tail is honoured exactly as for guest stores. They go through the write path
// both processor paths share, which finds guest memory wherever it lies.
void guestWriteByte(uint32_t address, uint8_t value)
{
    m68k::slowWrite(address & mem.mask, value, 1, false, cpuGetPc());
}
void guestWriteWord(uint32_t address, uint16_t value)
{
    m68k::slowWrite(address & mem.mask, value, 2, false, cpuGetPc());
}
void guestWriteLong(uint32_t address, uint32_t value)
{
    m68k::slowWrite(address & mem.mask, value, 4, false, cpuGetPc());
}
