// The emulator's settings: the host variables other modules read, and the one table that
// ties each of them to its INI section and key and to its configuration-block tag.
#pragma once

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

constexpr int ParallelPortCount = 8;
constexpr int SerialPortCount = 8;
constexpr int ContainerDriveCount = 8;
constexpr int HostDirDriveCount = 8;
constexpr int FloppyDriveCount = 2;

// Thread priorities as the settings hold them (host values), with their file indexes 0-5.
namespace ThreadPriority {
constexpr int Idle = -15;
constexpr int Lowest = -2;
constexpr int BelowNormal = -1;
constexpr int Normal = 0;
constexpr int AboveNormal = 1;
constexpr int Highest = 2;
}  // namespace ThreadPriority
// Index → priority; false for an index that names none (above 5).
bool priorityFromIndex(int index, int& priority);
// Priority → index; an unknown priority gives the index of Normal.
int priorityToIndex(int priority);

struct Settings {
    // General
    int CountryCode = 44;
    uint8_t ShowDialog = 0;
    uint8_t NoExitThroughX = 0;
    uint8_t TaskButton = 0;
    // Keyboard
    uint8_t KeyboardDriver = 1;
    uint8_t AltGr = 0;
    uint8_t LegacyHomeEndKeys = 0;
    // Screen
    uint8_t ScreenDriver = 0;
    uint8_t ScreenFilter = 1;
    uint8_t ColourDepth = 3;
    int ResolutionX = 0;
    int ResolutionY = 0;
    int WindowSizeX = 0;
    int WindowSizeY = 0;
    uint8_t KeepAspectRatio = 0;
    uint8_t AlwaysOnTop = 0;
    uint8_t WindowMode = 0;
    int WindowPosX = INT_MAX;  // INT_MAX: no remembered position
    int WindowPosY = INT_MAX;
    // Emulation
    uint8_t Memory = 16;  // megabytes
    uint8_t PowerManagement = 1;
    int ForegroundPrio = ThreadPriority::Normal;
    int BackgroundPrio = ThreadPriority::Normal;
    // Boot
    uint8_t BootFromFLP = 0;
    uint8_t BootFromWIN = 0;
    // FLP, WIN, DOS
    std::string FLP[FloppyDriveCount];
    std::string WIN[ContainerDriveCount];
    uint8_t AlwaysRemovable = 1;
    std::string DOS[HostDirDriveCount];
    uint8_t ConvertFileExtension = 1;
    // Sound (the key of the mode is "Enabled")
    uint8_t SoundEnabled = 0;
    int BeepVolume = 0;
    uint8_t VSNDVolume = 0;
    // Serial: host COM port number of SER1-SER8
    uint8_t SerialPort[SerialPortCount] = {};
    uint8_t LeavePortsOpen = 0;
    // Host device of SER1-SER8; empty: the one the COM number stands for
    std::string SerialDevice[SerialPortCount];
    // Parallel: output of PAR1-PAR8 (0 none, 1-3 LPT1-LPT3, 4 host printer), the filter
    // flags, and the host printer names (empty: none)
    uint8_t ParallelPort[ParallelPortCount] = {};
    uint8_t ParallelFilter[ParallelPortCount] = {};
    std::string ParallelPrinter[ParallelPortCount];
};

extern Settings settings;

// Output of a parallel port that names a host printer.
constexpr uint8_t ParallelModePrinter = 4;

// Value types of the table. Any type from TypeTextBase up is text of at most (type - 1)
// characters.
namespace SettingType {
constexpr int Byte = 1;
constexpr int Integer = 2;  // 16 bits in a configuration block
constexpr int Priority = 3;
constexpr int Printer = 4;  // the variable is the parallel port number 1-8
constexpr int TextBase = 5;
}  // namespace SettingType

struct SettingEntry {
    std::string section;
    std::string key;
    int type = 0;
    uint32_t tag = 0;          // 0: no configuration-block item
    void* variable = nullptr;  // uint8_t, int or std::string by type; unused for printers
    int printerPort = 0;       // type Printer: 1-8
    bool atExit = false;       // written back at every exit
    uint32_t blockOffset = 0;  // data of the matching item in the configuration copy; 0: none

    bool isText() const { return type >= SettingType::TextBase; }
    size_t maxTextLength() const { return size_t(type - 1); }
    bool hasVariable() const { return variable != nullptr || type == SettingType::Printer; }
};

// Four tag characters as one value, first character in the high byte.
constexpr uint32_t makeTag(const char (&t)[5])
{
    return uint32_t(uint8_t(t[0])) << 24 | uint32_t(uint8_t(t[1])) << 16 | uint32_t(uint8_t(t[2])) << 8 |
           uint32_t(uint8_t(t[3]));
}

// The table in file order, bound to `settings`. Block offsets are filled by the block scan.
std::vector<SettingEntry>& settingsTable();
// Finds an entry (case-insensitive); nullptr when there is none.
SettingEntry* findSetting(const std::string& section, const std::string& key);
