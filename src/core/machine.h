// The core's parts of the machine (image, configuration, dialog, memory, event system,
// image load, timer, clock, processor thread) and the start-up and shut-down that run the
// whole table of parts (core/machine_parts.h).
#pragma once

#include "core/machine_parts.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace MachineLayout {
constexpr uint32_t ImageAddress = 0x30000;    // the image is loaded and entered here
constexpr uint32_t ConfigCopySize = 0x18000;  // its first 96 KB hold the configuration blocks
}  // namespace MachineLayout

// The core's parts, for the program entry to register (in any order: the table orders
// them).
std::vector<MachinePart> machineCoreParts();

// Runs the start-up sequence over the registered parts. True when every part started
// (the processor thread runs); false when start-up was abandoned: any message has been
// shown and the parts already started have been undone. On false the caller ends the
// program without calling shutDown().
bool startUp();

// Runs the shut-down sequence; never fails. Afterwards processorAbandoned() tells whether
// the processor thread had to be given up while still running.
void shutDown();
bool processorAbandoned();

// Opens the image file and sets ZEMPATH and VROSPATH; looks for the printer program.
bool locateImage();

// The image to run: `requested` (-OS) when given; otherwise the first existing one of the
// default image beside the program, our own guest system beside the program, and our own
// guest system in ../share/zem2 from the program's folder. With none present, the default
// image beside the program (so the error names the file the user is expected to provide).
std::string machineChooseImage(const std::string& requested, const std::string& programDir);

// The first executable printer program beside the program, in the installation's bin
// directory or on the search path (a PATH-style list), in that order.
std::optional<std::string> machineFindPrinterProgram(const std::string& programDir, const std::string& installBinDir,
                                                     const char* searchPath);

// Facts found during start-up that later devices read.
struct MachineInfo {
    std::string programDir;  // ZEMPATH
    std::string imagePath;
    bool imageReadOnly = false;
    bool printerProgramPresent = false;  // the parallel ports' filter needs it
    std::string printerProgramPath;
};
extern MachineInfo machineInfo;

// The name of the printer program beside the emulator.
inline constexpr const char* PrinterProgramName = "zemprint";
// The default image beside the program.
inline constexpr const char* DefaultImageName = "VROSE.BIN";
// Our own guest system, used when the default image is missing.
inline constexpr const char* OwnGuestImageName = "zem2-guest.bin";
