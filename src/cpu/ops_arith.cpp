// Integer arithmetic: ADD/SUB/CMP in all their forms, NEG/NEGX, word multiply and
// divide, decimal arithmetic and CHK.
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

enum class Arith { Add, Sub };

template <Arith K, int S>
ZEM_HOT uint32_t arith(uint32_t d, uint32_t s)
{
    if constexpr (K == Arith::Add)
        return addFlags<S>(d, s);
    else
        return subFlags<S>(d, s);
}

// <ea>,Dn
template <Arith K, int S, int M>
uint32_t opArithToDn(uint32_t pc, uint32_t op)
{
    pc += 2;
    const unsigned dn = (op >> 9) & 7;
    const uint32_t s = readEa<M, S>(pc, op & 7);
    writeDn<S>(dn, arith<K, S>(cpu.D[dn], s));
    return pc;
}

// Dn,<ea>
template <Arith K, int S, int M>
uint32_t opArithToEa(uint32_t pc, uint32_t op)
{
    pc += 2;
    Rmw<M, S> loc(pc, op & 7);
    loc.write(arith<K, S>(loc.read(), cpu.D[(op >> 9) & 7]));
    return pc;
}

template <Arith K, int S, int M>
uint32_t opArithA(uint32_t pc, uint32_t op)
{
    pc += 2;
    const uint32_t s = uint32_t(sext<S>(readEa<M, S>(pc, op & 7)));
    uint32_t& a = cpu.A[(op >> 9) & 7];
    a = K == Arith::Add ? a + s : a - s;
    return pc;
}

template <int S, int M>
uint32_t opCmp(uint32_t pc, uint32_t op)
{
    pc += 2;
    const uint32_t s = readEa<M, S>(pc, op & 7);
    cmpFlags<S>(cpu.D[(op >> 9) & 7], s);
    return pc;
}

template <int S, int M>
uint32_t opCmpa(uint32_t pc, uint32_t op)
{
    pc += 2;
    const uint32_t s = uint32_t(sext<S>(readEa<M, S>(pc, op & 7)));
    cmpFlags<4>(cpu.A[(op >> 9) & 7], s);
    return pc;
}

// ADDX/SUBX: Z is only ever cleared.
template <Arith K, int S>
inline uint32_t arithX(uint32_t d, uint32_t s)
{
    const uint16_t z = cpu.flags & FZ;
    const uint32_t r = K == Arith::Add ? addxFlags<S>(d, s, flagX()) : subxFlags<S>(d, s, flagX());
    if (r & sizeMask<S>)
        cpu.flags &= ~FZ;
    else
        cpu.flags = uint16_t((cpu.flags & ~FZ) | z);
    return r;
}

template <Arith K, int S>
uint32_t opArithXReg(uint32_t pc, uint32_t op)
{
    const unsigned dx = (op >> 9) & 7;
    writeDn<S>(dx, arithX<K, S>(cpu.D[dx], cpu.D[op & 7]));
    return pc + 2;
}

template <Arith K, int S>
uint32_t opArithXMem(uint32_t pc, uint32_t op)
{
    pc += 2;
    const uint32_t s = readMem<S>(eaAddress<EPd, S>(pc, op & 7));
    const uint32_t a = eaAddress<EPd, S>(pc, (op >> 9) & 7);
    writeMem<S>(a, arithX<K, S>(readMem<S>(a), s), pc);
    return pc;
}

template <int S>
uint32_t opCmpm(uint32_t pc, uint32_t op)
{
    pc += 2;
    const uint32_t s = readMem<S>(eaAddress<EPi, S>(pc, op & 7));
    const uint32_t d = readMem<S>(eaAddress<EPi, S>(pc, (op >> 9) & 7));
    cmpFlags<S>(d, s);
    return pc;
}

template <Arith K, int S, int M>
uint32_t opArithImm(uint32_t pc, uint32_t op)
{
    pc += 2;
    const uint32_t s = fetchImmediate<S>(pc);
    Rmw<M, S> loc(pc, op & 7);
    loc.write(arith<K, S>(loc.read(), s));
    return pc;
}

template <int S, int M>
uint32_t opCmpi(uint32_t pc, uint32_t op)
{
    pc += 2;
    const uint32_t s = fetchImmediate<S>(pc);
    cmpFlags<S>(readEa<M, S>(pc, op & 7), s);
    return pc;
}

template <Arith K, int S, int M>
uint32_t opQuick(uint32_t pc, uint32_t op)
{
    pc += 2;
    const uint32_t q = ((op >> 9) & 7) ? (op >> 9) & 7 : 8;
    if constexpr (M == EAn) {
        uint32_t& a = cpu.A[op & 7];
        a = K == Arith::Add ? a + q : a - q;
    } else {
        Rmw<M, S> loc(pc, op & 7);
        loc.write(arith<K, S>(loc.read(), q));
    }
    return pc;
}

template <int S, int M>
uint32_t opNeg(uint32_t pc, uint32_t op)
{
    pc += 2;
    Rmw<M, S> loc(pc, op & 7);
    loc.write(subFlags<S>(0, loc.read()));
    return pc;
}

template <int S, int M>
uint32_t opNegx(uint32_t pc, uint32_t op)
{
    pc += 2;
    Rmw<M, S> loc(pc, op & 7);
    loc.write(arithX<Arith::Sub, S>(0, loc.read()));
    return pc;
}

// ---------------------------------------------------------------------------------------
template <bool Signed, int M>
uint32_t opMulW(uint32_t pc, uint32_t op)
{
    pc += 2;
    const uint32_t s = readEa<M, 2>(pc, op & 7);
    uint32_t& d = cpu.D[(op >> 9) & 7];
    const uint32_t r = Signed ? uint32_t(int32_t(int16_t(d)) * int32_t(int16_t(s))) : (d & 0xFFFF) * s;
    d = r;
    cpu.flags = flagsNZ<4>(r);
    return pc;
}

inline void divideOverflow() { cpu.flags = FV; }

template <bool Signed, int M>
uint32_t opDivW(uint32_t pc, uint32_t op)
{
    cpu.instrLatch = pc;
    pc += 2;
    const uint32_t s = readEa<M, 2>(pc, op & 7);
    uint32_t& d = cpu.D[(op >> 9) & 7];
    if (s == 0) {
        cpu.flags &= ~FC;
        return zeroDivide(pc);
    }
    if constexpr (Signed) {
        const int64_t dividend = int32_t(d), divisor = int16_t(s);
        const int64_t q = dividend / divisor, r = dividend % divisor;
        if (q < -32768 || q > 32767) {
            divideOverflow();
            return pc;
        }
        d = uint32_t(r) << 16 | (uint32_t(q) & 0xFFFF);
        cpu.flags = flagsNZ<2>(uint32_t(q));
    } else {
        const uint32_t q = d / s, r = d % s;
        if (q > 0xFFFF) {
            divideOverflow();
            return pc;
        }
        d = r << 16 | q;
        cpu.flags = flagsNZ<2>(q);
    }
    return pc;
}

// ---------------------------------------------------------------------------------------
// Decimal arithmetic. Invalid digits give the results the hardware gives: the binary sum
// corrected by the nibble carries. N and V keep their values; Z is only ever cleared.
inline uint32_t bcdAdd(uint32_t d, uint32_t s)
{
    const uint32_t x = flagX();
    const uint32_t ss = s + d + x;
    const uint32_t bc = ((s & d) | (~ss & s) | (~ss & d)) & 0x88;
    const uint32_t dc = (((ss + 0x66) ^ ss) & 0x110) >> 1;
    const uint32_t corf = (bc | dc) - ((bc | dc) >> 2);
    const uint32_t r = ss + corf;
    const uint32_t carry = ((bc | (ss & ~r)) >> 7) & 1;
    cpu.flags = uint16_t((cpu.flags & ~FC) | carry);
    if (r & 0xFF) cpu.flags &= ~FZ;
    cpu.x = uint8_t(carry);
    return r & 0xFF;
}

inline uint32_t bcdSub(uint32_t d, uint32_t s)
{
    const uint32_t x = flagX();
    const uint32_t dd = d - s - x;
    const uint32_t bc = ((~d & s) | (dd & ~d) | (dd & s)) & 0x88;
    const uint32_t corf = bc - (bc >> 2);
    const uint32_t r = dd - corf;
    const uint32_t borrow = ((bc | (~dd & r)) >> 7) & 1;
    cpu.flags = uint16_t((cpu.flags & ~FC) | borrow);
    if (r & 0xFF) cpu.flags &= ~FZ;
    cpu.x = uint8_t(borrow);
    return r & 0xFF;
}

template <bool Add>
uint32_t opBcdReg(uint32_t pc, uint32_t op)
{
    const unsigned dx = (op >> 9) & 7;
    const uint32_t s = cpu.D[op & 7] & 0xFF, d = cpu.D[dx] & 0xFF;
    writeDn<1>(dx, Add ? bcdAdd(d, s) : bcdSub(d, s));
    return pc + 2;
}

template <bool Add>
uint32_t opBcdMem(uint32_t pc, uint32_t op)
{
    pc += 2;
    const uint32_t s = readMem<1>(eaAddress<EPd, 1>(pc, op & 7));
    const uint32_t a = eaAddress<EPd, 1>(pc, (op >> 9) & 7);
    const uint32_t d = readMem<1>(a);
    writeMem<1>(a, Add ? bcdAdd(d, s) : bcdSub(d, s), pc);
    return pc;
}

template <int M>
uint32_t opNbcd(uint32_t pc, uint32_t op)
{
    pc += 2;
    Rmw<M, 1> loc(pc, op & 7);
    loc.write(bcdSub(0, loc.read()));
    return pc;
}

// ---------------------------------------------------------------------------------------
template <int S, int M>
uint32_t opChk(uint32_t pc, uint32_t op)
{
    cpu.instrLatch = pc;
    pc += 2;
    const int32_t bound = sext<S>(readEa<M, S>(pc, op & 7));
    const int32_t value = sext<S>(cpu.D[(op >> 9) & 7]);
    const uint16_t v = cpu.flags & FV;
    if (value < 0) {
        cpu.flags = uint16_t(FN | v);
        return chkTrap(pc);
    }
    if (value > bound) {
        cpu.flags = v;
        return chkTrap(pc);
    }
    cpu.flags = uint16_t(FN | v);
    return pc;
}

template <Arith K>
void buildAddSub(OpSlot* t, unsigned line)
{
    for (unsigned op = line; op < line + 0x1000; ++op) {
        const unsigned opmode = (op >> 6) & 7;
        const int m = eaOf(op);
        const int size = 1 << (opmode & 3);
        if (opmode == 3 || opmode == 7) {
            if (!allowed(EaSet::All, m)) continue;
            t[op] = opmode == 3 ? pickMode([]<int M>() { return slot<&opArithA<K, 2, M>>(); }, m)
                                : pickMode([]<int M>() { return slot<&opArithA<K, 4, M>>(); }, m);
        } else if (opmode < 3) {
            if (!allowed(EaSet::All, m) || (size == 1 && m == EAn)) continue;
            t[op] = pickSizeMode([]<int S, int M>() { return slot<&opArithToDn<K, S, M>>(); }, size, m);
        } else if (((op >> 3) & 7) < 2) {
            const bool memory = (op >> 3) & 1;
            static constexpr OpSlot reg[] = {slot<&opArithXReg<K, 1>>(), slot<&opArithXReg<K, 2>>(),
                                             slot<&opArithXReg<K, 4>>()};
            static constexpr OpSlot mem[] = {slot<&opArithXMem<K, 1>>(), slot<&opArithXMem<K, 2>>(),
                                             slot<&opArithXMem<K, 4>>()};
            t[op] = (memory ? mem : reg)[opmode & 3];
        } else if (allowed(EaSet::MemAlt, m)) {
            t[op] = pickSizeMode([]<int S, int M>() { return slot<&opArithToEa<K, S, M>>(); }, size, m);
        }
    }
}

}  // namespace

void buildArithGroup(OpSlot* t)
{
    buildAddSub<Arith::Add>(t, 0xD000);
    buildAddSub<Arith::Sub>(t, 0x9000);

    for (unsigned op = 0; op < 0x10000; ++op) {
        const int m = eaOf(op);
        const int size = sizeField(op);
        const unsigned hi = op & 0xFF00;
        if ((hi == 0x0400 || hi == 0x0600) && size && allowed(EaSet::DataAlt, m)) {
            t[op] = hi == 0x0600
                        ? pickSizeMode([]<int S, int M>() { return slot<&opArithImm<Arith::Add, S, M>>(); }, size, m)
                        : pickSizeMode([]<int S, int M>() { return slot<&opArithImm<Arith::Sub, S, M>>(); }, size, m);
        }
        if (hi == 0x0C00 && size && allowed(EaSet::Data & ~(1u << EImm), m)) {
            t[op] = pickSizeMode([]<int S, int M>() { return slot<&opCmpi<S, M>>(); }, size, m);
        }
        if ((op & 0xF000) == 0x5000 && size && allowed(EaSet::Alterable, m) && !(size == 1 && m == EAn)) {
            t[op] = (op & 0x100)
                        ? pickSizeMode([]<int S, int M>() { return slot<&opQuick<Arith::Sub, S, M>>(); }, size, m)
                        : pickSizeMode([]<int S, int M>() { return slot<&opQuick<Arith::Add, S, M>>(); }, size, m);
        }
        if ((hi == 0x4400 || hi == 0x4000) && size && allowed(EaSet::DataAlt, m)) {
            t[op] = hi == 0x4400 ? pickSizeMode([]<int S, int M>() { return slot<&opNeg<S, M>>(); }, size, m)
                                 : pickSizeMode([]<int S, int M>() { return slot<&opNegx<S, M>>(); }, size, m);
        }
        if ((op & 0xF000) == 0xB000) {
            const unsigned opmode = (op >> 6) & 7;
            if (opmode < 3 && allowed(EaSet::All, m) && !(opmode == 0 && m == EAn)) {
                t[op] = pickSizeMode([]<int S, int M>() { return slot<&opCmp<S, M>>(); }, 1 << opmode, m);
            } else if ((opmode == 3 || opmode == 7) && allowed(EaSet::All, m)) {
                t[op] = opmode == 3 ? pickMode([]<int M>() { return slot<&opCmpa<2, M>>(); }, m)
                                    : pickMode([]<int M>() { return slot<&opCmpa<4, M>>(); }, m);
            } else if (opmode >= 4 && ((op >> 3) & 7) == 1) {
                static constexpr OpSlot cmpm[] = {slot<&opCmpm<1>>(), slot<&opCmpm<2>>(), slot<&opCmpm<4>>()};
                t[op] = cmpm[opmode & 3];
            }
        }
        if ((op & 0xF0C0) == 0xC0C0 && allowed(EaSet::Data, m)) {
            t[op] = (op & 0x100) ? pickMode([]<int M>() { return slot<&opMulW<true, M>>(); }, m)
                                 : pickMode([]<int M>() { return slot<&opMulW<false, M>>(); }, m);
        }
        if ((op & 0xF0C0) == 0x80C0 && allowed(EaSet::Data, m)) {
            t[op] = (op & 0x100) ? pickMode([]<int M>() { return slot<&opDivW<true, M>>(); }, m)
                                 : pickMode([]<int M>() { return slot<&opDivW<false, M>>(); }, m);
        }
        if ((op & 0xF1F0) == 0xC100) t[op] = (op & 8) ? slot<&opBcdMem<true>>() : slot<&opBcdReg<true>>();
        if ((op & 0xF1F0) == 0x8100) t[op] = (op & 8) ? slot<&opBcdMem<false>>() : slot<&opBcdReg<false>>();
        if ((op & 0xFFC0) == 0x4800 && allowed(EaSet::DataAlt, m)) {
            t[op] = pickMode([]<int M>() { return slot<&opNbcd<M>>(); }, m);
        }
        if ((op & 0xF1C0) == 0x4180 && allowed(EaSet::Data, m)) {
            t[op] = pickMode([]<int M>() { return slot<&opChk<2, M>>(); }, m);
        }
        if ((op & 0xF1C0) == 0x4100 && allowed(EaSet::Data, m)) {
            t[op] = pickMode([]<int M>() { return slot<&opChk<4, M>>(); }, m);
        }
    }
}

}  // namespace m68k::ZEM_PATH
