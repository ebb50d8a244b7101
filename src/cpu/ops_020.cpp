// The 68020 additions: CMP2/CHK2, CAS/CAS2, 32- and 64-bit multiply and divide, PACK,
// UNPK and the bit-field instructions.
#include "cpu/exception_entry.h"
#include "cpu/flags.h"
#include "cpu/guest_access.h"
#include "cpu/opcode_table.h"
#include "cpu/operands.h"
#include "cpu/processor_path.h"
#include "cpu/sizes.h"
#include "cpu/threaded_dispatch.h"

namespace m68k::ZEM_PATH {
namespace {

// ---------------------------------------------------------------------------------------
template <int S, int M>
uint32_t opCmp2(uint32_t pc, uint32_t op)
{
    cpu.instrLatch = pc;
    const uint32_t ext = fetch16(pc + 2);
    pc += 4;
    const uint32_t a = eaAddress<M, S>(pc, op & 7);
    const uint32_t lower = uint32_t(sext<S>(readMem<S>(a)));
    const uint32_t upper = uint32_t(sext<S>(readMem<S>(a + S)));
    const uint32_t raw = regs()[ext >> 12];
    const uint32_t value = (ext & 0x8000) ? raw : uint32_t(sext<S>(raw));
    bool outside;
    if (upper >= lower) {
        outside = value < lower || value > upper;
    } else {
        outside = int32_t(value) < int32_t(lower) || int32_t(value) > int32_t(upper);
    }
    const bool equal = value == lower || value == upper;
    cpu.flags = uint16_t((equal ? FZ : 0) | (outside ? FC : 0));
    if (outside && (ext & 0x800)) return chkTrap(pc);
    return pc;
}

template <int S, int M>
uint32_t opCas(uint32_t pc, uint32_t op)
{
    const uint32_t ext = fetch16(pc + 2);
    pc += 4;
    const uint32_t a = eaAddress<M, S>(pc, op & 7);
    const uint32_t v = readMem<S>(a);
    const unsigned dc = ext & 7, du = (ext >> 6) & 7;
    cmpFlags<S>(v, cpu.D[dc]);
    if (cpu.flags & FZ)
        writeMem<S>(a, cpu.D[du], pc);
    else
        writeDn<S>(dc, v);
    return pc;
}

template <int S>
uint32_t opCas2(uint32_t pc, uint32_t)
{
    const uint32_t ext1 = fetch16(pc + 2), ext2 = fetch16(pc + 4);
    uint32_t* r = regs();
    const uint32_t a1 = r[ext1 >> 12], a2 = r[ext2 >> 12];
    const unsigned dc1 = ext1 & 7, dc2 = ext2 & 7;
    const uint32_t v1 = readMem<S>(a1), v2 = readMem<S>(a2);
    cmpFlags<S>(v1, cpu.D[dc1]);
    if (cpu.flags & FZ) {
        cmpFlags<S>(v2, cpu.D[dc2]);
        if (cpu.flags & FZ) {
            writeMem<S>(a1, cpu.D[(ext1 >> 6) & 7], pc);
            writeMem<S>(a2, cpu.D[(ext2 >> 6) & 7], pc);
            return pc + 6;
        }
    }
    writeDn<S>(dc1, v1);
    writeDn<S>(dc2, v2);
    return pc + 6;
}

// ---------------------------------------------------------------------------------------
template <int M>
uint32_t opMulL(uint32_t pc, uint32_t op)
{
    const uint32_t ext = fetch16(pc + 2);
    pc += 4;
    const uint32_t s = readEa<M, 4>(pc, op & 7);
    const unsigned dl = (ext >> 12) & 7, dh = ext & 7;
    const bool isSigned = ext & 0x800, wide = ext & 0x400;
    const uint32_t d = cpu.D[dl];
    uint64_t product;
    bool overflow;
    if (isSigned) {
        const int64_t p = int64_t(int32_t(d)) * int32_t(s);
        product = uint64_t(p);
        overflow = p != int64_t(int32_t(p));
    } else {
        product = uint64_t(d) * s;
        overflow = (product >> 32) != 0;
    }
    if (wide) {
        cpu.D[dh] = uint32_t(product >> 32);
        cpu.D[dl] = uint32_t(product);
        cpu.flags = uint16_t(((product >> 56) & 0x80) | (product == 0 ? FZ : 0));
    } else {
        cpu.D[dl] = uint32_t(product);
        cpu.flags = uint16_t(flagsNZ<4>(uint32_t(product)) | (overflow ? FV : 0));
    }
    return pc;
}

template <int M>
uint32_t opDivL(uint32_t pc, uint32_t op)
{
    cpu.instrLatch = pc;
    const uint32_t ext = fetch16(pc + 2);
    pc += 4;
    const uint32_t s = readEa<M, 4>(pc, op & 7);
    const unsigned dq = (ext >> 12) & 7, dr = ext & 7;
    const bool isSigned = ext & 0x800, wide = ext & 0x400;
    if (s == 0) {
        cpu.flags &= ~FC;
        return zeroDivide(pc);
    }
    uint32_t quotient, remainder;
    if (isSigned) {
        int64_t dividend = wide ? int64_t(uint64_t(cpu.D[dr]) << 32 | cpu.D[dq]) : int64_t(int32_t(cpu.D[dq]));
        const int64_t divisor = int32_t(s);
        if (divisor == -1 && dividend == INT64_MIN) {
            cpu.flags = FV;
            return pc;
        }
        const int64_t q = dividend / divisor, r = dividend % divisor;
        if (q != int64_t(int32_t(q))) {
            cpu.flags = FV;
            return pc;
        }
        quotient = uint32_t(q);
        remainder = uint32_t(r);
    } else {
        const uint64_t dividend = wide ? (uint64_t(cpu.D[dr]) << 32 | cpu.D[dq]) : cpu.D[dq];
        const uint64_t q = dividend / s;
        if (q >> 32) {
            cpu.flags = FV;
            return pc;
        }
        quotient = uint32_t(q);
        remainder = uint32_t(dividend % s);
    }
    if (dr != dq) cpu.D[dr] = remainder;
    cpu.D[dq] = quotient;
    cpu.flags = flagsNZ<4>(quotient);
    return pc;
}

// ---------------------------------------------------------------------------------------
template <bool Memory>
uint32_t opPack(uint32_t pc, uint32_t op)
{
    const uint32_t adjust = fetch16(pc + 2);
    uint32_t scratch = pc + 4;
    if constexpr (Memory) {
        const uint32_t lo = readMem<1>(eaAddress<EPd, 1>(scratch, op & 7));
        const uint32_t hi = readMem<1>(eaAddress<EPd, 1>(scratch, op & 7));
        const uint32_t v = ((hi << 8) | lo) + adjust;
        writeMem<1>(eaAddress<EPd, 1>(scratch, (op >> 9) & 7), ((v >> 4) & 0xF0) | (v & 0x0F), pc);
    } else {
        const uint32_t v = (cpu.D[op & 7] & 0xFFFF) + adjust;
        writeDn<1>((op >> 9) & 7, ((v >> 4) & 0xF0) | (v & 0x0F));
    }
    return pc + 4;
}

template <bool Memory>
uint32_t opUnpk(uint32_t pc, uint32_t op)
{
    const uint32_t adjust = fetch16(pc + 2);
    uint32_t scratch = pc + 4;
    if constexpr (Memory) {
        const uint32_t s = readMem<1>(eaAddress<EPd, 1>(scratch, op & 7));
        const uint32_t v = (((s & 0xF0) << 4) | (s & 0x0F)) + adjust;
        writeMem<1>(eaAddress<EPd, 1>(scratch, (op >> 9) & 7), v, pc);
        writeMem<1>(eaAddress<EPd, 1>(scratch, (op >> 9) & 7), v >> 8, pc);
    } else {
        const uint32_t s = cpu.D[op & 7] & 0xFF;
        writeDn<2>((op >> 9) & 7, (((s & 0xF0) << 4) | (s & 0x0F)) + adjust);
    }
    return pc + 4;
}

// ---------------------------------------------------------------------------------------
// Bit fields. Offsets count from the most significant bit; a register field wraps around.
enum Bf { BfTst, BfExtu, BfChg, BfExts, BfClr, BfFfo, BfSet, BfIns };

inline uint32_t rotl32(uint32_t v, unsigned n) { return n ? (v << n) | (v >> (32 - n)) : v; }
inline uint32_t rotr32(uint32_t v, unsigned n) { return n ? (v >> n) | (v << (32 - n)) : v; }

template <int K, int M>
uint32_t opBitField(uint32_t pc, uint32_t op)
{
    const uint32_t ext = fetch16(pc + 2);
    pc += 4;
    const int32_t offset = (ext & 0x800) ? int32_t(cpu.D[(ext >> 6) & 7]) : int32_t((ext >> 6) & 31);
    unsigned width = ((ext & 0x20) ? cpu.D[ext & 7] : ext) & 31;
    if (width == 0) width = 32;
    const uint32_t fieldMask = width == 32 ? 0xFFFFFFFFu : (1u << width) - 1;
    const unsigned reg = (ext >> 12) & 7;

    uint32_t field;
    // Storage: either the register, rotated so that the field sits at the top, or up to
    // five bytes of memory in a 64-bit window.
    uint32_t address = 0;
    unsigned bitOffset = 0, bytes = 0;
    uint64_t window = 0;
    if constexpr (M == EDn) {
        const unsigned o = unsigned(offset) & 31;
        field = rotl32(cpu.D[op & 7], o) >> (32 - width);
    } else {
        address = eaAddress<M, 4>(pc, op & 7) + uint32_t(offset >> 3);
        bitOffset = unsigned(offset) & 7;
        bytes = (bitOffset + width + 7) / 8;
        for (unsigned i = 0; i < bytes; ++i) window = window << 8 | readMem<1>(address + i);
        window <<= 8 * (8 - bytes);  // field now starts at bit 63 - bitOffset
        field = uint32_t(window >> (64 - bitOffset - width)) & fieldMask;
    }
    const uint32_t msb = 1u << (width - 1);
    uint32_t flagSource = field;

    uint32_t result = field;
    bool store = false;
    if constexpr (K == BfChg) {
        result = ~field & fieldMask;
        store = true;
    } else if constexpr (K == BfClr) {
        result = 0;
        store = true;
    } else if constexpr (K == BfSet) {
        result = fieldMask;
        store = true;
    } else if constexpr (K == BfIns) {
        result = cpu.D[reg] & fieldMask;
        flagSource = result;
        store = true;
    } else if constexpr (K == BfExtu) {
        cpu.D[reg] = field;
    } else if constexpr (K == BfExts) {
        cpu.D[reg] = (field & msb) ? field | ~fieldMask : field;
    } else if constexpr (K == BfFfo) {
        unsigned i = 0;
        while (i < width && !(field & (msb >> i))) ++i;
        cpu.D[reg] = uint32_t(offset) + i;
    }
    cpu.flags = uint16_t(((flagSource & msb) ? FN : 0) | (flagSource == 0 ? FZ : 0));

    if (store) {
        if constexpr (M == EDn) {
            const unsigned o = unsigned(offset) & 31;
            const uint32_t topMask = fieldMask << (32 - width);
            uint32_t rotated = rotl32(cpu.D[op & 7], o);
            rotated = (rotated & ~topMask) | (result << (32 - width));
            cpu.D[op & 7] = rotr32(rotated, o);
        } else {
            const unsigned shift = 64 - bitOffset - width;
            const uint64_t m = uint64_t(fieldMask) << shift;
            window = (window & ~m) | (uint64_t(result) << shift);
            for (unsigned i = 0; i < bytes; ++i) writeMem<1>(address + i, uint32_t(window >> (56 - 8 * i)), pc);
        }
    }
    return pc;
}

template <int K>
OpSlot bitFieldHandler(int m)
{
    return pickMode([]<int M>() { return slot<&opBitField<K, M>>(); }, m);
}

}  // namespace

void buildExtendedGroup(OpSlot* t)
{
    for (unsigned op = 0; op < 0x10000; ++op) {
        const int m = eaOf(op);
        const unsigned hi = op & 0xFFC0;
        if ((hi == 0x00C0 || hi == 0x02C0 || hi == 0x04C0) && allowed(EaSet::Control, m)) {
            const int s = hi == 0x00C0 ? 1 : hi == 0x02C0 ? 2 : 4;
            t[op] = pickSizeMode([]<int S, int M>() { return slot<&opCmp2<S, M>>(); }, s, m);
        }
        if ((hi == 0x0AC0 || hi == 0x0CC0 || hi == 0x0EC0) && allowed(EaSet::MemAlt, m)) {
            const int s = hi == 0x0AC0 ? 1 : hi == 0x0CC0 ? 2 : 4;
            t[op] = pickSizeMode([]<int S, int M>() { return slot<&opCas<S, M>>(); }, s, m);
        }
        if (hi == 0x4C00 && allowed(EaSet::Data, m)) t[op] = pickMode([]<int M>() { return slot<&opMulL<M>>(); }, m);
        if (hi == 0x4C40 && allowed(EaSet::Data, m)) t[op] = pickMode([]<int M>() { return slot<&opDivL<M>>(); }, m);
        if ((op & 0xF1F0) == 0x8140) t[op] = (op & 8) ? slot<&opPack<true>>() : slot<&opPack<false>>();
        if ((op & 0xF1F0) == 0x8180) t[op] = (op & 8) ? slot<&opUnpk<true>>() : slot<&opUnpk<false>>();
        if (op >= 0xE8C0 && (op & 0xF8C0) == 0xE8C0) {
            const int kind = (op >> 8) & 7;
            const bool writes = kind == BfChg || kind == BfClr || kind == BfSet || kind == BfIns;
            if (m != EDn && !allowed(writes ? EaSet::ControlAlt : EaSet::Control, m)) continue;
            switch (kind) {
            case BfTst:
                t[op] = bitFieldHandler<BfTst>(m);
                break;
            case BfExtu:
                t[op] = bitFieldHandler<BfExtu>(m);
                break;
            case BfChg:
                t[op] = bitFieldHandler<BfChg>(m);
                break;
            case BfExts:
                t[op] = bitFieldHandler<BfExts>(m);
                break;
            case BfClr:
                t[op] = bitFieldHandler<BfClr>(m);
                break;
            case BfFfo:
                t[op] = bitFieldHandler<BfFfo>(m);
                break;
            case BfSet:
                t[op] = bitFieldHandler<BfSet>(m);
                break;
            default:
                t[op] = bitFieldHandler<BfIns>(m);
                break;
            }
        }
    }
    t[0x0CFC] = slot<&opCas2<2>>();
    t[0x0EFC] = slot<&opCas2<4>>();
}

}  // namespace m68k::ZEM_PATH
