// Host-side writes into guest memory. Everything the host copies into guest RAM (a file
// read, a received packet, a string for the guest, the loaded image) goes through these
// calls, so the display always learns about bytes that land on the screen: the processor
// watches the guest's own stores, these calls cover the host's.
//
//     // copy a finished buffer
//     if (!guestWriteFromHost(cpu.A[1], bytes.data(), uint32_t(bytes.size())))
//         return GuestError::BadParameter;
//
//     // or fill guest memory in place, e.g. read(2) straight into RAM
//     GuestWriteSpan span = guestWriteSpan(cpu.A[1], length);
//     if (!span) return GuestError::BadParameter;
//     ssize_t got = read(fd, span.data(), span.size());
//     span.written(got > 0 ? size_t(got) : 0);   // only these bytes are reported
//
// Ranges follow guestRange: the address is masked, and a range that runs past the RAM
// size is refused whole (nothing is written).
#pragma once

#include <cstddef>
#include <cstdint>

// Copies `length` bytes to guest `address` and tells the display. False when the range
// does not lie in RAM.
bool guestWriteFromHost(uint32_t address, const void* bytes, uint32_t length);
// Sets `length` bytes at `address` to `value` (clearing memory), likewise.
bool guestFillFromHost(uint32_t address, uint8_t value, uint32_t length);

// A checked stretch of guest RAM that host code fills in place. The display is told when
// the span ends, about the first written() bytes (all of them unless written() says
// fewer). Processor thread, or start-up before it runs; keep it short-lived.
class GuestWriteSpan {
public:
    GuestWriteSpan() = default;
    GuestWriteSpan(uint8_t* data, size_t size) : data_(data), size_(size), written_(size) {}
    GuestWriteSpan(const GuestWriteSpan&) = delete;
    GuestWriteSpan& operator=(const GuestWriteSpan&) = delete;
    GuestWriteSpan(GuestWriteSpan&& other) noexcept;
    GuestWriteSpan& operator=(GuestWriteSpan&& other) noexcept;
    ~GuestWriteSpan();

    explicit operator bool() const { return data_ != nullptr; }
    uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    // How many bytes from the start were really written (at most size()).
    void written(size_t count) { written_ = count < size_ ? count : size_; }

private:
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t written_ = 0;
};

// The span for `length` bytes at `address`; empty (false) when it does not lie in RAM.
GuestWriteSpan guestWriteSpan(uint32_t address, uint32_t length);

// Tells the display that host code changed [host, host + length) in guest memory. For the
// rare writer that cannot use the calls above (a ring of atomics...).
void screenNoteRange(uint8_t* host, size_t length);

// Who hears about host writes: the display installs its change recorder at its start and
// removes it (nullptr) at its shut-down. Until then host writes are not tracked.
using HostWriteObserver = void (*)(uint8_t* host, size_t length);
void guestSetHostWriteObserver(HostWriteObserver observer);
