#include "config/default_folders.h"

#include "config/settings.h"
#include "log/log.h"
#include "platform/fs_host.h"

std::string defaultDosFolder(int drive)
{
    std::string data = fsUserDataDirectory();
    if (data.empty()) return {};
    // Appended step by step: GCC 12 at -O3 warns (-Wrestrict) on the chained operator+.
    data += "/zem2/DOS";
    data += std::to_string(drive);
    return data;
}

void fillDefaultDosFolders()
{
    for (size_t drive = 1; drive <= std::size(settings.DOS); ++drive) {
        std::string& base = settings.DOS[drive - 1];
        if (!base.empty()) continue;
        std::string folder = defaultDosFolder(int(drive));
        if (folder.empty()) continue;
        if (int e = fsMakeDirectories(folder); e < 0) {
            zlog(LogCat::General, "ZEM: Cannot make the folder %s for DOS%d (%d)\r\n", folder.c_str(), int(drive), -e);
            continue;
        }
        base = folder;
    }
}
