// Both keyboard drivers: host key events in, the exact ring bytes and matrix bits out;
// hot keys, the break key, the lock bytes, inactive and minimised windows, and the two
// INP operations on the processor's registers.
#include "input_fixture.h"

#include "core/host_call.h"

namespace {

using namespace inputtest;

// Set-1 codes of the keys the cases press ($80 added for extended keys).
namespace K {
constexpr uint8_t Esc = 0x01, Two = 0x03, Tab = 0x0F, Q = 0x10, Return = 0x1C, LCtrl = 0x1D, A = 0x1E, C = 0x2E,
                  LShift = 0x2A, RShift = 0x36, LAlt = 0x38, Space = 0x39, Caps = 0x3A, F1 = 0x3B, F4 = 0x3E,
                  NumLock = 0x45, Scroll = 0x46, Kp7 = 0x47, Extra = 0x56, F12 = 0x58, Yen = 0x7D, NextTrack = 0x99,
                  KpEnter = 0x9C, RCtrl = 0x9D, Mute = 0xA0, RAlt = 0xB8, Pause = 0xC5, Home = 0xC7, PgUp = 0xC9,
                  Left = 0xCB, End = 0xCF, LWin = 0xDB, Grave = 0x29;
}  // namespace K

// One step of a case: press, release, tap (press then release), or a press that the
// host's auto-repeat made.
struct Step {
    char kind;  // 'p', 'r', 't', 'R'
    uint8_t scan;
    std::u32string text = {};
};

struct KeyCase {
    const char* name;
    std::vector<Step> steps;
    std::vector<uint8_t> ring;
    int altGr = 0;
    int legacyHomeEnd = 0;
    bool numLock = true;
};

void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.name; }

class KeyCases : public InputTest, public ::testing::WithParamInterface<KeyCase> {
protected:
    void run(int driver)
    {
        const KeyCase& c = GetParam();
        settings.KeyboardDriver = uint8_t(driver);
        settings.AltGr = uint8_t(c.altGr);
        settings.LegacyHomeEndKeys = uint8_t(c.legacyHomeEnd);
        testLocks.numLock = c.numLock;
        for (const Step& s : c.steps) {
            if (s.kind == 'p' || s.kind == 't') press(s.scan, s.text);
            if (s.kind == 'R') press(s.scan, s.text, true);
            if (s.kind == 'r' || s.kind == 't') release(s.scan);
        }
        EXPECT_EQ(ringBytes(), c.ring);
    }
};

class VrosEDriver : public KeyCases {};
class WindowsDriver : public KeyCases {};

TEST_P(VrosEDriver, PutsScanCodes) { run(KeyboardDriverId::VrosE); }
TEST_P(WindowsDriver, PutsGuestCodes) { run(KeyboardDriverId::Windows); }

INSTANTIATE_TEST_SUITE_P(
    Keys, VrosEDriver,
    ::testing::Values(
        KeyCase{"PlainKey", {{'t', K::A, U"a"}}, {0x1E, 0x9E}},
        KeyCase{"RightCtrlIsExtended", {{'t', K::RCtrl}}, {0xE0, 0x1D, 0xE0, 0x9D}},
        KeyCase{"NumLockPutsNothing", {{'t', K::NumLock}}, {}},
        KeyCase{"KeypadKeys", {{'t', K::Kp7, U"7"}, {'t', K::KpEnter, U"\r"}}, {0x47, 0xC7, 0xE0, 0x1C, 0xE0, 0x9C}},
        KeyCase{"RightAltAsAltGr", {{'t', K::RAlt}}, {0xE0, 0x38, 0xE0, 0xB8}, 0},
        KeyCase{"RightAltAsAlt", {{'t', K::RAlt}}, {0x38, 0xB8}, 1},
        KeyCase{"RightAltAsCtrl", {{'t', K::RAlt}}, {0x1D, 0x9D}, 2},
        KeyCase{"WindowsKeyAndPressesUnderIt",
                {{'p', K::LWin}, {'t', K::A, U"a"}, {'r', K::LWin}, {'t', K::A, U"a"}},
                {0x9E, 0x1E, 0x9E}},
        KeyCase{"AltTabStaysWithTheHost", {{'p', K::LAlt}, {'t', K::Tab, U"\t"}, {'r', K::LAlt}}, {0x38, 0x8F, 0xB8}},
        KeyCase{"CtrlAltTabIsPassed",
                {{'p', K::LCtrl}, {'p', K::LAlt}, {'t', K::Tab}, {'r', K::LAlt}, {'r', K::LCtrl}},
                {0x1D, 0x38, 0x0F, 0x8F, 0xB8, 0x9D}},
        KeyCase{"MediaKeysIgnoredOthersPassed", {{'t', K::Mute}, {'t', K::NextTrack}}, {0xE0, 0x19, 0xE0, 0x99}},
        KeyCase{"RepeatsAreNotScanCodes",
                {{'p', K::A, U"a"}, {'R', K::A, U"a"}, {'R', K::A, U"a"}, {'r', K::A}},
                {0x1E, 0x9E}},
        KeyCase{"ExtraKeyLeftOfZ", {{'t', K::Extra, U"<"}}, {0x56, 0xD6}},
        KeyCase{"YenKey", {{'t', K::Yen}}, {0x7D, 0xFD}},
        KeyCase{"AltCtrlShiftTabIsFD",
                {{'p', K::LShift}, {'p', K::LCtrl}, {'p', K::LAlt}, {'p', K::Tab}},
                {0x2A, 0x1D, 0x38, 0xFD}},
        KeyCase{"AltF4IsTheGuests", {{'p', K::LAlt}, {'t', K::F4}, {'r', K::LAlt}}, {0x38, 0x3E, 0xBE, 0xB8}},
        KeyCase{"ShiftCtrlF12ReleaseOnly", {{'p', K::LShift}, {'p', K::LCtrl}, {'t', K::F12}}, {0x2A, 0x1D, 0xD8}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Keys, WindowsDriver,
    ::testing::Values(
        KeyCase{"Letter", {{'t', K::A, U"a"}}, {0x61}},
        KeyCase{"ShiftedLetterByItsCharacter", {{'p', K::LShift}, {'t', K::A, U"A"}, {'r', K::LShift}}, {0x41}},
        KeyCase{"RepeatsAreKeyDowns", {{'p', K::A, U"a"}, {'R', K::A, U"a"}, {'r', K::A}}, {0x61, 0x61}},
        KeyCase{"ShiftLeft", {{'p', K::LShift}, {'t', K::Left}}, {0xC4}},
        KeyCase{"AltCtrlShiftLeft", {{'p', K::LAlt}, {'p', K::LCtrl}, {'p', K::RShift}, {'t', K::Left}}, {0xC7}},
        KeyCase{"CtrlHomeIsDocumentStart", {{'p', K::LCtrl}, {'t', K::Home}}, {0xD5}},
        KeyCase{"ShiftHomeLine", {{'p', K::LShift}, {'t', K::Home}, {'t', K::End}}, {0xC5, 0xCD}},
        KeyCase{"ShiftHomeDocument", {{'p', K::LShift}, {'t', K::Home}, {'t', K::End}}, {0xD5, 0xDD}, 0, 1},
        KeyCase{"PageUpIgnoresShift", {{'p', K::LShift}, {'t', K::PgUp}}, {0xD4}},
        KeyCase{"CtrlCIsThreeWithoutItsCharacter", {{'p', K::LCtrl}, {'t', K::C, U"\x03"}}, {0x03}},
        KeyCase{"AltGrQOnAGermanLayout", {{'p', K::RAlt}, {'t', K::Q, U"@"}}, {0x40}},
        KeyCase{"FunctionKeysInFourStates",
                {{'t', K::F1},
                 {'p', K::LShift},
                 {'t', K::F1},
                 {'p', K::LCtrl},
                 {'t', K::F1},
                 {'r', K::LShift},
                 {'t', K::F1}},
                {0xE8, 0xEA, 0xEB, 0xE9}},
        KeyCase{"ReturnEscapeSpace",
                {{'t', K::Return, U"\r"}, {'t', K::Esc, U"\x1b"}, {'t', K::Space, U" "}},
                {0x0A, 0x1B, 0x20}},
        KeyCase{"ShiftReturnAndShiftSpace",
                {{'p', K::LShift}, {'t', K::Return, U"\r"}, {'t', K::Space, U" "}},
                {0xFE, 0xFC}},
        KeyCase{"CtrlShiftDigit", {{'p', K::LCtrl}, {'p', K::LShift}, {'t', K::Two, U"@"}}, {0xBC}},
        KeyCase{"CapsLockKey", {{'t', K::Caps}}, {0xE0}}, KeyCase{"KeypadWithNumLock", {{'t', K::Kp7, U"7"}}, {0x37}},
        KeyCase{"KeypadWithoutNumLockIsHome", {{'t', K::Kp7}}, {0xC1}, 0, 0, false},
        KeyCase{"CharactersThroughTheTable",
                {{'t', K::Grave, U"`"}, {'t', K::A, U"é"}, {'t', K::A, U"€"}, {'t', K::A, U"æ"}, {'t', K::A, U"Ж"}},
                {0x9F, 0x83, 0xB5}},
        KeyCase{"AltLetterIsASystemCharacter", {{'p', K::LAlt}, {'t', K::A, U"a"}}, {0x61}},
        KeyCase{"CtrlAltLetterIsItsCtrlCode", {{'p', K::LCtrl}, {'p', K::LAlt}, {'t', K::A, U"a"}}, {0x01}},
        KeyCase{"AltF4IsConsumed", {{'p', K::LAlt}, {'t', K::F4}, {'r', K::LAlt}}, {}},
        KeyCase{"AltCtrlShiftTabIsFD", {{'p', K::LShift}, {'p', K::LCtrl}, {'p', K::LAlt}, {'t', K::Tab}}, {0xFD}},
        KeyCase{"UnknownKeyAndModifiersAlone", {{'t', K::Mute}, {'t', K::LShift}, {'t', K::RCtrl}}, {}},
        KeyCase{"CtrlPauseWithoutBreak", {{'p', K::LCtrl}, {'t', K::Pause}}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InputTest, UnmappedHostKeyIsIgnored)
{
    for (int driver : {KeyboardDriverId::VrosE, KeyboardDriverId::Windows}) {
        settings.KeyboardDriver = uint8_t(driver);
        EXPECT_FALSE(keyboardKeyEvent({hostKeyFromNative(0), true, false, U"x"}));
        EXPECT_FALSE(keyboardKeyEvent({hostKeyFromNative(8 + 240), true, false, U"x"}));  // KEY_UNKNOWN
        EXPECT_TRUE(ringBytes().empty());
    }
}

// The matrix bit of a key: byte row, bit column - 1.
bool matrixBit(uint8_t position) { return (keyboardMatrix()[position >> 4] >> ((position & 15) - 1)) & 1; }

TEST_F(InputTest, WindowsDriverKeepsTheMatrixWhileKeysAreDown)
{
    settings.KeyboardDriver = KeyboardDriverId::Windows;
    struct {
        uint8_t scan;
        uint8_t position;
    } const keys[] = {
        {K::A, 0x45},        // by scan code (the letter has no virtual-key position)
        {K::LShift, 0x71},   // by virtual key
        {K::KpEnter, 0xE2},  // extended Return
        {K::RCtrl, 0x81},    // extended Ctrl
        {K::Left, 0x12},    {K::F1, 0x02},
    };
    for (const auto& k : keys) {
        press(k.scan);
        EXPECT_TRUE(matrixBit(k.position)) << int(k.scan);
    }
    int bits = 0;
    for (uint8_t row : keyboardMatrix()) bits += __builtin_popcount(row);
    EXPECT_EQ(bits, 6);
    release(K::A);
    EXPECT_FALSE(matrixBit(0x45));
    EXPECT_TRUE(matrixBit(0x71));
    // Deactivation forgets every key.
    keyboardSetActive(false);
    EXPECT_EQ(keyboardMatrix(), (std::array<uint8_t, KeyMatrixSize>{}));
}

TEST_F(InputTest, VrosEDriverLeavesTheMatrixAlone)
{
    settings.KeyboardDriver = KeyboardDriverId::VrosE;
    press(K::A);
    EXPECT_EQ(keyboardMatrix(), (std::array<uint8_t, KeyMatrixSize>{}));
}

TEST_F(InputTest, MinimisedVrosEDropsPressesButModifiersAndReleases)
{
    settings.KeyboardDriver = KeyboardDriverId::VrosE;
    keyboardSetMinimised(true);
    press(K::A);
    release(K::A);
    press(K::LShift);
    press(K::RAlt);
    EXPECT_EQ(ringBytes(), (std::vector<uint8_t>{0x9E, 0x2A, 0xE0, 0x38}));
    // pushScanCode on its own follows the same rule.
    keyboardSetMinimised(false);
    keyboardSetActive(false);
    ringBytes();
    pushScanCode(true, K::A);
    pushScanCode(true, K::Scroll);
    pushScanCode(true, K::RCtrl);
    pushScanCode(false, K::A);
    EXPECT_EQ(ringBytes(), (std::vector<uint8_t>{0x46, 0xE0, 0x1D, 0x9E}));
}

TEST_F(InputTest, LosingTheFocusReleasesHeldKeys)
{
    settings.KeyboardDriver = KeyboardDriverId::VrosE;
    press(K::LShift);
    press(K::A);
    press(K::RAlt);
    keyboardSetActive(false);
    EXPECT_EQ(ringBytes(), (std::vector<uint8_t>{0x2A, 0x1E, 0xE0, 0x38, 0x9E, 0xAA, 0xE0, 0xB8}));
    // Back in front, no modifier is still thought down.
    keyboardSetActive(true);
    settings.KeyboardDriver = KeyboardDriverId::Windows;
    tap(K::Left);
    EXPECT_EQ(ringBytes(), (std::vector<uint8_t>{0xC0}));
}

TEST_F(InputTest, HotKeysInBothDrivers)
{
    for (int driver : {KeyboardDriverId::VrosE, KeyboardDriverId::Windows}) {
        SCOPED_TRACE(driver);
        settings.KeyboardDriver = uint8_t(driver);
        host = RecordingHost{};
        press(K::LShift);
        press(K::RCtrl);
        tap(K::F12);
        EXPECT_EQ(host.toggles, 1);
        EXPECT_EQ(host.exits, 0);
        press(K::Scroll);
        EXPECT_GE(host.exits, 1);
        release(K::Scroll);
        release(K::RCtrl);
        release(K::LShift);
        ringBytes();
        // Without both modifiers they are ordinary keys.
        host = RecordingHost{};
        tap(K::F12);
        EXPECT_EQ(host.toggles + host.exits, 0);
        EXPECT_FALSE(ringBytes().empty());
    }
}

TEST_F(InputTest, VrosEHotKeysNeedAnActiveWindow)
{
    settings.KeyboardDriver = KeyboardDriverId::VrosE;
    keyboardSetActive(false);
    press(K::LShift);
    press(K::LCtrl);
    press(K::F12);
    press(K::Scroll);
    EXPECT_EQ(host.toggles + host.exits, 0);
    // Only the modifiers and Scroll Lock pass while inactive.
    EXPECT_EQ(ringBytes(), (std::vector<uint8_t>{0x2A, 0x1D, 0x46}));
}

TEST_F(InputTest, BreakKeySetsTraceOnlyWhenTheGuestArmsIt)
{
    for (int driver : {KeyboardDriverId::VrosE, KeyboardDriverId::Windows}) {
        SCOPED_TRACE(driver);
        settings.KeyboardDriver = uint8_t(driver);
        // The "Windows" driver knows Break as Ctrl+Pause, the scan-code driver as Pause.
        const bool ctrl = driver == KeyboardDriverId::Windows;
        for (uint8_t armed : {0, 2, 1}) {
            cpu.srSystem = 0x20;
            guestWriteByte(KeyboardAddress::BreakEnabled, armed);
            if (ctrl) press(K::LCtrl);
            tap(K::Pause);
            if (ctrl) release(K::LCtrl);
            EXPECT_EQ(cpu.srSystem & SrBit::T1, armed == 1 ? SrBit::T1 : 0) << int(armed);
            const std::vector<uint8_t> bytes = ringBytes();
            if (!ctrl) {
                EXPECT_EQ(bytes.empty(), armed == 1);
            }
        }
    }
}

TEST_F(InputTest, LockBytesFollowTheHostAndTrackedToggles)
{
    testLocks = {true, true, false};
    pushKey(0x41);
    EXPECT_EQ(guestReadByte(KeyboardAddress::NumLock), 0xFF);
    EXPECT_EQ(guestReadByte(KeyboardAddress::CapsLock), 0xFF);
    cpu.D[7] = 0x12345678;
    EXPECT_EQ(inpGetCapsLock(0), HostCallResult::KeepRegisters);
    EXPECT_EQ(cpu.D[7], 0xFFu);

    // Without a host answer the lock keys' own presses count.
    keyboardSetLockKeysReader([]() -> std::optional<HostLockKeys> { return std::nullopt; });
    settings.KeyboardDriver = KeyboardDriverId::Windows;
    tap(K::Caps);
    EXPECT_EQ(guestReadByte(KeyboardAddress::CapsLock), 0x00);
    EXPECT_EQ(inpGetCapsLock(0), HostCallResult::KeepRegisters);
    EXPECT_EQ(cpu.D[7], 0u);
    tap(K::NumLock);
    tap(K::A, U"a");
    EXPECT_EQ(guestReadByte(KeyboardAddress::NumLock), 0x00);
}

TEST_F(InputTest, GetKeyStateCopiesTheMatrixAndAnswersLiveModifiers)
{
    settings.KeyboardDriver = KeyboardDriverId::Windows;
    constexpr uint32_t Buffer = 0x40000;
    for (uint32_t i = 0; i < KeyMatrixSize; ++i) guestWriteByte(Buffer + i, 0xAA);
    press(K::LShift);
    press(K::RAlt);
    press(K::A);
    cpu.A[2] = Buffer;
    const int32_t result = inpGetKeyState(2);
    EXPECT_EQ(result, 0x81);  // Shift, right Alt
    const std::array<uint8_t, KeyMatrixSize> matrix = keyboardMatrix();
    for (uint32_t i = 0; i < KeyMatrixSize; ++i) EXPECT_EQ(guestReadByte(Buffer + i), matrix[i]) << i;
    press(K::LCtrl);
    press(K::LAlt);
    release(K::RAlt);
    EXPECT_EQ(inpGetKeyState(2), 0x07);
    // A buffer beyond RAM is an illegal call.
    cpu.A[2] = mem.ramSize - 8;
    EXPECT_EQ(inpGetKeyState(2), HostCallResult::Illegal);
}

TEST_F(InputTest, KeyBytesAnnounceTheRingToTheGuest)
{
    constexpr uint32_t Table = 0x40000;
    const uint16_t offsets[LinkageSlot::Count] = {0x10, 0x20, 0x30, 0, 0, 0, 0};
    for (unsigned i = 0; i < LinkageSlot::Count; ++i) guestWriteWord(Table + 2 * i, offsets[i]);
    cpu.A[1] = Table;
    sysSetLinkage(0);
    settings.KeyboardDriver = KeyboardDriverId::VrosE;
    tap(K::A);
    const auto queue = eventQueueSnapshot();
    EXPECT_EQ(queue[0], (GuestEvent{Table + 4 + 0x30, keyboardRingHandle()}));
    EXPECT_EQ(queue[1].handler, 0u);  // the release's event is the same pair
    EXPECT_EQ(ringFromHandle(keyboardRingHandle()), keyboardRing());
}

TEST_F(InputTest, FullRingDropsBytes)
{
    for (uint32_t i = 0; i < KeyboardRingSize + 10; ++i) pushKey(uint8_t(i));
    EXPECT_EQ(keyboardRing()->count(), KeyboardRingSize - 1);
    EXPECT_EQ(ringBytes().back(), uint8_t(KeyboardRingSize - 2));
}

TEST_F(InputTest, InpOperationsAreInstalledByThePart)
{
    keyboardInstallHostCalls();
    cpu.D[7] = 5;
    EXPECT_EQ(hostCall(HostCallGroupId::Inp, 2, 0), HostCallResult::KeepRegisters);
    EXPECT_EQ(cpu.D[7], 0u);
    EXPECT_EQ(hostCall(HostCallGroupId::Inp, 2, 8), HostCallResult::Illegal);
    keyboardRemoveHostCalls();
    EXPECT_EQ(hostCall(HostCallGroupId::Inp, 2, 0), HostCallResult::Illegal);
}

}  // namespace
