// Shifts and rotates on data registers (immediate or register count) and on memory words.
#include "cpu/flags.h"
#include "cpu/opcode_table.h"
#include "cpu/operands.h"
#include "cpu/processor_path.h"
#include "cpu/sizes.h"
#include "cpu/threaded_dispatch.h"

namespace m68k::ZEM_PATH {
namespace {

enum Kind { As = 0, Ls = 1, Rox = 2, Ro = 3 };

// Shifts v (already truncated to the size) by count 0-63 and sets the condition codes.
template <int S, int K, bool Left>
ZEM_HOT uint32_t shift(uint32_t v, unsigned count)
{
    constexpr unsigned bits = sizeBits<S>;
    constexpr uint32_t mask = sizeMask<S>, msb = sizeMsb<S>;
    uint32_t r = v;
    uint16_t c = 0, vflag = 0;
    if (count == 0) {
        if (K == Rox) c = uint16_t(flagX());
        cpu.flags = uint16_t(flagsNZ<S>(r) | c);
        return r;
    }
    if constexpr (K == As && Left) {
        if (count >= bits) {
            r = 0;
            c = count == bits ? (v & 1) : 0;
            vflag = v != 0;
        } else {
            r = (v << count) & mask;
            c = (v >> (bits - count)) & 1;
            const uint64_t top = ((uint64_t(1) << (count + 1)) - 1) << (bits - 1 - count);
            const uint64_t seen = v & top;
            vflag = seen != 0 && seen != top;
        }
        cpu.x = uint8_t(c);
    } else if constexpr (K == As) {
        const bool negative = v & msb;
        if (count >= bits) {
            // The sign fills the result; the carry is the last bit shifted out, which is
            // the sign only while the count equals the size (the hardware clears it beyond).
            r = negative ? mask : 0;
            c = count == bits && negative;
        } else {
            r = uint32_t(sext<S>(v) >> count) & mask;
            c = (v >> (count - 1)) & 1;
        }
        cpu.x = uint8_t(c);
    } else if constexpr (K == Ls && Left) {
        if (count >= bits) {
            r = 0;
            c = count == bits ? (v & 1) : 0;
        } else {
            r = (v << count) & mask;
            c = (v >> (bits - count)) & 1;
        }
        cpu.x = uint8_t(c);
    } else if constexpr (K == Ls) {
        if (count > bits) {
            r = 0;
            c = 0;
        } else if (count == bits) {
            r = 0;
            c = (v & msb) != 0;
        } else {
            r = v >> count;
            c = (v >> (count - 1)) & 1;
        }
        cpu.x = uint8_t(c);
    } else if constexpr (K == Ro) {
        const unsigned n = count % bits;
        if constexpr (Left) {
            r = n ? ((v << n) | (v >> (bits - n))) & mask : v;
            c = r & 1;
        } else {
            r = n ? ((v >> n) | (v << (bits - n))) & mask : v;
            c = (r & msb) != 0;
        }
    } else {  // ROX: rotate through X over bits + 1 positions
        const unsigned n = count % (bits + 1);
        uint64_t w = (uint64_t(flagX()) << bits) | v;
        constexpr uint64_t wmask = (uint64_t(1) << (bits + 1)) - 1;
        if (n) {
            if constexpr (Left)
                w = ((w << n) | (w >> (bits + 1 - n))) & wmask;
            else
                w = ((w >> n) | (w << (bits + 1 - n))) & wmask;
        }
        r = uint32_t(w) & mask;
        c = uint16_t((w >> bits) & 1);
        cpu.x = uint8_t(c);
    }
    cpu.flags = uint16_t(flagsNZ<S>(r) | c | (vflag ? FV : 0));
    return r;
}

// Count 0 takes the count from a data register; 1-8 is an immediate count, fixed per
// handler so that the shift folds into a few host instructions.
template <int S, int K, bool Left, int Count>
uint32_t opShiftReg(uint32_t pc, uint32_t op)
{
    const unsigned count = Count ? unsigned(Count) : (cpu.D[(op >> 9) & 7] & 63);
    const unsigned dn = op & 7;
    writeDn<S>(dn, shift<S, K, Left>(cpu.D[dn] & sizeMask<S>, count));
    return pc + 2;
}

template <int K, bool Left, int M>
uint32_t opShiftMem(uint32_t pc, uint32_t op)
{
    pc += 2;
    Rmw<M, 2> loc(pc, op & 7);
    loc.write(shift<2, K, Left>(loc.read(), 1));
    return pc;
}

template <int S, int K, bool Left, int... C>
OpSlot regHandlerCount(int count, std::integer_sequence<int, C...>)
{
    static constexpr OpSlot table[] = {slot<&opShiftReg<S, K, Left, C>>()...};
    return table[count];
}

// count 0: from a register; 1-8 immediate.
template <int S, int K>
OpSlot regHandler(bool left, int count)
{
    if (left) return regHandlerCount<S, K, true>(count, std::make_integer_sequence<int, 9>{});
    return regHandlerCount<S, K, false>(count, std::make_integer_sequence<int, 9>{});
}

template <int S>
OpSlot regHandlerKind(int kind, bool left, int count)
{
    switch (kind) {
    case As:
        return regHandler<S, As>(left, count);
    case Ls:
        return regHandler<S, Ls>(left, count);
    case Rox:
        return regHandler<S, Rox>(left, count);
    default:
        return regHandler<S, Ro>(left, count);
    }
}

template <int K>
OpSlot memHandler(bool left, int m)
{
    return left ? pickMode([]<int M>() { return slot<&opShiftMem<K, true, M>>(); }, m)
                : pickMode([]<int M>() { return slot<&opShiftMem<K, false, M>>(); }, m);
}

}  // namespace

void buildShiftGroup(OpSlot* t)
{
    for (unsigned op = 0xE000; op < 0xF000; ++op) {
        const bool left = op & 0x100;
        const int size = sizeField(op);
        if (size) {
            const int kind = (op >> 3) & 3;
            const unsigned field = (op >> 9) & 7;
            const int count = (op & 0x20) ? 0 : (field ? int(field) : 8);
            t[op] = size == 1   ? regHandlerKind<1>(kind, left, count)
                    : size == 2 ? regHandlerKind<2>(kind, left, count)
                                : regHandlerKind<4>(kind, left, count);
        } else if (!(op & 0x800)) {
            const int m = eaOf(op);
            if (!allowed(EaSet::MemAlt, m)) continue;
            switch ((op >> 9) & 3) {
            case As:
                t[op] = memHandler<As>(left, m);
                break;
            case Ls:
                t[op] = memHandler<Ls>(left, m);
                break;
            case Rox:
                t[op] = memHandler<Rox>(left, m);
                break;
            default:
                t[op] = memHandler<Ro>(left, m);
                break;
            }
        }
    }
}

}  // namespace m68k::ZEM_PATH
