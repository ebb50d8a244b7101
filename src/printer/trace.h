// The debug trace of ZEMPrint: one line per call on standard error, the host's
// stand-in for the debugger output the traces were written for.
#pragma once

#include <functional>
#include <string>

namespace zemprint {

void debugTrace(const std::string& line);
void debugTraceF(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Redirects the trace (tests); an empty function restores standard error.
void setTraceSink(std::function<void(const std::string&)> sink);

}  // namespace zemprint
