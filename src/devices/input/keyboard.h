// The keyboard: host key strokes become bytes in the keyboard ring, which the guest
// empties after a keyboard event. Two drivers fill it, chosen by KeyboardDriver:
//   0 "VROS/E":  raw set-1 scan codes ($E0 before extended keys); the guest translates;
//   1 "Windows": finished guest key codes from virtual keys and characters, plus a
//                16-byte key matrix the guest reads with GetKeyState.
// Common to both: the lock-key bytes at $1C060/$1C061, the hot keys (Shift+Ctrl+Scroll
// Lock ends, Shift+Ctrl+F12 toggles full screen), the break key (trace bit T1 when the
// guest byte at $2817F is 1), Ctrl+Alt+Shift+Tab as code $FD, and the rules for an
// inactive or minimised window.
//
// Threads: key events, activation and the ring's filling run on the GUI thread;
// GetKeyState and GetCapsLock run on the processor thread and read atomics only.
#pragma once

#include "platform/host_key_codes.h"
#include "platform/host_lock_keys.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

class RingBuffer;

namespace KeyboardDriverId {
constexpr int VrosE = 0;
constexpr int Windows = 1;
}  // namespace KeyboardDriverId

// How the "VROS/E" driver passes the right Alt key (AltGr setting).
namespace AltGrMode {
constexpr int AltGr = 0;  // extended Alt: $E0 $38
constexpr int Alt = 1;    // plain Alt: $38
constexpr int Ctrl = 2;   // Ctrl: $1D
}  // namespace AltGrMode

// The guest byte that arms the break key, and the lock-key bytes.
namespace KeyboardAddress {
constexpr uint32_t NumLock = 0x1C060;
constexpr uint32_t CapsLock = 0x1C061;
constexpr uint32_t BreakEnabled = 0x2817F;
}  // namespace KeyboardAddress

constexpr uint32_t KeyboardRingSize = 1024;
constexpr size_t KeyMatrixSize = 16;

struct ModifierSnapshot {
    bool numLock = false;
    bool capsLock = false;
    bool scrollLock = false;
    bool shift = false;
    bool ctrl = false;
    bool leftAlt = false;
    bool rightAlt = false;
    bool windowsKey = false;
};

// One key event from the window: the physical key, press or release, whether the host's
// auto-repeat made it, and the text it typed (UTF-32; empty for keys that type nothing).
struct HostKeyEvent {
    HostKeyCode key;
    bool pressed = true;
    bool autoRepeat = false;
    std::u32string text;
};

// Start-up: the ring (registered under a ring handle), the lock state and its bytes.
// Shut-down: the ring goes, the host connection for the lock keys closes.
bool keyboardInit();
void keyboardClose();
uint32_t keyboardRingHandle();  // 0 when there is no ring
RingBuffer* keyboardRing();

// The source of the lock keys' state (tests put their own; default: the host's).
using LockKeysReader = std::optional<HostLockKeys> (*)();
void keyboardSetLockKeysReader(LockKeysReader reader);

// Puts one guest byte into the ring (dropped when full) and announces it.
void pushKey(uint8_t byte);
// Puts a scan code ($80-$FF: extended) as the "VROS/E" driver does.
void pushScanCode(bool pressed, uint8_t code);

// A key event from the window. True when the event is consumed and must not reach the
// window's own handling (Alt+F4).
bool keyboardKeyEvent(const HostKeyEvent& event);

// Window state: the application became active or inactive (a deactivation lets go of
// every key the guest thinks is down), and the window was minimised or restored.
void keyboardSetActive(bool active);
void keyboardSetMinimised(bool minimised);

// Refreshes and returns the modifier snapshot.
ModifierSnapshot readModifiers();

std::array<uint8_t, KeyMatrixSize> keyboardMatrix();

// INP operations; n = register number.
int32_t inpGetCapsLock(unsigned n);  // D7 = $FF when Caps Lock is on
int32_t inpGetKeyState(unsigned n);  // An = 16-byte buffer for the matrix; D0 = modifier bits

void keyboardInstallHostCalls();
void keyboardRemoveHostCalls();
