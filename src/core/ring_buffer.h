// Byte queues between the processor thread and device threads (keyboard, serial and
// parallel ports), and the 32-bit ring handles by which the guest names them.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

class RingBuffer {
public:
    static constexpr uint32_t Magic = 0xDEADABCD;

    // Storage of `size` bytes; the ring holds at most size - 1 of them. size >= 2.
    explicit RingBuffer(uint32_t size);
    ~RingBuffer();
    RingBuffer(const RingBuffer&) = delete;
    RingBuffer& operator=(const RingBuffer&) = delete;

    // Each call takes the ring's lock for its own duration.
    bool put(uint8_t byte);        // false (byte dropped) when full
    std::optional<uint8_t> get();  // nothing when empty
    // Takes up to `max` bytes in order into `out` under one lock; how many were taken.
    uint32_t take(uint8_t* out, uint32_t max);
    bool empty() const;
    bool full() const;
    uint32_t count() const;  // bytes waiting
    void clear();
    uint32_t size() const { return size_; }
    bool valid() const { return magic_ == Magic; }

private:
    uint32_t next(uint32_t position) const { return position + 1 == size_ ? 0 : position + 1; }

    uint32_t magic_ = Magic;
    uint32_t size_;
    uint32_t read_ = 0;   // position of the last byte taken out
    uint32_t write_ = 0;  // position of the last byte put in
    std::vector<uint8_t> storage_;
    mutable std::mutex lock_;
};

// Ring handles. A handle is never 0 and is not reused while the process runs, so a
// stale or invented handle finds no ring.
uint32_t ringRegister(RingBuffer* ring);
void ringUnregister(uint32_t handle);
// The ring for a handle, or nullptr. The caller must keep the ring registered while it
// uses the pointer (owners unregister only on the processor thread or after it stopped).
RingBuffer* ringFromHandle(uint32_t handle);
