// The mouse: the host keeps four guest locations up to date from the window's pointer,
// button and wheel events (there is no mouse event in the guest's queue), and the guest
// can ask for the host pointer to be moved (SetPointerPosition).
//
// Threads: everything runs on the GUI thread except SetPointerPosition (processor
// thread), which only leaves the wanted position for the next pointer move.
#pragma once

#include <cstdint>

namespace MouseAddress {
constexpr uint32_t X = 0x1C070;        // 16 bits, guest screen pixels
constexpr uint32_t Y = 0x1C072;        // 16 bits
constexpr uint32_t Buttons = 0x1C078;  // bit 0 left, 1 right, 2 middle
constexpr uint32_t Wheel = 0x1C07A;    // 16 bits, lines; the guest takes differences
}  // namespace MouseAddress

namespace MouseButton {
constexpr unsigned Left = 0;
constexpr unsigned Right = 1;
constexpr unsigned Middle = 2;
}  // namespace MouseButton

// Where the picture lies: the client area, the part of it the guest screen fills (the
// whole client area in a window; top-left anchored with bars beside or below it in full
// screen with kept aspect), and the guest screen's size.
struct MouseGeometry {
    int pictureX = 0, pictureY = 0;
    int pictureWidth = 0, pictureHeight = 0;
    unsigned guestWidth = 0, guestHeight = 0;
};

// Rotation units per wheel notch.
constexpr int WheelUnitsPerStep = 120;

// Start-up: no wanted position, no last position, no wheel remainder, 3 lines per step.
void mouseInit();
// The host's wheel setting: lines per step (3 when the host reports 0 or less).
void mouseSetWheelLines(int lines);
int mouseWheelLines();

// A point of the client area as guest pixels (may reach the guest size itself), and the
// way back.
struct GuestPoint {
    int x = 0, y = 0;
};
GuestPoint mouseClientToGuest(const MouseGeometry& g, int clientX, int clientY);
GuestPoint mouseGuestToClient(const MouseGeometry& g, int guestX, int guestY);

// Window events. Coordinates are client coordinates.
void mouseMove(const MouseGeometry& g, int clientX, int clientY);
void mouseButton(unsigned button, bool down);
void mouseWheel(int rotation);
// Minimised or deactivated: no button stays down.
void mouseReleaseButtons();

// INP SetPointerPosition: Dn = x << 16 | y.
int32_t inpSetPointerPosition(unsigned n);

void mouseInstallHostCalls();
void mouseRemoveHostCalls();
