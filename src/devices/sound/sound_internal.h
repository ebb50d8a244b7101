// What the engine and its three sources share inside the sound library.
#pragma once

#include "devices/sound/sound_engine.h"
#include "platform/sound_buffer.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

enum class SoundChannel : unsigned { Beeper = 0, Sampled = 1, Chip0 = 2, Chip1 = 3 };
constexpr unsigned SoundChannelCount = 4;

struct SoundChannelFormat {
    SoundFormat format;
    uint64_t idleTimeoutMs;
};
// Beeper mono 22050 Hz in 44100 bytes; sampled stereo 20000 Hz in 32000 bytes; each
// chip stereo 44100 Hz in 7056 bytes.
const SoundChannelFormat& soundChannelFormat(SoundChannel channel);

struct SoundChannelRecord {
    bool created = false;
    bool playing = false;
    std::atomic<uint64_t> lastRefill{0};
    SoundBuffer* buffer = nullptr;
};

// The sound thread's wake-up reasons, as bits: auto-reset events that the mixer, the
// tick and the processor thread raise.
namespace SoundSignal {
constexpr unsigned Quit = 1u << 0;
constexpr unsigned BeepEnded = 1u << 1;
// Channel c, refill half h (event A asks for half 0, event B for half 1).
constexpr unsigned refill(SoundChannel c, unsigned half) { return 1u << (2 + unsigned(c) * 2 + half); }
}  // namespace SoundSignal

class SoundSignals {
public:
    void raise(unsigned bits);
    // Blocks until some bit is raised; returns and clears them all.
    unsigned wait();
    // The thread has handled what it took.
    void done();
    void settle();
    void clear();

private:
    std::mutex lock_;
    std::condition_variable changed_;
    unsigned bits_ = 0;
    bool busy_ = false;
};

struct SoundEngineState {
    SoundConfig config;
    bool built = false;  // the sources exist (mode not 0)
    bool deviceOpen = false;
    bool setUpFailedForGood = false;
    bool warnedNoDevice = false;
    std::array<SoundChannelRecord, SoundChannelCount> channels;
    SoundSignals signals;
};

SoundEngineState& soundState();
// Guards set-up, release, the channel records and every source's state.
std::recursive_mutex& soundLock();
uint64_t soundNow();

// Sets the device up when it is not (and may be): false when sound stays silent.
bool soundEnsureSetUp();
void soundRelease();
void soundPlayChannel(SoundChannel c);
void soundStopChannel(SoundChannel c);
SoundChannelRecord& soundChannel(SoundChannel c);

// Sources (under soundLock unless said otherwise).
void beeperInit();
void beeperBufferCreated();
void beeperStart(uint32_t blockAddress);  // processor thread
void beeperStop();
bool beeperActive();
void beeperRefill(unsigned half);
void beeperEnded();     // the beep's ticks ran out
void beeperTickHook();  // timer thread: no lock

void sampledSetBlock(uint32_t address);
void sampledPlay();
void sampledStop();
void sampledRefill(int half);  // -1: the initial fill of play
void sampledReset();

void chipsInit();
void chipsReset();
int32_t chipStop(unsigned chip);
int32_t chipsSetType(unsigned type);
void chipsSetClock(uint32_t clock);
int32_t chipsSetStereo(unsigned mode);
void chipsSetVolume(unsigned volume);
int32_t chipPlay(unsigned chip, uint32_t registers);
void chipRefill(unsigned chip);
