#include "config/settings.h"

#include <cstring>
#include <iterator>
#include <strings.h>

Settings settings;

namespace {

constexpr int priorities[] = {ThreadPriority::Idle,   ThreadPriority::Lowest,      ThreadPriority::BelowNormal,
                              ThreadPriority::Normal, ThreadPriority::AboveNormal, ThreadPriority::Highest};
constexpr int NormalIndex = 3;

// Text lengths of the path settings, counting the terminator as the table's types do.
constexpr int FloppyNameType = 256;
constexpr int ContainerNameType = 256;
constexpr int HostDirNameType = 200;
constexpr int SerialDeviceType = 256;

std::vector<SettingEntry> buildTable()
{
    Settings& s = settings;
    std::vector<SettingEntry> t;
    auto add = [&t](const char* section, std::string key, int type, uint32_t tag, void* var, bool atExit = false) {
        SettingEntry e;
        e.section = section;
        e.key = std::move(key);
        e.type = type;
        e.tag = tag;
        e.variable = var;
        e.atExit = atExit;
        t.push_back(std::move(e));
    };
    using namespace SettingType;
    add("General", "CountryCode", Integer, makeTag("ZEML"), &s.CountryCode);
    add("General", "ShowDialog", Byte, makeTag("ZE2S"), &s.ShowDialog);
    add("General", "NoExitThroughX", Byte, makeTag("ZE2C"), &s.NoExitThroughX);
    add("General", "TaskButton", Byte, makeTag("ZE2t"), &s.TaskButton);
    add("Keyboard", "KeyboardDriver", Byte, makeTag("ZEMK"), &s.KeyboardDriver);
    add("Keyboard", "AltGr", Byte, makeTag("ZEMA"), &s.AltGr);
    add("Keyboard", "LegacyHomeEndKeys", Byte, 0, &s.LegacyHomeEndKeys);
    add("Screen", "ScreenDriver", Byte, 0, &s.ScreenDriver);
    add("Screen", "ScreenFilter", Byte, 0, &s.ScreenFilter);
    add("Screen", "ColourDepth", Byte, makeTag("ZEMC"), &s.ColourDepth);
    add("Screen", "ResolutionX", Integer, makeTag("ZEMX"), &s.ResolutionX);
    add("Screen", "ResolutionY", Integer, makeTag("ZEMY"), &s.ResolutionY);
    add("Screen", "WindowSizeX", Integer, makeTag("ZE2X"), &s.WindowSizeX);
    add("Screen", "WindowSizeY", Integer, makeTag("ZE2Y"), &s.WindowSizeY);
    add("Screen", "KeepAspectRatio", Byte, makeTag("ZE2K"), &s.KeepAspectRatio);
    add("Screen", "AlwaysOnTop", Byte, makeTag("ZE2T"), &s.AlwaysOnTop);
    add("Screen", "WindowMode", Byte, makeTag("ZE2W"), &s.WindowMode);
    add("Screen", "WindowPosX", Integer, 0, &s.WindowPosX, true);
    add("Screen", "WindowPosY", Integer, 0, &s.WindowPosY, true);
    add("Emulation", "Memory", Byte, makeTag("ZEMM"), &s.Memory);
    add("Emulation", "PowerManagement", Byte, makeTag("ZE2P"), &s.PowerManagement);
    add("Emulation", "ForegroundPrio", Priority, makeTag("ZE2F"), &s.ForegroundPrio);
    add("Emulation", "BackgroundPrio", Priority, makeTag("ZE2B"), &s.BackgroundPrio);
    add("Boot", "BootFromFLP", Byte, makeTag("ZEMF"), &s.BootFromFLP);
    add("Boot", "BootFromWIN", Byte, makeTag("ZEMB"), &s.BootFromWIN);
    for (int i = 0; i < FloppyDriveCount; ++i) {
        char tag[5] = {'Z', 'E', 'F', char('1' + i), 0};
        add("FLP", "FLP" + std::to_string(i + 1), FloppyNameType, makeTag(tag), &s.FLP[i]);
    }
    for (int i = 0; i < ContainerDriveCount; ++i) {
        char tag[5] = {'Z', 'E', 'M', char('1' + i), 0};
        add("WIN", "WIN" + std::to_string(i + 1), ContainerNameType, makeTag(tag), &s.WIN[i]);
    }
    add("WIN", "AlwaysRemovable", Byte, 0, &s.AlwaysRemovable);
    for (int i = 0; i < HostDirDriveCount; ++i) {
        char tag[5] = {'Z', 'E', 'D', char('1' + i), 0};
        add("DOS", "DOS" + std::to_string(i + 1), HostDirNameType, makeTag(tag), &s.DOS[i]);
    }
    add("DOS", "ConvertFileExtension", Byte, 0, &s.ConvertFileExtension);
    add("Sound", "Enabled", Byte, makeTag("ZE2s"), &s.SoundEnabled);
    add("Sound", "BeepVolume", Integer, makeTag("ZE2v"), &s.BeepVolume);
    add("Sound", "VSNDVolume", Byte, makeTag("ZE2V"), &s.VSNDVolume);
    for (int i = 0; i < SerialPortCount; ++i) {
        char tag[5] = {'Z', 'E', 'S', char('1' + i), 0};
        add("Serial", "Port" + std::to_string(i + 1), Byte, makeTag(tag), &s.SerialPort[i]);
    }
    add("Serial", "LeavePortsOpen", Byte, makeTag("ZE2L"), &s.LeavePortsOpen);
    for (int i = 0; i < SerialPortCount; ++i)
        add("Serial", "Device" + std::to_string(i + 1), SerialDeviceType, 0, &s.SerialDevice[i]);
    for (int i = 0; i < ParallelPortCount; ++i) {
        char tag[5] = {'Z', 'E', 'P', char('1' + i), 0};
        add("Parallel", "Port" + std::to_string(i + 1), Byte, makeTag(tag), &s.ParallelPort[i]);
    }
    for (int i = 0; i < ParallelPortCount; ++i) {
        char tag[5] = {'Z', 'E', 'P', char('a' + i), 0};
        add("Parallel", "Filter" + std::to_string(i + 1), Byte, makeTag(tag), &s.ParallelFilter[i]);
    }
    for (int i = 0; i < ParallelPortCount; ++i) {
        char tag[5] = {'Z', 'E', '2', char('1' + i), 0};
        add("Parallel", "Printer" + std::to_string(i + 1), Printer, makeTag(tag), nullptr);
        t.back().printerPort = i + 1;
    }
    return t;
}

}  // namespace

bool priorityFromIndex(int index, int& priority)
{
    if (index < 0 || index >= int(std::size(priorities))) return false;
    priority = priorities[index];
    return true;
}

int priorityToIndex(int priority)
{
    for (size_t i = 0; i < std::size(priorities); ++i)
        if (priorities[i] == priority) return int(i);
    return NormalIndex;
}

std::vector<SettingEntry>& settingsTable()
{
    static std::vector<SettingEntry> table = buildTable();
    return table;
}

SettingEntry* findSetting(const std::string& section, const std::string& key)
{
    for (SettingEntry& e : settingsTable())
        if (strcasecmp(e.section.c_str(), section.c_str()) == 0 && strcasecmp(e.key.c_str(), key.c_str()) == 0)
            return &e;
    return nullptr;
}
