// Instruction results: the 68020 additions through an assembled guest program, and the
// edge cases of the 68000 set where we define what the manual leaves open.
#include <array>

#include "cpu_fixture.h"

namespace {

constexpr uint32_t kResults = 0x3000;
constexpr uint16_t kX = 0x10, kN = 0x08, kZ = 0x04, kV = 0x02, kC = 0x01;

uint32_t result(unsigned i) { return guestReadLong(kResults + 4 * i); }
uint16_t ccrResult(unsigned i) { return guestReadWord(kResults + 4 * i); }

TEST_F(CpuTest, Additions68020ComputeTheManualsResults)
{
    ASSERT_TRUE(runProgram("ops020"));
    struct Expect {
        unsigned slot;
        uint32_t value;
        const char* what;
    };
    const Expect longs[] = {
        {0, 0x23, "BFEXTU register"},
        {1, 0xFFFFFF81, "BFEXTS wrapping field"},
        {2, 3, "BFFFO"},
        {4, 12, "BFFFO without a set bit gives offset + width"},
        {5, 0xD234567B, "BFCHG wrapping field"},
        {7, 0xD2B4567B, "BFINS register"},
        {8, 0xF0F0F0FA, "BFINS memory, first long"},
        {9, 0xBF0F0F0F, "BFINS memory, second long"},
        {10, 0xF0F0F0F0, "BFCLR with negative offset, first long"},
        {11, 0x0F0F0F0F, "BFCLR with negative offset, second long"},
        {12, 0x0F0F0F00, "BFEXTU 32 bits over five bytes"},
        {13, 200, "CAS equal stores the update"},
        {14, 200, "CAS unequal loads the compare register"},
        {15, 11, "CAS2 equal, first operand"},
        {16, 22, "CAS2 equal, second operand"},
        {17, 11, "CAS2 unequal, first compare register"},
        {18, 22, "CAS2 unequal, second compare register"},
        {24, 1, "CHK2 traps once"},
        {25, 0x12, "MULU.L 64-bit high"},
        {26, 0x34567800, "MULU.L 64-bit low"},
        {28, 0, "MULU.L 32-bit overflowed low part"},
        {29, 0xFFFFFFFF, "MULS.L 64-bit high"},
        {30, 0xFFFFFFEB, "MULS.L 64-bit low"},
        {31, 0x10000000, "DIVU.L 64-bit quotient"},
        {32, 0, "DIVU.L 64-bit remainder"},
        {33, 0xFFFFFFFD, "DIVSL.L quotient"},
        {34, 0xFFFFFFFF, "DIVSL.L remainder"},
        {36, 0x80000000, "DIVS.L overflow leaves the register"},
        {38, 0x34, "PACK register"},
        {39, 0x3537, "UNPK register"},
        {40, 0x12, "PACK memory"},
        {41, 0xFFFFFF80, "EXTB.L"},
        {42, 0x12345, "LINK.L displacement"},
        {43, 0, "UNLK restores the stack"},
        {44, 0, "RTD pops its arguments"},
        {45, 0x33, "memory indirect post-indexed"},
        {46, 0x44, "memory indirect pre-indexed"},
        {47, 0, "scaled index"},
        {48, 0x22, "PC-relative memory indirect"},
    };
    for (const auto& e : longs) EXPECT_EQ(result(e.slot), e.value) << e.what << " (slot " << e.slot << ")";
    const Expect flags[] = {
        {3, kZ, "BFFFO of an empty field"},
        {6, kN, "BFINS sets N from the inserted value"},
        {19, 0, "CMP2 inside"},
        {20, kZ, "CMP2 on the upper bound"},
        {21, kC, "CMP2 above"},
        {22, 0, "CMP2 signed bounds, inside"},
        {23, kC, "CMP2 signed bounds, below"},
        {27, kV | kZ, "MULU.L 32-bit overflow"},
        {35, kV, "DIVS.L $80000000 by -1"},
        {37, kV, "DIVU.L 64-bit quotient too large"},
    };
    for (const auto& e : flags) EXPECT_EQ(ccrResult(e.slot), e.value) << e.what << " (slot " << e.slot << ")";
}

// Register edge cases by instruction words: code, registers before, registers after.
struct RegisterCase {
    const char* what;
    std::array<uint16_t, 4> code;
    uint32_t d0, d1;
    uint8_t ccrBefore;
    uint32_t d0After;
    uint8_t ccrAfter;
};

class RegisterCases : public CpuTest, public ::testing::WithParamInterface<RegisterCase> {};

TEST_P(RegisterCases, ResultAndFlags)
{
    const RegisterCase& c = GetParam();
    loadCode({c.code[0], c.code[1], c.code[2], c.code[3]});
    cpu.D[0] = c.d0;
    cpu.D[1] = c.d1;
    cpu.flags = uint16_t(((c.ccrBefore & kN) ? CpuFlag::N : 0) | ((c.ccrBefore & kZ) ? CpuFlag::Z : 0) |
                         ((c.ccrBefore & kV) ? CpuFlag::V : 0) | ((c.ccrBefore & kC) ? CpuFlag::C : 0));
    cpu.x = (c.ccrBefore & kX) ? 1 : 0;
    step();
    EXPECT_EQ(cpu.D[0], c.d0After) << c.what;
    EXPECT_EQ(sr() & 0x1F, c.ccrAfter) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, RegisterCases,
    ::testing::Values(
        // ROXR.W D1,D0: count 40 rotates by 40 mod 17 = 6 through X.
        RegisterCase{"ROXR.W by 40", {0xE270}, 0x00000000, 40, kX, 0x00000400, 0},
        RegisterCase{"ROXR.W by 0 sets C to X", {0xE270}, 0x00001234, 0, kX | kV, 0x00001234, kX | kC},
        RegisterCase{"ROL.L by 32 keeps the value, C from bit 0", {0xE3B8}, 0x80000001, 32, 0, 0x80000001, kN | kC},
        RegisterCase{"ROR.L by 32 keeps the value, C from bit 31", {0xE2B8}, 0x80000001, 32, 0, 0x80000001, kN | kC},
        RegisterCase{"ASL.B sets V when the sign changes at any point", {0xE320}, 0x40, 2, 0, 0x00, kZ | kV | kX | kC},
        RegisterCase{"ASR.L by 40 fills with the sign", {0xE2A0}, 0x80000000, 40, 0, 0xFFFFFFFF, kN},
        RegisterCase{"LSR.W by 0 clears C, keeps X", {0xE268}, 0x8000, 0, kX | kC | kV, 0x8000, kX | kN},
        // Division overflow: N = Z = C = 0, V = 1, register unchanged.
        RegisterCase{"DIVS.W 40000 by 1", {0x81C1}, 40000, 1, kN | kZ | kC, 40000, kV},
        RegisterCase{"DIVU.W quotient above 65535", {0x80C1}, 0x00FFFFFF, 2, kZ, 0x00FFFFFF, kV},
        RegisterCase{"DIVS.W remainder keeps the dividend's sign", {0x81C1}, uint32_t(-7), 2, 0, 0xFFFFFFFD, kN},
        // Decimal arithmetic: N and V keep their values, Z is only cleared.
        RegisterCase{"ABCD 19 + 28", {0xC101}, 0x19, 0x28, kN | kV | kZ, 0x47, kN | kV},
        RegisterCase{"ABCD 99 + 1 carries, result 0 keeps Z", {0xC101}, 0x99, 0x01, kZ, 0x00, kZ | kX | kC},
        RegisterCase{"SBCD 10 - 1", {0x8101}, 0x10, 0x01, 0, 0x09, 0},
        // CHK: register above the bound traps with N = 0; below zero with N = 1.
        RegisterCase{"CHK.W inside sets N", {0x4181}, 3, 5, kZ | kC | kV, 3, kN | kV},
        RegisterCase{"MOVEQ", {0x70FF}, 0, 0, kX | kV | kC, 0xFFFFFFFF, kX | kN}),
    [](const auto& info) { return caseLabel(info.param.what); });

TEST_F(CpuTest, ChkTrapsWithNFromTheSide)
{
    for (const auto& [value, n] : {std::pair{10u, false}, std::pair{uint32_t(-1), true}}) {
        loadCode({0x4181});  // CHK.W D1,D0
        cpu.D[0] = value;
        cpu.D[1] = 5;
        step();
        EXPECT_EQ(pc(), kHandler);
        const Frame f = frameAt(cpu.A[7]);
        EXPECT_EQ(f.formatVector, 0x2018);
        EXPECT_EQ(f.pc, kCode + 2);
        EXPECT_EQ(f.latch, kCode);
        EXPECT_EQ((f.sr & kN) != 0, n) << value;
    }
}

TEST_F(CpuTest, MoveAcceptsPcRelativeDestination)
{
    loadCode({0x35C0, 0x0010});  // MOVE.W D0,(16,PC)
    cpu.D[0] = 0xBEEF;
    step();
    EXPECT_EQ(guestReadWord(kCode + 2 + 0x10), 0xBEEF);
    EXPECT_EQ(pc(), kCode + 4);
}

TEST_F(CpuTest, MovemPredecrementStoresTheBaseAsItIsAtThatMoment)
{
    loadCode({0x48E0, 0x00C0});  // MOVEM.L A0-A1,-(A0): A1 stored first, then A0
    cpu.A[0] = 0x5000;
    cpu.A[1] = 0x1111;
    step();
    EXPECT_EQ(cpu.A[0], 0x4FF8u);
    EXPECT_EQ(guestReadLong(0x4FFC), 0x1111u);
    EXPECT_EQ(guestReadLong(0x4FF8), 0x4FF8u);
}

TEST_F(CpuTest, MovemLoadsSignExtendedWordsAndPostincrements)
{
    loadCode({0x4C98, 0x0003});  // MOVEM.W (A0)+,D0-D1
    cpu.A[0] = 0x5000;
    poke(0x5000, {0x8001, 0x0002});
    step();
    EXPECT_EQ(cpu.D[0], 0xFFFF8001u);
    EXPECT_EQ(cpu.D[1], 2u);
    EXPECT_EQ(cpu.A[0], 0x5004u);
}

TEST_F(CpuTest, TasSetsFlagsFromTheByteAsRead)
{
    loadCode({0x4AD0});  // TAS (A0)
    cpu.A[0] = 0x5000;
    guestWriteByte(0x5000, 0x00);
    step();
    EXPECT_EQ(guestReadByte(0x5000), 0x80);
    EXPECT_EQ(sr() & 0x0F, kZ);
}

TEST_F(CpuTest, BranchWith32BitDisplacement)
{
    loadCode({0x60FF, 0x0000, 0x1000});  // BRA.L *+2+$1000
    step();
    EXPECT_EQ(pc(), kCode + 2 + 0x1000);
    loadCode({0x61FF, 0x0000, 0x0100});  // BSR.L
    step();
    EXPECT_EQ(pc(), kCode + 2 + 0x100);
    EXPECT_EQ(guestReadLong(cpu.A[7]), kCode + 6);
}

}  // namespace
