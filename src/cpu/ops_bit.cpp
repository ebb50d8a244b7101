// Single-bit operations (BTST, BCHG, BCLR, BSET) and MOVEP.
#include "cpu/flags.h"
#include "cpu/guest_access.h"
#include "cpu/opcode_table.h"
#include "cpu/operands.h"
#include "cpu/processor_path.h"
#include "cpu/threaded_dispatch.h"

namespace m68k::ZEM_PATH {
namespace {

enum BitOp { Tst = 0, Chg = 1, Clr = 2, Set = 3 };

template <int K, int M>
inline uint32_t bitOp(uint32_t pc, uint32_t op, unsigned bit)
{
    constexpr int S = M == EDn ? 4 : 1;
    bit &= S * 8 - 1;
    if constexpr (K == Tst) {
        const uint32_t v = readEa<M, S>(pc, op & 7);
        cpu.flags = uint16_t((cpu.flags & ~FZ) | ((v >> bit) & 1 ? 0 : FZ));
    } else {
        Rmw<M, S> loc(pc, op & 7);
        const uint32_t v = loc.read();
        cpu.flags = uint16_t((cpu.flags & ~FZ) | ((v >> bit) & 1 ? 0 : FZ));
        const uint32_t m = 1u << bit;
        loc.write(K == Chg ? v ^ m : K == Clr ? v & ~m : v | m);
    }
    return pc;
}

template <int K, int M>
uint32_t opBitDynamic(uint32_t pc, uint32_t op)
{
    return bitOp<K, M>(pc + 2, op, cpu.D[(op >> 9) & 7]);
}

template <int K, int M>
uint32_t opBitStatic(uint32_t pc, uint32_t op)
{
    const unsigned bit = fetch16(pc + 2) & 0xFF;
    return bitOp<K, M>(pc + 4, op, bit);
}

template <int S, bool ToMemory>
uint32_t opMovep(uint32_t pc, uint32_t op)
{
    uint32_t a = cpu.A[op & 7] + uint32_t(int16_t(fetch16(pc + 2)));
    const unsigned dn = (op >> 9) & 7;
    if constexpr (ToMemory) {
        const uint32_t v = cpu.D[dn];
        for (int shift = S * 8 - 8; shift >= 0; shift -= 8, a += 2) writeMem<1>(a, v >> shift, pc);
    } else {
        uint32_t v = 0;
        for (int i = 0; i < S; ++i, a += 2) v = v << 8 | readMem<1>(a);
        writeDn<S>(dn, v);
    }
    return pc + 4;
}

template <int K>
OpSlot pickDynamic(int m)
{
    return pickMode([]<int M>() { return slot<&opBitDynamic<K, M>>(); }, m);
}
template <int K>
OpSlot pickStatic(int m)
{
    return pickMode([]<int M>() { return slot<&opBitStatic<K, M>>(); }, m);
}

}  // namespace

void buildBitGroup(OpSlot* t)
{
    constexpr uint16_t testModes = EaSet::Data & ~(1u << EImm);
    for (unsigned op = 0; op < 0x1000; ++op) {
        const int m = eaOf(op);
        const int kind = (op >> 6) & 3;
        if (op & 0x100) {
            if (((op >> 3) & 7) == 1) {
                static constexpr OpSlot movep[] = {slot<&opMovep<2, false>>(), slot<&opMovep<4, false>>(),
                                                   slot<&opMovep<2, true>>(), slot<&opMovep<4, true>>()};
                t[op] = movep[kind];
                continue;
            }
            if (!allowed(kind == Tst ? testModes : EaSet::DataAlt, m)) continue;
            switch (kind) {
            case Tst:
                t[op] = pickDynamic<Tst>(m);
                break;
            case Chg:
                t[op] = pickDynamic<Chg>(m);
                break;
            case Clr:
                t[op] = pickDynamic<Clr>(m);
                break;
            default:
                t[op] = pickDynamic<Set>(m);
                break;
            }
        } else if ((op & 0xFF00) == 0x0800) {
            if (!allowed(kind == Tst ? testModes : EaSet::DataAlt, m)) continue;
            switch (kind) {
            case Tst:
                t[op] = pickStatic<Tst>(m);
                break;
            case Chg:
                t[op] = pickStatic<Chg>(m);
                break;
            case Clr:
                t[op] = pickStatic<Clr>(m);
                break;
            default:
                t[op] = pickStatic<Set>(m);
                break;
            }
        }
    }
}

}  // namespace m68k::ZEM_PATH
