// Program entry of the emulator: command line, the machine's parts, start-up, the GUI
// thread's loop and shut-down. This is the one place where the machine is assembled.
#include "config/command_line.h"
#include "base/front_end.h"
#include "log/log.h"
#include "core/machine.h"
#include "core/machine_parts.h"
#include "devices/cd/cd_calls.h"
#include "devices/comms/ip_device.h"
#include "devices/comms/par_ports.h"
#include "devices/comms/ser_calls.h"
#include "devices/input/input_part.h"
#include "devices/sound/sound_calls.h"
#include "devices/storage/disks.h"
#include "devices/storage/dos_device.h"
#include "display/display.h"
#include "ui/main_loop.h"
#include "ui/main_window.h"
#include "ui/screen_back_ends.h"
#include "ui/qt_front_end.h"
#include "ui/window_input.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include <QGuiApplication>

namespace {

// Exit code when the program ends because of an error (bad parameter, failed start-up).
constexpr int ExitFailure = 1;

// Test aid: the start of the part named here ("memory", "display"...) fails, so that the
// undo of a failed start-up can be watched from outside.
constexpr const char* FailPartVariable = "ZEM_FAIL_PART";

QtFrontEnd qtFrontEnd;

// The window and its back end exist only where someone can see them; without a display
// the stand-ins draw into host memory as before.
std::unique_ptr<MainWindow> mainWindow;
std::unique_ptr<SelectingBackEnd> windowBackEnd;
std::unique_ptr<WindowInputHost> windowInput;

// Test aid: when set, the first present fails as a lost device would.
constexpr const char* FailPresentVariable = "ZEM_FAIL_PRESENT";

bool hasDisplay()
{
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

// The machine, in no particular order: the table knows the start and shut-down orders.
// A new device adds its part here.
void registerParts(MachineParts& parts)
{
    for (MachinePart& part : machineCoreParts()) parts.add(std::move(part));
    parts.add(displayPart(mainWindow.get(), windowBackEnd.get()));
    parts.add(dosPart());
    parts.add(serPart());
    parts.add(soundPart());
    parts.add(ipPart());
    parts.add(cdPart());
    parts.add(parPart());
    parts.add(winPart());
    parts.add(flpPart());
    parts.add(inputPart());
}

void setFailureHook(MachineParts& parts)
{
    const char* name = getenv(FailPartVariable);
    if (!name || !*name) return;
    if (std::optional<MachineSlot> slot = machineSlotByName(name))
        parts.failAt(slot);
    else
        zlog(LogCat::Error, "ZEM: %s names no part: %s\r\n", FailPartVariable, name);
}

// Mesa's software renderer draws with one thread per core, so every present takes the
// processor thread's core away from it for a moment: with a whole-screen change 80 times
// a second that cost the guest a tenth of its speed on two cores. One thread fewer than
// the cores leaves the processor its own. A value the user set stays; other renderers
// ignore the variable.
void leaveTheProcessorACore()
{
    const unsigned cores = std::thread::hardware_concurrency();
    if (cores >= 2) setenv("LP_NUM_THREADS", std::to_string(cores - 1).c_str(), 0);
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

    leaveTheProcessorACore();
    if (!MainLoop::init(argc, argv)) {
        zlog(LogCat::Error, "ZEM: Cannot set up the main loop\r\n");
        return ExitFailure;
    }
    frontEndInstall(&qtFrontEnd);
    if (!commandLine.snapFile.empty()) displaySetSnapshotPath(commandLine.snapFile);

    if (hasDisplay()) {
        mainWindow = std::make_unique<MainWindow>();
        windowBackEnd = std::make_unique<SelectingBackEnd>(*mainWindow);
        if (const char* fail = getenv(FailPresentVariable); fail && *fail) windowBackEnd->failNextPresent();
        windowInput = std::make_unique<WindowInputHost>(mainWindow.get(), [] {
            if (mainWindow) mainWindow->toggleFullScreen();
        });
        inputSetHost(windowInput.get());
    }

    MachineParts& parts = machineParts();
    registerParts(parts);
    setFailureHook(parts);

    if (!startUp()) {
        // The application object goes before the static objects it relies on.
        inputSetHost(nullptr);
        windowInput.reset();
        windowBackEnd.reset();
        mainWindow.reset();
        frontEndInstall(nullptr);
        MainLoop::close();
        return ExitFailure;
    }

    if (mainWindow) mainWindow->setUpDesktop();
    windowInputReadHostSettings();
    MainLoop::run();

    shutDown();
    inputSetHost(nullptr);
    windowInput.reset();
    windowBackEnd.reset();
    mainWindow.reset();
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
