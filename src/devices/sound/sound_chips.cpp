// The two sound chips as channels: the guest hands over register sets; every refill runs
// each playing chip for 20 ms and appends the frames behind the previous ones.
#include "core/events.h"
#include "core/guest_error.h"
#include "log/log.h"
#include "cpu/memory.h"
#include "devices/sound/ay_chip.h"
#include "devices/sound/sound_internal.h"

#include <cstring>
#include <vector>

namespace {

constexpr unsigned ChipCount = 2;
constexpr unsigned ShapeRegister = 13;
constexpr uint8_t KeepEnvelope = 255;  // R13 handed over as 255 leaves the envelope running
constexpr unsigned MaxVolumeByte = 255;

struct ChipChannel {
    AyChip chip;
    uint8_t shadow[AyDefaults::HandedOverRegisters] = {};
    bool newData = false;
    uint32_t writePosition = 0;
};

ChipChannel chips[ChipCount];
std::vector<AyFrame> work;

SoundChannel channelOf(unsigned chip) { return SoundChannel(unsigned(SoundChannel::Chip0) + chip); }

bool enabled() { return soundState().built; }

// Writes the registers handed over since the last slice into the chip.
bool takeNewData(ChipChannel& c)
{
    if (!c.newData) return false;
    for (unsigned r = 0; r < AyDefaults::HandedOverRegisters; ++r) {
        if (r == ShapeRegister && c.shadow[r] == KeepEnvelope) continue;
        c.chip.writeRegister(r, c.shadow[r]);
    }
    c.newData = false;
    return true;
}

// Runs the chip for one slice and appends its frames at the channel's write position.
void renderSlice(ChipChannel& c, SoundChannelRecord& rec)
{
    work.clear();
    c.chip.runSlice(work);
    const uint32_t bytes = uint32_t(work.size() * sizeof(AyFrame));
    SoundBuffer::Access access(*rec.buffer);
    access.write(c.writePosition, work.data(), bytes);
    c.writePosition = (c.writePosition + bytes) % access.bytes();
}

}  // namespace

void chipsInit()
{
    for (ChipChannel& c : chips) c = ChipChannel{};
    work.reserve(AyDefaults::FramesPerSliceMax);
}

void chipsReset()
{
    std::lock_guard guard(soundLock());
    zlog(LogCat::Sound, "AY: Reset\r\n");
    if (!enabled()) return;
    for (unsigned i = 0; i < ChipCount; ++i) {
        if (soundChannel(channelOf(i)).playing) soundStopChannel(channelOf(i));
        chips[i].chip.setType(AyType::Ay);
        chips[i].chip.setVolume(AyDefaults::Volume);
        chips[i].chip.setStereoMode(AyDefaults::StereoMode);
    }
}

int32_t chipStop(unsigned chip)
{
    if (chip >= ChipCount) return GuestError::BadParameter;
    std::lock_guard guard(soundLock());
    zlog(LogCat::Sound, "AY: Stop\r\n");
    if (!enabled()) return 0;
    if (soundChannel(channelOf(chip)).playing) soundStopChannel(channelOf(chip));
    chips[chip].newData = false;
    return 0;
}

int32_t chipsSetType(unsigned type)
{
    if (type > unsigned(AyType::Ym)) return GuestError::BadParameter;
    std::lock_guard guard(soundLock());
    for (unsigned i = 0; i < ChipCount; ++i) {
        zlog(LogCat::Sound, "AY: ChipType (%u) %u\r\n", i, type);
        if (enabled()) chips[i].chip.setType(int(type));
    }
    return 0;
}

void chipsSetClock(uint32_t clock)
{
    std::lock_guard guard(soundLock());
    for (unsigned i = 0; i < ChipCount; ++i) {
        zlog(LogCat::Sound, "AY: ChipFrequency (%u) %u\r\n", i, clock);
        if (enabled()) chips[i].chip.setClock(clock);
    }
}

int32_t chipsSetStereo(unsigned mode)
{
    if (mode >= unsigned(AyStereo::Modes)) return GuestError::BadParameter;
    std::lock_guard guard(soundLock());
    for (unsigned i = 0; i < ChipCount; ++i) {
        zlog(LogCat::Sound, "AY: StereoMode (%u) %u\r\n", i, mode);
        if (enabled()) chips[i].chip.setStereoMode(int(mode));
    }
    return 0;
}

void chipsSetVolume(unsigned volume)
{
    const int scaled = int((volume * unsigned(AyDefaults::Volume) + MaxVolumeByte / 2) / MaxVolumeByte);
    std::lock_guard guard(soundLock());
    for (unsigned i = 0; i < ChipCount; ++i) {
        zlog(LogCat::Sound, "AY: Volume (%u) %u\r\n", i, volume);
        if (enabled()) chips[i].chip.setVolume(scaled);
    }
}

int32_t chipPlay(unsigned chip, uint32_t registers)
{
    if (chip >= ChipCount) return GuestError::BadParameter;
    std::lock_guard guard(soundLock());
    if (!enabled()) return 0;
    ChipChannel& c = chips[chip];
    SoundChannelRecord& rec = soundChannel(channelOf(chip));
    const bool starting = soundEnsureSetUp() && !rec.playing;
    if (starting) {
        zlog(LogCat::Sound, "AY: Play\r\n");
        {
            SoundBuffer::Access access(*rec.buffer);
            access.fill(0, access.bytes(), 0);
        }
        rec.buffer->setPosition(0);
        c.writePosition = 0;
    }
    if (const uint8_t* bytes = guestRange(registers, AyDefaults::HandedOverRegisters))
        memcpy(c.shadow, bytes, sizeof c.shadow);
    rec.lastRefill = soundNow();
    c.newData = true;
    if (starting) {
        // Both halves get a slice before playback starts, so the first one is heard at
        // the next pull rather than a whole buffer later; from then on each refill lands
        // a half ahead of playback.
        takeNewData(c);
        renderSlice(c, rec);
        renderSlice(c, rec);
        soundPlayChannel(channelOf(chip));
    }
    idleNoteActivity();
    return 0;
}

void chipRefill(unsigned chip)
{
    ChipChannel& c = chips[chip];
    SoundChannelRecord& rec = soundChannel(channelOf(chip));
    if (!rec.playing) return;
    if (soundNow() - rec.lastRefill > soundChannelFormat(channelOf(chip)).idleTimeoutMs) {
        zlog(LogCat::Sound, "AY: Timeout stop\r\n");
        soundStopChannel(channelOf(chip));
        return;
    }
    if (!takeNewData(c)) zlog(LogCat::Sound, "AY: Poll without new data!\r\n");
    renderSlice(c, rec);
}
