#include "cpu_fixture.h"

#include <sys/mman.h>

#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t kTestRamMegabytes = 16;
constexpr uint32_t kStack = 0x8000;
constexpr uint16_t kNop = 0x4E71;
constexpr uint16_t kCheckWord = 0x4AFB;
constexpr unsigned kVectors = 256;
constexpr auto kProgramTimeLimit = std::chrono::seconds(20);

// SYS Quit ($A000 followed by the check word) ends the run; every other word is illegal.
int32_t testHostCall(unsigned group, unsigned sub, unsigned low)
{
    if (group == 0 && sub == 0 && low == 0 && guestReadWord(cpu.hostCallPc) == kCheckWord) {
        cpu.hostCallPc += 2;
        return HostCallResult::Stop;
    }
    return HostCallResult::Illegal;
}

// With ZEM_CPU_TEST_FIXED_ADDRESS_TAKEN set, a page is mapped at the fixed path's guest
// address before the first test allocates guest memory, so that every test runs on the
// portable path the machine falls back to.
bool fixedAddressTakenOnRequest()
{
    static const bool taken = [] {
        if (!std::getenv("ZEM_CPU_TEST_FIXED_ADDRESS_TAKEN")) return false;
        memoryRelease();
        void* const want = reinterpret_cast<void*>(uintptr_t(0x60000000));
        return mmap(want, 1, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0) == want;
    }();
    return taken;
}

}  // namespace

void CpuTest::SetUp()
{
    const bool fallback = std::getenv("ZEM_CPU_TEST_FIXED_ADDRESS_TAKEN") != nullptr;
    if (fallback) {
        ASSERT_TRUE(fixedAddressTakenOnRequest());
    }
    ASSERT_TRUE(memoryAllocate(kTestRamMegabytes));
    if (fallback) {
        ASSERT_TRUE(cpuPortablePath());
    }
    cpuSetHostCallHandler(nullptr);
    cpuSetAccelHandler(nullptr);
    cpuSetScreenWatch(nullptr);
    cpuSetCounting(false);
    cpuReset();
}

void CpuTest::TearDown()
{
    cpuSetHostCallHandler(nullptr);
    cpuSetAccelHandler(nullptr);
    cpuSetScreenWatch(nullptr);
    memoryRelease();
}

void CpuTest::poke(uint32_t at, std::initializer_list<uint16_t> words)
{
    for (uint16_t w : words) {
        guestWriteWord(at, w);
        at += 2;
    }
}

void CpuTest::loadCode(std::initializer_list<uint16_t> words)
{
    cpuReset();
    poke(kCode, words);
    for (unsigned v = 0; v < kVectors; ++v) guestWriteLong(kVbr + 4 * v, kHandler);
    for (uint32_t i = 0; i < 16; ++i) guestWriteWord(kHandler + 2 * i, kNop);
    cpu.vbr = kVbr;
    cpu.A[7] = kStack;
    cpuSetPc(kCode);
}

bool CpuTest::runProgram(const std::string& name)
{
    const std::string path = std::string(ZEM_CPU_GUEST_DIR) + "/cpu_guest_" + name + ".bin";
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        ADD_FAILURE() << "cannot open " << path;
        return false;
    }
    std::vector<uint8_t> image(mem.ramSize - kCode);
    const size_t n = std::fread(image.data(), 1, image.size(), f);
    std::fclose(f);
    for (size_t i = 0; i < n; ++i) guestWriteByte(kCode + uint32_t(i), image[i]);

    cpuSetHostCallHandler(&testHostCall);
    std::mutex m;
    std::condition_variable cv;
    bool done = false, timedOut = false;
    std::thread watchdog([&] {
        std::unique_lock lock(m);
        if (!cv.wait_for(lock, kProgramTimeLimit, [&] { return done; })) {
            timedOut = true;
            while (!done) {
                cpuRequestStop();
                cv.wait_for(lock, std::chrono::milliseconds(10), [&] { return done; });
            }
        }
    });
    cpuRun();
    {
        std::lock_guard lock(m);
        done = true;
    }
    cv.notify_all();
    watchdog.join();
    EXPECT_FALSE(timedOut) << name << " did not reach SYS Quit; PC $" << std::hex << cpuGetPc();
    return !timedOut;
}

Frame frameAt(uint32_t a)
{
    return {guestReadWord(a), guestReadLong(a + 2), guestReadWord(a + 6), guestReadLong(a + 8)};
}

std::string caseLabel(std::string_view description)
{
    std::string label;
    bool gap = false;
    for (char c : description) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            if (gap && !label.empty()) label += '_';
            label += c;
            gap = false;
        } else {
            gap = true;
        }
    }
    return label;
}

std::string wordsLabel(const std::array<uint16_t, 3>& words)
{
    size_t used = words.size();
    while (used > 1 && words[used - 1] == 0) --used;
    std::string label;
    for (size_t i = 0; i < used; ++i) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%s%04X", i ? "_" : "", unsigned(words[i]));
        label += hex;
    }
    return label;
}
