// The sound engine under load, in real time over SDL's "dummy" audio driver (or the one
// SDL_AUDIODRIVER names): CPU time of the sound thread while both chips and the sampled
// stream play, and the time from a host call to its first sample leaving the mixer.
#include "core/host_call.h"
#include "cpu/cpu.h"
#include "cpu/memory.h"
#include "devices/sound/sound_calls.h"
#include "devices/sound/sound_engine.h"
#include "platform/sound_buffer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr unsigned Snd = HostCallGroupId::Snd;
constexpr uint32_t Regs0 = 0x1000, Regs1 = 0x1100, Beep = 0x1200;
constexpr uint32_t Block = 0x10000, P = Block + 16, Ring = P + 16;
constexpr uint32_t RingFrames = 20000 * 30;  // 30 s of sampled sound

void putLong(uint32_t a, uint32_t v)
{
    const uint8_t b[4] = {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
    memcpy(mem.base + a, b, 4);
}

void setUpGuest()
{
    // Chip 0: three tones, noise on C, an envelope on B; chip 1: two tones and noise.
    const uint8_t r0[14] = {100, 0, 200, 0, 0x5E, 0x01, 7, 0x18, 15, 0x10, 12, 0x00, 0x08, 10};
    const uint8_t r1[14] = {60, 0, 150, 0, 0, 1, 3, 0x2C, 15, 15, 13, 0, 0, 255};
    memcpy(mem.base + Regs0, r0, 14);
    memcpy(mem.base + Regs1, r1, 14);
    memcpy(mem.base + Block, "VSND", 4);
    for (uint32_t i = 0; i < RingFrames; ++i) {
        const auto v = uint8_t(128 + 100 * std::sin(i * 2 * 3.14159265 * 440 / 20000));
        mem.base[Ring + 2 * i] = mem.base[Ring + 2 * i + 1] = v;
    }
    putLong(P + 4, Ring + 2 * RingFrames);
    putLong(P + 8, Ring);
    putLong(P + 12, Ring + 2 * RingFrames + 2);
    const uint8_t beep[8] = {40, 40, 0, 0, 0, 0, 0, 0};
    memcpy(mem.base + Beep, beep, 8);
}

void chipPlay(unsigned chip, uint32_t regs)
{
    cpu.D[1] = chip;
    cpu.A[1] = regs;
    hostCall(Snd, 4, 1);
}

// CPU seconds of the threads of this process other than the main thread whose name is
// the program's (the sound thread inherits it; SDL names its audio thread itself).
double soundThreadSeconds()
{
    const long ticks = sysconf(_SC_CLK_TCK);
    std::string mainName;
    std::ifstream(("/proc/self/task/" + std::to_string(getpid()) + "/comm").c_str()) >> mainName;
    double total = 0;
    DIR* d = opendir("/proc/self/task");
    while (dirent* e = d ? readdir(d) : nullptr) {
        if (e->d_name[0] == '.' || std::atoi(e->d_name) == getpid()) continue;
        const std::string base = std::string("/proc/self/task/") + e->d_name;
        std::string name;
        std::ifstream(base + "/comm") >> name;
        if (name != mainName) continue;
        std::string stat;
        std::getline(std::ifstream(base + "/stat"), stat);
        std::istringstream rest(stat.substr(stat.rfind(')') + 2));
        std::string field;
        unsigned long utime = 0, stime = 0;
        for (int i = 3; i <= 15; ++i) {
            rest >> field;
            if (i == 14) utime = std::stoul(field);
            if (i == 15) stime = std::stoul(field);
        }
        total += double(utime + stime) / double(ticks);
    }
    if (d) closedir(d);
    return total;
}

double processSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

std::atomic<bool> watching{false};
std::atomic<int64_t> firstSoundNs{0};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Milliseconds from `call` to the first block holding a sample that is not silent.
double latencyMs(const std::function<void()>& call)
{
    firstSoundNs = 0;
    watching = true;
    const auto start = Clock::now();
    call();
    while (firstSoundNs == 0 && Clock::now() - start < std::chrono::seconds(1))
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    watching = false;
    return (firstSoundNs - start.time_since_epoch().count()) / 1e6;
}

}  // namespace

int main()
{
    setenv("SDL_AUDIODRIVER", getenv("SDL_AUDIODRIVER") ? getenv("SDL_AUDIODRIVER") : "dummy", 1);
    if (!memoryAllocate(32)) return 1;
    setUpGuest();
    soundStart({SoundMode::Enabled, 100, 100});
    soundInstallHostCalls();
    if (!soundDeviceReady()) {
        std::fprintf(stderr, "no audio device\n");
        return 1;
    }
    soundMixer().setTap([](const int16_t* f, unsigned n) {
        if (!watching || firstSoundNs != 0) return;
        for (unsigned i = 0; i < 2 * n; ++i)
            if (f[i] != 0) {
                firstSoundNs = Clock::now().time_since_epoch().count();
                return;
            }
    });

    // Latency: each source from silence, several times.
    std::vector<double> beep, chip, sampled;
    for (int i = 0; i < 10; ++i) {
        beep.push_back(latencyMs([] {
            cpu.A[2] = Beep;
            hostCall(Snd, 0, 2);
        }));
        hostCall(Snd, 1, 0);  // stop beep
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        chip.push_back(latencyMs([] { chipPlay(0, Regs0); }));
        cpu.D[1] = 0;
        hostCall(Snd, 3, 1);  // stop chip 0
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    cpu.A[0] = P;
    hostCall(Snd, 2, 0);
    sampled.push_back(latencyMs([] { hostCall(Snd, 1, 1); }));
    std::printf("latency call -> first sample (median / worst of 10): beep %.1f / %.1f ms, chip %.1f / %.1f ms\n",
                median(beep), *std::max_element(beep.begin(), beep.end()), median(chip),
                *std::max_element(chip.begin(), chip.end()));
    std::printf("latency sampled-sound play -> first sample: %.1f ms\n", sampled[0]);

    // Load: both chips and the stream for ten seconds, the guest calling play 50 times a
    // second as a player would.
    const double threadBefore = soundThreadSeconds(), processBefore = processSeconds();
    const auto start = Clock::now();
    while (Clock::now() - start < std::chrono::seconds(10)) {
        chipPlay(0, Regs0);
        chipPlay(1, Regs1);
        hostCall(Snd, 1, 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double thread = soundThreadSeconds() - threadBefore, process = processSeconds() - processBefore;
    std::printf("sound thread CPU: %.2f %% of one core; whole process (with SDL's mixing thread): %.2f %%\n",
                100 * thread / wall, 100 * process / wall);
    soundMixer().setTap(nullptr);
    soundRemoveHostCalls();
    soundShutDown();
    memoryRelease();
    return 0;
}
