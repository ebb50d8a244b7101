// The host file system under the host-directory drives: file and directory calls that
// take a directory anchor and a relative path, so that a drive can confine every lookup
// below its base directory in the kernel (no check-then-use window). Paths here are the
// host's own (UTF-8); failures come back as the negative errno value.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Where relative paths start. `beneath` refuses any path (through "..", an absolute
// part, or a symbolic link) that would leave the anchor directory.
struct FsAnchor {
    int dir = -1;  // an open directory, or FsCurrentDirectory
    bool beneath = false;
};
constexpr int FsCurrentDirectory = -100;  // the process's current directory (AT_FDCWD)

// Opens a directory to serve as an anchor (read-only, not for listing). fd or -errno.
int fsOpenAnchor(const std::string& path);
void fsClose(int fd);

// Escape: a symbolic link that leads out of what a confined anchor allows.
enum class FsKind { Missing, File, Directory, Other, Escape };

struct FsInfo {
    FsKind kind = FsKind::Missing;
    uint64_t size = 0;
    int64_t modified = 0;  // seconds since 1970-01-01 UTC
    bool writable = true;  // some write permission bit is set
};

// Metadata of the entry at `path` (symbolic links followed within the anchor's rule).
int fsStat(const FsAnchor& at, const std::string& path, FsInfo& info);
// Metadata of an open file.
int fsStatOpen(int fd, FsInfo& info);

namespace FsOpen {
constexpr unsigned Read = 1;
constexpr unsigned Write = 2;
constexpr unsigned Create = 4;     // create when missing
constexpr unsigned Exclusive = 8;  // with Create: fail when it exists
constexpr unsigned Truncate = 16;
}  // namespace FsOpen

// Opens a regular file; a directory gives -EISDIR. fd or -errno.
int fsOpenFile(const FsAnchor& at, const std::string& path, unsigned mode);

// Calls `entry` for every entry of the directory at `path` but "." and "..", with its
// name and whether it is a directory (a symbolic link counts by what it points to when
// that lies within the anchor's rule; otherwise as neither). Stops early when `entry`
// returns false. 0 or -errno.
int fsListDirectory(const FsAnchor& at, const std::string& path,
                    const std::function<bool(const std::string& name, FsKind kind)>& entry);

int fsMakeDirectory(const FsAnchor& at, const std::string& path);
int fsRemoveFile(const FsAnchor& at, const std::string& path);
int fsRemoveDirectory(const FsAnchor& at, const std::string& path);
// Renames an entry; does not replace an existing one (-EEXIST).
int fsRename(const FsAnchor& fromAt, const std::string& from, const FsAnchor& toAt, const std::string& to);

// Sets or clears every write permission bit (clearing) or the owner's (setting).
int fsSetWritable(const FsAnchor& at, const std::string& path, bool writable);
int fsSetModified(int fd, int64_t secondsUtc);

// Open files. Counts or -errno.
int64_t fsReadAt(int fd, void* buffer, size_t count, uint64_t offset);
int64_t fsWriteAt(int fd, const void* buffer, size_t count, uint64_t offset);
int fsTruncate(int fd, uint64_t size);

enum class FsMedium { Fixed, Removable, OpticalDisc, Ram };

struct FsSpace {
    FsMedium medium = FsMedium::Fixed;
    uint64_t total = 0;
    uint64_t available = 0;
    bool readOnly = false;
};
int fsSpace(const FsAnchor& at, FsSpace& space);

// Absolute form of a directory path (relative ones against the current directory), no
// trailing '/' except for the root. Empty when it cannot be formed.
std::string fsAbsolutePath(const std::string& path);
// The host's folder for temporary files ("." when there is none).
std::string fsTemporaryDirectory();
// The user's data folder ($XDG_DATA_HOME, else ~/.local/share); empty when unknown.
std::string fsUserDataDirectory();
// Creates the directory and its missing parents. 0 or -errno.
int fsMakeDirectories(const std::string& path);

// Seconds since 1970 UTC <-> the same instant counted in local time.
int64_t fsUtcToLocal(int64_t utc);
int64_t fsLocalToUtc(int64_t local);

// Confined lookups use the kernel's confined open where it has one, else a walk that
// refuses every link and "..". Off makes the walk the rule (tests of that path).
void fsSetKernelConfinement(bool on);

// A process that writes past its file-size limit gets -EFBIG instead of a signal.
void fsIgnoreFileSizeSignal();
