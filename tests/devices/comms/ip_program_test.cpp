// Guest programs use the socket device through the real emulator against loopback servers
// that the tests run; each program prints what it found with DebugPrint.
#include "guest_runner.h"
#include "loopback.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <netdb.h>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace {

constexpr const char* Ini = "[Emulation]\nMemory=4\n";

GuestRun runProgram(const char* image, const std::string& commandLine,
                    std::chrono::milliseconds limit = std::chrono::seconds(60))
{
    GuestRun run = runGuestProgram(image, {"-CMDLINE", commandLine}, Ini, limit);
    EXPECT_TRUE(run.started);
    EXPECT_FALSE(run.timedOut) << run.describe();
    EXPECT_TRUE(run.exited && run.exitCode == 0) << run.describe();
    return run;
}

void expectLines(const GuestRun& run, const std::vector<std::string>& lines)
{
    for (const std::string& line : lines)
        EXPECT_TRUE(run.hasLine(line)) << "missing: " << line << "\n" << run.describe();
}

std::string hex(uint32_t v)
{
    char text[9];
    snprintf(text, sizeof text, "%08x", v);
    return text;
}

std::string tcpName(uint16_t port) { return "TCP_127.0.0.1:" + std::to_string(port); }

// Echoes every datagram to its sender until destroyed.
class UdpEcho {
public:
    UdpEcho() : socket_(loopback::bindUdp()), port_(loopback::localPort(socket_.fd))
    {
        thread_ = std::thread([this] {
            char buffer[2048];
            while (!stop_) {
                pollfd p{socket_.fd, POLLIN, 0};
                if (::poll(&p, 1, 50) <= 0) continue;
                sockaddr_in from{};
                socklen_t length = sizeof from;
                ssize_t n =
                    ::recvfrom(socket_.fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
                if (n >= 0) ::sendto(socket_.fd, buffer, size_t(n), 0, reinterpret_cast<sockaddr*>(&from), length);
            }
        });
    }
    ~UdpEcho()
    {
        stop_ = true;
        thread_.join();
    }
    uint16_t port() const { return port_; }

private:
    loopback::Fd socket_;
    uint16_t port_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Python's small web server on a directory, for as long as the object lives.
class WebServer {
public:
    explicit WebServer(const std::filesystem::path& directory) : port_(loopback::closedPort())
    {
        std::string portText = std::to_string(port_);
        std::string dir = directory.string();
        const char* argv[] = {"python3",     "-m",        "http.server",    "--bind", "127.0.0.1",
                              "--directory", dir.c_str(), portText.c_str(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        if (posix_spawnp(&pid_, "python3", &actions, nullptr, const_cast<char**>(argv), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        for (int i = 0; i < 200 && pid_ > 0; ++i) {
            if (loopback::connectTcp(port_).fd >= 0) {
                ready_ = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ~WebServer()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    bool ready() const { return ready_; }
    uint16_t port() const { return port_; }

private:
    uint16_t port_;
    pid_t pid_ = -1;
    bool ready_ = false;
};

// The emulator this test started: the child process whose parent is this one.
pid_t childProcess()
{
    for (const auto& e : std::filesystem::directory_iterator("/proc")) {
        std::string pidText = e.path().filename().string();
        if (pidText.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat(e.path() / "stat");
        std::string line;
        std::getline(stat, line);
        size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 2));
        char state;
        pid_t parent = 0;
        rest >> state >> parent;
        if (parent == getpid()) return pid_t(std::stol(pidText));
    }
    return -1;
}

size_t openDescriptors(pid_t pid)
{
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd"))
        ++n;
    return n;
}

}  // namespace

TEST(IpProgram, TcpEchoCarriesEveryByteValueAndAMegabyteEachWay)
{
    loopback::EchoServer echo;
    GuestRun run = runProgram(GUEST_TCP_ECHO, tcpName(echo.port()));
    expectLines(run, {
                         "open 00000000",
                         "sent256 00000000 00000100",
                         "fetched256 00000000 00000100",
                         "bytes256 wrong 00000000",
                         "megabyte sent 00100000 received 00100000 failure 00000000 wrong 00000000",
                         "line 00000000 count 0000000b <first line>",
                         "line 00000000 count 00000007 <second>",
                         "byte 00000000 0000005a",
                         "close 00000000",
                         "after close fffffffa",
                     });
    EXPECT_TRUE(run.contains("describe 00000000 <TCP_127.0.0.1:" + std::to_string(echo.port()) + " (c)>"))
        << run.describe();
    EXPECT_TRUE(run.contains("control 00000000 01 00 00 00")) << run.describe();

    // What the server received: the 256 values, then the megabyte pattern.
    std::string got = echo.firstConnectionData();
    ASSERT_GE(got.size(), 256u + 0x100000u);
    for (uint32_t i = 0; i < 256; ++i) ASSERT_EQ(uint8_t(got[i]), i);
    for (uint32_t i = 0; i < 0x100000; ++i) ASSERT_EQ(uint8_t(got[256 + i]), uint8_t(i + (i >> 8))) << "at " << i;
}

TEST(IpProgram, UdpEchoWithAndWithoutAConnectedPeer)
{
    UdpEcho echo;
    GuestRun run = runProgram(GUEST_UDP_ECHO, "UDP_127.0.0.1:" + std::to_string(echo.port()));
    expectLines(run, {
                         "open 00000000",
                         "send 00000000 0000000c",
                         "receive 00000000 0000000c <datagram one>",
                         "peer 00000000 00000010",
                         "open plain 00000000",
                         "sendto 0000000c",
                         "receivefrom 0000000c <datagram one> length 00000010 differs 00000000",
                     });
}

TEST(IpProgram, HttpGetReadsHeadersAndBodyUntilTheServerCloses)
{
    const auto dir = std::filesystem::temp_directory_path() / ("zem_http_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string body = "Hello from the loopback web server.";
    std::ofstream(dir / "page.txt") << body;
    {
        WebServer web(dir);
        ASSERT_TRUE(web.ready()) << "python3 -m http.server did not start";
        GuestRun run = runProgram(GUEST_HTTP_GET, "TCP_localhost:" + std::to_string(web.port()));
        expectLines(run, {
                             "open 00000000",
                             "status 00000000 <HTTP/1.0 200 OK>",
                             "body fffffff6 count " + hex(uint32_t(body.size())),
                             "text <" + body + ">",
                             "receive after end fffffff6",
                         });
        int headers = -1;
        for (const std::string& line : run.lines())
            if (line.rfind("headers ", 0) == 0) headers = std::stoi(line.substr(8, 8), nullptr, 16);
        EXPECT_GE(headers, 2) << run.describe();
        EXPECT_TRUE(run.hasLine("headers " + hex(uint32_t(headers)) + " end 00000000")) << run.describe();
    }
    std::filesystem::remove_all(dir);
}

TEST(IpProgram, GuestServerAcceptsTheTestsClient)
{
    const uint16_t port = loopback::closedPort();
    std::string answer;
    std::thread client([&] {
        for (int i = 0; i < 400; ++i) {
            loopback::Fd c = loopback::connectTcp(port);
            if (c.fd >= 0) {
                loopback::sendAll(c.fd, "ping\n");
                answer = loopback::receiveAll(c.fd);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
    });
    GuestRun run = runProgram(GUEST_SERVER, tcpName(port));
    client.join();
    expectLines(run, {
                         "bind 00000000",
                         "listen 00000000",
                         "listening <" + tcpName(port) + " (l)>",
                         "accept 00000000",
                         "new handle 00000001",
                         "got 00000000 <ping",
                         "answered 00000000",
                         "closed 00000000",
                     });
    EXPECT_EQ(answer, "pong ping\n");
}

TEST(IpProgram, NameServicesAndAddressTexts)
{
    char own[256] = {};
    ASSERT_EQ(gethostname(own, sizeof own - 1), 0);
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    ASSERT_EQ(getaddrinfo(own, nullptr, &hints, &found), 0) << "the host cannot resolve its own name";
    const uint32_t ownAddress = ntohl(reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
    freeaddrinfo(found);

    GuestRun run = runProgram(GUEST_NAMES, tcpName(loopback::closedPort()));
    expectLines(run, {
                         "open 00000000",
                         "localhost 00000000 address 7f000001 type 00000002 length 00000004",
                         "hostname 00000000 <" + std::string(own) + ">",
                         "own 00000000 address " + hex(ownAddress),
                         "unknown fffffff1",
                         "cell 00000000 00000001",
                         "cell text <Host not found>",
                         "service 00000000 port 00000050",
                         "protocol 00000000 number 00000011",
                         "parse 00000000 7f000001",
                         "parse big fffffff1",
                         "binary 00000000 281e140a",
                         "stored 00000000 0a141e28",
                         "text 00000000 <192.168.1.254>",
                         "closed port ffffffe9",
                         "close all 00000000",
                     });
}

TEST(IpProgram, AThousandConnectionsAtOnceAndNoDescriptorLeftBehind)
{
    constexpr size_t Connections = 1000;
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_cur < 4 * Connections) {
        limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 4 * Connections);
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    ASSERT_GE(limit.rlim_cur, 2 * Connections + 64) << "descriptor limit too low for the test";

    loopback::EchoServer echo;
    loopback::Fd controlListener = loopback::listenTcp();
    std::vector<size_t> counts;
    std::thread control([&] {
        pollfd p{controlListener.fd, POLLIN, 0};
        if (::poll(&p, 1, 60000) <= 0) return;
        loopback::Fd c(::accept(controlListener.fd, nullptr, nullptr));
        pid_t emulator = childProcess();
        for (int step = 0; step < 3; ++step) {
            if (loopback::receiveAll(c.fd, 4).size() != 4) return;
            counts.push_back(emulator > 0 ? openDescriptors(emulator) : 0);
            loopback::sendAll(c.fd, "k");
        }
    });
    GuestRun run = runProgram(GUEST_LOAD, tcpName(loopback::localPort(controlListener.fd)) + " " + tcpName(echo.port()),
                              std::chrono::seconds(120));
    control.join();
    expectLines(run, {"control 00000000", "opened 000003e8 failed 00000000", "exchanged lost 00000000",
                      "closed failed 00000000"});
    EXPECT_EQ(echo.connectionsSeen(), Connections + 0);
    EXPECT_EQ(echo.bytesEchoed(), 4 * Connections);
    ASSERT_EQ(counts.size(), 3u);
    EXPECT_GT(counts[0], 0u);
    EXPECT_EQ(counts[1], counts[0] + Connections) << "all connections open at once";
    EXPECT_EQ(counts[2], counts[0]) << "descriptors back to the start count";
}

TEST(IpProgram, LogLinesOfTheDeviceAndItsPlaceInStartUpAndShutDown)
{
    const uint16_t port = loopback::closedPort();
    std::thread client([&] {
        for (int i = 0; i < 400; ++i) {
            loopback::Fd c = loopback::connectTcp(port);
            if (c.fd >= 0) {
                loopback::sendAll(c.fd, "log\n");
                loopback::receiveAll(c.fd);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
    });
    constexpr const char* GeneralAndIp = "129";
    GuestRun run = runGuestProgram(GUEST_SERVER, {"-CMDLINE", tcpName(port), "-DBG", GeneralAndIp}, Ini);
    client.join();
    ASSERT_TRUE(run.exited && run.exitCode == 0) << run.describe();
    EXPECT_TRUE(run.linesInOrder({
        "ZEM: IP ready",
        "ZEM: 250hz poll ready",
        "IP: Open",
        "IP: Open TCP or UDP socket: 0",
        "IP: Host \"127.0.0.1\", port \"" + std::to_string(port) + "\"",
        "IP: Binding...",
        "IP: Open",
        "IP: SCK requested",
        "IP: IPRead result 4",
        "IP: IPWrite 5",
        "IP: IPWrite result 5",
        "IP: Closing socket",
        "IP: Closing socket",
        "ZEM: Free memory",
        "ZEM: Free IP",
        "ZEM: Shut down event system",
    })) << run.describe();
}
