#include "printer/escp/escp_trace.h"

#include <cstdarg>
#include <cstdio>

#include "printer/base/trace.h"

namespace zemprint {

void EscpTrace::flushQuoted()
{
    if (text_.empty()) return;
    debugTrace("Text: \"" + text_ + "\"");
    text_.clear();
}

void EscpTrace::command(const char* format, ...)
{
    if (!debug_) return;
    flushQuoted();
    char buffer[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    debugTrace(buffer);
}

void EscpTrace::count(const std::string& line)
{
    if (debug_) ++counts_[line];
}

void EscpTrace::notImplemented(const std::string& name) { count("\"" + name + "\" not implemented"); }

void EscpTrace::ignored(const std::string& name) { count("\"" + name + "\" ignored"); }

void EscpTrace::illegal(const std::string& name) { count("Illegal parameter: " + name); }

void EscpTrace::summarise()
{
    if (counts_.empty()) return;
    flushQuoted();
    for (const auto& [line, times] : counts_)
        debugTrace(times == 1 ? line : line + " (" + std::to_string(times) + " times)");
    counts_.clear();
}

void EscpTrace::appendText(char16_t c)
{
    // The trace is UTF-8 text; control values would garble the line.
    if (c < 0x20 || c == 0x7F) return;
    if (c < 0x80) {
        text_ += static_cast<char>(c);
    } else if (c < 0x800) {
        text_ += static_cast<char>(0xC0 | (c >> 6));
        text_ += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        text_ += static_cast<char>(0xE0 | (c >> 12));
        text_ += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        text_ += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void EscpTrace::lineEnd()
{
    if (!debug_ || text_.empty()) return;
    debugTrace("Text: " + text_);
    text_.clear();
}

}  // namespace zemprint
