// Screen conversion speed: a full 1920 x 1080 16-bit frame and a 512 x 256 QL frame into
// 32-bit host pixels, and updates after scattered changes of 10 % and 1 % of the cells,
// each against a memcpy of the same bytes in the same run.
#include "cpu/memory.h"
#include "display/frame_source.h"
#include "display/screen_state.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

namespace {

constexpr uint32_t RamMegabytes = 32;
constexpr uint32_t ScreenBase = 0x100000;
constexpr int Repeats = 30;

// Best time of `Repeats` runs in milliseconds (`prepare` runs untimed before each).
double bestMs(
    const std::function<void()>& work, const std::function<void()>& prepare = [] {})
{
    double best = 1e30;
    for (int i = 0; i < Repeats; ++i) {
        prepare();
        const auto start = std::chrono::steady_clock::now();
        work();
        const auto end = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::milli>(end - start).count());
    }
    return best;
}

double gbPerSecond(size_t bytes, double ms) { return double(bytes) / (ms * 1e6); }

void makeScreen(unsigned width, unsigned height, unsigned bits, uint8_t mode, HeadlessFrame& frame)
{
    screenReset();
    guestScreen.hostFormat = HostFormat::Bgr0;
    guestScreen.qlModeByte = mode;
    guestScreen.requestedWidth = width;
    guestScreen.requestedHeight = height;
    guestScreen.requestedBits = bits;
    screenTakeRequestedMode();
    screenSetBase(ScreenBase);
    std::mt19937 random(1);
    for (size_t i = 0; i < guestScreen.size; ++i) guestScreen.windowStart[i] = uint8_t(random());
    frame.resize(width, height, HostFormat::Bgr0);
}

void fullFrame(const char* name, unsigned width, unsigned height, unsigned bits, uint8_t mode)
{
    HeadlessFrame frame;
    makeScreen(width, height, bits, mode, frame);
    const size_t guestBytes = guestScreen.size, hostBytes = frame.bytes().size();
    std::vector<uint8_t> copy(hostBytes);
    const double convert = bestMs([&] { screenConvertAll(frame.surface()); });
    const double copyGuest = bestMs([&] { memcpy(copy.data(), guestScreen.windowStart, guestBytes); });
    const double copyHost = bestMs([&] { memcpy(copy.data(), frame.bytes().data(), hostBytes); });
    printf(
        "%-34s %8.3f ms  %6.2f GB/s written | memcpy %zu guest bytes %7.3f ms (x%.2f), %zu host bytes %7.3f ms "
        "(x%.2f)\n",
        name, convert, gbPerSecond(hostBytes, convert), guestBytes, copyGuest, convert / copyGuest, hostBytes, copyHost,
        convert / copyHost);
}

void scattered(const char* name, double share)
{
    HeadlessFrame frame;
    makeScreen(1920, 1080, 16, 0, frame);
    const size_t cells = guestScreen.size / 4, changed = size_t(double(cells) * share);
    std::mt19937 random(2);
    std::vector<size_t> picks(changed);
    for (size_t& p : picks) p = random() % cells;
    const size_t hostCell = 2 * 4;
    std::vector<uint8_t> copy(frame.bytes().size());
    const double update = bestMs([&] { screenUpdateSurface(frame.surface()); },
                                 [&] {
                                     for (size_t p : picks) screenNoteWrite(guestScreen.windowStart + 4 * p, 4);
                                 });
    const double mark = bestMs([&] {
        for (size_t p : picks) screenNoteWrite(guestScreen.windowStart + 4 * p, 4);
    });
    const double copyCells = bestMs([&] {
        for (size_t p : picks) memcpy(copy.data() + p * hostCell, frame.bytes().data() + p * hostCell, hostCell);
    });
    screenRequestFullRedraw();
    const double full = bestMs([&] {
        screenRequestFullRedraw();
        screenUpdateSurface(frame.surface());
    });
    printf(
        "%-34s %8.3f ms update (%.0f %% of a full update, %.3f ms), marking %.3f ms, memcpy of the changed cells %.3f "
        "ms\n",
        name, update, 100.0 * update / full, full, mark, copyCells);
}

}  // namespace

int main()
{
    if (!memoryAllocate(RamMegabytes)) {
        fprintf(stderr, "no guest memory\n");
        return 1;
    }
    fullFrame("1920x1080 16-bit -> 32-bit", 1920, 1080, 16, 0);
    fullFrame("1920x1080 8-bit -> 32-bit", 1920, 1080, 8, 0);
    fullFrame("512x256 QL 4-colour -> 32-bit", 512, 256, 2, 0);
    fullFrame("512x256 QL 8-colour -> 32-bit", 512, 256, 2, 8);
    scattered("10 % scattered cells, 1920x1080/16", 0.10);
    scattered("1 % scattered cells, 1920x1080/16", 0.01);
    screenReset();
    memoryRelease();
    return 0;
}
