#include "printer/ui/program_version.h"

#include "printer/base/errors.h"
#include "printer/ui/zemprint_version.h"

namespace zemprint {

ProgramVersion programVersion() { return {kVersionMajor, kVersionMinor, kVersionPatch, kVersionBuild}; }

std::string versionString(const ProgramVersion& version)
{
    // Written as the project version is, so the windows agree with --version and the package.
    return formatMessage("%d.%d.%d", version.major, version.minor, version.patch);
}

std::string versionLine(const ProgramVersion& version)
{
    return formatMessage("Version %s, build %s", versionString(version).c_str(), std::to_string(version.build).c_str());
}

std::string buildLabel(const ProgramVersion& version) { return "build " + std::to_string(version.build); }

std::string settingsCaption(const ProgramVersion& version)
{
    return formatMessage("ZEMPrint %s Settings (%s)", versionString(version).c_str(), buildLabel(version).c_str());
}

}  // namespace zemprint
