// The command line of ZEMPrint: [job file | -] [printer name], and where the
// job bytes come from.
#pragma once

#include <string>
#include <vector>

namespace zemprint {

enum class JobSource { SamplePage, StandardInput, File };

struct IntakePlan {
    JobSource source = JobSource::SamplePage;
    std::string jobFile;      // the path for JobSource::File
    std::string printerName;  // empty: the default printer
    bool deleteJobFile = false;
    // No job argument: the settings window is shown whatever HideDialog says.
    bool alwaysShowDialog = false;
    int pins = 0;           // --pins 9|24; 0: the setting
    std::string paperSize;  // --paper NAME; empty: the setting
};

// args are the arguments after the program name; the options --pins N and
// --paper NAME (also --pins=N, --paper=NAME) may stand anywhere. Throws
// EZEMPrint "Illegal parameters", or a message naming a bad option value.
IntakePlan planIntake(const std::vector<std::string>& args);

// The options every Linux program answers (--help or -h, --version),
// recognised only as the sole argument.
enum class InfoRequest { None, Help, Version };
InfoRequest infoRequest(const std::vector<std::string>& args);
std::string helpText(const std::string& programName);

}  // namespace zemprint
