// The machine's start-up and shut-down: from a parsed command line to a running
// processor thread, and back in a fixed order.
#pragma once

#include <cstdint>
#include <string>

namespace MachineLayout {
constexpr uint32_t ImageAddress = 0x30000;      // the image is loaded and entered here
constexpr uint32_t ConfigCopySize = 0x18000;    // its first 96 KB hold the configuration blocks
}  // namespace MachineLayout

// Runs the start-up sequence. True when the processor thread runs; false when start-up
// was abandoned (any message has been shown). On false the caller ends the program
// without calling shutDown().
bool startUp();

// Runs the shut-down sequence; never fails. Afterwards processorAbandoned() tells whether
// the processor thread had to be given up while still running.
void shutDown();
bool processorAbandoned();

// Opens the image file and sets ZEMPATH and VROSPATH; looks for the printer program.
bool locateImage();

// Called on the processor thread's side when it has ended; the program entry uses it to
// leave its loop when the guest stops without asking (no window to close yet).
void machineSetProcessorEndedHandler(void (*handler)());

// The display's start and shut-down steps, installed by the program entry (the core does
// not link the display). Without them start-up goes on without a screen.
struct MachineDisplay {
    bool (*start)() = nullptr;     // false abandons start-up (its message has been shown)
    void (*shutDown)() = nullptr;
};
void machineSetDisplay(const MachineDisplay& display);

// The network device's steps, installed the same way. Its start never abandons start-up:
// a device without host sockets refuses every open instead.
struct MachineNetwork {
    bool (*start)() = nullptr;
    void (*shutDown)() = nullptr;
};
void machineSetNetwork(const MachineNetwork& network);

// Facts found during start-up that later devices read.
struct MachineInfo {
    std::string programDir;            // ZEMPATH
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
