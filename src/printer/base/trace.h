// The debug trace of ZEMPrint: one line per call on standard error, the host's
// stand-in for the debugger output the traces were written for.
#pragma once

#include <functional>
#include <string>

namespace zemprint {

void debugTrace(const std::string& line);
void debugTraceF(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The program's own debug lines (not the interpreter's, which carries its
// Debug setting) are written only while this is on; off at start.
void setDebugTraceEnabled(bool on);
bool debugTraceEnabled();

// Redirects the trace (tests); an empty function restores standard error.
void setTraceSink(std::function<void(const std::string&)> sink);

}  // namespace zemprint
