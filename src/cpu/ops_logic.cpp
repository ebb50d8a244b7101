// Logical operations: AND, OR, EOR, NOT, their immediate forms and the immediate forms on
// CCR and SR, and EXG.
#include "cpu/exception_entry.h"
#include "cpu/flags.h"
#include "cpu/guest_access.h"
#include "cpu/opcode_table.h"
#include "cpu/operands.h"
#include "cpu/processor_path.h"
#include "cpu/threaded_dispatch.h"

namespace m68k::ZEM_PATH {
namespace {

enum class Logic { And, Or, Eor };

template <Logic K>
constexpr uint32_t apply(uint32_t a, uint32_t b)
{
    if constexpr (K == Logic::And)
        return a & b;
    else if constexpr (K == Logic::Or)
        return a | b;
    else
        return a ^ b;
}

template <Logic K, int S, int M>
uint32_t opLogicToDn(uint32_t pc, uint32_t op)
{
    pc += 2;
    const unsigned dn = (op >> 9) & 7;
    const uint32_t r = apply<K>(cpu.D[dn], readEa<M, S>(pc, op & 7));
    writeDn<S>(dn, r);
    logicFlags<S>(r);
    return pc;
}

template <Logic K, int S, int M>
uint32_t opLogicToEa(uint32_t pc, uint32_t op)
{
    pc += 2;
    Rmw<M, S> loc(pc, op & 7);
    const uint32_t r = apply<K>(loc.read(), cpu.D[(op >> 9) & 7]);
    loc.write(r);
    logicFlags<S>(r);
    return pc;
}

template <Logic K, int S, int M>
uint32_t opLogicImm(uint32_t pc, uint32_t op)
{
    pc += 2;
    const uint32_t s = fetchImmediate<S>(pc);
    Rmw<M, S> loc(pc, op & 7);
    const uint32_t r = apply<K>(loc.read(), s);
    loc.write(r);
    logicFlags<S>(r);
    return pc;
}

template <int S, int M>
uint32_t opNot(uint32_t pc, uint32_t op)
{
    pc += 2;
    Rmw<M, S> loc(pc, op & 7);
    const uint32_t r = ~loc.read();
    loc.write(r);
    logicFlags<S>(r);
    return pc;
}

template <Logic K>
uint32_t opLogicCcr(uint32_t pc, uint32_t)
{
    flagsFromCcr(uint8_t(apply<K>(ccrFromFlags(), fetch16(pc + 2)) & 0x1F));
    return pc + 4;
}

template <Logic K>
uint32_t opLogicSr(uint32_t pc, uint32_t)
{
    if (!supervisor()) return privilegeViolation(pc);
    const uint16_t sr = uint16_t(apply<K>(srWord(), fetch16(pc + 2)));
    setSrWord(sr, pc + 4);
    return pc + 4;
}

uint32_t opExgDD(uint32_t pc, uint32_t op)
{
    std::swap(cpu.D[(op >> 9) & 7], cpu.D[op & 7]);
    return pc + 2;
}
uint32_t opExgAA(uint32_t pc, uint32_t op)
{
    std::swap(cpu.A[(op >> 9) & 7], cpu.A[op & 7]);
    return pc + 2;
}
uint32_t opExgDA(uint32_t pc, uint32_t op)
{
    std::swap(cpu.D[(op >> 9) & 7], cpu.A[op & 7]);
    return pc + 2;
}

template <Logic K>
void buildRegisterForm(OpSlot* t, unsigned line)
{
    for (unsigned op = line; op < line + 0x1000; ++op) {
        const unsigned opmode = (op >> 6) & 7;
        const int m = eaOf(op);
        if (opmode == 3 || opmode == 7) continue;
        const int size = 1 << (opmode & 3);
        if (opmode < 3) {
            if (allowed(EaSet::Data, m))
                t[op] = pickSizeMode([]<int S, int M>() { return slot<&opLogicToDn<K, S, M>>(); }, size, m);
        } else if (allowed(EaSet::MemAlt, m)) {
            t[op] = pickSizeMode([]<int S, int M>() { return slot<&opLogicToEa<K, S, M>>(); }, size, m);
        }
    }
}

}  // namespace

void buildLogicGroup(OpSlot* t)
{
    buildRegisterForm<Logic::And>(t, 0xC000);
    buildRegisterForm<Logic::Or>(t, 0x8000);
    for (unsigned op = 0xB000; op < 0xC000; ++op) {
        const unsigned opmode = (op >> 6) & 7;
        const int m = eaOf(op);
        if (opmode >= 4 && opmode != 7 && allowed(EaSet::DataAlt, m))
            t[op] = pickSizeMode([]<int S, int M>() { return slot<&opLogicToEa<Logic::Eor, S, M>>(); },
                                 1 << (opmode & 3), m);
    }
    for (unsigned op = 0; op < 0x0C00; ++op) {
        const int m = eaOf(op);
        const int size = sizeField(op);
        if (!size || !allowed(EaSet::DataAlt, m)) continue;
        switch (op & 0xFF00) {
        case 0x0000:
            t[op] = pickSizeMode([]<int S, int M>() { return slot<&opLogicImm<Logic::Or, S, M>>(); }, size, m);
            break;
        case 0x0200:
            t[op] = pickSizeMode([]<int S, int M>() { return slot<&opLogicImm<Logic::And, S, M>>(); }, size, m);
            break;
        case 0x0A00:
            t[op] = pickSizeMode([]<int S, int M>() { return slot<&opLogicImm<Logic::Eor, S, M>>(); }, size, m);
            break;
        default:
            break;
        }
    }
    t[0x003C] = slot<&opLogicCcr<Logic::Or>>();
    t[0x023C] = slot<&opLogicCcr<Logic::And>>();
    t[0x0A3C] = slot<&opLogicCcr<Logic::Eor>>();
    t[0x007C] = slot<&opLogicSr<Logic::Or>>();
    t[0x027C] = slot<&opLogicSr<Logic::And>>();
    t[0x0A7C] = slot<&opLogicSr<Logic::Eor>>();
    for (unsigned op = 0x4600; op < 0x46C0; ++op) {
        const int m = eaOf(op);
        if (allowed(EaSet::DataAlt, m))
            t[op] = pickSizeMode([]<int S, int M>() { return slot<&opNot<S, M>>(); }, sizeField(op), m);
    }
    for (unsigned r = 0; r < 8; ++r)
        for (unsigned q = 0; q < 8; ++q) {
            t[0xC140 | r << 9 | q] = slot<&opExgDD>();
            t[0xC148 | r << 9 | q] = slot<&opExgAA>();
            t[0xC188 | r << 9 | q] = slot<&opExgDA>();
        }
}

}  // namespace m68k::ZEM_PATH
