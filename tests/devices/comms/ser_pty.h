// A pseudo-terminal pair held by a test: the emulator side opens the slave by its path,
// the test talks through the master with time limits, so a fault fails instead of hanging.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class TestPty {
public:
    TestPty();
    ~TestPty();
    TestPty(const TestPty&) = delete;
    TestPty& operator=(const TestPty&) = delete;

    bool ok() const { return master_ >= 0; }
    const std::string& slavePath() const { return slavePath_; }
    int master() const { return master_; }

    // Writes everything unless the time limit passes first; bytes written.
    size_t write(const uint8_t* data, size_t length, std::chrono::milliseconds limit = std::chrono::seconds(20));
    size_t write(const std::vector<uint8_t>& data, std::chrono::milliseconds limit = std::chrono::seconds(20))
    {
        return write(data.data(), data.size(), limit);
    }
    // Reads until `length` bytes came, the time limit passed or the other side went away.
    std::vector<uint8_t> read(size_t length, std::chrono::milliseconds limit = std::chrono::seconds(20));
    // Closes the master: the emulator's side sees the peer vanish.
    void hangUp();

private:
    int master_ = -1;
    std::string slavePath_;
};
