// The beeper channel: starts and stops beeps, refills the half that has just played, and
// lets the buffer run on silence until the idle time-out stops it.
#include "log/log.h"
#include "core/timer.h"
#include "cpu/memory.h"
#include "devices/sound/beeper_synth.h"
#include "devices/sound/sound_internal.h"
#include "platform/host_time.h"

#include <array>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

constexpr uint32_t BlockBytes = 8;
// How long a new beep waits for the device to take its first frames.
constexpr uint64_t StartWaitMs = 250;
constexpr auto StartPoll = std::chrono::milliseconds(1);

BeeperVoice voice;
BeepJitter jitter([] { return uint32_t(hostTickMilliseconds()); });
std::atomic<bool> active{false};
std::array<bool, 2> halfCleared{true, true};
std::array<int16_t, BeeperRate::HalfSamples> halfSamples;

SoundChannelRecord& beeper() { return soundChannel(SoundChannel::Beeper); }

void clearHalf(unsigned half)
{
    SoundChannelRecord& rec = beeper();
    zlog(LogCat::Sound, "beep: Clearing halve: %i\r\n", int(half));
    SoundBuffer::Access access(*rec.buffer);
    access.fill(half * rec.buffer->halfBytes(), rec.buffer->halfBytes(), 0);
    halfCleared[half] = true;
}

unsigned halfNotPlaying(SoundBuffer& buffer, uint32_t& position)
{
    uint32_t write = 0;
    buffer.positions(position, write);
    return position < buffer.halfBytes() ? 1 : 0;
}

}  // namespace

void beeperInit()
{
    jitter.seed(int16_t(uint16_t(hostTickMilliseconds())));
    active = false;
    halfCleared = {true, true};
}

void beeperBufferCreated()
{
    active = false;
    halfCleared = {true, true};
}

void beeperStart(uint32_t blockAddress)
{
    std::lock_guard guard(soundLock());
    const uint8_t* where = guestRange(blockAddress, BlockBytes);
    if (!where || !soundState().built) return;
    uint8_t block[BlockBytes];
    memcpy(block, where, BlockBytes);
    if (!soundEnsureSetUp()) return;

    const BeepParameters p = decodeBeepBlock(block);
    voice.start(p);
    zlog(LogCat::Sound, "beep: %i %i %i %i %i %i %i %i %i\r\n", p.duration, voice.lowPitch(), voice.highPitch(),
         int(p.interval), voice.stepSize(), p.wrap, p.cycleJitter, p.stepJitter, voice.startPitch());
    SoundChannelRecord& rec = beeper();
    rec.lastRefill = soundNow();
    active = true;

    SoundBuffer& buffer = *rec.buffer;
    if (rec.playing) {
        uint32_t position = 0;
        const unsigned half = halfNotPlaying(buffer, position);
        zlog(LogCat::Sound, "beep: Pos %i (%i)\r\n", int(position), int(half));
        // Both halves get the new tone, so playback that moves on into the other half
        // before its refill still hears it.
        beeperRefill(half);
        beeperRefill(1 - half);
        buffer.setPosition(half * buffer.halfBytes());
    } else {
        beeperRefill(0);
        beeperRefill(1);
        buffer.setPosition(0);
        zlog(LogCat::Sound, "beep: Playing\r\n");
        soundPlayChannel(SoundChannel::Beeper);
        const uint64_t since = hostTickMilliseconds();
        for (;;) {
            uint32_t play = 0, write = 0;
            buffer.positions(play, write);
            if (write != 0 || !buffer.playing() || hostTickMilliseconds() - since > StartWaitMs) break;
            std::this_thread::sleep_for(StartPoll);
        }
    }
    const int ticks = (p.duration + BeeperRate::DurationTicksRound) / BeeperRate::DurationTicksDivisor;
    timerSoundCountdown.exchange(int16_t(ticks));
}

void beeperStop()
{
    std::lock_guard guard(soundLock());
    zlog(LogCat::Sound, "beep: Stop\r\n");
    active = false;
    SoundChannelRecord& rec = beeper();
    if (!rec.created || !rec.buffer) return;
    uint32_t position = 0;
    const unsigned half = halfNotPlaying(*rec.buffer, position);
    clearHalf(half);
    // The half that was playing still holds the tone and comes round again after the
    // cleared one: it goes silent too, or the stopped beep would sound for another half.
    clearHalf(1 - half);
    rec.buffer->setPosition(half * rec.buffer->halfBytes());
    zlog(LogCat::Sound, "beep: Stopped\r\n");
}

bool beeperActive() { return active; }

void beeperRefill(unsigned half)
{
    SoundChannelRecord& rec = beeper();
    if (!rec.created) return;
    const uint64_t now = soundNow();
    if (!active) {
        if (now - rec.lastRefill > soundChannelFormat(SoundChannel::Beeper).idleTimeoutMs) {
            zlog(LogCat::Sound, "beep: Timeout stop\r\n");
            soundStopChannel(SoundChannel::Beeper);
            return;
        }
        if (halfCleared[half]) return;
    }
    rec.lastRefill = now;
    zlog(LogCat::Sound, "beep: SoundEvent: %i %i %i\r\n", int(half), voice.pitch(), voice.period());
    if (!active) {
        clearHalf(half);
        return;
    }
    voice.render(halfSamples, jitter);
    SoundBuffer::Access access(*rec.buffer);
    access.write(half * rec.buffer->halfBytes(), halfSamples.data(), uint32_t(sizeof halfSamples));
    halfCleared[half] = false;
}

void beeperEnded()
{
    if (active) return;  // a new beep took over meanwhile
    if (beeper().playing) soundStopChannel(SoundChannel::Beeper);
}

void beeperTickHook()
{
    active = false;
    soundState().signals.raise(SoundSignal::BeepEnded);
}
