// Serial port figures: sustained throughput each way through the port's rings and threads
// at the highest rate a pseudo-terminal takes, and the processor time the three threads
// of an open port use while nothing flows (they should sleep, not poll).
//
//     ser-bench [megabytes per direction (default 16)] [idle seconds (default 5)]
#include "config/settings.h"
#include "core/ring_buffer.h"
#include "devices/comms/ser_port.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint32_t HighestPtyRate = 4000000;

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double since(std::chrono::steady_clock::time_point t)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

bool writeAll(int fd, const uint8_t* p, size_t n)
{
    while (n > 0) {
        ssize_t w = write(fd, p, n);
        if (w < 0) return false;
        p += w;
        n -= size_t(w);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    const size_t megabytes = argc > 1 ? size_t(atoi(argv[1])) : 16;
    const int idleSeconds = argc > 2 ? atoi(argv[2]) : 5;
    const size_t total = megabytes << 20;

    int master = -1, slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        perror("openpty");
        return 1;
    }
    termios t{};
    tcgetattr(slave, &t);
    cfmakeraw(&t);
    tcsetattr(slave, TCSANOW, &t);
    close(slave);

    settings.SerialPort[0] = 1;
    settings.SerialDevice[0] = name;
    serStartUp();
    serSetBaudRate(0, HighestPtyRate);
    if (serOpenPort(0, SerDirection::Both, 0) != 0) {
        fprintf(stderr, "cannot open %s\n", name);
        return 1;
    }
    serReceiveOn(0);

    std::vector<uint8_t> data(1 << 16);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 13 + (i >> 8));

    // Host to guest: a peer thread writes, this thread plays the guest draining the ring.
    {
        std::thread peer([&] {
            for (size_t sent = 0; sent < total; sent += data.size()) writeAll(master, data.data(), data.size());
        });
        RingBuffer& rx = serReceiveRing(0);
        auto start = std::chrono::steady_clock::now();
        size_t got = 0;
        bool wrong = false;
        while (got < total) {
            std::optional<uint8_t> b = rx.get();
            if (!b) {
                serReceiveOn(0);  // drained: RTS back on, a held-up receive goes on
                std::this_thread::yield();
                continue;
            }
            wrong |= *b != data[got % data.size()];
            ++got;
        }
        double s = since(start);
        peer.join();
        printf("to the port:   %zu MB in %.2f s = %.1f MB/s%s\n", megabytes, s, double(total) / s / 1e6,
               wrong ? " (DATA WRONG)" : "");
    }

    // Guest to host: this thread fills the transmit ring, a peer thread reads.
    {
        std::atomic<size_t> received{0};
        std::atomic<bool> wrong{false};
        std::thread peer([&] {
            std::vector<uint8_t> block(1 << 16);
            size_t at = 0;
            while (at < total) {
                ssize_t n = read(master, block.data(), block.size());
                if (n <= 0) break;
                for (ssize_t i = 0; i < n; ++i)
                    if (block[size_t(i)] != data[(at + size_t(i)) % data.size()]) wrong = true;
                at += size_t(n);
                received = at;
            }
        });
        RingBuffer& tx = serTransmitRing(0);
        auto start = std::chrono::steady_clock::now();
        for (size_t put = 0; put < total;) {
            if (!tx.put(data[put % data.size()])) {
                serSend(0);
                while (tx.full()) std::this_thread::yield();
                continue;
            }
            ++put;
        }
        serSend(0);
        peer.join();
        double s = since(start);
        printf("from the port: %zu MB in %.2f s = %.1f MB/s%s\n", megabytes, s, double(received) / s / 1e6,
               wrong ? " (DATA WRONG)" : "");
    }

    // Idle: the port open, receiving on, nothing flowing; only its threads can run.
    double before = cpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    double used = cpuSeconds() - before;
    printf("idle, port open: %.4f s of processor time in %d s = %.3f %% of a core\n", used, idleSeconds,
           100.0 * used / idleSeconds);

    serShutDown();
    close(master);
    return 0;
}
