// Thin host layer for the process itself: where the program lives, its environment
// variables and current directory, the computer's name, and finding other programs.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Full path of the running program file, or nothing when the host cannot tell.
std::optional<std::string> hostModulePath();

// Everything before the last '/' or '\' of `path` (without the separator); "" when the
// path holds neither.
std::string directoryOf(const std::string& path);

void hostSetEnv(const char* name, const std::string& value);

// Replaces each %NAME% whose variable exists by its value. A percent sign belongs to one
// reference at most: a %NAME% with no such variable (or an empty name) stays as it is
// and the text after its closing '%' is read afresh, so "%UNSET%HOME%" is kept whole.
std::string expandEnvironmentStrings(std::string_view text);

// Makes `dir` the process's current directory; false when the host refuses.
bool hostChangeDirectory(const std::string& dir);

// The host's name for this computer, or "" when it cannot tell.
std::string hostComputerName();

// True when `path` names an existing regular file the user may execute.
bool hostIsExecutableFile(const std::string& path);
// True when `path` names an existing regular file (following links).
bool hostIsRegularFile(const std::string& path);

// The places a helper program `name` is looked for, in order: beside this program
// (`programDir`), the installation's bin directory, then each directory of `searchPath`
// (a ':'-separated list, as PATH). Empty parts are skipped.
std::vector<std::string> helperProgramCandidates(const std::string& name, const std::string& programDir,
                                                 const std::string& installBinDir, const char* searchPath);
