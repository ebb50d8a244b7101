#include "ser_pty.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

int remainingMs(std::chrono::steady_clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? int(left.count()) : 0;
}

}  // namespace

TestPty::TestPty()
{
    int master = -1, slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) return;
    // Raw from the start, so nothing the test writes early is echoed or translated.
    termios t{};
    tcgetattr(slave, &t);
    cfmakeraw(&t);
    tcsetattr(slave, TCSANOW, &t);
    close(slave);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    master_ = master;
    slavePath_ = name;
}

TestPty::~TestPty() { hangUp(); }

void TestPty::hangUp()
{
    if (master_ >= 0) close(master_);
    master_ = -1;
}

size_t TestPty::write(const uint8_t* data, size_t length, std::chrono::milliseconds limit)
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    size_t done = 0;
    while (done < length && master_ >= 0) {
        ssize_t n = ::write(master_, data + done, length - done);
        if (n > 0) {
            done += size_t(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) break;
        int left = remainingMs(deadline);
        if (left == 0) break;
        pollfd p{master_, POLLOUT, 0};
        poll(&p, 1, left);
    }
    return done;
}

std::vector<uint8_t> TestPty::read(size_t length, std::chrono::milliseconds limit)
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    std::vector<uint8_t> got;
    got.reserve(length);
    uint8_t block[4096];
    while (got.size() < length && master_ >= 0) {
        size_t want = std::min(sizeof block, length - got.size());
        ssize_t n = ::read(master_, block, want);
        if (n > 0) {
            got.insert(got.end(), block, block + n);
            continue;
        }
        // EIO: nobody holds the slave (the emulator has not opened it yet, or is gone).
        if (n == 0 || (errno != EAGAIN && errno != EINTR && errno != EIO)) break;
        int left = remainingMs(deadline);
        if (left == 0) break;
        pollfd p{master_, POLLIN, 0};
        if (poll(&p, 1, std::min(left, 50)) > 0 && (p.revents & POLLHUP) && !(p.revents & POLLIN)) {
            // No slave side open at the moment: wait and look again.
            usleep(10000);
        }
    }
    return got;
}
