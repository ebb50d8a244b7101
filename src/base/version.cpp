#include "base/version.h"

#include "base/version_config.h"

#include <cstdio>

const char* getReleaseVersion() { return ZEM_VERSION_STRING; }

std::string formatVersionText(int major, int minor, int patch)
{
    char text[32];
    snprintf(text, sizeof text, "%i.%i%i", major, minor, patch);
    return text;
}

const std::string& getVersionText()
{
    static const std::string text = formatVersionText(ZEM_VERSION_MAJOR, ZEM_VERSION_MINOR, ZEM_VERSION_PATCH);
    return text;
}
