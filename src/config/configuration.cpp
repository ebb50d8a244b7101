#include "config/configuration.h"

#include "config/config_blocks.h"
#include "platform/ini_file.h"
#include "config/settings.h"
#include "platform/host_process.h"
#include "log/log.h"
#include "base/message_box.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <system_error>

ConfigurationState configState;

namespace {

constexpr const char* IniName = "zem.ini";
constexpr const char* IniFolder = "zem2";
constexpr const char* DefaultSystemConfigDirs = "/etc/xdg";
constexpr const char* NoPrinterText = "def";
constexpr size_t PrinterNameLimit = 1023;

bool fileExists(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

const char* env(const char* name)
{
    const char* v = getenv(name);
    return v && *v ? v : nullptr;
}

}  // namespace

IniLocations hostIniLocations(const std::string& requested, const std::string& programDir)
{
    IniLocations where;
    where.requested = requested;
    where.programDir = programDir;
    const char* dirs = env("XDG_CONFIG_DIRS");
    where.systemConfigDirs = dirs ? dirs : DefaultSystemConfigDirs;
    // Only absolute folders count, as the base-directory rules ask.
    const char* home = env("XDG_CONFIG_HOME");
    if (home && home[0] == '/') {
        where.userConfigDir = home;
    } else if (const char* h = env("HOME")) {
        where.userConfigDir = std::string(h) + "/.config";
    }
    return where;
}

bool findIniFile(const IniLocations& where, std::string& path)
{
    if (!where.requested.empty()) {
        if (!fileExists(where.requested)) {
            showError(Caption::Emulator, "INI file not found\n" + where.requested);
            return false;
        }
        path = where.requested;
        return true;
    }
    std::string beside = where.programDir + "/" + IniName;
    if (!where.programDir.empty() && fileExists(beside)) {
        path = beside;
        return true;
    }
    if (where.systemConfigDirs.empty()) {
        showError(Caption::Emulator, "Could not get Common AppData folder");
        return false;
    }
    size_t start = 0;
    while (start <= where.systemConfigDirs.size()) {
        size_t end = where.systemConfigDirs.find(':', start);
        if (end == std::string::npos) end = where.systemConfigDirs.size();
        std::string dir = where.systemConfigDirs.substr(start, end - start);
        if (!dir.empty()) {
            std::string candidate = dir + "/" + IniFolder + "/" + IniName;
            if (fileExists(candidate)) {
                path = candidate;
                return true;
            }
        }
        start = end + 1;
    }
    if (where.userConfigDir.empty()) {
        showError(Caption::Emulator, "Could not get AppData folder");
        return false;
    }
    std::string folder = where.userConfigDir + "/" + IniFolder;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);  // the file need not exist yet
    path = folder + "/" + IniName;
    return true;
}

void readIniFile()
{
    IniFile ini(configState.iniPath);
    if (!ini.exists()) return;
    configState.iniReadOnly = isReadOnlyFile(configState.iniPath);
    zlog(LogCat::General, "Loading INI information from \"%s\" (%i)\r\n", configState.iniPath.c_str(),
         configState.iniReadOnly ? 1 : 0);
    for (SettingEntry& e : settingsTable()) {
        if (!e.hasVariable()) continue;
        switch (e.type) {
        case SettingType::Byte: {
            uint8_t& v = *static_cast<uint8_t*>(e.variable);
            v = uint8_t(ini.readLeadingInteger(e.section, e.key, v));
            break;
        }
        case SettingType::Integer: {
            int& v = *static_cast<int*>(e.variable);
            v = int(uint32_t(ini.readLeadingInteger(e.section, e.key, v)));
            break;
        }
        case SettingType::Priority: {
            // An index that names no priority leaves the setting as it was.
            int& v = *static_cast<int*>(e.variable);
            int priority = 0;
            if (priorityFromIndex(int(ini.readLeadingInteger(e.section, e.key, priorityToIndex(v))), priority))
                v = priority;
            break;
        }
        case SettingType::Printer: {
            std::string name = ini.readString(e.section, e.key, NoPrinterText);
            if (name.size() > PrinterNameLimit) name.resize(PrinterNameLimit);
            if (name != NoPrinterText) settings.ParallelPrinter[e.printerPort - 1] = name;
            break;
        }
        default: {
            std::string& v = *static_cast<std::string*>(e.variable);
            v = ini.readString(e.section, e.key, v);
            if (v.size() > e.maxTextLength()) v.resize(e.maxTextLength());
            break;
        }
        }
    }
}

void writeIniFile(bool atExit)
{
    if (configState.iniPath.empty()) return;
    IniFile ini(configState.iniPath);
    for (const SettingEntry& e : settingsTable()) {
        if (!e.hasVariable() || (atExit && !e.atExit)) continue;
        std::string value;
        switch (e.type) {
        case SettingType::Byte:
            value = std::to_string(*static_cast<uint8_t*>(e.variable));
            break;
        case SettingType::Integer:
            // INT_MAX stands for "nothing remembered" (a run without a window has no
            // position): such a value is not worth a line in the file.
            if (atExit && *static_cast<int*>(e.variable) == INT_MAX) continue;
            value = std::to_string(*static_cast<int*>(e.variable));
            break;
        case SettingType::Priority:
            value = std::to_string(priorityToIndex(*static_cast<int*>(e.variable)));
            break;
        case SettingType::Printer:
            value = settings.ParallelPrinter[e.printerPort - 1];
            break;
        default:
            value = *static_cast<std::string*>(e.variable);
            break;
        }
        ini.writeString(e.section, e.key, value);
    }
    ini.save();
}

bool readConfiguration(const uint8_t* copy, size_t size, const IniLocations& where)
{
    configState.imageVersion = scanConfigBlocks(copy, size);
    blocksToSettings(copy, size);

    std::string path;
    if (!findIniFile(where, path)) return false;
    configState.iniPath = path;
    configState.iniReadOnly = false;
    std::string dir = directoryOf(path);
    hostSetEnv("INIPATH", dir);
    if (!dir.empty() && !hostChangeDirectory(dir))
        zlog(LogCat::General, "ZEM: Cannot change to the INI directory \"%s\"\r\n", dir.c_str());

    readIniFile();
    configState.showDialogAsRead = settings.ShowDialog;
    return true;
}

void finishSettingsForGuest(uint8_t* copy, size_t size, bool printerProgramPresent)
{
    if (!printerProgramPresent)
        for (uint8_t& filter : settings.ParallelFilter) filter = 0;
    for (SettingEntry& e : settingsTable()) {
        if (!e.isText()) continue;
        std::string& text = *static_cast<std::string*>(e.variable);
        text = expandEnvironmentStrings(text);
        if (text.size() > e.maxTextLength()) text.resize(e.maxTextLength());
    }
    settingsToBlocks(copy, size, true);
}
