// Thin host layer for the operating-system image file: opened once at start-up, read in
// two passes (the configuration area, then the whole file into guest memory), closed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class ImageFile {
public:
    ImageFile() = default;
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;
    ~ImageFile() { close(); }

    // Opens an existing file for reading and writing, else for reading only. On failure
    // returns false with the host error in lastError().
    bool open(const std::string& path);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    bool isReadOnly() const { return readOnly_; }

    // Reads up to `length` bytes from the start of the file; returns the number read
    // (short only at the end of the file or on an error, which lastError() then holds).
    size_t readFromStart(uint8_t* dest, size_t length);

    // Writes `length` bytes over the start of the file; returns the number written (short
    // on an error, which lastError() then holds; a file opened read-only refuses).
    size_t writeAtStart(const uint8_t* data, size_t length);

    // Current size of the file, or -1 on error.
    long long size();

    // Host error number of the last failed operation (0 when none failed).
    int lastError() const { return lastError_; }

private:
    int fd_ = -1;
    bool readOnly_ = false;
    int lastError_ = 0;
};

// The host's text for an error number.
std::string hostErrorText(int error);
