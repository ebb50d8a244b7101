#include "core/ring_buffer.h"

#include <algorithm>
#include <array>

RingBuffer::RingBuffer(uint32_t size)
    : size_(size < 2 ? 2 : size), storage_(std::make_unique<std::atomic<uint8_t>[]>(size_))
{
}

RingBuffer::~RingBuffer() { magic_ = 0; }

bool RingBuffer::put(uint8_t byte)
{
    const uint32_t at = next(write_.load(std::memory_order_relaxed));
    if (at == seenRead_.load(std::memory_order_relaxed)) {
        // Acquire: the taker has finished reading the slot before it moved past it.
        const uint32_t read = read_.load(std::memory_order_acquire);
        seenRead_.store(read, std::memory_order_relaxed);
        if (at == read) return false;
    }
    storage_[at].store(byte, std::memory_order_relaxed);
    write_.store(at, std::memory_order_release);
    return true;
}

std::optional<uint8_t> RingBuffer::get()
{
    std::lock_guard<std::mutex> guard(takeLock_);
    const uint32_t from = read_.load(std::memory_order_relaxed);
    if (from == write_.load(std::memory_order_acquire)) return std::nullopt;
    const uint32_t at = next(from);
    const uint8_t byte = storage_[at].load(std::memory_order_relaxed);
    read_.store(at, std::memory_order_release);
    return byte;
}

uint32_t RingBuffer::take(uint8_t* out, uint32_t max)
{
    std::lock_guard<std::mutex> guard(takeLock_);
    const uint32_t from = read_.load(std::memory_order_relaxed);
    const uint32_t end = write_.load(std::memory_order_acquire);
    // What waits lies after `from`, in at most two runs: up to the end of the storage,
    // then from its start.
    const uint32_t waiting = end >= from ? end - from : size_ - from + end;
    const uint32_t count = waiting < max ? waiting : max;
    uint32_t at = from;
    for (uint32_t i = 0; i < count;) {
        at = next(at);
        const uint32_t run = std::min(count - i, size_ - at);
        for (uint32_t k = 0; k < run; ++k) out[i + k] = storage_[at + k].load(std::memory_order_relaxed);
        i += run;
        at += run - 1;
    }
    read_.store(at, std::memory_order_release);
    return count;
}

bool RingBuffer::empty() const
{
    return read_.load(std::memory_order_acquire) == write_.load(std::memory_order_acquire);
}

bool RingBuffer::full() const
{
    const uint32_t at = next(write_.load(std::memory_order_acquire));
    // A putter asking finds its own last look good enough to say "not full".
    if (at != seenRead_.load(std::memory_order_relaxed)) return false;
    return at == read_.load(std::memory_order_acquire);
}

uint32_t RingBuffer::count() const
{
    const uint32_t read = read_.load(std::memory_order_acquire);
    const uint32_t write = write_.load(std::memory_order_acquire);
    return write >= read ? write - read : size_ - read + write;
}

void RingBuffer::clear()
{
    std::lock_guard<std::mutex> guard(takeLock_);
    read_.store(write_.load(std::memory_order_acquire), std::memory_order_release);
}

namespace {

// Low bits: slot + 1; high bits: how many times the slot was handed out, so that a
// handle outlives its ring harmlessly.
constexpr unsigned SlotBits = 8;
constexpr uint32_t SlotMask = (1u << SlotBits) - 1;
constexpr size_t SlotCount = SlotMask;  // slot numbers 1-255
constexpr uint32_t GenerationMask = UINT32_MAX >> SlotBits;

// A slot's generation is written before its ring is published and the ring is cleared
// before the slot is handed out again, so a lookup that sees a ring sees at least that
// ring's generation: an old handle never matches a new ring.
struct Slot {
    std::atomic<RingBuffer*> ring{nullptr};
    std::atomic<uint32_t> generation{0};
};

std::mutex registryLock;  // registering and unregistering only
std::array<Slot, SlotCount> slots;

}  // namespace

uint32_t ringRegister(RingBuffer* ring)
{
    if (!ring) return 0;
    std::lock_guard<std::mutex> guard(registryLock);
    for (size_t i = 0; i < slots.size(); ++i) {
        Slot& slot = slots[i];
        if (slot.ring.load(std::memory_order_relaxed)) continue;
        const uint32_t generation = (slot.generation.load(std::memory_order_relaxed) + 1) & GenerationMask;
        slot.generation.store(generation, std::memory_order_relaxed);
        slot.ring.store(ring, std::memory_order_release);
        return (generation << SlotBits) | uint32_t(i + 1);
    }
    return 0;
}

void ringUnregister(uint32_t handle)
{
    const uint32_t index = handle & SlotMask;
    if (index == 0) return;
    std::lock_guard<std::mutex> guard(registryLock);
    Slot& slot = slots[index - 1];
    if (slot.ring.load(std::memory_order_relaxed) &&
        slot.generation.load(std::memory_order_relaxed) == handle >> SlotBits)
        slot.ring.store(nullptr, std::memory_order_release);
}

RingBuffer* ringFromHandle(uint32_t handle)
{
    const uint32_t index = handle & SlotMask;
    if (index == 0) return nullptr;
    const Slot& slot = slots[index - 1];
    RingBuffer* ring = slot.ring.load(std::memory_order_acquire);
    if (!ring || slot.generation.load(std::memory_order_acquire) != handle >> SlotBits || !ring->valid())
        return nullptr;
    return ring;
}
