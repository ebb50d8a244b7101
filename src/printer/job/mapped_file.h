// Host layer: a whole file mapped read-only into memory.
#pragma once

#include <cstddef>
#include <string>

namespace zemprint {

class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile() { close(); }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    enum class Step { Open, Map };
    struct Failure {
        Step step;
        int error;  // errno
    };

    // Opens and maps path; on failure returns false and fills failure.
    bool open(const std::string& path, Failure& failure);
    void close();

    const unsigned char* data() const { return data_; }
    std::size_t size() const { return size_; }

private:
    int fd_ = -1;
    const unsigned char* data_ = nullptr;
    std::size_t size_ = 0;
    bool mapped_ = false;
};

}  // namespace zemprint
