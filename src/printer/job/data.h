// TData: the job reader. The interpreter pulls the job through it one byte at
// a time, so the fetches are inline and the end-of-job check is one compare.
#pragma once

#include <cstdint>
#include <string>

#include "printer/job/mapped_file.h"

namespace zemprint {

// Paths this long or longer are refused.
inline constexpr std::size_t kMaxJobPathLength = 256;

class TData {
public:
    TData() = default;
    TData(const TData&) = delete;
    TData& operator=(const TData&) = delete;

    // Maps the job; throws EZEMPrint with the intake's messages.
    void open(const std::string& path);
    void close()
    {
        file_.close();
        data_ = nullptr;
        position_ = 0;
        size_ = 0;
    }

    // Reads a job held in memory (tests, fuzzing); the bytes must outlive the reader.
    void openBytes(const std::uint8_t* bytes, std::int32_t size)
    {
        close();
        data_ = bytes;
        size_ = size < 0 ? 0 : size;
    }

    std::uint8_t readByte()
    {
        if (position_ >= size_) beyondEnd();
        return data_[position_++];
    }
    std::uint16_t readWord()
    {
        need(2);
        const std::uint16_t value = static_cast<std::uint16_t>(data_[position_] | (data_[position_ + 1] << 8));
        position_ += 2;
        return value;
    }
    // The low 15 bits of a word, values above 0x4000 counting negative:
    // the range is -16383 to 16384.
    int readSignedWord()
    {
        int value = readWord() & 0x7FFF;
        if (value > 0x4000) value -= 0x8000;
        return value;
    }
    std::uint32_t readLong()
    {
        need(4);
        const std::uint32_t value = static_cast<std::uint32_t>(data_[position_]) |
                                    static_cast<std::uint32_t>(data_[position_ + 1]) << 8 |
                                    static_cast<std::uint32_t>(data_[position_ + 2]) << 16 |
                                    static_cast<std::uint32_t>(data_[position_ + 3]) << 24;
        position_ += 4;
        return value;
    }
    // Advances by count; fails, without moving, when fewer bytes remain.
    void skip(std::int64_t count)
    {
        if (count < 0 || count > static_cast<std::int64_t>(size_ - position_)) beyondEnd();
        position_ += static_cast<std::int32_t>(count);
    }
    bool atEnd() const { return position_ >= size_; }
    // The byte offset bytes ahead of the position, without moving.
    bool peek(std::int32_t offset, std::uint8_t& byte) const
    {
        if (offset < 0 || static_cast<std::int64_t>(position_) + offset + 1 > size_) return false;
        byte = data_[position_ + offset];
        return true;
    }

    std::int32_t position() const { return position_; }
    std::int32_t size() const { return size_; }

private:
    void need(std::int32_t count)
    {
        if (size_ - position_ < count) beyondEnd();
    }
    [[noreturn]] void beyondEnd() const;

    MappedFile file_;
    const std::uint8_t* data_ = nullptr;
    std::int32_t position_ = 0;
    std::int32_t size_ = 0;
};

}  // namespace zemprint
