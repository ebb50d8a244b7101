// Reading and writing the settings: the configuration blocks of the image, then the
// configuration file zem.ini, which overrides them; and the way back into both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct ConfigurationState {
    std::string iniPath;           // the configuration file in use (it need not exist)
    bool iniReadOnly = false;      // saving the whole file is then refused
    std::string imageVersion;      // version text of the image's "Generic settings" block
    uint8_t showDialogAsRead = 0;  // ShowDialog as the file had it
};
extern ConfigurationState configState;

// Where the configuration file is looked for, as host paths.
struct IniLocations {
    std::string requested;         // the -INI value ("" when none)
    std::string programDir;        // directory of the program
    std::string systemConfigDirs;  // ':'-separated system configuration folders
    std::string userConfigDir;     // the user's configuration folder ("" when unknown)
};
// The locations this host uses: $XDG_CONFIG_DIRS (default /etc/xdg) stands for the common
// application-data folder and $XDG_CONFIG_HOME (default $HOME/.config) for the user's.
IniLocations hostIniLocations(const std::string& requested, const std::string& programDir);

// Picks the configuration file, showing the message and returning false when the choice
// fails. The user's folder gets its "ZEM" directory when the file is to go there.
bool findIniFile(const IniLocations& where, std::string& path);

// Configuration blocks of the copy → settings; then the configuration file: found, its
// directory made INIPATH and the current directory, and read. False abandons start-up (the
// message has been shown).
bool readConfiguration(const uint8_t* copy, size_t size, const IniLocations& where);

// The configuration file → settings. A missing file changes nothing.
void readIniFile();
// Settings → configuration file: all of them, or with `atExit` only those marked so.
// Failures are ignored, as the caller cannot do anything about them.
void writeIniFile(bool atExit);

// What ending the start-up dialog does to the settings before the guest sees them:
// the path settings get their variables expanded, the filter flags need the printer
// program, and the settings go into the configuration copy with the screen size filled.
void finishSettingsForGuest(uint8_t* copy, size_t size, bool printerProgramPresent);
