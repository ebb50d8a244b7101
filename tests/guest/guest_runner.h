// Runs the real emulator program on a guest image and collects what it reported, for
// tests that check guest behaviour from the outside.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct GuestRunOptions {
    std::vector<std::string> args;  // after the program name, e.g. {"-OS", image, "-DBG", "1"}
    std::chrono::milliseconds timeLimit{20000};
    // Extra environment variables for the child (name, value); the rest is inherited.
    std::vector<std::pair<std::string, std::string>> environment;
    std::string workingDirectory;  // empty: the test's own
    // When this text appears on standard error, `signalToSend` is sent to the program once.
    std::string signalWhen;
    int signalToSend = 0;
    // Path of the program; empty for the emulator the build made.
    std::string program;
    // When set, written to a temporary file that is passed as "-INI <file>" (before the
    // other arguments) and removed after the run.
    std::optional<std::string> iniContents;
};

struct GuestRun {
    bool started = false;       // the program could be started at all
    bool timedOut = false;      // it overran its time limit and was killed
    bool exited = false;        // it ended through exit (not a signal)
    int exitCode = -1;          // valid when exited
    int termSignal = 0;         // valid when it ended through a signal
    bool signalSent = false;    // the requested signal went out
    std::string standardError;  // everything it wrote, with "\r" removed
    std::string standardOutput;

    // Lines of standard error, without line ends.
    std::vector<std::string> lines() const;
    // Index of the first line equal to `line` at or after `from`, or -1.
    int findLine(const std::string& line, int from = 0) const;
    bool hasLine(const std::string& line) const { return findLine(line) >= 0; }
    bool contains(const std::string& text) const { return standardError.find(text) != std::string::npos; }
    // True when every line of `expected` appears in that order (other lines may lie between).
    bool linesInOrder(const std::vector<std::string>& expected) const;
    // The whole transcript, for failure messages.
    std::string describe() const;
};

// The emulator program the build made.
std::string zemProgramPath();

GuestRun runGuest(const GuestRunOptions& options);

// A guest program's own report: runs `image` with the debug log off ("-DBG 0"), so that
// standard error carries what the program printed with DebugPrint (and errors only).
// `extraArgs` follow; `ini` is the test INI (empty: an empty file).
GuestRun runGuestProgram(const std::string& image, std::vector<std::string> extraArgs = {}, const std::string& ini = "",
                         std::chrono::milliseconds timeLimit = std::chrono::milliseconds(20000));

// Convenience: run `image` with the general debug log on.
GuestRun runImage(const std::string& image, std::vector<std::string> extraArgs = {},
                  std::chrono::milliseconds timeLimit = std::chrono::milliseconds(20000));
