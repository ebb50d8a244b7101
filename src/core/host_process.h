// Thin host layer for the process itself: where the program lives, environment
// variables, and finding other programs.
#pragma once

#include <optional>
#include <string>
#include <vector>

// Full path of the running program file, or nothing when the host cannot tell.
std::optional<std::string> hostModulePath();

// Everything before the last '/' or '\' of `path` (without the separator); "" when the
// path holds neither.
std::string directoryOf(const std::string& path);

void hostSetEnv(const char* name, const std::string& value);

// True when `path` names an existing regular file the user may execute.
bool hostIsExecutableFile(const std::string& path);

// The places a helper program `name` is looked for, in order: beside this program
// (`programDir`), the installation's bin directory, then each directory of `searchPath`
// (a ':'-separated list, as PATH). Empty parts are skipped.
std::vector<std::string> helperProgramCandidates(const std::string& name, const std::string& programDir,
                                                 const std::string& installBinDir, const char* searchPath);
