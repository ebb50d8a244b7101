// Runs a program with arguments, extra environment and standard input, and
// collects its exit code, standard output and standard error.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace zemprint::test {

struct ProcessResult {
    int exitCode = -1;  // -1: killed (timed out) or did not start
    std::string out;
    std::string err;
};

struct ProcessOptions {
    std::map<std::string, std::string> env;  // set (or with an empty value, unset) in the child
    std::string input;                       // written to standard input, which is then closed
    bool closeInput = false;                 // start with standard input closed instead
    std::string workingDirectory;
    int timeoutSeconds = 60;
};

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options = {});

}  // namespace zemprint::test
