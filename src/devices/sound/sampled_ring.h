// The guest's sampled-sound block: "VSND" at P - 16, then at P + 4, P + 8 and P + 12 the
// write position, the read position and the ring's end (big-endian guest addresses); the
// ring of frames (left, right; unsigned 8-bit, $80 silence) runs from P + 16 to the end.
#pragma once

#include <cstdint>

namespace SampledBlock {
constexpr uint32_t MarkOffset = 16;  // below P
constexpr uint32_t WriteOffset = 4;
constexpr uint32_t ReadOffset = 8;
constexpr uint32_t EndOffset = 12;
constexpr uint32_t RingOffset = 16;
constexpr uint32_t Mark = 0x56534E44;  // "VSND"
}  // namespace SampledBlock

// Whether the guest may hand over this block: the pointers and the ring's end lie in
// RAM and read <= write <= end.
bool sampledBlockValid(uint32_t block);
bool sampledMarkPresent(uint32_t block);

// Takes frames from the ring; every position is checked against the ring and RAM before
// use, so a guest that scribbles over its pointers gets an empty ring, not a stray read.
class SampledRing {
public:
    bool open(uint32_t block);
    // The next frame as 16-bit signed left and right; false when the ring is empty.
    bool take(int16_t frame[2]);
    // Stores the read position back at P + 8.
    void writeBack();

private:
    uint32_t block_ = 0, start_ = 0, end_ = 0, read_ = 0, write_ = 0;
    bool moved_ = false;
};

// One guest byte as a 16-bit sample.
constexpr int16_t sampledToPcm(uint8_t b) { return int16_t(int8_t(b ^ 0x80) * 256); }
