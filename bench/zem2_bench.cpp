// Processor benchmark: runs a flat guest image on the bare processor (16 MB, supervisor
// mode as after reset) until SYS Quit and reports the time taken, the result the guest
// left in D0 and, with --count, the number of guest instructions and the rate.
#include "cpu/cpu.h"
#include "cpu/memory.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint32_t BenchMemoryMegabytes = 16;
constexpr uint32_t ImageAddress = 0x30000;
constexpr uint16_t CheckWord = 0x4AFB;
constexpr unsigned SysGroup = 0x0;

bool quitSeen = false;

// Only SYS Quit (with its check word) is known; everything else is an illegal instruction.
int32_t benchHostCall(unsigned group, unsigned sub, unsigned)
{
    if (group != SysGroup || sub != 0) return HostCallResult::Illegal;
    if (guestReadWord(cpu.hostCallPc) != CheckWord) return HostCallResult::Illegal;
    cpu.hostCallPc += 2;
    quitSeen = true;
    return HostCallResult::Stop;
}

bool loadImage(const char* path)
{
    FILE* f = fopen(path, "rb");
    if (!f) {
        fprintf(stderr, "zem2-bench: cannot open %s: %s\n", path, strerror(errno));
        return false;
    }
    std::vector<uint8_t> data;
    uint8_t chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) data.insert(data.end(), chunk, chunk + n);
    bool readError = ferror(f);
    fclose(f);
    if (readError) {
        fprintf(stderr, "zem2-bench: cannot read %s\n", path);
        return false;
    }
    uint8_t* dest = guestRange(ImageAddress, uint32_t(data.size()));
    if (data.size() > UINT32_MAX || !dest) {
        fprintf(stderr, "zem2-bench: %s (%zu bytes) does not fit in %u MB at $%X\n", path, data.size(),
                BenchMemoryMegabytes, ImageAddress);
        return false;
    }
    memcpy(dest, data.data(), data.size());
    return true;
}

int usage()
{
    fprintf(stderr,
            "Usage: zem2-bench IMAGE [--count]\n"
            "Runs a flat image loaded at $30000 on the bare processor until SYS Quit.\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    const char* image = nullptr;
    bool count = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--count")
            count = true;
        else if (arg == "--help" || arg == "-h")
            return usage() - 2;
        else if (!image && arg[0] != '-')
            image = argv[i];
        else
            return usage();
    }
    if (!image) return usage();

    if (!memoryAllocate(BenchMemoryMegabytes)) {
        fprintf(stderr, "zem2-bench: cannot allocate guest memory\n");
        return 1;
    }
    if (!loadImage(image)) {
        memoryRelease();
        return 1;
    }
    cpuSetHostCallHandler(benchHostCall);
    cpuSetCounting(count);

    auto start = std::chrono::steady_clock::now();
    cpuRun();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    printf("seconds: %.3f\n", seconds);
    printf("result: %08x\n", cpu.D[0]);
    if (count) {
        uint64_t instructions = cpuInstructionCount();
        printf("instructions: %llu\n", static_cast<unsigned long long>(instructions));
        printf("rate: %.1f M instructions/s\n", seconds > 0 ? double(instructions) / seconds / 1e6 : 0.0);
    }
    memoryRelease();
    if (!quitSeen) {
        fprintf(stderr, "zem2-bench: the processor stopped without SYS Quit\n");
        return 1;
    }
    return 0;
}
