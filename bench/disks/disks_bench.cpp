// Disk throughput through the guest against dd on the same files in the same run: a
// 64 MB container read in 64-sector calls and written sector by sector, and a 1.44 MB
// floppy image read track by track and written sector by sector. Each emulator run's
// start-up and shut-down (measured with an empty run) is taken off its time.
#include "guest_runner.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr uint64_t ContainerBytes = 64ull << 20;
constexpr uint64_t FloppyBytes = 1474560;
constexpr int FloppyPasses = 200;  // as the guest program repeats

double seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

double runGuestTimed(const fs::path& dir, const char* mode)
{
    GuestRunOptions options;
    options.args = {"-OS", DISKS_BENCH_PROGRAM, "-INI", (dir / "zem.ini").string(), "-DBG", "0", "-CMDLINE", mode};
    options.timeLimit = std::chrono::milliseconds(600000);
    const Clock::time_point start = Clock::now();
    GuestRun run = runGuest(options);
    const double elapsed = seconds(start);
    if (!run.exited || run.exitCode != 0 || run.contains("failed")) {
        fprintf(stderr, "run %s failed:\n%s\n", mode, run.describe().c_str());
        exit(1);
    }
    return elapsed;
}

double shellTimed(const std::string& command)
{
    const Clock::time_point start = Clock::now();
    if (std::system(command.c_str()) != 0) {
        fprintf(stderr, "failed: %s\n", command.c_str());
        exit(1);
    }
    return seconds(start);
}

void makeFile(const fs::path& path, uint64_t bytes)
{
    std::ofstream out(path, std::ios::binary);
    std::string chunk(1 << 20, '\x5A');
    for (uint64_t done = 0; done < bytes; done += chunk.size())
        out.write(chunk.data(), std::streamsize(std::min<uint64_t>(chunk.size(), bytes - done)));
}

void report(const char* what, uint64_t bytes, double guest, double dd)
{
    const double mb = double(bytes) / (1 << 20);
    printf("%-34s %8.1f MB/s   dd %8.1f MB/s   ratio %.2f\n", what, mb / guest, mb / dd, guest / dd);
}

}  // namespace

int main()
{
    const fs::path dir = fs::temp_directory_path() / ("zem-disks-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path container = dir / "bench.win";
    const fs::path floppy = dir / "bench.img";
    makeFile(container, ContainerBytes);
    makeFile(floppy, FloppyBytes);
    std::ofstream(dir / "zem.ini") << "[Emulation]\nMemory=4\n[WIN]\nWIN1=" << container.string()
                                   << "\n[FLP]\nFLP1=" << floppy.string() << "\n";

    // The fastest of three empty runs: start-up varies more than the short runs last.
    double empty = runGuestTimed(dir, "0");
    for (int i = 0; i < 2; ++i) empty = std::min(empty, runGuestTimed(dir, "0"));
    const double read = runGuestTimed(dir, "r") - empty;
    const double readDd = shellTimed("dd if=" + container.string() + " of=/dev/null bs=32k status=none");
    const double write = runGuestTimed(dir, "w") - empty;
    const double writeDd =
        shellTimed("dd if=/dev/zero of=" + container.string() + " bs=512 count=131072 conv=notrunc status=none");
    const double track = runGuestTimed(dir, "t") - empty;
    // dd moves the same bytes in calls of the same size, through one file as long as all passes.
    const fs::path passes = dir / "passes.img";
    makeFile(passes, FloppyBytes * FloppyPasses);
    const std::string count = std::to_string(FloppyBytes * FloppyPasses / 512);
    const double trackDd = shellTimed("dd if=" + passes.string() + " of=/dev/null bs=9216 status=none");
    const double sector = runGuestTimed(dir, "s") - empty;
    const double sectorDd =
        shellTimed("dd if=/dev/zero of=" + passes.string() + " bs=512 count=" + count + " conv=notrunc status=none");

    printf("start-up and shut-down of an empty run: %.3f s (taken off each run)\n", empty);
    report("container read, 64-sector calls", ContainerBytes, read, readDd);
    report("container write, sector calls", ContainerBytes, write, writeDd);
    report("floppy read, track by track", FloppyBytes * FloppyPasses, track, trackDd);
    report("floppy write, sector by sector", FloppyBytes * FloppyPasses, sector, sectorDd);
    fs::remove_all(dir);
    return 0;
}
