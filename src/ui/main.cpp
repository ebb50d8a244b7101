// Program entry of the emulator: command line, start-up, the GUI thread's loop and
// shut-down.
#include "config/command_line.h"
#include "core/gui_link.h"
#include "core/log.h"
#include "core/machine.h"
#include "devices/comms/ip_device.h"
#include "display/display.h"
#include "ui/main_loop.h"

#include <cstdio>
#include <cstdlib>

namespace {

// Exit code when the program ends because of an error (bad parameter, failed start-up).
constexpr int ExitFailure = 1;

// Test and diagnosis aid: when this environment variable names a file, the guest screen
// as the display last converted it is written there as a PNG at shut-down.
constexpr const char* SnapshotVariable = "ZEM_SCREEN_SNAPSHOT";

const GuiLink guiLinkFunctions{
    MainLoop::quitAndDestroy, MainLoop::setWindowTitle, MainLoop::isForeground, MainLoop::flashWindow,
    MainLoop::clipboardPut,   MainLoop::clipboardText,  MainLoop::openFile,
};

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
    guiLinkInstall(&guiLinkFunctions);
    machineSetProcessorEndedHandler(MainLoop::postProcessorEnded);
    machineSetDisplay({displayStart, displayShutDown});
    machineSetNetwork({ipStart, ipShutDown});
    if (const char* snapshot = getenv(SnapshotVariable); snapshot && *snapshot) displaySetSnapshotPath(snapshot);

    if (!startUp()) {
        // The application object goes before the static objects it relies on.
        guiLinkInstall(nullptr);
        MainLoop::close();
        return ExitFailure;
    }

    MainLoop::run();

    shutDown();
    guiLinkInstall(nullptr);
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
