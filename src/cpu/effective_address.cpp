// Indexed addressing: the brief extension word (8-bit displacement, scaled index) and the
// full format with base and index suppression, base and outer displacements and memory
// indirection. Reserved encodings act as "no displacement".
#include "cpu/guest_access.h"
#include "cpu/operands.h"
#include "cpu/processor_path.h"

namespace m68k::ZEM_PATH {

namespace {

inline uint32_t displacement(unsigned size, uint32_t& pc)
{
    if (size == 2) {
        const uint32_t d = uint32_t(int16_t(fetch16(pc)));
        pc += 2;
        return d;
    }
    if (size == 3) {
        const uint32_t d = fetch32(pc);
        pc += 4;
        return d;
    }
    return 0;
}
}  // namespace

uint32_t fullFormatAddress(uint32_t base, uint32_t ext, uint32_t& pc)
{
    ++extendedIndexUses;
    if (ext & 0x80) base = 0;
    const uint32_t index = (ext & 0x40) ? 0 : indexValue(ext);
    base += displacement((ext >> 4) & 3, pc);
    const unsigned indirect = ext & 7;
    if (indirect == 0) return base + index;
    const bool postIndexed = ext & 4;
    uint32_t address = readMem<4>(postIndexed ? base : base + index);
    if (postIndexed) address += index;
    return address + displacement(indirect & 3, pc);
}

}  // namespace m68k::ZEM_PATH
