// The command line of the emulator.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct CommandLineOptions {
    std::string cmdline;     // -CMDLINE: text the guest can read
    std::string iniFile;     // -INI: configuration file to use
    std::string osFile;      // -OS: image file to use
    uint32_t debugMask = 0;  // -DBG
    bool debugMaskGiven = false;
    bool stretch = false;  // -STRETCH
    std::string snapFile;  // -SNAP: PNG of the guest screen written when the guest quits
};

extern CommandLineOptions commandLine;

enum class CommandLineResult {
    Run,        // go on with start-up
    ExitOk,     // help or version shown: end the program successfully
    ExitError,  // an illegal parameter was reported: end the program
};

// Parses argv[1..] into `commandLine`. Options are case-insensitive and may start with
// '/' instead of '-'; the value after an option is taken as it stands. Shows the help or
// the error message itself.
CommandLineResult parseCommandLine(int argc, const char* const* argv);
CommandLineResult parseCommandLine(const std::vector<std::string>& args, CommandLineOptions& out);

// The help text of -H (a message box) and --help (standard output).
const char* commandLineHelpText();
