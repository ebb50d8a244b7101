// The "Windows" keyboard driver's tables: guest key codes by virtual key for the four
// modifier states, guest codes by host character (code page 1252), and the positions of
// keys in the guest's key matrix by virtual key and by scan code.
#pragma once

#include <cstdint>

// Virtual-key codes the driver decides on by name.
namespace VirtualKey {
constexpr uint8_t Cancel = 0x03;  // Ctrl+Pause (Break)
constexpr uint8_t Back = 0x08;
constexpr uint8_t Tab = 0x09;
constexpr uint8_t Clear = 0x0C;
constexpr uint8_t Return = 0x0D;
constexpr uint8_t Shift = 0x10;
constexpr uint8_t Control = 0x11;
constexpr uint8_t Menu = 0x12;  // Alt
constexpr uint8_t Pause = 0x13;
constexpr uint8_t Capital = 0x14;
constexpr uint8_t Escape = 0x1B;
constexpr uint8_t Space = 0x20;
constexpr uint8_t Prior = 0x21;  // Page Up
constexpr uint8_t Next = 0x22;   // Page Down
constexpr uint8_t End = 0x23;
constexpr uint8_t Home = 0x24;
constexpr uint8_t Left = 0x25;
constexpr uint8_t Up = 0x26;
constexpr uint8_t Right = 0x27;
constexpr uint8_t Down = 0x28;
constexpr uint8_t Insert = 0x2D;
constexpr uint8_t Delete = 0x2E;
constexpr uint8_t F1 = 0x70;
constexpr uint8_t F4 = 0x73;
constexpr uint8_t F10 = 0x79;
constexpr uint8_t F12 = 0x7B;
constexpr uint8_t Scroll = 0x91;
}  // namespace VirtualKey

// Index of the key table by modifier state.
namespace KeyTableIndex {
constexpr unsigned None = 0;
constexpr unsigned Ctrl = 1;
constexpr unsigned Shift = 2;
constexpr unsigned CtrlShift = 3;
}  // namespace KeyTableIndex

// Guest code for a virtual key in a modifier state (0: the key gives nothing there).
uint8_t keyTableCode(unsigned tableIndex, uint8_t virtualKey);
// Guest code for a host character in code page 1252 (0: nothing).
uint8_t characterCode(uint8_t hostCharacter);
// Matrix position (row << 4 | column) by virtual key and by scan code; 0: none.
uint8_t matrixPositionByVirtualKey(uint8_t virtualKey);
uint8_t matrixPositionByScanCode(uint8_t scanCode);

// A Unicode character in code page 1252, or 0 when the code page has none.
uint8_t unicodeToCp1252(char32_t c);
