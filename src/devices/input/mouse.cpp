#include "devices/input/mouse.h"

#include "core/events.h"
#include "core/host_call.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"
#include "devices/input/input_host.h"
#include "log/log.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace {

constexpr int DefaultWheelLines = 3;
constexpr int NoPosition = -1;
constexpr unsigned SetPointerPositionSlot = 1;

int wheelLines = DefaultWheelLines;
int16_t wheelRemainder = 0;
int lastX = NoPosition, lastY = NoPosition;

// Written by the processor thread, taken by the GUI thread; the two halves are not one
// unit (the y half says whether anything is pending).
std::atomic<int> wantedX{0};
std::atomic<int> wantedY{NoPosition};

// The locations are single aligned stores that the processor thread reads without locks.
void storeWord(uint32_t address, uint16_t value)
{
    if (uint8_t* host = guestRange(address, 2)) {
        const uint16_t bigEndian = uint16_t((value >> 8) | (value << 8));
        std::atomic_ref<uint16_t>(*reinterpret_cast<uint16_t*>(host)).store(bigEndian, std::memory_order_relaxed);
    }
}

uint16_t loadWord(uint32_t address)
{
    uint8_t* host = guestRange(address, 2);
    if (!host) return 0;
    const uint16_t raw = std::atomic_ref<uint16_t>(*reinterpret_cast<uint16_t*>(host)).load(std::memory_order_relaxed);
    return uint16_t((raw >> 8) | (raw << 8));
}

void changeButtonBits(uint8_t set, uint8_t clear)
{
    if (uint8_t* host = guestRange(MouseAddress::Buttons, 1)) {
        std::atomic_ref<uint8_t> byte(*host);
        byte.store(uint8_t((byte.load(std::memory_order_relaxed) | set) & ~clear), std::memory_order_relaxed);
    }
}

int roundHalfUp(double value) { return int(std::floor(value + 0.5)); }

}  // namespace

void mouseInit()
{
    wheelLines = DefaultWheelLines;
    wheelRemainder = 0;
    lastX = lastY = NoPosition;
    wantedX.store(0);
    wantedY.store(NoPosition);
}

void mouseSetWheelLines(int lines)
{
    wheelLines = lines > 0 ? lines : DefaultWheelLines;
    zlog(LogCat::Mouse, "MSE: Init wheel with %i ticks\n", wheelLines);
}

int mouseWheelLines() { return wheelLines; }

GuestPoint mouseClientToGuest(const MouseGeometry& g, int clientX, int clientY)
{
    if (g.pictureWidth <= 0 || g.pictureHeight <= 0) return {};
    // Pointers over the bars beside a letterboxed picture stay at its nearest edge.
    const int x = std::clamp(clientX - g.pictureX, 0, g.pictureWidth);
    const int y = std::clamp(clientY - g.pictureY, 0, g.pictureHeight);
    return {roundHalfUp(double(g.guestWidth) * x / g.pictureWidth),
            roundHalfUp(double(g.guestHeight) * y / g.pictureHeight)};
}

GuestPoint mouseGuestToClient(const MouseGeometry& g, int guestX, int guestY)
{
    if (g.guestWidth == 0 || g.guestHeight == 0) return {g.pictureX, g.pictureY};
    return {g.pictureX + roundHalfUp(double(g.pictureWidth) * guestX / g.guestWidth),
            g.pictureY + roundHalfUp(double(g.pictureHeight) * guestY / g.guestHeight)};
}

void mouseMove(const MouseGeometry& g, int clientX, int clientY)
{
    const int wantedYNow = wantedY.exchange(NoPosition);
    if (wantedYNow != NoPosition) {
        const int guestX = wantedX.load();
        const GuestPoint host = mouseGuestToClient(g, guestX, wantedYNow);
        zlog(LogCat::Mouse, "MSE: VROS %i, %i (Win) - %i, %i (VROS)\n", host.x, host.y, guestX, wantedYNow);
        if (InputHost* h = inputHost()) h->movePointer(host.x, host.y);
        return;
    }
    const int x = clientX & 0xFFFF, y = clientY & 0xFFFF;
    const GuestPoint guest = mouseClientToGuest(g, int16_t(x), int16_t(y));
    zlog(LogCat::Mouse, "MSE: Windows %i, %i (Win) - %i, %i (VROS)\n", x, y, guest.x, guest.y);
    storeWord(MouseAddress::X, uint16_t(guest.x));
    storeWord(MouseAddress::Y, uint16_t(guest.y));
    if (x != lastX || y != lastY) {
        idleNoteActivity();
        lastX = x;
        lastY = y;
    }
}

void mouseButton(unsigned button, bool down)
{
    if (button > MouseButton::Middle) return;
    idleNoteActivity();
    const uint8_t bit = uint8_t(1u << button);
    zlog(LogCat::Mouse, "MSE: Button %i %i\n", bit, down ? 1 : 0);
    changeButtonBits(down ? bit : 0, down ? 0 : bit);
}

void mouseWheel(int rotation)
{
    zlog(LogCat::Mouse, "MSE: Wheel %i\n", rotation);
    idleNoteActivity();
    wheelRemainder = int16_t(wheelRemainder + rotation);
    const int steps = wheelRemainder / WheelUnitsPerStep;
    wheelRemainder = int16_t(wheelRemainder - steps * WheelUnitsPerStep);
    if (steps) storeWord(MouseAddress::Wheel, uint16_t(loadWord(MouseAddress::Wheel) + steps * wheelLines));
}

void mouseReleaseButtons() { changeButtonBits(0, 0xFF); }

int32_t inpSetPointerPosition(unsigned n)
{
    const uint32_t value = cpu.D[n];
    wantedX.store(int(value >> 16));
    wantedY.store(int(value & 0xFFFF));
    idleNoteActivity();
    return HostCallResult::KeepRegisters;
}

void mouseInstallHostCalls() { hostCallInstall(HostCallGroupId::Inp, SetPointerPositionSlot, inpSetPointerPosition); }
void mouseRemoveHostCalls() { hostCallRemove(HostCallGroupId::Inp, SetPointerPositionSlot); }
