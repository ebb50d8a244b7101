#include "log/log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {
std::atomic<uint32_t> debugMask{0};
}

void zlogSetMask(uint32_t mask) { debugMask.store(mask, std::memory_order_relaxed); }
uint32_t zlogMask() { return debugMask.load(std::memory_order_relaxed); }

bool zlogEnabled(uint32_t mask) { return mask == 0 || (mask & zlogMask()) != 0; }

void zlog(uint32_t mask, const char* fmt, ...)
{
    if (!zlogEnabled(mask)) return;
    char text[256];
    va_list args;
    va_start(args, fmt);
    int n = vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    if (n < 0) return;
    size_t len = strnlen(text, sizeof text - 1);
    // The texts end in "\r\n" as on the original host; one write per line keeps lines whole
    // when several threads log at once.
    char line[258];
    size_t out = 0;
    for (size_t i = 0; i < len; ++i)
        if (text[i] != '\r') line[out++] = text[i];
    if (out == 0 || line[out - 1] != '\n') line[out++] = '\n';
    ssize_t ignored = write(STDERR_FILENO, line, out);
    (void)ignored;
}
