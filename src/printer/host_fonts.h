// Host layer: the installed font families and the settings file's location.
#pragma once

#include <string>
#include <vector>

namespace zemprint {

// Needs a QGuiApplication.
std::vector<std::string> installedFontFamilies();

// ZEMPrint.ini beside the program, or in the user's configuration directory
// when the program's folder is not writable; $ZEMPRINT_INI overrides both.
std::string settingsFilePath();

// The locale's decimal separator for measurements.
char localeDecimalSeparator();

}  // namespace zemprint
