// Host-directory throughput through the guest, against cp of the same file in the same
// run, and the time to open and list a folder of 10,000 files.
//
//   dos-bench [work folder]     (default: a new folder in $TMPDIR or /tmp)
//
// The guest program frames each phase with "mark" lines on standard error; they are
// timestamped here as they arrive.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr double FileMegabytes = 64.0;
constexpr int ListedFiles = 10000;

struct Mark {
    std::string text;
    Clock::time_point at;
};

// Runs the program and timestamps every line of its standard error.
std::vector<Mark> runTimed(std::vector<std::string> args)
{
    std::vector<Mark> marks;
    int fds[2];
    if (pipe(fds) != 0) return marks;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (failed) {
        close(fds[0]);
        return marks;
    }
    std::string pending;
    char buffer[4096];
    while (true) {
        ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        Clock::time_point now = Clock::now();
        pending.append(buffer, size_t(n));
        size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, end);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            marks.push_back({line, now});
            pending.erase(0, end + 1);
        }
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return marks;
}

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

double copySeconds(const fs::path& from, const fs::path& to)
{
    std::string command = "cp '" + from.string() + "' '" + to.string() + "'";
    Clock::time_point start = Clock::now();
    int result = system(command.c_str());
    double s = seconds(Clock::now() - start);
    fs::remove(to);
    return result == 0 ? s : -1;
}

}  // namespace

int main(int argc, char** argv)
{
    fs::path program = fs::path(argv[0]).parent_path() / "zem2";
    fs::path image = fs::path(argv[0]).parent_path() / "bench-dos-io.bin";
    fs::path work =
        argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / ("zem_dos_bench_" + std::to_string(getpid()));
    fs::path drive = work / "drive";
    fs::create_directories(drive / "many");
    fs::create_directories(work / "data");
    for (int i = 0; i < ListedFiles; ++i) std::ofstream(drive / "many" / ("file" + std::to_string(i) + ".txt")) << i;
    std::ofstream(work / "zem.ini") << "[Emulation]\nMemory=4\n[DOS]\nDOS1=" << drive.string() << "\n";
    setenv("XDG_DATA_HOME", (work / "data").c_str(), 1);
    setenv("TMPDIR", work.c_str(), 1);

    std::vector<Mark> marks =
        runTimed({program.string(), "-INI", (work / "zem.ini").string(), "-OS", image.string(), "-DBG", "0"});
    std::map<std::string, Clock::time_point> at;
    for (const Mark& m : marks) {
        if (m.text.rfind("failed", 0) == 0) {
            fprintf(stderr, "guest: %s\n", m.text.c_str());
            return 1;
        }
        if (m.text.rfind("mark ", 0) == 0) at[m.text.substr(5)] = m.at;
    }

    // cp of the same 64 MB file, from the page cache as the guest's reads were.
    double cp = copySeconds(drive / "bench", work / "copy");
    double cpRate = FileMegabytes / cp;
    printf("%-28s %10s %10s\n", "", "MB/s", "time / cp");
    printf("%-28s %10.0f %10.2f\n", "cp (read + write)", cpRate, 1.0);
    for (const char* size : {"00000200", "00001000", "00010000"}) {
        std::string key(size);
        if (!at.count("write " + key) || !at.count("read " + key) || !at.count("done " + key)) {
            fprintf(stderr, "missing marks for %s\n", size);
            return 1;
        }
        double write = FileMegabytes / seconds(at["read " + key] - at["write " + key]);
        double readRate = FileMegabytes / seconds(at["done " + key] - at["read " + key]);
        unsigned bytes = unsigned(strtoul(size, nullptr, 16));
        printf("guest write, %5u B calls %10.0f %10.2f\n", bytes, write, cpRate / write);
        printf("guest read,  %5u B calls %10.0f %10.2f\n", bytes, readRate, cpRate / readRate);
    }
    for (const auto& [text, when] : at)
        if (text.rfind("listed ", 0) == 0) {
            double s = seconds(when - at["list 0"]);
            printf("open and list %lu files: %.3f s\n", strtoul(text.c_str() + 7, nullptr, 16), s);
        }
    if (argc <= 1) fs::remove_all(work);
    return 0;
}
