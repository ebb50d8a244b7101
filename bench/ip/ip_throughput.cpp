// TCP throughput: a guest program on the real emulator sends to a loopback sink in 4 KB
// and 64 KB sends; a native sender makes the same transfer in the same run. The sink
// times each transfer from its first byte to the end of the stream.
//
//   ip-throughput [megabytes]      (default 256)
#include "guest_runner.h"
#include "loopback.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Transfer {
    uint64_t bytes = 0;
    double seconds = 0;
    double megabytesPerSecond() const { return seconds > 0 ? double(bytes) / (1 << 20) / seconds : 0; }
};

// Accepts one connection and reads it to its end.
std::future<Transfer> sink(int listener)
{
    return std::async(std::launch::async, [listener] {
        Transfer t;
        loopback::Fd c(::accept(listener, nullptr, nullptr));
        std::vector<char> buffer(1 << 20);
        ssize_t n = ::recv(c.fd, buffer.data(), buffer.size(), 0);
        auto start = Clock::now();
        while (n > 0) {
            t.bytes += uint64_t(n);
            n = ::recv(c.fd, buffer.data(), buffer.size(), 0);
        }
        t.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        return t;
    });
}

Transfer native(size_t chunk, uint64_t total)
{
    loopback::Fd listener = loopback::listenTcp();
    auto result = sink(listener.fd);
    loopback::Fd s = loopback::connectTcp(loopback::localPort(listener.fd));
    std::vector<uint8_t> data(chunk, 0x5A);
    for (uint64_t sent = 0; sent < total; sent += chunk) loopback::sendAll(s.fd, data.data(), chunk);
    s.reset();
    return result.get();
}

Transfer guest(size_t chunk, unsigned megabytes)
{
    loopback::Fd listener = loopback::listenTcp();
    auto result = sink(listener.fd);
    std::string args = "TCP_127.0.0.1:" + std::to_string(loopback::localPort(listener.fd)) + " " +
                       std::to_string(chunk) + " " + std::to_string(megabytes);
    GuestRun run =
        runGuestProgram(IP_SEND_IMAGE, {"-CMDLINE", args}, "[Emulation]\nMemory=4\n", std::chrono::seconds(300));
    if (!run.exited || run.exitCode != 0 || !run.contains("sent ")) {
        fprintf(stderr, "guest run failed:\n%s\n", run.describe().c_str());
        exit(EXIT_FAILURE);
    }
    return result.get();
}

}  // namespace

int main(int argc, char** argv)
{
    unsigned megabytes = argc > 1 ? unsigned(atoi(argv[1])) : 256;
    const uint64_t total = uint64_t(megabytes) << 20;
    printf("%-8s %14s %14s %8s\n", "send", "native MB/s", "guest MB/s", "ratio");
    for (size_t chunk : {size_t(4096), size_t(65536)}) {
        Transfer n = native(chunk, total);
        Transfer g = guest(chunk, megabytes);
        if (n.bytes != total || g.bytes != total) {
            fprintf(stderr, "short transfer: native %llu, guest %llu of %llu bytes\n", (unsigned long long)n.bytes,
                    (unsigned long long)g.bytes, (unsigned long long)total);
            return EXIT_FAILURE;
        }
        printf("%-8zu %14.0f %14.0f %8.2f\n", chunk, n.megabytesPerSecond(), g.megabytesPerSecond(),
               n.megabytesPerSecond() / g.megabytesPerSecond());
    }
    return EXIT_SUCCESS;
}
