#include "printer/base/errors.h"

#include <cstdarg>
#include <cstdio>

namespace zemprint {

std::string formatMessage(const char* format, ...)
{
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

}  // namespace zemprint
