// Byte queues between the processor thread and device threads (keyboard, serial and
// parallel ports), and the 32-bit ring handles by which the guest names them.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

// One thread puts, one thread takes. The guest hands bytes over one host call at a time,
// so the putting side takes no lock at all; the taking side (get, take) and clear() share
// one lock so that a clear from either side never meets a take half done. A second
// putter (a guest putting into a ring a host thread fills) can garble bytes but never
// reaches outside the storage.
class RingBuffer {
public:
    static constexpr uint32_t Magic = 0xDEADABCD;

    // Storage of `size` bytes; the ring holds at most size - 1 of them. size >= 2.
    explicit RingBuffer(uint32_t size);
    ~RingBuffer();
    RingBuffer(const RingBuffer&) = delete;
    RingBuffer& operator=(const RingBuffer&) = delete;

    bool put(uint8_t byte);        // false (byte dropped) when full
    std::optional<uint8_t> get();  // nothing when empty
    // Takes up to `max` bytes in order into `out`; how many were taken.
    uint32_t take(uint8_t* out, uint32_t max);
    // Seen from another thread these are snapshots, exact only on the side that could
    // change the answer next (full for the putter, empty for the taker).
    bool empty() const;
    bool full() const;
    uint32_t count() const;  // bytes waiting
    // Drops what is waiting; a put racing with it either lands before (and is dropped)
    // or after (and is kept).
    void clear();
    uint32_t size() const { return size_; }
    bool valid() const { return magic_ == Magic; }

private:
    uint32_t next(uint32_t position) const { return position + 1 == size_ ? 0 : position + 1; }

    // The two sides keep to their own cache lines: the putter looks at the taker's
    // position only when its last look says the ring is full, and the handle lookup that
    // precedes every guest put reads only the first line, which nobody writes.
    static constexpr size_t Line = 64;

    uint32_t magic_ = Magic;
    uint32_t size_;
    // Relaxed atomics cost nothing over plain bytes and keep a misbehaving second
    // putter from being undefined behaviour.
    std::unique_ptr<std::atomic<uint8_t>[]> storage_;

    alignas(Line) std::atomic<uint32_t> write_{0};  // position of the last byte put in
    // The taker's position as the putter last read it. It is never ahead of read_ (which
    // only moves forward), so it can only make the ring look fuller than it is.
    std::atomic<uint32_t> seenRead_{0};

    alignas(Line) std::atomic<uint32_t> read_{0};  // position of the last byte taken out
    std::mutex takeLock_;
};

// Ring handles. A handle is never 0 and is not reused while the process runs, so a
// stale or invented handle finds no ring. Looking a handle up takes no lock (the guest
// does it for every byte it hands over).
uint32_t ringRegister(RingBuffer* ring);
void ringUnregister(uint32_t handle);
// The ring for a handle, or nullptr. The caller must keep the ring registered while it
// uses the pointer (owners unregister only on the processor thread or after it stopped).
RingBuffer* ringFromHandle(uint32_t handle);
