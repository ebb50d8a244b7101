#include "platform/host_process.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

std::optional<std::string> hostModulePath()
{
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return std::nullopt;
    return std::string(path, size_t(n));
}

std::string directoryOf(const std::string& path)
{
    size_t cut = path.find_last_of("/\\");
    if (cut == std::string::npos) return {};
    return path.substr(0, cut);
}

void hostSetEnv(const char* name, const std::string& value) { setenv(name, value.c_str(), 1); }

std::string expandEnvironmentStrings(std::string_view text)
{
    std::string out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t open = text.find('%', pos);
        if (open == std::string_view::npos) break;
        size_t close = text.find('%', open + 1);
        if (close == std::string_view::npos) break;
        std::string name(text.substr(open + 1, close - open - 1));
        const char* value = name.empty() ? nullptr : getenv(name.c_str());
        out.append(text.substr(pos, open - pos));
        if (value)
            out += value;
        else
            out.append(text.substr(open, close + 1 - open));
        pos = close + 1;
    }
    out.append(text.substr(pos));
    return out;
}

bool hostChangeDirectory(const std::string& dir) { return chdir(dir.c_str()) == 0; }

std::string hostComputerName()
{
    char host[HOST_NAME_MAX + 1] = {};
    if (gethostname(host, sizeof host - 1) != 0) return {};
    return host;
}

bool hostIsRegularFile(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool hostIsExecutableFile(const std::string& path)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return access(path.c_str(), X_OK) == 0;
}

std::vector<std::string> helperProgramCandidates(const std::string& name, const std::string& programDir,
                                                 const std::string& installBinDir, const char* searchPath)
{
    std::vector<std::string> out;
    auto add = [&](const std::string& dir) {
        if (!dir.empty()) out.push_back(dir + "/" + name);
    };
    add(programDir);
    add(installBinDir);
    if (searchPath) {
        std::string list = searchPath;
        size_t start = 0;
        while (start <= list.size()) {
            size_t end = list.find(':', start);
            if (end == std::string::npos) end = list.size();
            add(list.substr(start, end - start));
            start = end + 1;
        }
    }
    return out;
}
