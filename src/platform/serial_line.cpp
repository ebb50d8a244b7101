#include "platform/serial_line.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

// ---- WakeEvent -------------------------------------------------------------------------

WakeEvent::WakeEvent() { fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK); }

WakeEvent::~WakeEvent()
{
    if (fd_ >= 0) ::close(fd_);
}

void WakeEvent::signal()
{
    uint64_t one = 1;
    // A full counter still reads as signalled, so a failed add loses nothing.
    [[maybe_unused]] ssize_t n = ::write(fd_, &one, sizeof one);
}

bool WakeEvent::consume()
{
    uint64_t count = 0;
    return ::read(fd_, &count, sizeof count) == ssize_t(sizeof count);
}

bool WakeEvent::wait(int timeoutMs)
{
    pollfd p{fd_, POLLIN, 0};
    for (;;) {
        int r = poll(&p, 1, timeoutMs);
        if (r > 0) return consume() || true;
        if (r == 0) return false;
        if (errno != EINTR) return false;
    }
}

// ---- baud rates ------------------------------------------------------------------------

namespace {

struct BaudEntry {
    uint32_t rate;
    speed_t constant;
};

constexpr std::array BaudTable = {
    BaudEntry{50, B50},           BaudEntry{75, B75},         BaudEntry{110, B110},     BaudEntry{134, B134},
    BaudEntry{150, B150},         BaudEntry{200, B200},       BaudEntry{300, B300},     BaudEntry{600, B600},
    BaudEntry{1200, B1200},       BaudEntry{1800, B1800},     BaudEntry{2400, B2400},   BaudEntry{4800, B4800},
    BaudEntry{9600, B9600},       BaudEntry{19200, B19200},   BaudEntry{38400, B38400}, BaudEntry{57600, B57600},
    BaudEntry{115200, B115200},   BaudEntry{230400, B230400},
#ifdef B460800
    BaudEntry{460800, B460800},
#endif
#ifdef B500000
    BaudEntry{500000, B500000},
#endif
#ifdef B576000
    BaudEntry{576000, B576000},
#endif
#ifdef B921600
    BaudEntry{921600, B921600},
#endif
#ifdef B1000000
    BaudEntry{1000000, B1000000},
#endif
#ifdef B1152000
    BaudEntry{1152000, B1152000},
#endif
#ifdef B1500000
    BaudEntry{1500000, B1500000},
#endif
#ifdef B2000000
    BaudEntry{2000000, B2000000},
#endif
#ifdef B2500000
    BaudEntry{2500000, B2500000},
#endif
#ifdef B3000000
    BaudEntry{3000000, B3000000},
#endif
#ifdef B3500000
    BaudEntry{3500000, B3500000},
#endif
#ifdef B4000000
    BaudEntry{4000000, B4000000},
#endif
};

speed_t baudConstant(uint32_t rate)
{
    for (const BaudEntry& e : BaudTable)
        if (e.rate == rate) return e.constant;
    return B19200;
}

}  // namespace

BaudChoice serialNearestBaud(uint32_t rate)
{
    const BaudEntry* best = &BaudTable.front();
    for (const BaudEntry& e : BaudTable) {
        uint32_t distance = e.rate > rate ? e.rate - rate : rate - e.rate;
        uint32_t bestDistance = best->rate > rate ? best->rate - rate : rate - best->rate;
        if (distance < bestDistance) best = &e;
    }
    return {best->rate, best->rate == rate};
}

// ---- SerialLine ------------------------------------------------------------------------

bool SerialLine::open(const std::string& path, SerialOpenError& error, int& hostError)
{
    close();
    error = SerialOpenError::None;
    hostError = 0;
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        hostError = errno;
        switch (hostError) {
        case ENOENT:
        case ENOTDIR:
        case ENODEV:
        case ENXIO:
        case EIO:  // a device node whose hardware is missing
            error = SerialOpenError::NotFound;
            break;
        case EACCES:
        case EPERM:
        case EBUSY:
            error = SerialOpenError::InUse;
            break;
        default:
            error = SerialOpenError::Other;
            break;
        }
        return false;
    }
    // No sharing: an advisory lock that holds even against privileged openers, and the
    // terminal's own exclusive mode for everybody else.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        hostError = errno;
        error = hostError == EWOULDBLOCK ? SerialOpenError::InUse : SerialOpenError::Other;
        ::close(fd);
        return false;
    }
    if (!isatty(fd)) {
        hostError = errno ? errno : ENOTTY;
        error = SerialOpenError::Other;
        ::close(fd);
        return false;
    }
    ioctl(fd, TIOCEXCL);
    fd_ = fd;
    return true;
}

void SerialLine::close()
{
    if (fd_ < 0) return;
    ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
}

bool SerialLine::configure(uint32_t baud)
{
    termios t{};
    if (tcgetattr(fd_, &t) != 0) return false;
    cfmakeraw(&t);
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL);
    t.c_cflag |= CS8 | CREAD | CLOCAL;
    t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    t.c_iflag |= IGNBRK;
    // One byte minimum: a non-blocking read of an empty line then fails with EAGAIN
    // instead of returning 0, which stays the sign of a hung-up line.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    speed_t speed = baudConstant(serialNearestBaud(baud).rate);
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    return tcsetattr(fd_, TCSANOW, &t) == 0;
}

bool SerialLine::setBaud(uint32_t baud)
{
    termios t{};
    if (tcgetattr(fd_, &t) != 0) return false;
    speed_t speed = baudConstant(serialNearestBaud(baud).rate);
    if (cfsetispeed(&t, speed) != 0 || cfsetospeed(&t, speed) != 0) return false;
    return tcsetattr(fd_, TCSANOW, &t) == 0;
}

bool SerialLine::setRts(bool on)
{
    int bit = TIOCM_RTS;
    return ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit) == 0;
}

bool SerialLine::setDtr(bool on)
{
    int bit = TIOCM_DTR;
    return ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit) == 0;
}

std::optional<uint32_t> SerialLine::modemLines() const
{
    int bits = 0;
    if (fd_ < 0 || ioctl(fd_, TIOCMGET, &bits) != 0) return std::nullopt;
    uint32_t lines = 0;
    if (bits & TIOCM_CTS) lines |= ModemLine::Cts;
    if (bits & TIOCM_DSR) lines |= ModemLine::Dsr;
    if (bits & TIOCM_RNG) lines |= ModemLine::Ring;
    if (bits & TIOCM_CD) lines |= ModemLine::CarrierDetect;
    return lines;
}

void SerialLine::purgeInput()
{
    if (fd_ >= 0) tcflush(fd_, TCIFLUSH);
}

void SerialLine::purgeOutput()
{
    if (fd_ >= 0) tcflush(fd_, TCOFLUSH);
}

ssize_t SerialLine::readSome(uint8_t* buffer, size_t length)
{
    for (;;) {
        ssize_t n = ::read(fd_, buffer, length);
        if (n > 0) return n;
        if (n == 0) return length == 0 ? 0 : -2;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        return -1;
    }
}

int64_t SerialLine::nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

ssize_t SerialLine::writeSome(const uint8_t* data, size_t length)
{
    for (;;) {
        ssize_t n = ::write(fd_, data, length);
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        return -1;
    }
}

bool SerialLine::waitWritable(int timeoutMs, WakeEvent& wake)
{
    pollfd p[2] = {{fd_, POLLOUT, 0}, {wake.fd(), POLLIN, 0}};
    int r = poll(p, 2, timeoutMs);
    if (r > 0 && (p[1].revents & POLLIN)) return wake.consume() || true;
    return false;
}

std::string serialErrorText(int error) { return strerror(error); }
