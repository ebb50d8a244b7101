#include "core/machine.h"

#include "config/command_line.h"
#include "config/configuration.h"
#include "config/settings.h"
#include "core/clock.h"
#include "core/events.h"
#include "core/host_call.h"
#include "core/host_process.h"
#include "core/image_file.h"
#include "core/log.h"
#include "core/message_box.h"
#include "core/processor_thread.h"
#include "core/string_table.h"
#include "core/timer.h"
#include "core/version.h"
#include "core/version_config.h"
#include "cpu/accel/accel.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"
#include "devices/storage/dos_device.h"

#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>

MachineInfo machineInfo;

namespace {

// The least RAM the machine runs with; a configuration file may ask for less, which the
// start-up dialog would have refused.
constexpr uint8_t SmallestMemoryMegabytes = 2;

// Shut-down waits for the processor in short steps, repeating the stop request, for
// about three seconds in all.
constexpr std::chrono::milliseconds StopWait{10};
constexpr int StopAttempts = 300;

ImageFile imageFile;
std::array<uint8_t, MachineLayout::ConfigCopySize> configCopy;
ProcessorThread processorThread;
void (*processorEndedHandler)() = nullptr;
MachineDisplay display;
bool displayStarted = false;
bool memoryAllocated = false;

void findPrinterProgram()
{
    machineInfo.printerProgramPresent = false;
    machineInfo.printerProgramPath.clear();
    for (const std::string& candidate : helperProgramCandidates(PrinterProgramName, machineInfo.programDir,
                                                                ZEM_INSTALL_BINDIR, getenv("PATH"))) {
        if (hostIsExecutableFile(candidate)) {
            machineInfo.printerProgramPresent = true;
            machineInfo.printerProgramPath = candidate;
            return;
        }
    }
}

// The first 96 KB of the image: the configuration reads its blocks from this copy and
// writes the chosen settings back into it before the image is loaded.
bool readConfigArea()
{
    size_t got = imageFile.readFromStart(configCopy.data(), configCopy.size());
    if (got < configCopy.size()) {
        int error = imageFile.lastError();
        showError(Caption::Emulator, formatString(StringId::CorruptImage, int(got), int(configCopy.size()),
                                                  long(error), hostErrorText(error).c_str()));
        return false;
    }
    return true;
}

// Loads the whole file at the image address, then lays the configuration copy over its
// start. An image that does not fit below the end of RAM abandons start-up.
bool loadImage()
{
    long long size = imageFile.size();
    if (size < 0 || size > static_cast<long long>(UINT32_MAX)) return false;
    uint8_t* dest = guestRange(MachineLayout::ImageAddress, uint32_t(size));
    if (!dest) {
        zlog(LogCat::General, "ZEM: OS image of %lld bytes does not fit in memory\r\n", size);
        return false;
    }
    if (imageFile.readFromStart(dest, size_t(size)) != size_t(size)) return false;
    memcpy(dest, configCopy.data(), configCopy.size());
    return true;
}

void processorThreadBody()
{
    priorityProcessorThreadStarted();
    cpuRun();
    priorityProcessorThreadEnded();
    zlog(LogCat::General, "M68K: Thread quit\r\n");
}

// The 4 ms tick, with the messages of its failures.
bool startTimer()
{
    switch (timerStart()) {
    case TimerStartResult::Started:
        return true;
    case TimerStartResult::NoDeviceCaps:
        showError(Caption::Emulator, "No Device caps");
        return false;
    case TimerStartResult::ResolutionRefused:
        showError(Caption::Emulator, "Error setting timer resolution");
        return false;
    case TimerStartResult::StartFailed:
        break;
    }
    showError(Caption::Emulator, "Error starting timer");
    return false;
}

void processorEnded()
{
    if (processorEndedHandler) processorEndedHandler();
}

}  // namespace

void machineSetProcessorEndedHandler(void (*handler)()) { processorEndedHandler = handler; }

void machineSetDisplay(const MachineDisplay& d) { display = d; }

bool locateImage()
{
    std::optional<std::string> module = hostModulePath();
    if (!module) {
        showError(Caption::Emulator, "Error getting module path");
        return false;
    }
    machineInfo.programDir = directoryOf(*module);

    const std::string& requested = commandLine.osFile;
    machineInfo.imagePath = requested.empty() ? machineInfo.programDir + "/" + DefaultImageName : requested;
    if (!imageFile.open(machineInfo.imagePath)) {
        int error = imageFile.lastError();
        showError(Caption::Emulator,
                  formatString(StringId::ErrorOpeningImage, long(error), hostErrorText(error).c_str()));
        return false;
    }
    machineInfo.imageReadOnly = imageFile.isReadOnly();

    hostSetEnv("ZEMPATH", machineInfo.programDir);
    hostSetEnv("VROSPATH", directoryOf(machineInfo.imagePath));
    findPrinterProgram();
    return true;
}

bool startUp()
{
    zlog(LogCat::General, "ZEM: Starting ZEM2 version %s\r\n", getVersionText().c_str());

    if (!locateImage()) return false;

    if (!readConfigArea()) return false;
    if (!readConfiguration(configCopy.data(), configCopy.size(),
                           hostIniLocations(commandLine.iniFile, machineInfo.programDir)))
        return false;
    zlog(LogCat::General, "ZEM: VROS/E version %s\r\n", configState.imageVersion.c_str());
    zlog(LogCat::General, "ZEM: Config information read\r\n");
    dosFillDefaultBaseDirectories();

    // The start-up configuration dialog joins here. Until it does, start-up goes the way
    // of a skipped dialog: the settings go into the configuration copy.
    if (settings.Memory < SmallestMemoryMegabytes) {
        zlog(LogCat::General, "ZEM: Memory of %u MB raised to %u MB\r\n", unsigned(settings.Memory),
             unsigned(SmallestMemoryMegabytes));
        settings.Memory = SmallestMemoryMegabytes;
    }
    finishSettingsForGuest(configCopy.data(), configCopy.size(), machineInfo.printerProgramPresent);

    if (!memoryAllocate(settings.Memory)) {
        showError(Caption::Emulator, loadString(StringId::CannotAllocateMemory));
        return false;
    }
    memoryAllocated = true;
    zlog(LogCat::General, "ZEM: Memory allocation succesfull\r\n");
    eventSystemInit();
    zlog(LogCat::General, "ZEM: Event system ready\r\n");

    bool loaded = loadImage();
    imageFile.close();
    if (!loaded) return false;
    zlog(LogCat::General, "ZEM: OS read\r\n");
    // Keyboard, display, host directories, floppies, sound, network, error mode, timer,
    // clock, parallel and serial ports start here, in that order, as they are built.
    if (display.start) {
        if (!display.start()) return false;
        displayStarted = true;
        zlog(LogCat::General, "ZEM: Screen driver ready\r\n");
    }
    dosStart();

    idleSetPowerManagement(settings.PowerManagement);
    prioritySetSettings(settings.ForegroundPrio, settings.BackgroundPrio);
    if (!startTimer()) return false;
    zlog(LogCat::General, "ZEM: 250hz poll ready\r\n");
    if (!clockStart()) {
        showError(Caption::Emulator, "Error starting clock");
        return false;
    }
    zlog(LogCat::General, "ZEM: Clock ready\r\n");

    cpuSetHostCallHandler(hostCall);
    accelInstall();
    if (!processorThread.start(processorThreadBody, processorEnded)) {
        showError(Caption::Emulator, "Error starting emulation thread");
        return false;
    }
    zlog(LogCat::General, "ZEM: Emulation started\r\n");
    return true;
}

void shutDown()
{
    zlog(LogCat::General, "ZEM: QuitEmulation\r\n");

    if (!processorThread.stop(cpuRequestStop, StopWait, StopAttempts))
        zlog(LogCat::General, "ZEM: 68k thread had to be terminated!\r\n");

    zlog(LogCat::General, "ZEM: Writing INI information\r\n");
    writeIniFile(true);

    if (displayStarted && display.shutDown) {
        zlog(LogCat::General, "ZEM: Shutdown screen\r\n");
        display.shutDown();
        displayStarted = false;
    }

    zlog(LogCat::General, "ZEM: End high precision timer\r\n");
    timerStop();
    // The clock timer writes guest memory: it ends before the memory goes.
    clockStop();

    zlog(LogCat::General, "ZEM: Free memory\r\n");
    // A processor that could not be stopped still uses guest memory; the block then goes
    // with the process.
    if (memoryAllocated && !processorThread.abandoned()) {
        memoryRelease();
        memoryAllocated = false;
    }
    // Sound, network, keyboard, host directories, floppies, containers, serial and
    // parallel ports follow here, in that order, as they are built.
    dosShutDown();

    zlog(LogCat::General, "ZEM: Shut down event system\r\n");
    eventSystemClose();
}

bool processorAbandoned() { return processorThread.abandoned(); }
