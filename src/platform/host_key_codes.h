// The host's physical key codes turned into the two codes the keyboard drivers were
// written for: the PC keyboard's set-1 scan code (extended keys, those sent after an $E0
// prefix, as $80-$FF) and the Windows virtual-key code. Both drivers keep their tables in
// those terms, so this table is the only thing that knows the host's numbering.
#pragma once

#include <cstdint>

struct HostKeyCode {
    uint8_t scanCode = 0;    // set-1 code, $80 added for extended keys; 0: no such key
    uint8_t virtualKey = 0;  // virtual key; 0: none
    // Keypad keys: the virtual key they give while Num Lock is off (Home for keypad 7...);
    // 0 for every other key.
    uint8_t keypadNavigationKey = 0;

    bool extended() const { return scanCode >= 0x80; }
};

// A key by the native scan code that the window system reports for it. Under X11 and
// Wayland that is the kernel's input event code plus 8. Unknown codes give all zeros.
HostKeyCode hostKeyFromNative(uint32_t nativeScanCode);

// The same by the kernel's input event code.
HostKeyCode hostKeyFromEvdev(uint32_t evdevCode);

// The native scan code of a set-1 code (the inverse; 0 when no key has it). Tests use it
// to make key events for a given physical key.
uint32_t nativeFromScanCode(uint8_t scanCode);
