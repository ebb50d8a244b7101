#include "core/machine.h"

#include "config/command_line.h"
#include "config/configuration.h"
#include "config/default_folders.h"
#include "config/dialog_logic.h"
#include "config/settings.h"
#include "core/clock.h"
#include "core/events.h"
#include "base/front_end.h"
#include "core/guest_write.h"
#include "core/host_call.h"
#include "platform/host_process.h"
#include "platform/image_file.h"
#include "log/log.h"
#include "base/message_box.h"
#include "base/processor_thread.h"
#include "base/string_table.h"
#include "core/sys_calls.h"
#include "core/timer.h"
#include "base/version.h"
#include "base/version_config.h"
#include "cpu/accel/accel.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"

#include <array>
#include <chrono>
#include <cstdio>
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

void findPrinterProgram()
{
    std::optional<std::string> found =
        machineFindPrinterProgram(machineInfo.programDir, ZEM_INSTALL_BINDIR, getenv("PATH"));
    machineInfo.printerProgramPresent = found.has_value();
    machineInfo.printerProgramPath = found.value_or("");
}

// The first 96 KB of the image: the configuration reads its blocks from this copy and
// writes the chosen settings back into it before the image is loaded.
bool readConfigArea()
{
    size_t got = imageFile.readFromStart(configCopy.data(), configCopy.size());
    if (got < configCopy.size()) {
        int error = imageFile.lastError();
        showError(Caption::Emulator, formatString(StringId::CorruptImage, int(got), int(configCopy.size()), long(error),
                                                  hostErrorText(error).c_str()) +
                                         "\n" + machineInfo.imagePath);
        return false;
    }
    return true;
}

void showImageReadError()
{
    const int error = imageFile.lastError();
    char code[16];
    snprintf(code, sizeof code, "%x", unsigned(error));
    showError(Caption::Emulator, std::string("Error reading VROSE file.\nCode ") + code + ": " + hostErrorText(error) +
                                     "\n" + machineInfo.imagePath);
}

// Loads the whole file at the image address, then lays the configuration copy over its
// start. An image that does not fit below the end of RAM abandons start-up.
bool loadImage()
{
    const long long size = imageFile.size();
    const long long room = static_cast<long long>(mem.ramSize) - MachineLayout::ImageAddress;
    if (size < 0) {
        showImageReadError();
        return false;
    }
    if (size > room) {
        zlog(LogCat::General, "ZEM: OS image of %lld bytes does not fit in memory\r\n", size);
        showError(Caption::Emulator, "The OS image does not fit into the guest memory.\n" + machineInfo.imagePath +
                                         "\n" + std::to_string(size) + " bytes; " + std::to_string(room) +
                                         " bytes free above the load address in " + std::to_string(mem.ramSize >> 20) +
                                         " MB of RAM.");
        return false;
    }
    GuestWriteSpan dest = guestWriteSpan(MachineLayout::ImageAddress, uint32_t(size));
    if (!dest) return false;
    if (imageFile.readFromStart(dest.data(), size_t(size)) != size_t(size)) {
        showImageReadError();
        return false;
    }
    memcpy(dest.data(), configCopy.data(), configCopy.size());
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

void processorEnded() { frontEnd().processorEnded(); }

}  // namespace

std::optional<std::string> machineFindPrinterProgram(const std::string& programDir, const std::string& installBinDir,
                                                     const char* searchPath)
{
    for (const std::string& candidate :
         helperProgramCandidates(PrinterProgramName, programDir, installBinDir, searchPath))
        if (hostIsExecutableFile(candidate)) return candidate;
    return std::nullopt;
}

std::string machineChooseImage(const std::string& requested, const std::string& programDir)
{
    if (!requested.empty()) return requested;
    const std::string candidates[] = {programDir + "/" + DefaultImageName, programDir + "/" + OwnGuestImageName,
                                      programDir + "/../share/zem2/" + OwnGuestImageName};
    for (const std::string& candidate : candidates)
        if (hostIsRegularFile(candidate)) return candidate;
    return candidates[0];
}

bool locateImage()
{
    std::optional<std::string> module = hostModulePath();
    if (!module) {
        showError(Caption::Emulator, "Error getting module path");
        return false;
    }
    machineInfo.programDir = directoryOf(*module);

    const std::string& requested = commandLine.osFile;
    machineInfo.imagePath = machineChooseImage(requested, machineInfo.programDir);
    zlog(LogCat::General, "ZEM: OS image %s\r\n", machineInfo.imagePath.c_str());
    if (!imageFile.open(machineInfo.imagePath)) {
        int error = imageFile.lastError();
        showError(Caption::Emulator,
                  formatString(StringId::ErrorOpeningImage, long(error), hostErrorText(error).c_str()) + "\n" +
                      machineInfo.imagePath);
        return false;
    }
    machineInfo.imageReadOnly = imageFile.isReadOnly();

    hostSetEnv("ZEMPATH", machineInfo.programDir);
    hostSetEnv("VROSPATH", directoryOf(machineInfo.imagePath));
    findPrinterProgram();
    return true;
}

namespace {

bool startConfiguration()
{
    if (!readConfigArea()) return false;
    if (!readConfiguration(configCopy.data(), configCopy.size(),
                           hostIniLocations(commandLine.iniFile, machineInfo.programDir)))
        return false;
    zlog(LogCat::General, "ZEM: VROS/E version %s\r\n", configState.imageVersion.c_str());
    fillDefaultDosFolders();
    return true;
}

bool runDialog()
{
    StartDialogHost& host = startDialogHost();
    host.copy = configCopy.data();
    host.copySize = configCopy.size();
    host.printerProgramPresent = machineInfo.printerProgramPresent;
    host.writeImage = [](const uint8_t* data, size_t length, int& error) {
        size_t written = imageFile.writeAtStart(data, length);
        error = imageFile.lastError();
        return written;
    };
    const StartDialogResult result = frontEnd().runStartDialog();
    host.writeImage = nullptr;
    switch (result) {
    case StartDialogResult::Cancel:
        return false;
    case StartDialogResult::Ok:
        zlog(LogCat::General, "ZEM: Config dialog finished\r\n");
        break;
    case StartDialogResult::Skipped:
        break;
    }
    if (settings.Memory < SmallestMemoryMegabytes) {
        zlog(LogCat::General, "ZEM: Memory of %u MB raised to %u MB\r\n", unsigned(settings.Memory),
             unsigned(SmallestMemoryMegabytes));
        settings.Memory = SmallestMemoryMegabytes;
    }
    finishSettingsForGuest(configCopy.data(), configCopy.size(), machineInfo.printerProgramPresent);
    return true;
}

bool startMemory()
{
    if (memoryAllocate(settings.Memory)) return true;
    showError(Caption::Emulator,
              std::string(loadString(StringId::CannotAllocateMemory)) + "\n" + std::to_string(settings.Memory) + " MB");
    return false;
}

void releaseMemory()
{
    // A processor that could not be stopped still uses guest memory; the block then goes
    // with the process.
    if (!processorThread.abandoned()) memoryRelease();
}

bool startImage()
{
    bool loaded = loadImage();
    imageFile.close();
    return loaded;
}

bool startTimerPart()
{
    idleSetPowerManagement(settings.PowerManagement);
    prioritySetSettings(settings.ForegroundPrio, settings.BackgroundPrio);
    return startTimer();
}

bool startClock()
{
    if (!clockStart()) {
        // The timer thread may have been created before the refusal.
        clockStop();
        showError(Caption::Emulator, "Error starting clock");
        return false;
    }
    clockInstallHostCalls();
    return true;
}

void stopClock()
{
    // The clock timer writes guest memory: it ends before the memory goes.
    clockStop();
    clockRemoveHostCalls();
}

bool startProcessor()
{
    sysInstallHostCalls();
    cpuSetHostCallHandler(hostCall);
    accelInstall();
    if (!processorThread.start(processorThreadBody, processorEnded)) {
        cpuSetHostCallHandler(nullptr);
        sysRemoveHostCalls();
        showError(Caption::Emulator, "Error starting emulation thread");
        return false;
    }
    return true;
}

void stopProcessor()
{
    if (!processorThread.stop(cpuRequestStop, StopWait, StopAttempts)) {
        zlog(LogCat::General, "ZEM: 68k thread had to be terminated!\r\n");
        return;  // the given-up thread may still make host calls
    }
    cpuSetHostCallHandler(nullptr);
    sysRemoveHostCalls();
}

}  // namespace

std::vector<MachinePart> machineCoreParts()
{
    std::vector<MachinePart> parts;
    parts.push_back({MachineSlot::ImageFile, locateImage, [] { imageFile.close(); }});
    // The settings go back to the file only after a run, never after a failed start.
    parts.push_back({MachineSlot::Configuration, startConfiguration, [] { writeIniFile(true); }, false});
    parts.push_back({MachineSlot::Dialog, runDialog, {}});
    parts.push_back({MachineSlot::Memory, startMemory, releaseMemory});
    parts.push_back({MachineSlot::Events,
                     [] {
                         eventSystemInit();
                         return true;
                     },
                     eventSystemClose});
    parts.push_back({MachineSlot::Image, startImage, {}});
    parts.push_back({MachineSlot::Timer, startTimerPart, timerStop});
    parts.push_back({MachineSlot::Clock, startClock, stopClock});
    parts.push_back({MachineSlot::Processor, startProcessor, stopProcessor});
    return parts;
}

bool startUp()
{
    zlog(LogCat::General, "ZEM: Starting ZEM2 version %s\r\n", getReleaseVersion());
    return machineParts().startAll();
}

void shutDown() { machineParts().shutDownAll(); }

bool processorAbandoned() { return processorThread.abandoned(); }
