#include "devices/input/input_part.h"

#include "devices/input/input_host.h"
#include "devices/input/keyboard.h"
#include "devices/input/mouse.h"

namespace {
InputHost* installedHost = nullptr;
}  // namespace

void inputSetHost(InputHost* host) { installedHost = host; }
InputHost* inputHost() { return installedHost; }

MachinePart inputPart()
{
    return {MachineSlot::Keyboard,
            [] {
                if (!keyboardInit()) return false;
                mouseInit();
                keyboardInstallHostCalls();
                mouseInstallHostCalls();
                return true;
            },
            [] {
                mouseRemoveHostCalls();
                keyboardRemoveHostCalls();
                keyboardClose();
            }};
}
