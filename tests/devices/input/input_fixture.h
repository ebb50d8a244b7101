// Keyboard and mouse without a window: guest memory, the keyboard part started, the lock
// keys and the window's requests under the test's control, and key events made from
// set-1 codes through the host key table.
#pragma once

#include "config/settings.h"
#include "core/events.h"
#include "core/ring_buffer.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"
#include "devices/input/input_host.h"
#include "devices/input/keyboard.h"
#include "devices/input/mouse.h"
#include "platform/host_key_codes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace inputtest {

inline HostLockKeys testLocks;
inline std::optional<HostLockKeys> readTestLocks() { return testLocks; }

class RecordingHost : public InputHost {
public:
    void requestExit() override { ++exits; }
    void toggleFullScreen() override { ++toggles; }
    void movePointer(int x, int y) override { moves.push_back({x, y}); }
    int exits = 0;
    int toggles = 0;
    std::vector<std::pair<int, int>> moves;
};

class InputTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(memoryAllocate(2)); }
    static void TearDownTestSuite() { memoryRelease(); }

    void SetUp() override
    {
        settings = Settings{};
        testLocks = {};
        keyboardSetLockKeysReader(readTestLocks);
        inputSetHost(&host);
        eventSystemInit();
        cpu.srSystem = 0x20;
        guestWriteByte(KeyboardAddress::BreakEnabled, 0);
        ASSERT_TRUE(keyboardInit());
        mouseInit();
    }
    void TearDown() override
    {
        keyboardClose();
        inputSetHost(nullptr);
        keyboardSetLockKeysReader(nullptr);
    }

    // The key with this set-1 code, found through the host's native code for it.
    static HostKeyCode key(uint8_t scan)
    {
        const uint32_t native = nativeFromScanCode(scan);
        EXPECT_NE(native, 0u) << "no host key for scan code " << int(scan);
        return hostKeyFromNative(native);
    }
    bool press(uint8_t scan, std::u32string text = {}, bool repeat = false)
    {
        return keyboardKeyEvent({key(scan), true, repeat, std::move(text)});
    }
    bool release(uint8_t scan) { return keyboardKeyEvent({key(scan), false, false, {}}); }
    void tap(uint8_t scan, std::u32string text = {})
    {
        press(scan, std::move(text));
        release(scan);
    }

    // Everything in the ring, emptied.
    static std::vector<uint8_t> ringBytes()
    {
        std::vector<uint8_t> bytes;
        while (std::optional<uint8_t> b = keyboardRing()->get()) bytes.push_back(*b);
        return bytes;
    }

    RecordingHost host;
};

}  // namespace inputtest
