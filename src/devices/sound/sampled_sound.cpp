// The sampled-sound stream: copies the guest's ring of 8-bit stereo frames into the
// looping 20000 Hz buffer, keeping its own write cursor ahead of the mixer's.
#include "log/log.h"
#include "cpu/memory.h"
#include "devices/sound/sampled_ring.h"
#include "devices/sound/sound_internal.h"

#include <cstring>

namespace {

constexpr uint32_t FrameBytes = 4;  // 16-bit left and right in the host buffer

struct SampledState {
    uint32_t block = 0;  // P; 0 = none
    uint32_t hostCursor = 0;
    uint32_t lastSeen = 0;
    bool full = false;
    int16_t lastFrame[2] = {0, 0};
} vs;

SoundChannelRecord& sampled() { return soundChannel(SoundChannel::Sampled); }

uint32_t bufferBytes() { return soundChannelFormat(SoundChannel::Sampled).format.bytes; }
uint32_t halfBytes() { return bufferBytes() / 2; }
uint32_t distance(uint32_t from, uint32_t to) { return (to + bufferBytes() - from) % bufferBytes(); }

void copy(uint32_t offset, uint32_t length, uint32_t deviceWrite)
{
    zlog(LogCat::Sound, "vsnd: VSNDFillBuffer %i %i\r\n", int(offset), int(length));
    SoundChannelRecord& rec = sampled();
    SoundBuffer::Access access(*rec.buffer);
    uint32_t copied = 0;
    SampledRing ring;
    if (vs.block && ring.open(vs.block)) {
        int16_t frame[2];
        while (length - copied >= FrameBytes && ring.take(frame)) {
            access.write(offset + copied, frame, FrameBytes);
            memcpy(vs.lastFrame, frame, sizeof frame);
            copied += FrameBytes;
        }
        ring.writeBack();
    }
    zlog(LogCat::Sound, "vsnd: VSNDCopyData %i\r\n", int(copied));
    if (copied > 0) {
        vs.hostCursor = (offset + copied) % bufferBytes();
        zlog(LogCat::Sound, "vsnd: New write cursor %i\r\n", int(vs.hostCursor));
        if (vs.hostCursor == deviceWrite) {
            vs.full = true;
            zlog(LogCat::Sound, "vsnd: Buffer full!\r\n");
        }
    }
    // A starved stream holds its last value instead of dropping to zero with a click.
    for (uint32_t at = copied; at + FrameBytes <= length; at += FrameBytes)
        access.write(offset + at, vs.lastFrame, FrameBytes);
}

}  // namespace

void sampledReset() { vs = SampledState{}; }

void sampledSetBlock(uint32_t address)
{
    std::lock_guard guard(soundLock());
    zlog(LogCat::Sound, "vsnd: SetBuffer %x\r\n", address);
    if (!soundState().built) return;
    if (sampledBlockValid(address))
        vs.block = address & mem.mask;
    else
        zlog(LogCat::Sound, "vsnd: SetBuffer failed\r\n");
}

void sampledPlay()
{
    std::lock_guard guard(soundLock());
    if (!soundState().built || !soundEnsureSetUp()) return;
    SoundChannelRecord& rec = sampled();
    rec.lastRefill = soundNow();
    if (rec.playing) return;
    zlog(LogCat::Sound, "vsnd: Play\r\n");
    vs.full = false;
    {
        SoundBuffer::Access access(*rec.buffer);
        access.fill(0, bufferBytes(), 0);
    }
    rec.buffer->setPosition(0);
    soundPlayChannel(SoundChannel::Sampled);
    uint32_t play = 0, write = 0;
    rec.buffer->positions(play, write);
    vs.hostCursor = vs.lastSeen = write;
    sampledRefill(-1);
}

void sampledStop()
{
    std::lock_guard guard(soundLock());
    zlog(LogCat::Sound, "vsnd: Stop\r\n");
    SoundChannelRecord& rec = sampled();
    if (!rec.created) return;
    uint32_t play = 0, write = 0;
    rec.buffer->positions(play, write);
    const uint32_t half = play < halfBytes() ? 1 : 0;
    vs.hostCursor = half * halfBytes();
    copy(vs.hostCursor, halfBytes(), write);
    rec.buffer->setPosition(half * halfBytes());
    zlog(LogCat::Sound, "vsnd: Stopped\r\n");
}

void sampledRefill(int half)
{
    SoundChannelRecord& rec = sampled();
    if (!rec.created || !rec.playing || !vs.block) return;
    if (soundNow() - rec.lastRefill > soundChannelFormat(SoundChannel::Sampled).idleTimeoutMs) {
        zlog(LogCat::Sound, "vsnd: Timeout stop\r\n");
        soundStopChannel(SoundChannel::Sampled);
        return;
    }
    if (!sampledMarkPresent(vs.block)) {
        zlog(LogCat::Sound, "vsnd: Buffer lost!\r\n");
        vs.block = 0;
        soundStopChannel(SoundChannel::Sampled);
        return;
    }
    zlog(LogCat::Sound, "vsnd: SoundEvent: %i\r\n", half);
    uint32_t play = 0, write = 0;
    rec.buffer->positions(play, write);
    zlog(LogCat::Sound, "vsnd: Position %i %i (%i), %i\r\n", int(play), int(write), int(vs.lastSeen),
         int(vs.hostCursor));
    if (vs.full) {
        if (vs.hostCursor == vs.lastSeen) {
            vs.lastSeen = write;
            return;
        }
        vs.full = false;
    }
    const bool overrun = distance(vs.lastSeen, vs.hostCursor) < distance(vs.lastSeen, write);
    if (overrun) {
        zlog(LogCat::Sound, "vsnd: WriteCursor overrun\r\n");
        vs.hostCursor = write;
    }
    vs.lastSeen = write;
    const uint32_t h = halfBytes();
    if (half >= 0) {
        const uint32_t start = uint32_t(half) * h;
        const uint32_t endOfHalf = (start + h) % bufferBytes();
        if (vs.hostCursor == endOfHalf) return;
        if (!overrun && vs.hostCursor % h != 0 && vs.hostCursor / h == uint32_t(half))
            copy(vs.hostCursor, start + h - vs.hostCursor, write);
        else
            copy(start, h, write);
    } else if (!overrun) {
        const uint32_t cursor = vs.hostCursor;
        const uint32_t halfEnd = (cursor / h + 1) * h;
        copy(cursor, halfEnd - cursor, write);
        copy(halfEnd % bufferBytes(), h, write);
    }
}
