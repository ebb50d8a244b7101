#include "platform/fs_host.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <unistd.h>

#if defined(__linux__)
#include <linux/fs.h>
#include <linux/magic.h>
#include <linux/openat2.h>
#include <sys/vfs.h>
#endif

namespace {

// Cleared when the kernel turns out not to offer confined lookups (or by a test).
bool kernelConfines = true;

int anchorDir(const FsAnchor& at) { return at.dir == FsCurrentDirectory ? AT_FDCWD : at.dir; }

// Without kernel support for confined lookups, a confined path is walked one component at a
// time and may contain no symbolic link and no "..": stricter, but just as safe.
int openConfinedByWalk(int dir, const std::string& path, int flags, mode_t mode)
{
    if (!path.empty() && path[0] == '/') return -EXDEV;
    int current = dup(dir);
    if (current < 0) return -errno;
    size_t pos = 0;
    while (true) {
        size_t slash = path.find('/', pos);
        std::string part = path.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
        bool last = slash == std::string::npos;
        if (part == "..") {
            close(current);
            return -EXDEV;
        }
        if (part.empty() || part == ".") {
            if (last) {
                int fd = openat(current, ".", flags | O_CLOEXEC, mode);
                int error = errno;
                close(current);
                return fd >= 0 ? fd : -error;
            }
            pos = slash + 1;
            continue;
        }
        int next = last ? openat(current, part.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode)
                        : openat(current, part.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        int error = errno;
        if (next < 0) {
            // A link met on the way is refused, whatever it points at.
            struct stat st;
            if ((error == ELOOP || error == ENOTDIR) && fstatat(current, part.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISLNK(st.st_mode))
                error = EXDEV;
            close(current);
            return -error;
        }
        close(current);
        if (last) {
            // A path-only open takes the link itself rather than failing on it.
            struct stat st;
            if (fstat(next, &st) == 0 && S_ISLNK(st.st_mode)) {
                close(next);
                return -EXDEV;
            }
            return next;
        }
        current = next;
        pos = slash + 1;
    }
}

int openPath(const FsAnchor& at, const std::string& path, int flags, mode_t mode = 0)
{
    const char* p = path.empty() ? "." : path.c_str();
    if (!at.beneath) {
        int fd = openat(anchorDir(at), p, flags | O_CLOEXEC, mode);
        return fd >= 0 ? fd : -errno;
    }
#if defined(__linux__) && defined(SYS_openat2)
    if (kernelConfines) {
        open_how how{};
        how.flags = uint64_t(flags | O_CLOEXEC);
        how.mode = (flags & O_CREAT) ? mode : 0;
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
        long fd = syscall(SYS_openat2, anchorDir(at), p, &how, sizeof how);
        if (fd >= 0) return int(fd);
        if (errno != ENOSYS && errno != EPERM) return -errno;
        kernelConfines = false;
    }
#endif
    return openConfinedByWalk(anchorDir(at), path, flags, mode);
}

// The directory that holds the last component, and that component.
int openParent(const FsAnchor& at, const std::string& path, std::string& leaf)
{
    size_t slash = path.rfind('/');
    leaf = slash == std::string::npos ? path : path.substr(slash + 1);
    if (leaf.empty() || leaf == "." || leaf == "..") return -EINVAL;
    // A leaf right under the root keeps "/" as its parent (substr would give "").
    std::string parent = slash == std::string::npos ? std::string()
                         : slash == 0               ? std::string(1, '/')
                                                    : path.substr(0, slash);
    return openPath(at, parent, O_PATH | O_DIRECTORY);
}

void fillInfo(const struct stat& st, FsInfo& info)
{
    info.kind = S_ISDIR(st.st_mode) ? FsKind::Directory : S_ISREG(st.st_mode) ? FsKind::File : FsKind::Other;
    info.size = uint64_t(st.st_size);
    info.modified = int64_t(st.st_mtim.tv_sec);
    info.writable = (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

}  // namespace

int fsOpenAnchor(const std::string& path)
{
    int fd = open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    return fd >= 0 ? fd : -errno;
}

void fsClose(int fd)
{
    if (fd >= 0) close(fd);
}

int fsStat(const FsAnchor& at, const std::string& path, FsInfo& info)
{
    info = FsInfo{};
    int fd = openPath(at, path, O_PATH);
    if (fd < 0) return fd;
    int result = fsStatOpen(fd, info);
    close(fd);
    return result;
}

int fsStatOpen(int fd, FsInfo& info)
{
    struct stat st;
    if (fstat(fd, &st) != 0) return -errno;
    fillInfo(st, info);
    return 0;
}

int fsOpenFile(const FsAnchor& at, const std::string& path, unsigned mode)
{
    int flags = (mode & FsOpen::Write) ? ((mode & FsOpen::Read) ? O_RDWR : O_WRONLY) : O_RDONLY;
    if (mode & FsOpen::Create) flags |= O_CREAT;
    if (mode & FsOpen::Exclusive) flags |= O_EXCL;
    int fd = openPath(at, path, flags, 0666);
    if (fd < 0) return fd;
    struct stat st;
    int error = fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : !S_ISREG(st.st_mode) ? EINVAL : 0;
    if (error != 0) {
        close(fd);
        return -error;
    }
    // Truncating only once the entry is known to be a plain file.
    if ((mode & FsOpen::Truncate) && ftruncate(fd, 0) != 0) {
        int error = errno;
        close(fd);
        return -error;
    }
    return fd;
}

int fsListDirectory(const FsAnchor& at, const std::string& path,
                    const std::function<bool(const std::string&, FsKind)>& entry)
{
    int fd = openPath(at, path, O_RDONLY | O_DIRECTORY);
    if (fd < 0) return fd;
    DIR* dir = fdopendir(fd);
    if (!dir) {
        int error = errno;
        close(fd);
        return -error;
    }
    std::string prefix = path.empty() ? std::string() : (path.back() == '/' ? path : path + "/");
    while (dirent* e = readdir(dir)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        FsKind kind = FsKind::Other;
        unsigned char type = e->d_type;
        if (type == DT_UNKNOWN) {
            struct stat st;
            if (fstatat(dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0)
                type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : S_ISLNK(st.st_mode) ? DT_LNK : 0;
        }
        if (type == DT_DIR)
            kind = FsKind::Directory;
        else if (type == DT_REG)
            kind = FsKind::File;
        else if (type == DT_LNK) {
            FsInfo info;
            int error = fsStat(at, prefix + name, info);
            kind = error == 0 ? info.kind : (error == -EXDEV || error == -ELOOP) ? FsKind::Escape : FsKind::Other;
        }
        if (!entry(name, kind)) break;
    }
    closedir(dir);
    return 0;
}

int fsMakeDirectory(const FsAnchor& at, const std::string& path)
{
    std::string leaf;
    int parent = openParent(at, path, leaf);
    if (parent < 0) return parent;
    int result = mkdirat(parent, leaf.c_str(), 0777) == 0 ? 0 : -errno;
    close(parent);
    return result;
}

namespace {
int removeEntry(const FsAnchor& at, const std::string& path, int flags)
{
    std::string leaf;
    int parent = openParent(at, path, leaf);
    if (parent < 0) return parent;
    int result = unlinkat(parent, leaf.c_str(), flags) == 0 ? 0 : -errno;
    close(parent);
    return result;
}
}  // namespace

int fsRemoveFile(const FsAnchor& at, const std::string& path) { return removeEntry(at, path, 0); }
int fsRemoveDirectory(const FsAnchor& at, const std::string& path) { return removeEntry(at, path, AT_REMOVEDIR); }

int fsRename(const FsAnchor& fromAt, const std::string& from, const FsAnchor& toAt, const std::string& to)
{
    std::string fromLeaf, toLeaf;
    int fromDir = openParent(fromAt, from, fromLeaf);
    if (fromDir < 0) return fromDir;
    int toDir = openParent(toAt, to, toLeaf);
    if (toDir < 0) {
        close(fromDir);
        return toDir;
    }
    int result = 0;
#if defined(__linux__) && defined(SYS_renameat2)
    if (syscall(SYS_renameat2, fromDir, fromLeaf.c_str(), toDir, toLeaf.c_str(), RENAME_NOREPLACE) != 0) {
        result = -errno;
        if (result == -EINVAL || result == -ENOSYS) {
            struct stat st;
            result = fstatat(toDir, toLeaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0     ? -EEXIST
                     : renameat(fromDir, fromLeaf.c_str(), toDir, toLeaf.c_str()) == 0 ? 0
                                                                                       : -errno;
        }
    }
#else
    struct stat st;
    result = fstatat(toDir, toLeaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0     ? -EEXIST
             : renameat(fromDir, fromLeaf.c_str(), toDir, toLeaf.c_str()) == 0 ? 0
                                                                               : -errno;
#endif
    close(fromDir);
    close(toDir);
    return result;
}

int fsSetWritable(const FsAnchor& at, const std::string& path, bool writable)
{
    int fd = openPath(at, path, O_PATH);
    if (fd < 0) return fd;
    struct stat st;
    int result = 0;
    if (fstat(fd, &st) != 0)
        result = -errno;
    else {
        mode_t mode = st.st_mode & 07777;
        mode = writable ? (mode | S_IWUSR) : (mode & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH));
        // A path-only descriptor cannot take fchmod; its /proc entry names the same file.
        std::string self = "/proc/self/fd/" + std::to_string(fd);
        if (mode != (st.st_mode & 07777) && fchmodat(AT_FDCWD, self.c_str(), mode, 0) != 0) result = -errno;
    }
    close(fd);
    return result;
}

int fsSetModified(int fd, int64_t secondsUtc)
{
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = time_t(secondsUtc);
    times[1].tv_nsec = 0;
    return futimens(fd, times) == 0 ? 0 : -errno;
}

int64_t fsReadAt(int fd, void* buffer, size_t count, uint64_t offset)
{
    size_t done = 0;
    while (done < count) {
        ssize_t n = pread(fd, static_cast<char*>(buffer) + done, count - done, off_t(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -errno;
        }
        if (n == 0) break;
        done += size_t(n);
    }
    return int64_t(done);
}

int64_t fsWriteAt(int fd, const void* buffer, size_t count, uint64_t offset)
{
    size_t done = 0;
    while (done < count) {
        ssize_t n = pwrite(fd, static_cast<const char*>(buffer) + done, count - done, off_t(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -errno;
        }
        if (n == 0) return -ENOSPC;
        done += size_t(n);
    }
    return int64_t(done);
}

int fsTruncate(int fd, uint64_t size) { return ftruncate(fd, off_t(size)) == 0 ? 0 : -errno; }

int fsSpace(const FsAnchor& at, FsSpace& space)
{
    struct statvfs st;
    int result = at.dir == FsCurrentDirectory ? statvfs(".", &st) : fstatvfs(at.dir, &st);
    if (result != 0) return -errno;
    space.total = uint64_t(st.f_blocks) * st.f_frsize;
    space.available = uint64_t(st.f_bavail) * st.f_frsize;
    space.readOnly = (st.f_flag & ST_RDONLY) != 0;
#if defined(__linux__)
    struct statfs fs;
    if ((at.dir == FsCurrentDirectory ? statfs(".", &fs) : fstatfs(at.dir, &fs)) == 0) {
        switch (static_cast<unsigned long>(fs.f_type)) {
        case TMPFS_MAGIC:
        case RAMFS_MAGIC:
            space.medium = FsMedium::Ram;
            break;
        case ISOFS_SUPER_MAGIC:
        case UDF_SUPER_MAGIC:
            space.medium = FsMedium::OpticalDisc;
            break;
        default:
            break;
        }
    }
#endif
    return 0;
}

std::string fsAbsolutePath(const std::string& path)
{
    if (path.empty()) return {};
    std::string full = path;
    if (full[0] != '/') {
        char* cwd = getcwd(nullptr, 0);
        if (!cwd) return {};
        full = std::string(cwd) + "/" + full;
        free(cwd);
    }
    while (full.size() > 1 && full.back() == '/') full.pop_back();
    return full;
}

std::string fsTemporaryDirectory()
{
    const char* tmp = getenv("TMPDIR");
    if (tmp && *tmp) return tmp;
    struct stat st;
    if (stat("/tmp", &st) == 0 && S_ISDIR(st.st_mode)) return "/tmp";
    return ".";
}

std::string fsUserDataDirectory()
{
    const char* data = getenv("XDG_DATA_HOME");
    if (data && data[0] == '/') return data;
    const char* home = getenv("HOME");
    if (home && *home) return std::string(home) + "/.local/share";
    return {};
}

int fsMakeDirectories(const std::string& path)
{
    if (path.empty()) return -ENOENT;
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos < path.size() && path[pos] != '/') continue;
        std::string part = path.substr(0, pos);
        if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return -errno;
    }
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return -errno;
    return S_ISDIR(st.st_mode) ? 0 : -ENOTDIR;
}

int64_t fsUtcToLocal(int64_t utc)
{
    time_t t = time_t(utc);
    tm local{};
    if (!localtime_r(&t, &local)) return utc;
    return utc + local.tm_gmtoff;
}

int64_t fsLocalToUtc(int64_t local)
{
    time_t t = time_t(local);
    tm parts{};
    if (!gmtime_r(&t, &parts)) return local;
    parts.tm_isdst = -1;
    time_t utc = mktime(&parts);
    return utc == time_t(-1) ? local : int64_t(utc);
}

void fsSetKernelConfinement(bool on) { kernelConfines = on; }

void fsIgnoreFileSizeSignal() { signal(SIGXFSZ, SIG_IGN); }
