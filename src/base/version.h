// The program version: the project version as people read it, and the compact form the
// guest reads.
#pragma once

#include <string>

// The project version as written ("0.1.0"): what --version, window titles, the log and
// the package all show, so that both programs and the package name one version.
const char* getReleaseVersion();

// The guest's compact form, four characters in a host call: "major.minor patch" without a
// separator before the patch digit (version 5.0.2 gives "5.02"), built once from the
// project version.
const std::string& getVersionText();

// Formats the text from its three components; split out so the layout can be checked.
std::string formatVersionText(int major, int minor, int patch);
