// The version line of the about box and the settings window's caption.
#pragma once

#include <string>

namespace zemprint {

struct ProgramVersion {
    int major = 0;
    int minor = 0;
    int patch = 0;
    int build = 0;
};

// This program's version.
ProgramVersion programVersion();

// "major.minor.patch", the way the project version is written.
std::string versionString(const ProgramVersion& version);
// "Version %s, build %s".
std::string versionLine(const ProgramVersion& version);
// The build label in the settings window's caption.
std::string buildLabel(const ProgramVersion& version);
// "ZEMPrint %s Settings (%s)".
std::string settingsCaption(const ProgramVersion& version);

}  // namespace zemprint
