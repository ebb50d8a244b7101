#include "core/guest_write.h"

#include "cpu/memory.h"

#include <atomic>
#include <cstring>
#include <utility>

namespace {
std::atomic<HostWriteObserver> observer{nullptr};
}  // namespace

void guestSetHostWriteObserver(HostWriteObserver o) { observer.store(o, std::memory_order_release); }

void screenNoteRange(uint8_t* host, size_t length)
{
    if (length == 0) return;
    if (HostWriteObserver o = observer.load(std::memory_order_acquire)) o(host, length);
}

bool guestWriteFromHost(uint32_t address, const void* bytes, uint32_t length)
{
    uint8_t* dest = guestRange(address, length);
    if (!dest) return false;
    if (length == 0) return true;
    memcpy(dest, bytes, length);
    screenNoteRange(dest, length);
    return true;
}

bool guestFillFromHost(uint32_t address, uint8_t value, uint32_t length)
{
    uint8_t* dest = guestRange(address, length);
    if (!dest) return false;
    if (length == 0) return true;
    memset(dest, value, length);
    screenNoteRange(dest, length);
    return true;
}

GuestWriteSpan guestWriteSpan(uint32_t address, uint32_t length)
{
    uint8_t* dest = guestRange(address, length);
    if (!dest) return {};
    return {dest, length};
}

GuestWriteSpan::GuestWriteSpan(GuestWriteSpan&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      written_(std::exchange(other.written_, 0))
{
}

GuestWriteSpan& GuestWriteSpan::operator=(GuestWriteSpan&& other) noexcept
{
    if (this != &other) {
        if (data_) screenNoteRange(data_, written_);
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        written_ = std::exchange(other.written_, 0);
    }
    return *this;
}

GuestWriteSpan::~GuestWriteSpan()
{
    if (data_) screenNoteRange(data_, written_);
}
