// The program version as the guest and the log lines see it.
#pragma once

#include <string>

// "major.minor patch" without a separator before the patch digit (version 5.0.2 gives
// "5.02"), built once from the project version.
const std::string& getVersionText();

// Formats the text from its three components; split out so the layout can be checked.
std::string formatVersionText(int major, int minor, int patch);
