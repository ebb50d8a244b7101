// MOVE, MOVEA and MOVEQ.
#include "cpu/flags.h"
#include "cpu/opcode_table.h"
#include "cpu/operands.h"
#include "cpu/processor_path.h"
#include "cpu/sizes.h"
#include "cpu/threaded_dispatch.h"

namespace m68k::ZEM_PATH {
namespace {

template <int S, int Src, int Dst>
uint32_t opMove(uint32_t pc, uint32_t op)
{
    pc += 2;
    const uint32_t v = readEa<Src, S>(pc, op & 7);
    writeEa<Dst, S>(pc, (op >> 9) & 7, v);
    cpu.flags = flagsNZ<S>(v);
    return pc;
}

template <int S, int Src>
uint32_t opMovea(uint32_t pc, uint32_t op)
{
    pc += 2;
    const uint32_t v = readEa<Src, S>(pc, op & 7);
    cpu.A[(op >> 9) & 7] = uint32_t(sext<S>(v));
    return pc;
}

uint32_t opMoveq(uint32_t pc, uint32_t op)
{
    const uint32_t v = uint32_t(int8_t(op));
    cpu.D[(op >> 9) & 7] = v;
    cpu.flags = flagsNZ<4>(v);
    return pc + 2;
}

template <int S>
OpSlot moveHandler(int src, int dst)
{
    return pickModeMode([]<int A, int B>() { return slot<&opMove<S, A, B>>(); }, src, dst);
}

}  // namespace

void buildMoveGroup(OpSlot* t)
{
    static constexpr int kMoveSize[4] = {0, 1, 4, 2};  // bits 13-12
    for (unsigned op = 0x1000; op < 0x4000; ++op) {
        const int size = kMoveSize[(op >> 12) & 3];
        const int src = eaOf(op);
        const int dst = eaIndex((op >> 6) & 7, (op >> 9) & 7);
        if (!allowed(EaSet::All, src) || (size == 1 && src == EAn)) continue;
        if (dst == EAn) {
            if (size == 1) continue;
            t[op] = size == 2 ? pickMode([]<int M>() { return slot<&opMovea<2, M>>(); }, src)
                              : pickMode([]<int M>() { return slot<&opMovea<4, M>>(); }, src);
            continue;
        }
        if (!allowed(EaSet::MoveDest, dst)) continue;
        t[op] = size == 1 ? moveHandler<1>(src, dst) : size == 2 ? moveHandler<2>(src, dst) : moveHandler<4>(src, dst);
    }
    for (unsigned op = 0x7000; op < 0x8000; ++op)
        if (!(op & 0x100)) t[op] = slot<&opMoveq>();
}

}  // namespace m68k::ZEM_PATH
