#include "printer/job/temp_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "printer/base/errors.h"

namespace zemprint {

namespace {

constexpr const char* kTemplateName = "ZEMXXXXXX.tmp";
constexpr int kSuffixLength = 4;  // ".tmp"

bool isDirectory(const char* path)
{
    struct stat info {};
    return path && *path && ::stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

std::string temporaryDirectory()
{
    if (const char* env = std::getenv("TMPDIR"); isDirectory(env)) return env;
    if (isDirectory(P_tmpdir)) return P_tmpdir;
    return ".";
}

int createTemporaryFile(std::string& name)
{
    std::string path = temporaryDirectory();
    if (path.back() != '/') path += '/';
    path += kTemplateName;
    std::vector<char> buffer(path.begin(), path.end());
    buffer.push_back('\0');
    const int fd = ::mkstemps(buffer.data(), kSuffixLength);
    if (fd < 0)
        throw EZEMPrint(formatMessage("Cannot write to temp file \"%s\": %s", path.c_str(), std::strerror(errno)));
    name = buffer.data();
    return fd;
}

std::string writeTemporaryFile(const void* bytes, std::size_t length)
{
    std::string name;
    const int fd = createTemporaryFile(name);
    const auto* p = static_cast<const char*>(bytes);
    std::size_t left = length;
    while (left > 0) {
        const ssize_t written = ::write(fd, p, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            const int error = written < 0 ? errno : ENOSPC;
            ::close(fd);
            ::unlink(name.c_str());
            throw EZEMPrint(formatMessage("Cannot write to temp file \"%s\": %s", name.c_str(), std::strerror(error)));
        }
        p += written;
        left -= static_cast<std::size_t>(written);
    }
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(name.c_str());
        throw EZEMPrint(formatMessage("Cannot write to temp file \"%s\": %s", name.c_str(), std::strerror(error)));
    }
    return name;
}

bool hasTmpExtension(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    const auto dot = base.find_last_of('.');
    return dot != std::string::npos && strcasecmp(base.c_str() + dot, ".tmp") == 0;
}

}  // namespace zemprint
