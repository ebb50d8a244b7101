#include "platform/host_block_file.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#if __has_include(<linux/fd.h>)
#include <linux/fd.h>
#define ZEM_HAVE_FLOPPY_IOCTLS 1
#endif
#if __has_include(<linux/fs.h>)
#include <linux/fs.h>
#endif

int HostBlockFile::open(const std::string& path, bool writable)
{
    close();
    int fd = ::open(path.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd < 0) return error_ = errno;
    struct stat st {};
    // A directory opens read-only without complaint; it is no medium.
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        return error_ = EISDIR;
    }
    fd_ = fd;
    writable_ = writable;
    error_ = 0;
    return 0;
}

void HostBlockFile::close()
{
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    writable_ = false;
}

bool HostBlockFile::isBlockDevice() const
{
    struct stat st {};
    return fd_ >= 0 && fstat(fd_, &st) == 0 && S_ISBLK(st.st_mode);
}

long long HostBlockFile::readAt(uint64_t offset, void* data, size_t length)
{
    if (fd_ < 0) return error_ = EBADF, -1;
    size_t done = 0;
    while (done < length) {
        ssize_t got = pread(fd_, static_cast<char*>(data) + done, length - done, off_t(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return error_ = errno, -1;
        if (got == 0) break;
        done += size_t(got);
    }
    return (long long)done;
}

long long HostBlockFile::writeAt(uint64_t offset, const void* data, size_t length)
{
    if (fd_ < 0) return error_ = EBADF, -1;
    size_t done = 0;
    while (done < length) {
        ssize_t put = pwrite(fd_, static_cast<const char*>(data) + done, length - done, off_t(offset + done));
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) return error_ = errno, -1;
        if (put == 0) return error_ = ENOSPC, -1;
        done += size_t(put);
    }
    return (long long)done;
}

bool HostBlockFile::size(uint64_t& bytes)
{
    struct stat st {};
    if (fd_ < 0 || fstat(fd_, &st) != 0) return error_ = fd_ < 0 ? EBADF : errno, false;
    if (S_ISREG(st.st_mode)) return bytes = uint64_t(st.st_size), true;
#ifdef BLKGETSIZE64
    if (S_ISBLK(st.st_mode)) {
        uint64_t value = 0;
        if (ioctl(fd_, BLKGETSIZE64, &value) == 0) return bytes = value, true;
        return error_ = errno, false;
    }
#endif
    return error_ = ENOTSUP, false;
}

int HostBlockFile::floppyGeometry(unsigned& heads, unsigned& sectorsPerTrack, unsigned& tracks) const
{
#ifdef ZEM_HAVE_FLOPPY_IOCTLS
    struct floppy_struct geometry {};
    if (ioctl(fd_, FDGETPRM, &geometry) != 0) return errno;
    heads = geometry.head;
    sectorsPerTrack = geometry.sect;
    tracks = geometry.track;
    return 0;
#else
    (void)heads, (void)sectorsPerTrack, (void)tracks;
    return ENOTSUP;
#endif
}

int hostCreateSizedFile(const std::string& path, uint64_t bytes, uint8_t lastByte)
{
    if (bytes == 0) return EINVAL;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return errno;
    int error = 0;
    if (pwrite(fd, &lastByte, 1, off_t(bytes - 1)) != 1) error = errno ? errno : ENOSPC;
    if (::close(fd) != 0 && !error) error = errno;
    if (error) unlink(path.c_str());
    return error;
}

int hostOnRemovableDevice(const std::string& path)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return -errno;
    // A partition has no "removable" of its own; its disk, one level up, has.
    char link[64];
    for (const char* suffix : {"/removable", "/../removable"}) {
        snprintf(link, sizeof link, "/sys/dev/block/%u:%u%s", major(st.st_dev), minor(st.st_dev), suffix);
        if (FILE* f = fopen(link, "r")) {
            int c = fgetc(f);
            fclose(f);
            return c == '1' ? 1 : 0;
        }
    }
    return 0;  // no block device behind it (tmpfs, network file systems): fixed
}

int hostFileReadOnly(const std::string& path)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return -errno;
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ? 1 : 0;
}

bool hostIsUnusableAsImage(const std::string& path, bool allowBlockDevice)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return false;  // the open reports the real reason
    if (S_ISREG(st.st_mode)) return false;
    return !(allowBlockDevice && S_ISBLK(st.st_mode));
}
