// Thin host layer for block storage: container and floppy-image files, raw floppy
// devices, sparse creation, and the questions the guest asks about the medium.
// Errors are errno values; guest codes are made from them elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class HostBlockFile {
public:
    HostBlockFile() = default;
    HostBlockFile(const HostBlockFile&) = delete;
    HostBlockFile& operator=(const HostBlockFile&) = delete;
    ~HostBlockFile() { close(); }

    // Opens an existing file or device; 0 or the errno of the failure.
    int open(const std::string& path, bool writable);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    bool writable() const { return writable_; }
    bool isBlockDevice() const;

    // Whole transfers at `offset`, retried over short transfers and interruptions. The
    // count moved (less than asked only at the end of the file), or -1 with lastError().
    long long readAt(uint64_t offset, void* data, size_t length);
    long long writeAt(uint64_t offset, const void* data, size_t length);
    // Size in bytes (files and block devices); false with lastError() when unknown.
    bool size(uint64_t& bytes);
    int lastError() const { return error_; }

    // Geometry of a raw floppy device (Linux floppy ioctls); errno or 0.
    int floppyGeometry(unsigned& heads, unsigned& sectorsPerTrack, unsigned& tracks) const;

private:
    int fd_ = -1;
    bool writable_ = false;
    int error_ = 0;
};

// Creates `path` anew (replacing an existing file) as a sparse file of `bytes` bytes
// whose last byte is `lastByte`. 0 or errno; on failure no half-made file is left.
int hostCreateSizedFile(const std::string& path, uint64_t bytes, uint8_t lastByte);

// 1 when `path` lies on a removable block device (as the kernel reports it), 0 when not,
// -errno when the file cannot be examined.
int hostOnRemovableDevice(const std::string& path);

// 1 when nobody may write the file (no write permission bit), 0 when it is writable,
// -errno when it does not exist.
int hostFileReadOnly(const std::string& path);

// True when `path` names a directory, a device or anything else that is not a regular
// file (a block device counts only when `allowBlockDevice`).
bool hostIsUnusableAsImage(const std::string& path, bool allowBlockDevice);
