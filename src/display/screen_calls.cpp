// The SCR host calls ($A1xy): screen geometry, mode, base, block operations, the mirror
// and the window requests.
#include "core/host_call.h"
#include "log/log.h"
#include "cpu/cpu.h"
#include "display/block_ops.h"
#include "display/display.h"
#include "display/display_window.h"
#include "display/screen_state.h"

#include <algorithm>
#include <mutex>

namespace {

namespace Sub {
constexpr unsigned SetSize = 0x0;
constexpr unsigned InitDisplay = 0x1;
constexpr unsigned SetMode = 0x2;
constexpr unsigned SetBase = 0x3;
constexpr unsigned MoveArea = 0x4;
constexpr unsigned Fill = 0x5;
constexpr unsigned Eor = 0x6;
constexpr unsigned Combine = 0x7;
constexpr unsigned Mirror = 0xE;
constexpr unsigned Window = 0xF;
}  // namespace Sub

namespace WindowCall {
constexpr unsigned Maximise = 0;
constexpr unsigned Minimise = 1;
constexpr unsigned Restore = 2;
constexpr unsigned SetSize = 3;
}  // namespace WindowCall

constexpr unsigned WidthStep = 8;
int32_t setSize(unsigned n)
{
    const uint32_t value = cpu.D[n];
    unsigned width = (value >> 16) / WidthStep * WidthStep;
    width = std::min(std::max(width, QlScreen::Width), guestScreen.maxWidth);
    unsigned height = std::min(std::max(value & 0xFFFF, QlScreen::Lines), guestScreen.maxHeight);
    cpu.D[n] = uint32_t(width & 0xFFFF) << 16 | (height & 0xFFFF);
    guestScreen.requestedWidth = width;
    guestScreen.requestedHeight = height;
    guestScreen.requestedBits = cpuRegister(n + 1);  // A0 after D7
    return 0;
}

int32_t initDisplay(unsigned)
{
    DisplayWindow& window = displayWindow();
    zlog(LogCat::Screen, "scr: WaitForInitEvent (%lx).\r\n",
         static_cast<unsigned long>(reinterpret_cast<uintptr_t>(&window)));
    window.applyModeAndWait();
    zlog(LogCat::Screen, "scr: InitEvent signaled.\r\n");
    displayInstallWatch();
    return 0;
}

int32_t setMode(unsigned n)
{
    screenSetMode(uint8_t(cpu.D[n]));
    return 0;
}

int32_t setBase(unsigned n)
{
    screenSetBase(cpu.A[n]);
    displayInstallWatch();
    return 0;
}

int32_t moveArea(unsigned) { return moveAreaFromRegisters(); }

// Fill, exclusive-or and combine belong to the format; the QL formats have none.
template <BlockOperation GuestFormat::*Operation>
int32_t formatOperation(unsigned)
{
    const GuestFormat* f = guestScreen.format;
    if (!f || !(f->*Operation)) return HostCallResult::Illegal;
    return (f->*Operation)();
}

int32_t mirror(unsigned n)
{
    screenMirrorControl(int32_t(cpu.D[n]));
    return 0;
}

int32_t windowCall(unsigned selector)
{
    DisplayWindow& window = displayWindow();
    switch (selector) {
    case WindowCall::Maximise:
        window.maximise();
        return 0;
    case WindowCall::Minimise:
        window.minimise();
        return 0;
    case WindowCall::Restore:
        window.restore();
        return 0;
    case WindowCall::SetSize:
        window.setClientSize(cpu.D[1], cpu.D[2]);
        return 0;
    default:
        return HostCallResult::Illegal;
    }
}

struct Slot {
    unsigned sub;
    HostOperation operation;
};

const Slot Slots[] = {
    {Sub::SetSize, setSize},
    {Sub::InitDisplay, initDisplay},
    {Sub::SetMode, setMode},
    {Sub::SetBase, setBase},
    {Sub::MoveArea, moveArea},
    {Sub::Fill, formatOperation<&GuestFormat::fill>},
    {Sub::Eor, formatOperation<&GuestFormat::eor>},
    {Sub::Combine, formatOperation<&GuestFormat::combine>},
    {Sub::Mirror, mirror},
    {Sub::Window, windowCall},
};

}  // namespace

void screenInstallHostCalls()
{
    for (const Slot& s : Slots) hostCallInstall(HostCallGroupId::Scr, s.sub, s.operation);
}

void screenRemoveHostCalls()
{
    for (const Slot& s : Slots) hostCallRemove(HostCallGroupId::Scr, s.sub);
}
