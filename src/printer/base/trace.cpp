#include "printer/base/trace.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <utility>

namespace zemprint {

namespace {
std::function<void(const std::string&)>& sink()
{
    static std::function<void(const std::string&)> instance;
    return instance;
}
}  // namespace

namespace {
std::atomic<bool> enabled{false};
}

void setDebugTraceEnabled(bool on) { enabled.store(on, std::memory_order_relaxed); }
bool debugTraceEnabled() { return enabled.load(std::memory_order_relaxed); }

void setTraceSink(std::function<void(const std::string&)> newSink) { sink() = std::move(newSink); }

void debugTrace(const std::string& line)
{
    if (sink()) {
        sink()(line);
        return;
    }
    std::fprintf(stderr, "%s\n", line.c_str());
}

void debugTraceF(const char* format, ...)
{
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    debugTrace(buffer);
}

}  // namespace zemprint
