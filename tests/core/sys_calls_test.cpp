// SYS operations through the dispatcher, with a GUI link that records what reaches it.
#include "core/guest_error.h"
#include "base/front_end.h"
#include "core/host_call.h"
#include "core/ring_buffer.h"
#include "core/sys_calls.h"
#include "base/version.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <unistd.h>

namespace {

struct FakeGui {
    std::string title;
    std::optional<std::string> clipboard;
    bool clipboardWorks = true;
    int openResult = ShellResult::Success;
    std::string openedFile, openedParameters;
    bool foreground = false;
};
FakeGui gui;

struct FakeFrontEnd : HeadlessFrontEnd {
    void setWindowTitle(const std::string& t) override { gui.title = t; }
    bool isForeground() override { return gui.foreground; }
    bool clipboardPut(const std::string& t) override
    {
        if (gui.clipboardWorks) gui.clipboard = t;
        return gui.clipboardWorks;
    }
    std::optional<std::string> clipboardText() override { return gui.clipboard; }
    int openFile(const std::string& f, const std::string& p) override
    {
        gui.openedFile = f;
        gui.openedParameters = p;
        return gui.openResult;
    }
};
FakeFrontEnd fakeFrontEnd;

constexpr uint32_t Buffer = 0x40000;
constexpr uint32_t Second = 0x50000;

class SysCallTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(memoryAllocate(1));
        sysInstallHostCalls();
    }
    static void TearDownTestSuite()
    {
        sysRemoveHostCalls();
        memoryRelease();
    }
    void SetUp() override
    {
        gui = FakeGui{};
        frontEndInstall(&fakeFrontEnd);
        sysResetState();
        memset(&cpu.D, 0, sizeof cpu.D);
        memset(&cpu.A, 0, sizeof cpu.A);
        cpu.flags = 0;
        cpu.hostCallPc = 0x30002;
    }
    void TearDown() override { frontEndInstall(nullptr); }

    static int32_t call(uint16_t word) { return hostCall((word >> 8) & 0xF, (word >> 4) & 0xF, word & 0xF); }
    static void putRaw(uint32_t a, const std::string& text)
    {
        guestWriteWord(a, uint16_t(text.size()));
        for (size_t i = 0; i < text.size(); ++i) guestWriteByte(a + 2 + uint32_t(i), uint8_t(text[i]));
    }
    static std::string readRaw(uint32_t a)
    {
        std::string s;
        for (uint32_t i = 0; i < guestReadWord(a); ++i) s += char(guestReadByte(a + 2 + i));
        return s;
    }
};

}  // namespace

TEST_F(SysCallTest, MachineFactsGoToTheNamedRegisters)
{
    EXPECT_EQ(call(0xA013), HostCallResult::KeepRegisters);
    const std::string& v = getVersionText();
    uint32_t expected = 0;
    for (size_t i = 0; i < 4; ++i) expected = expected << 8 | uint8_t(i < v.size() ? v[i] : 0);
    EXPECT_EQ(cpu.D[3], expected);
    EXPECT_EQ(cpu.D[4], 0x20u);
    EXPECT_EQ(call(0xA01D), HostCallResult::KeepRegisters);
    EXPECT_EQ(cpu.D[5], 4u);
    EXPECT_EQ(call(0xA026), HostCallResult::KeepRegisters);
    EXPECT_EQ(cpu.A[6], mem.ramSize);

    cpu.A[2] = Buffer;
    EXPECT_EQ(call(0xA02A), HostCallResult::KeepRegisters);
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    std::string name = host;
    if (name.size() <= 38) {
        EXPECT_EQ(readRaw(Buffer), name);
    }
    // Beyond RAM nothing is written (and nothing breaks).
    cpu.A[2] = mem.ramSize - 3;
    EXPECT_EQ(call(0xA02A), HostCallResult::KeepRegisters);
}

TEST_F(SysCallTest, RingsThroughTheirHandles)
{
    RingBuffer ring(512);
    uint32_t handle = ringRegister(&ring);
    cpu.D[2] = handle;
    cpu.D[1] = 0x11223344;
    cpu.flags = 0;
    EXPECT_EQ(call(0xA080), HostCallResult::KeepRegisters);  // empty
    EXPECT_TRUE(cpu.flags & CpuFlag::Z);
    EXPECT_EQ(cpu.D[1], 0x11223344u);
    EXPECT_EQ(call(0xA0A0), HostCallResult::KeepRegisters);
    EXPECT_FALSE(cpu.flags & CpuFlag::Z);

    for (unsigned i = 0; i < 511; ++i) {
        cpu.D[5] = 0xFFFFFF00 | i;
        call(0xA095);  // RingPut from D5
    }
    EXPECT_EQ(call(0xA0A0), HostCallResult::KeepRegisters);
    EXPECT_TRUE(cpu.flags & CpuFlag::Z);  // full
    cpu.D[5] = 0xEE;
    call(0xA095);  // dropped
    EXPECT_EQ(ring.count(), 511u);

    cpu.flags = CpuFlag::Z;
    EXPECT_EQ(call(0xA080), HostCallResult::KeepRegisters);
    EXPECT_FALSE(cpu.flags & CpuFlag::Z);
    EXPECT_EQ(cpu.D[1], 0u);  // zero-extended first byte
    ringUnregister(handle);

    // The handle is gone: nothing changes.
    cpu.D[1] = 0x55;
    cpu.flags = 0;
    call(0xA080);
    EXPECT_EQ(cpu.D[1], 0x55u);
    EXPECT_EQ(cpuGetSr() & 0x1F, 0);
    call(0xA0A0);
    EXPECT_TRUE(cpu.flags & CpuFlag::Z);
}

TEST_F(SysCallTest, WindowTitleLimits)
{
    cpu.A[0] = Buffer;
    putRaw(Buffer, "");
    EXPECT_EQ(call(0xA0C1), 0);
    EXPECT_EQ(gui.title, std::string("ZEM II ") + getReleaseVersion());
    putRaw(Buffer, std::string(63, 'x') + "\x60");
    EXPECT_EQ(call(0xA0C1), GuestError::BufferFull);
    putRaw(Buffer, std::string(62, 'x') + "\x60");
    EXPECT_EQ(call(0xA0C1), 0);
    EXPECT_EQ(gui.title, std::string(62, 'x') + "\u00a3");
    cpu.A[0] = mem.ramSize - 1;
    EXPECT_EQ(call(0xA0C1), GuestError::BadParameter);

    gui.foreground = true;
    cpu.D[1] = 7;
    EXPECT_EQ(call(0xA0C2), 0);
    EXPECT_EQ(cpu.D[1], 1u);
    frontEndInstall(nullptr);
    EXPECT_EQ(call(0xA0C2), 0);
    EXPECT_EQ(cpu.D[1], 0u);
    EXPECT_EQ(call(0xA0C3), 0);
}

TEST_F(SysCallTest, ClipboardLineEndsAndCharacterSets)
{
    cpu.A[3] = Buffer;
    putRaw(Buffer, "A\nB\r\nC\x60");
    EXPECT_EQ(call(0xA0D3), 0);
    EXPECT_EQ(gui.clipboard, "A\r\nB\r\nC\u00a3");

    gui.clipboardWorks = false;
    EXPECT_EQ(call(0xA0D3), GuestError::NotComplete);
    cpu.A[3] = mem.ramSize - 2;
    guestWriteWord(mem.ramSize - 2, 10);  // the text would run past RAM
    EXPECT_EQ(call(0xA0D3), GuestError::BadParameter);

    // Get before any fetch, and with D1 = 0, does nothing.
    cpu.D[1] = 1;
    cpu.A[4] = Second;
    guestWriteWord(Second, 0xBEEF);
    EXPECT_EQ(call(0xA0EC), HostCallResult::KeepRegisters);
    EXPECT_EQ(guestReadWord(Second), 0xBEEF);

    gui.clipboard = "x\r\ny\u20ac";
    EXPECT_EQ(call(0xA0E2), 0);
    EXPECT_EQ(cpu.D[2], 6u);  // "x\r\ny" + one byte for the euro sign, + 1
    cpu.D[1] = 0;
    EXPECT_EQ(call(0xA0EC), HostCallResult::KeepRegisters);
    EXPECT_EQ(guestReadWord(Second), 0xBEEF);
    cpu.D[1] = 1;
    EXPECT_EQ(call(0xA0EC), HostCallResult::KeepRegisters);
    EXPECT_EQ(readRaw(Second), "x\ny\xB5");

    // Too close to the end of RAM: refused whole.
    cpu.A[4] = mem.ramSize - 5;
    guestWriteWord(mem.ramSize - 5, 0xBEEF);
    EXPECT_EQ(call(0xA0EC), GuestError::BadParameter);
    EXPECT_EQ(guestReadWord(mem.ramSize - 5), 0xBEEF);

    // A long text is cut at 32767 bytes.
    gui.clipboard = std::string(40000, 'q');
    cpu.A[4] = Second;
    EXPECT_EQ(call(0xA0E0), 0);
    EXPECT_EQ(cpu.D[0], 40001u);
    EXPECT_EQ(call(0xA0EC), HostCallResult::KeepRegisters);
    EXPECT_EQ(guestReadWord(Second), 32767);

    gui.clipboard.reset();
    EXPECT_EQ(call(0xA0E0), GuestError::NotComplete);
}

TEST_F(SysCallTest, ExecuteHandsBothStringsOverAndMapsFailures)
{
    cpu.A[1] = Buffer;
    cpu.A[2] = Second;
    putRaw(Buffer, "%HOME%/f\x60.txt");
    putRaw(Second, "-x");
    EXPECT_EQ(call(0xA0F1), 0);
    EXPECT_EQ(gui.openedFile, "%HOME%/f\u00a3.txt");
    EXPECT_EQ(gui.openedParameters, "-x");

    const std::pair<int, int32_t> map[] = {
        {0, -3},   {2, -7},   {3, -7},   {5, -23},  {8, -3},  {26, -9}, {27, -1},
        {28, -13}, {29, -13}, {30, -13}, {31, -15}, {32, -7}, {11, -1}, {33, 0},
    };
    for (auto [shell, guest] : map) {
        gui.openResult = shell;
        EXPECT_EQ(call(0xA0F1), guest) << shell;
    }
    cpu.A[2] = mem.ramSize - 1;
    EXPECT_EQ(call(0xA0F1), GuestError::BadParameter);
    EXPECT_EQ(call(0xA0F7), HostCallResult::Illegal);
}

TEST_F(SysCallTest, ClearMemoryAndSaveArea)
{
    for (uint32_t a = 0x1FFF0; a < 0x20040; ++a) guestWriteByte(a, 0xFF);
    cpu.D[4] = 0x20020;
    call(0xA034);
    EXPECT_EQ(guestReadByte(0x1FFFF), 0xFF);
    EXPECT_EQ(guestReadByte(0x20000), 0);
    EXPECT_EQ(guestReadByte(0x2001F), 0);
    EXPECT_EQ(guestReadByte(0x20020), 0xFF);
    cpu.D[4] = 0x10000;  // not above the start: nothing
    guestWriteByte(0x20000, 0xFF);
    call(0xA034);
    EXPECT_EQ(guestReadByte(0x20000), 0xFF);
    cpu.D[4] = 0xFFFFFFFF;  // clamped to the end of RAM
    guestWriteByte(mem.ramSize - 1, 0xFF);
    call(0xA034);
    EXPECT_EQ(guestReadByte(mem.ramSize - 1), 0);

    for (unsigned i = 0; i < 8; ++i) {
        cpu.D[i] = 0xD0 + i;
        cpu.A[i] = 0xA0 + i;
    }
    call(0xA060);
    for (unsigned i = 0; i < 8; ++i) cpu.D[i] = cpu.A[i] = 0;
    call(0xA070);
    for (unsigned i = 0; i < 8; ++i) EXPECT_EQ(cpu.D[i], 0xD0 + i);
    for (unsigned i = 0; i < 7; ++i) EXPECT_EQ(cpu.A[i], 0xA0 + i);
    EXPECT_EQ(cpu.A[7], 0u);  // the stack pointer is not in the save area
}

TEST_F(SysCallTest, DebugPrintSkipsItsTextToTheNextEvenAddress)
{
    const struct {
        const char* text;
        uint32_t skip;
    } cases[] = {{"", 2}, {"a", 2}, {"ab", 4}, {"abc", 4}, {"abcd", 6}};
    for (const auto& c : cases) {
        cpu.hostCallPc = 0x30002;
        for (size_t i = 0; i <= strlen(c.text); ++i) guestWriteByte(0x30002 + uint32_t(i), uint8_t(c.text[i]));
        EXPECT_EQ(call(0xA0FF), HostCallResult::KeepRegisters);
        EXPECT_EQ(cpu.hostCallPc, 0x30002 + c.skip) << c.text;
    }
}
