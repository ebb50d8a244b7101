// A host serial line (a terminal device: a real port or one side of a pseudo-terminal
// pair) opened exclusively, in raw mode, for non-blocking reads and writes, and a small
// wake-up event that a thread can wait on together with the line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>

// An auto-reset event that poll() can watch: signal() from any thread, the waiter's
// wait() or consume() resets it.
class WakeEvent {
public:
    WakeEvent();
    ~WakeEvent();
    WakeEvent(const WakeEvent&) = delete;
    WakeEvent& operator=(const WakeEvent&) = delete;

    bool valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    void signal();
    // True when it was signalled (and resets it).
    bool consume();
    // Waits until signalled (timeout in milliseconds, negative: no limit). True when
    // signalled, false on time-out. The event is reset.
    bool wait(int timeoutMs);

private:
    int fd_ = -1;
};

// Why an open failed, in the terms the guest's result needs.
enum class SerialOpenError {
    None,
    NotFound,  // no such device on this host
    InUse,     // held by another program or refused
    Other,
};

// Modem lines as the port record keeps them: the values of the classic COM-port status.
namespace ModemLine {
constexpr uint32_t Cts = 0x10;
constexpr uint32_t Dsr = 0x20;
constexpr uint32_t Ring = 0x40;
constexpr uint32_t CarrierDetect = 0x80;
}  // namespace ModemLine

// Baud rates the host can set.
struct BaudChoice {
    uint32_t rate = 0;   // the rate actually used
    bool exact = false;  // the asked rate has a host constant
};
// The supported rate nearest to `rate` (ties to the lower one); 0 gives the lowest.
BaudChoice serialNearestBaud(uint32_t rate);

class SerialLine {
public:
    SerialLine() = default;
    ~SerialLine() { close(); }
    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;

    // Opens `path` for reading and writing, non-blocking, without making it the
    // controlling terminal, and takes it exclusively (no second opener). `error` and
    // `hostError` (errno) tell why on failure.
    bool open(const std::string& path, SerialOpenError& error, int& hostError);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    // Raw mode, 8 data bits, no parity, 1 stop bit, receiver on, modem control lines
    // ignored for carrier, no flow control by the driver, `baud` (nearest supported).
    bool configure(uint32_t baud);
    // Changes the rate only; false when the host refuses.
    bool setBaud(uint32_t baud);

    // Output lines. False when the device has no such lines (a pseudo-terminal).
    bool setRts(bool on);
    bool setDtr(bool on);
    // Input lines as ModemLine bits; nothing when the device cannot report them.
    std::optional<uint32_t> modemLines() const;

    // Drops what the driver has received and not yet handed out.
    void purgeInput();
    // Drops what is queued for sending (before a close, so the close does not wait).
    void purgeOutput();

    // Non-blocking read: bytes read, 0 when nothing is waiting, -1 on error (errno set),
    // -2 at end of file (the other side hung up).
    ssize_t readSome(uint8_t* buffer, size_t length);
    // Writes up to `length` bytes, waiting at most `timeoutMs` for the driver to take
    // them. A signal of `wake` interrupts the wait when `abandon()` then says so. Bytes
    // written; -1 on error (errno set) before anything was written.
    template <typename Abandon>
    ssize_t write(const uint8_t* data, size_t length, int timeoutMs, WakeEvent& wake, Abandon abandon)
    {
        size_t done = 0;
        int64_t deadline = nowMs() + timeoutMs;
        while (done < length) {
            ssize_t n = writeSome(data + done, length - done);
            if (n < 0) return done > 0 ? ssize_t(done) : -1;
            done += size_t(n);
            if (done == length) break;
            int64_t left = deadline - nowMs();
            if (left <= 0) break;
            if (waitWritable(int(left), wake) && abandon()) break;
        }
        return ssize_t(done);
    }

private:
    static int64_t nowMs();
    // Bytes taken (0 when the driver is full), -1 on error.
    ssize_t writeSome(const uint8_t* data, size_t length);
    // Waits until the line takes output or `wake` fires (true: woken).
    bool waitWritable(int timeoutMs, WakeEvent& wake);

    int fd_ = -1;
};

// The host's text for an errno value.
std::string serialErrorText(int error);
