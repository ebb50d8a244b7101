// Program entry of the emulator: command line, the machine's parts, start-up, the GUI
// thread's loop and shut-down. This is the one place where the machine is assembled.
#include "config/command_line.h"
#include "core/front_end.h"
#include "core/log.h"
#include "core/machine.h"
#include "core/machine_parts.h"
#include "devices/cd/cd_calls.h"
#include "devices/comms/ip_device.h"
#include "devices/comms/par_ports.h"
#include "devices/comms/ser_calls.h"
#include "devices/sound/sound_calls.h"
#include "devices/storage/disks.h"
#include "devices/storage/dos_device.h"
#include "display/display.h"
#include "ui/main_loop.h"
#include "ui/qt_front_end.h"

#include <cstdio>
#include <cstdlib>

namespace {

// Exit code when the program ends because of an error (bad parameter, failed start-up).
constexpr int ExitFailure = 1;

// Test and diagnosis aid: when this environment variable names a file, the guest screen
// as the display last converted it is written there as a PNG at shut-down.
constexpr const char* SnapshotVariable = "ZEM_SCREEN_SNAPSHOT";

// Test aid: the start of the part named here ("memory", "display"...) fails, so that the
// undo of a failed start-up can be watched from outside.
constexpr const char* FailPartVariable = "ZEM_FAIL_PART";

QtFrontEnd qtFrontEnd;

// The machine, in no particular order: the table knows the start and shut-down orders.
// A new device adds its part here.
void registerParts(MachineParts& parts)
{
    for (MachinePart& part : machineCoreParts()) parts.add(std::move(part));
    parts.add(displayPart());
    parts.add(dosPart());
    parts.add(serPart());
    parts.add(soundPart());
    parts.add(ipPart());
    parts.add(cdPart());
    parts.add(parPart());
    parts.add(winPart());
    parts.add(flpPart());
}

void setFailureHook(MachineParts& parts)
{
    const char* name = getenv(FailPartVariable);
    if (!name || !*name) return;
    if (std::optional<MachineSlot> slot = machineSlotByName(name)) parts.failAt(slot);
    else zlog(LogCat::Error, "ZEM: %s names no part: %s\r\n", FailPartVariable, name);
}

}  // namespace

int main(int argc, char** argv)
{
    switch (parseCommandLine(argc, argv)) {
    case CommandLineResult::Run:
        break;
    case CommandLineResult::ExitOk:
        return EXIT_SUCCESS;
    case CommandLineResult::ExitError:
        return ExitFailure;
    }
    if (commandLine.debugMaskGiven) zlogSetMask(commandLine.debugMask);

    if (!MainLoop::init(argc, argv)) {
        zlog(LogCat::Error, "ZEM: Cannot set up the main loop\r\n");
        return ExitFailure;
    }
    frontEndInstall(&qtFrontEnd);
    if (const char* snapshot = getenv(SnapshotVariable); snapshot && *snapshot) displaySetSnapshotPath(snapshot);

    MachineParts& parts = machineParts();
    registerParts(parts);
    setFailureHook(parts);

    if (!startUp()) {
        // The application object goes before the static objects it relies on.
        frontEndInstall(nullptr);
        MainLoop::close();
        return ExitFailure;
    }

    MainLoop::run();

    shutDown();
    frontEndInstall(nullptr);
    MainLoop::close();
    zlog(LogCat::General, "ZEM: ZEM exited normally! :-)\r\n");
    if (processorAbandoned()) {
        // The given-up processor thread may still touch process state; leave without
        // running the static destructors under its feet.
        fflush(stdout);
        std::_Exit(EXIT_SUCCESS);
    }
    return EXIT_SUCCESS;
}
