// Host layer: the installed font families and the settings file's location.
#pragma once

#include <string>
#include <vector>

namespace zemprint {

// Needs a QGuiApplication.
std::vector<std::string> installedFontFamilies();

// The settings file: `named` ($ZEMPRINT_INI) when set; else ZEMPrint.ini beside the
// program when that file exists (a portable copy keeps its settings with it); else
// <configDir>/zemprint/ZEMPrint.ini, so that an installed program never writes beside
// itself in a system folder.
std::string chooseSettingsFile(const std::string& named, const std::string& programDir, const std::string& configDir);
// The choice above for this process ($XDG_CONFIG_HOME, default ~/.config); makes the
// configuration folder when it is missing.
std::string settingsFilePath();

// The locale's decimal separator for measurements.
char localeDecimalSeparator();

}  // namespace zemprint
