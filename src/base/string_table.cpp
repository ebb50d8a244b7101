#include "base/string_table.h"

#include <cstdarg>
#include <cstdio>

namespace {

struct Entry {
    int id;
    const char* text;
};

constexpr Entry englishStrings[] = {
    {StringId::CallFailed, "%s failed\nError code %lx."},
    {StringId::CannotAllocateMemory, "Cannot allocate memory."},
    {StringId::ErrorOpeningImage, "Error opening VROSE file.\nCode %lx: %s"},
    {StringId::CorruptImage, "Corrupt VROSE file.\n%d bytes read (%d bytes requested).\nCode %lx: %s"},
};

constexpr size_t MaxMessageLength = 255;

}  // namespace

const char* loadString(int id)
{
    for (const Entry& e : englishStrings)
        if (e.id == id) return e.text;
    return "";
}

std::string formatString(int id, ...)
{
    char text[MaxMessageLength + 1];
    va_list args;
    va_start(args, id);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    int n = vsnprintf(text, sizeof text, loadString(id), args);
#pragma GCC diagnostic pop
    va_end(args);
    if (n < 0) return {};
    return text;
}
