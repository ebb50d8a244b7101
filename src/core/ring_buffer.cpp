#include "core/ring_buffer.h"

#include <array>

RingBuffer::RingBuffer(uint32_t size) : size_(size < 2 ? 2 : size), storage_(size_) {}

RingBuffer::~RingBuffer() { magic_ = 0; }

bool RingBuffer::put(uint8_t byte)
{
    std::lock_guard<std::mutex> guard(lock_);
    uint32_t at = next(write_);
    if (at == read_) return false;
    storage_[at] = byte;
    write_ = at;
    return true;
}

std::optional<uint8_t> RingBuffer::get()
{
    std::lock_guard<std::mutex> guard(lock_);
    if (read_ == write_) return std::nullopt;
    read_ = next(read_);
    return storage_[read_];
}

uint32_t RingBuffer::take(uint8_t* out, uint32_t max)
{
    std::lock_guard<std::mutex> guard(lock_);
    uint32_t count = 0;
    while (count < max && read_ != write_) {
        read_ = next(read_);
        out[count++] = storage_[read_];
    }
    return count;
}

bool RingBuffer::empty() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return read_ == write_;
}

bool RingBuffer::full() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return next(write_) == read_;
}

uint32_t RingBuffer::count() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return write_ >= read_ ? write_ - read_ : size_ - read_ + write_;
}

void RingBuffer::clear()
{
    std::lock_guard<std::mutex> guard(lock_);
    read_ = write_ = 0;
}

namespace {

// Low bits: slot + 1; high bits: how many times the slot was handed out, so that a
// handle outlives its ring harmlessly.
constexpr unsigned SlotBits = 8;
constexpr uint32_t SlotMask = (1u << SlotBits) - 1;
constexpr size_t SlotCount = SlotMask;  // slot numbers 1-255

struct Slot {
    RingBuffer* ring = nullptr;
    uint32_t generation = 0;
};

std::mutex registryLock;
std::array<Slot, SlotCount> slots;

uint32_t makeHandle(size_t index, uint32_t generation) { return (generation << SlotBits) | uint32_t(index + 1); }

}  // namespace

uint32_t ringRegister(RingBuffer* ring)
{
    if (!ring) return 0;
    std::lock_guard<std::mutex> guard(registryLock);
    for (size_t i = 0; i < slots.size(); ++i) {
        if (slots[i].ring) continue;
        slots[i].ring = ring;
        slots[i].generation = (slots[i].generation + 1) & (UINT32_MAX >> SlotBits);
        return makeHandle(i, slots[i].generation);
    }
    return 0;
}

void ringUnregister(uint32_t handle)
{
    std::lock_guard<std::mutex> guard(registryLock);
    uint32_t index = (handle & SlotMask);
    if (index == 0) return;
    Slot& slot = slots[index - 1];
    if (slot.ring && makeHandle(index - 1, slot.generation) == handle) slot.ring = nullptr;
}

RingBuffer* ringFromHandle(uint32_t handle)
{
    std::lock_guard<std::mutex> guard(registryLock);
    uint32_t index = handle & SlotMask;
    if (index == 0) return nullptr;
    const Slot& slot = slots[index - 1];
    if (!slot.ring || makeHandle(index - 1, slot.generation) != handle || !slot.ring->valid()) return nullptr;
    return slot.ring;
}
