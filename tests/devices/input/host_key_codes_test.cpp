// The host key table: native codes (kernel code + 8) to set-1 scan codes and virtual keys.
#include "platform/host_key_codes.h"

#include <gtest/gtest.h>

#include <set>

namespace {

struct Known {
    uint32_t evdev;
    uint8_t scan, virtualKey, keypadNavigation;
};

TEST(HostKeyCodes, KnownKeys)
{
    const Known keys[] = {
        {30, 0x1E, 'A', 0},      // A
        {16, 0x10, 'Q', 0},      // Q (where a French layout types A: the position counts)
        {97, 0x9D, 0x11, 0},     // right Ctrl: extended, the same virtual key as the left one
        {100, 0xB8, 0x12, 0},    // AltGr
        {96, 0x9C, 0x0D, 0},     // keypad Enter
        {71, 0x47, 0x67, 0x24},  // keypad 7 / Home
        {83, 0x53, 0x6E, 0x2E},  // keypad . / Delete
        {102, 0xC7, 0x24, 0},    // Home
        {86, 0x56, 0xE2, 0},     // extra key left of Z
        {119, 0xC5, 0x13, 0},    // Pause
        {88, 0x58, 0x7B, 0},     // F12
        {125, 0xDB, 0x5B, 0},    // left Windows key
        {113, 0xA0, 0xAD, 0},    // Mute
    };
    for (const Known& k : keys) {
        const HostKeyCode code = hostKeyFromNative(k.evdev + 8);
        EXPECT_EQ(code.scanCode, k.scan) << k.evdev;
        EXPECT_EQ(code.virtualKey, k.virtualKey) << k.evdev;
        EXPECT_EQ(code.keypadNavigationKey, k.keypadNavigation) << k.evdev;
        EXPECT_EQ(code.extended(), k.scan >= 0x80) << k.evdev;
    }
}

TEST(HostKeyCodes, UnknownAndOutOfRangeCodesGiveNothing)
{
    for (uint32_t native : {0u, 7u, 8u, 8u + 84u, 8u + 240u, 263u, 100000u}) {
        const HostKeyCode code = hostKeyFromNative(native);
        EXPECT_EQ(code.scanCode, 0) << native;
        EXPECT_EQ(code.virtualKey, 0) << native;
    }
}

TEST(HostKeyCodes, EveryScanCodeBelongsToOneKey)
{
    std::set<uint8_t> seen;
    int keys = 0;
    for (uint32_t native = 8; native < 8 + 256; ++native) {
        const HostKeyCode code = hostKeyFromNative(native);
        if (!code.scanCode) continue;
        ++keys;
        EXPECT_TRUE(seen.insert(code.scanCode).second) << "scan code used twice: " << int(code.scanCode);
        EXPECT_EQ(nativeFromScanCode(code.scanCode), native);
        EXPECT_NE(code.scanCode, 0xE0) << "the prefix is no key";
    }
    EXPECT_GE(keys, 104);  // a full PC keyboard
}

}  // namespace
