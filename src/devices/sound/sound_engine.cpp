#include "devices/sound/sound_engine.h"

#include "log/log.h"
#include "base/string_table.h"
#include "core/timer.h"
#include "devices/sound/sound_internal.h"
#include "platform/host_time.h"
#include "platform/sound_device.h"

#include <algorithm>
#include <thread>
#include <utility>

namespace {

constexpr int HighestThreadPriority = 2;

const SoundChannelFormat Formats[SoundChannelCount] = {
    {{1, 22050, 44100}, 5000},
    {{2, 20000, 32000}, 7000},
    {{2, 44100, 7056}, 5000},
    {{2, 44100, 7056}, 5000},
};

// Names of the set-up steps in the failure lines.
constexpr const char* OpenCall = "SDL_OpenAudioDevice";
constexpr const char* CreateCall = "CreateSoundBuffer";
// The layer reports no codes of its own; the failure lines carry these.
constexpr unsigned long NoDeviceCode = 1;
constexpr unsigned long NoBufferCode = 2;

class HostOutput : public SoundOutput {
public:
    bool open(SoundMixer& mixer, std::string& error) override { return device_.open(mixer, error); }
    void close() override { device_.close(); }

private:
    SoundDevice device_;
};

SoundEngineState state;
std::recursive_mutex engineLock;
SoundMixer mixer;
HostOutput hostOutput;
SoundOutput* output = nullptr;
std::thread soundThread;
uint64_t (*clockNow)() = nullptr;

SoundOutput& currentOutput() { return output ? *output : hostOutput; }

void logFailure(const char* call, unsigned long code)
{
    zlog(LogCat::Sound, "%s\r\n", formatString(StringId::CallFailed, call, code).c_str());
}

bool setUp()
{
    zlog(LogCat::Sound, "sound: InitDirectSound start\r\n");
    bool ok = true;
    if (!state.deviceOpen) {
        std::string error;
        if (currentOutput().open(mixer, error)) {
            state.deviceOpen = true;
        } else {
            logFailure(OpenCall, NoDeviceCode);
            if (!state.warnedNoDevice) {
                zlog(LogCat::Error, "sound: No audio device (%s); sound stays silent\r\n", error.c_str());
                state.warnedNoDevice = true;
            }
            ok = false;
        }
    }
    for (unsigned i = 0; ok && i < SoundChannelCount; ++i) {
        SoundChannelRecord& rec = state.channels[i];
        if (rec.created) continue;
        const auto channel = SoundChannel(i);
        rec.buffer = mixer.createBuffer(Formats[i].format);
        if (!rec.buffer) {
            logFailure(CreateCall, NoBufferCode);
            ok = false;
            break;
        }
        const int volume = channel == SoundChannel::Beeper ? state.config.beepVolume : state.config.vsndVolume;
        rec.buffer->setAttenuation(soundVolumeAttenuation(volume));
        rec.buffer->setNotify(
            [channel](unsigned finishedHalf) { state.signals.raise(SoundSignal::refill(channel, finishedHalf)); });
        rec.created = true;
        rec.playing = false;
        if (channel == SoundChannel::Beeper) beeperBufferCreated();
    }
    if (!ok) {
        zlog(LogCat::Sound, "sound: Error initialising DirectSound\r\n");
        soundRelease();
        // With the device kept for the whole run, one failed attempt is final.
        if (state.config.mode == SoundMode::Enabled) state.setUpFailedForGood = true;
        return false;
    }
    zlog(LogCat::Sound, "sound: InitDirectSound end\r\n");
    return true;
}

void threadMain()
{
    hostSetThreadPriority(hostCurrentThreadId(), HighestThreadPriority);
    for (;;) {
        const unsigned bits = state.signals.wait();
        if (bits & SoundSignal::Quit) {
            zlog(LogCat::Sound, "Sound: Thread quit\r\n");
            state.signals.done();
            return;
        }
        {
            std::lock_guard guard(engineLock);
            if (bits & SoundSignal::BeepEnded) beeperEnded();
            for (unsigned c = 0; c < SoundChannelCount; ++c) {
                for (unsigned half = 0; half < 2; ++half) {
                    const auto channel = SoundChannel(c);
                    if (!(bits & SoundSignal::refill(channel, half))) continue;
                    if (!state.channels[c].created) continue;
                    switch (channel) {
                    case SoundChannel::Beeper:
                        beeperRefill(half);
                        break;
                    case SoundChannel::Sampled:
                        sampledRefill(int(half));
                        break;
                    case SoundChannel::Chip0:
                    case SoundChannel::Chip1:
                        chipRefill(c - unsigned(SoundChannel::Chip0));
                        break;
                    }
                }
            }
        }
        state.signals.done();
    }
}

}  // namespace

void SoundSignals::raise(unsigned bits)
{
    {
        std::lock_guard guard(lock_);
        bits_ |= bits;
    }
    changed_.notify_all();
}

unsigned SoundSignals::wait()
{
    std::unique_lock guard(lock_);
    changed_.wait(guard, [this] { return bits_ != 0; });
    busy_ = true;
    return std::exchange(bits_, 0u);
}

void SoundSignals::done()
{
    {
        std::lock_guard guard(lock_);
        busy_ = false;
    }
    changed_.notify_all();
}

void SoundSignals::settle()
{
    std::unique_lock guard(lock_);
    changed_.wait(guard, [this] { return bits_ == 0 && !busy_; });
}

void SoundSignals::clear()
{
    std::lock_guard guard(lock_);
    bits_ = 0;
    busy_ = false;
}

const SoundChannelFormat& soundChannelFormat(SoundChannel channel) { return Formats[unsigned(channel)]; }
SoundEngineState& soundState() { return state; }
std::recursive_mutex& soundLock() { return engineLock; }
SoundChannelRecord& soundChannel(SoundChannel c) { return state.channels[unsigned(c)]; }
uint64_t soundNow() { return clockNow ? clockNow() : hostTickMilliseconds(); }

int soundVolumeAttenuation(int percent)
{
    const int64_t attenuation = int64_t(percent) * 100 - 10000;
    return int(std::clamp<int64_t>(attenuation, SoundAttenuation::Silent, SoundAttenuation::None));
}

bool soundEnsureSetUp()
{
    std::lock_guard guard(engineLock);
    if (!state.built) return false;
    if (state.deviceOpen && std::all_of(state.channels.begin(), state.channels.end(),
                                        [](const SoundChannelRecord& r) { return r.created; }))
        return true;
    if (state.setUpFailedForGood) return false;
    return setUp();
}

void soundRelease()
{
    std::lock_guard guard(engineLock);
    zlog(LogCat::Sound, "sound: CleanupDirectSound start\r\n");
    for (SoundChannelRecord& rec : state.channels) {
        rec.created = false;
        rec.playing = false;
        if (rec.buffer) {
            rec.buffer->stop();
            rec.buffer->setNotify({});
            mixer.releaseBuffer(rec.buffer);
            rec.buffer = nullptr;
        }
    }
    if (state.deviceOpen) {
        currentOutput().close();
        state.deviceOpen = false;
    }
    zlog(LogCat::Sound, "sound: CleanupDirectSound end\r\n");
}

void soundPlayChannel(SoundChannel c)
{
    SoundChannelRecord& rec = soundChannel(c);
    if (!rec.buffer) return;
    rec.buffer->play();
    rec.playing = true;
}

void soundStopChannel(SoundChannel c)
{
    std::lock_guard guard(engineLock);
    zlog(LogCat::Sound, "Sound: Stop\r\n");
    SoundChannelRecord& rec = soundChannel(c);
    rec.playing = false;
    if (rec.buffer) rec.buffer->stop();
    const bool anyPlaying = std::any_of(state.channels.begin(), state.channels.end(),
                                        [](const SoundChannelRecord& r) { return r.playing; });
    if (!anyPlaying && state.config.mode == SoundMode::Automatic && state.deviceOpen) soundRelease();
}

void soundStart(const SoundConfig& config)
{
    std::unique_lock guard(engineLock);
    state.config = config;
    state.setUpFailedForGood = false;
    state.warnedNoDevice = false;
    state.signals.clear();
    if (config.mode == SoundMode::Disabled) return;
    state.built = true;
    beeperInit();
    sampledReset();
    chipsInit();
    timerSetSoundStop(beeperTickHook);
    if (config.mode == SoundMode::Enabled) setUp();
    guard.unlock();
    soundThread = std::thread(threadMain);
}

void soundShutDown()
{
    if (soundThread.joinable()) {
        state.signals.raise(SoundSignal::Quit);
        soundThread.join();
    }
    std::lock_guard guard(engineLock);
    if (!state.built) return;
    timerSetSoundStop(nullptr);
    soundRelease();
    state.built = false;
    state.signals.clear();
}

void soundSetOutput(SoundOutput* o) { output = o; }
SoundMixer& soundMixer() { return mixer; }
bool soundDeviceReady()
{
    std::lock_guard guard(engineLock);
    return state.deviceOpen;
}
void soundSettle() { state.signals.settle(); }
void soundSetClock(uint64_t (*now)()) { clockNow = now; }
