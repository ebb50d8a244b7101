#include "printer/job/mapped_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zemprint {

bool MappedFile::open(const std::string& path, Failure& failure)
{
    close();
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        failure = {Step::Open, errno};
        return false;
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || S_ISDIR(info.st_mode)) {
        failure = {Step::Open, S_ISDIR(info.st_mode) ? EISDIR : errno};
        close();
        return false;
    }
    size_ = static_cast<std::size_t>(info.st_size);
    if (size_ == 0)  // nothing to map; an empty job reads as at its end
        return true;
    void* view = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd_, 0);
    if (view == MAP_FAILED) {
        failure = {Step::Map, errno};
        close();
        return false;
    }
    data_ = static_cast<const unsigned char*>(view);
    mapped_ = true;
    return true;
}

void MappedFile::close()
{
    if (mapped_) ::munmap(const_cast<unsigned char*>(data_), size_);
    mapped_ = false;
    data_ = nullptr;
    size_ = 0;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

}  // namespace zemprint
