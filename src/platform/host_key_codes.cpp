#include "platform/host_key_codes.h"

#include <array>
#include <cstddef>

namespace {

// X11 and Wayland number their keys as the kernel does, shifted by 8.
constexpr uint32_t NativeOffset = 8;

struct Entry {
    uint16_t evdev;
    uint8_t scanCode;
    uint8_t virtualKey;
    uint8_t keypadNavigationKey = 0;
};

// By kernel input event code (linux/input-event-codes.h). Keys the PC keyboard has no
// scan code for are left out.
constexpr Entry Entries[] = {
    {1, 0x01, 0x1B},  // Escape
    {2, 0x02, 0x31},        {3, 0x03, 0x32},  {4, 0x04, 0x33},  {5, 0x05, 0x34},  {6, 0x06, 0x35},  {7, 0x07, 0x36},
    {8, 0x08, 0x37},        {9, 0x09, 0x38},  {10, 0x0A, 0x39}, {11, 0x0B, 0x30}, {12, 0x0C, 0xBD},  // minus
    {13, 0x0D, 0xBB},                                                                                // equal
    {14, 0x0E, 0x08},                                                                                // Backspace
    {15, 0x0F, 0x09},                                                                                // Tab
    {16, 0x10, 'Q'},        {17, 0x11, 'W'},  {18, 0x12, 'E'},  {19, 0x13, 'R'},  {20, 0x14, 'T'},  {21, 0x15, 'Y'},
    {22, 0x16, 'U'},        {23, 0x17, 'I'},  {24, 0x18, 'O'},  {25, 0x19, 'P'},  {26, 0x1A, 0xDB},  // [
    {27, 0x1B, 0xDD},                                                                                // ]
    {28, 0x1C, 0x0D},                                                                                // Return
    {29, 0x1D, 0x11},                                                                                // left Ctrl
    {30, 0x1E, 'A'},        {31, 0x1F, 'S'},  {32, 0x20, 'D'},  {33, 0x21, 'F'},  {34, 0x22, 'G'},  {35, 0x23, 'H'},
    {36, 0x24, 'J'},        {37, 0x25, 'K'},  {38, 0x26, 'L'},  {39, 0x27, 0xBA},  // ;
    {40, 0x28, 0xDE},                                                              // '
    {41, 0x29, 0xC0},                                                              // `
    {42, 0x2A, 0x10},                                                              // left Shift
    {43, 0x2B, 0xDC},                                                              // backslash
    {44, 0x2C, 'Z'},        {45, 0x2D, 'X'},  {46, 0x2E, 'C'},  {47, 0x2F, 'V'},  {48, 0x30, 'B'},  {49, 0x31, 'N'},
    {50, 0x32, 'M'},        {51, 0x33, 0xBC},  // ,
    {52, 0x34, 0xBE},                          // .
    {53, 0x35, 0xBF},                          // /
    {54, 0x36, 0x10},                          // right Shift
    {55, 0x37, 0x6A},                          // keypad *
    {56, 0x38, 0x12},                          // left Alt
    {57, 0x39, 0x20},                          // Space
    {58, 0x3A, 0x14},                          // Caps Lock
    {59, 0x3B, 0x70},       {60, 0x3C, 0x71}, {61, 0x3D, 0x72}, {62, 0x3E, 0x73}, {63, 0x3F, 0x74}, {64, 0x40, 0x75},
    {65, 0x41, 0x76},       {66, 0x42, 0x77}, {67, 0x43, 0x78}, {68, 0x44, 0x79},  // F1-F10
    {69, 0x45, 0x90},                                                              // Num Lock
    {70, 0x46, 0x91},                                                              // Scroll Lock
    {71, 0x47, 0x67, 0x24},                                                        // keypad 7 / Home
    {72, 0x48, 0x68, 0x26},                                                        // keypad 8 / Up
    {73, 0x49, 0x69, 0x21},                                                        // keypad 9 / Page Up
    {74, 0x4A, 0x6D},                                                              // keypad -
    {75, 0x4B, 0x64, 0x25},                                                        // keypad 4 / Left
    {76, 0x4C, 0x65, 0x0C},                                                        // keypad 5 / Clear
    {77, 0x4D, 0x66, 0x27},                                                        // keypad 6 / Right
    {78, 0x4E, 0x6B},                                                              // keypad +
    {79, 0x4F, 0x61, 0x23},                                                        // keypad 1 / End
    {80, 0x50, 0x62, 0x28},                                                        // keypad 2 / Down
    {81, 0x51, 0x63, 0x22},                                                        // keypad 3 / Page Down
    {82, 0x52, 0x60, 0x2D},                                                        // keypad 0 / Insert
    {83, 0x53, 0x6E, 0x2E},                                                        // keypad . / Delete
    {86, 0x56, 0xE2},                                                              // the extra key left of Z
    {87, 0x57, 0x7A},                                                              // F11
    {88, 0x58, 0x7B},                                                              // F12
    {89, 0x73, 0xC1},                                                              // RO (Brazilian, Japanese)
    {92, 0x79, 0x1C},                                                              // Henkan (convert)
    {93, 0x70, 0x15},                                                              // Katakana/Hiragana
    {94, 0x7B, 0x1D},                                                              // Muhenkan (non-convert)
    {96, 0x9C, 0x0D},                                                              // keypad Enter
    {97, 0x9D, 0x11},                                                              // right Ctrl
    {98, 0xB5, 0x6F},                                                              // keypad /
    {99, 0xB7, 0x2C},                                                              // Print Screen
    {100, 0xB8, 0x12},                                                             // right Alt (AltGr)
    {102, 0xC7, 0x24},                                                             // Home
    {103, 0xC8, 0x26},                                                             // Up
    {104, 0xC9, 0x21},                                                             // Page Up
    {105, 0xCB, 0x25},                                                             // Left
    {106, 0xCD, 0x27},                                                             // Right
    {107, 0xCF, 0x23},                                                             // End
    {108, 0xD0, 0x28},                                                             // Down
    {109, 0xD1, 0x22},                                                             // Page Down
    {110, 0xD2, 0x2D},                                                             // Insert
    {111, 0xD3, 0x2E},                                                             // Delete
    {113, 0xA0, 0xAD},                                                             // Mute
    {114, 0xAE, 0xAE},                                                             // Volume down
    {115, 0xB0, 0xAF},                                                             // Volume up
    {116, 0xDE, 0x00},                                                             // Power
    {117, 0x8D, 0x00},                                                             // keypad =
    {119, 0xC5, 0x13},                                                             // Pause
    {121, 0xB3, 0x00},                                                             // keypad ,
    {124, 0x7D, 0x00},                                                             // Yen
    {125, 0xDB, 0x5B},                                                             // left Windows key
    {126, 0xDC, 0x5C},                                                             // right Windows key
    {127, 0xDD, 0x5D},                                                             // Menu
    {128, 0xE8, 0xA9},                                                             // browser Stop
    {140, 0xA1, 0xB7},                                                             // Calculator
    {142, 0xDF, 0x5F},                                                             // Sleep
    {143, 0xE3, 0x00},                                                             // Wake
    {155, 0xEC, 0xB4},                                                             // Mail
    {156, 0xE6, 0xAB},                                                             // Favourites
    {157, 0xEB, 0xB6},                                                             // My Computer
    {158, 0xEA, 0xA6},                                                             // browser Back
    {159, 0xE9, 0xA7},                                                             // browser Forward
    {163, 0x99, 0xB0},                                                             // next track
    {164, 0xA2, 0xB3},                                                             // play/pause
    {165, 0x90, 0xB1},                                                             // previous track
    {166, 0xA4, 0xB2},                                                             // stop
    {172, 0xB2, 0xAC},                                                             // browser Home
    {173, 0xE7, 0xA8},                                                             // browser Refresh
    {217, 0xE5, 0xAA},                                                             // browser Search
    {226, 0xED, 0xB5},                                                             // media select
};

constexpr size_t CodeCount = 256;

struct Tables {
    std::array<HostKeyCode, CodeCount> byEvdev{};
    std::array<uint16_t, CodeCount> evdevByScan{};
};

constexpr Tables makeTables()
{
    Tables t{};
    for (const Entry& e : Entries) {
        t.byEvdev[e.evdev] = HostKeyCode{e.scanCode, e.virtualKey, e.keypadNavigationKey};
        t.evdevByScan[e.scanCode] = e.evdev;
    }
    return t;
}

constexpr Tables tables = makeTables();

}  // namespace

HostKeyCode hostKeyFromEvdev(uint32_t evdevCode)
{
    return evdevCode < CodeCount ? tables.byEvdev[evdevCode] : HostKeyCode{};
}

HostKeyCode hostKeyFromNative(uint32_t nativeScanCode)
{
    return nativeScanCode >= NativeOffset ? hostKeyFromEvdev(nativeScanCode - NativeOffset) : HostKeyCode{};
}

uint32_t nativeFromScanCode(uint8_t scanCode)
{
    const uint16_t evdev = tables.evdevByScan[scanCode];
    return evdev ? evdev + NativeOffset : 0;
}
