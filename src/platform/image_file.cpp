#include "platform/image_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool ImageFile::open(const std::string& path)
{
    close();
    lastError_ = 0;
    fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    readOnly_ = false;
    if (fd_ < 0) {
        // A read-only image is still good for running; only saving settings into it fails.
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        readOnly_ = true;
    }
    if (fd_ < 0) {
        lastError_ = errno;
        return false;
    }
    struct stat st {};
    if (fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
        close();
        lastError_ = EISDIR;
        return false;
    }
    return true;
}

void ImageFile::close()
{
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

size_t ImageFile::readFromStart(uint8_t* dest, size_t length)
{
    lastError_ = 0;
    if (lseek(fd_, 0, SEEK_SET) < 0) {
        lastError_ = errno;
        return 0;
    }
    size_t done = 0;
    while (done < length) {
        ssize_t n = ::read(fd_, dest + done, length - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            lastError_ = errno;
            break;
        }
        if (n == 0) break;
        done += size_t(n);
    }
    return done;
}

size_t ImageFile::writeAtStart(const uint8_t* data, size_t length)
{
    lastError_ = 0;
    if (readOnly_) {
        // The handle could not be had for writing: say why in the user's terms.
        lastError_ = EACCES;
        return 0;
    }
    if (lseek(fd_, 0, SEEK_SET) < 0) {
        lastError_ = errno;
        return 0;
    }
    size_t done = 0;
    while (done < length) {
        ssize_t n = ::write(fd_, data + done, length - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            lastError_ = n < 0 ? errno : EIO;
            break;
        }
        done += size_t(n);
    }
    return done;
}

long long ImageFile::size()
{
    struct stat st {};
    if (fstat(fd_, &st) != 0) {
        lastError_ = errno;
        return -1;
    }
    return st.st_size;
}

std::string hostErrorText(int error) { return strerror(error); }
