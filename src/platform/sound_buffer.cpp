#include "platform/sound_buffer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr unsigned FractionBits = 32;
constexpr uint64_t FractionOne = uint64_t(1) << FractionBits;
constexpr unsigned FinishedHalf0 = 1;
constexpr unsigned FinishedHalf1 = 2;

int16_t clampSample(int32_t v) { return int16_t(std::clamp(v, int32_t(INT16_MIN), int32_t(INT16_MAX))); }

}  // namespace

float soundGainFromAttenuation(int hundredthsDb)
{
    hundredthsDb = std::clamp(hundredthsDb, SoundAttenuation::Silent, SoundAttenuation::None);
    return float(std::pow(10.0, hundredthsDb / 2000.0));
}

SoundBuffer::SoundBuffer(SoundMixer& mixer, const SoundFormat& format)
    : mixer_(mixer),
      format_(format),
      frames_(format.bytes / (format.channels * 2)),
      samples_(size_t(frames_) * format.channels, 0)
{
}

void SoundBuffer::setAttenuation(int hundredthsDb)
{
    std::lock_guard guard(mixer_.lock_);
    gain_ = soundGainFromAttenuation(hundredthsDb);
}

void SoundBuffer::setNotify(Notify notify)
{
    std::lock_guard guard(mixer_.lock_);
    notify_ = std::move(notify);
}

void SoundBuffer::play()
{
    std::lock_guard guard(mixer_.lock_);
    playing_ = true;
}

void SoundBuffer::stop()
{
    std::lock_guard guard(mixer_.lock_);
    playing_ = false;
}

bool SoundBuffer::playing() const
{
    std::lock_guard guard(mixer_.lock_);
    return playing_;
}

void SoundBuffer::positions(uint32_t& play, uint32_t& write) const
{
    std::lock_guard guard(mixer_.lock_);
    const uint32_t frame = uint32_t(position_ >> FractionBits);
    play = write = frame * frameBytes();
    if (!playing_ || mixer_.outputRate_ == 0) return;
    const uint64_t ahead = (uint64_t(mixer_.pullFrames_) * format_.rate + mixer_.outputRate_ - 1) / mixer_.outputRate_;
    write = uint32_t((frame + ahead) % frames_) * frameBytes();
}

void SoundBuffer::setPosition(uint32_t byteOffset)
{
    std::lock_guard guard(mixer_.lock_);
    uint32_t frame = (byteOffset / frameBytes()) % std::max(frames_, 1u);
    position_ = uint64_t(frame) << FractionBits;
}

SoundBuffer::Access::Access(SoundBuffer& buffer)
    : lock_(buffer.mixer_.lock_), samples_(buffer.samples_.data()), bytes_(buffer.format_.bytes)
{
}

void SoundBuffer::Access::write(uint32_t offset, const void* data, uint32_t length)
{
    auto* bytes = reinterpret_cast<uint8_t*>(samples_);
    auto* from = static_cast<const uint8_t*>(data);
    while (length > 0 && bytes_ > 0) {
        offset %= bytes_;
        uint32_t piece = std::min(length, bytes_ - offset);
        memcpy(bytes + offset, from, piece);
        from += piece;
        length -= piece;
        offset += piece;
    }
}

void SoundBuffer::Access::fill(uint32_t offset, uint32_t length, int16_t value)
{
    for (uint32_t i = 0; i < length; i += 2) {
        uint32_t at = ((offset + i) % bytes_) / 2;
        samples_[at] = value;
    }
}

void SoundBuffer::mixInto(int32_t* out, unsigned frames, unsigned outputRate, unsigned& finished)
{
    if (!playing_ || frames_ == 0 || outputRate == 0) return;
    const uint64_t step = (uint64_t(format_.rate) << FractionBits) / outputRate;
    const uint64_t end = uint64_t(frames_) << FractionBits;
    const uint32_t half = frames_ / 2;
    const unsigned channels = format_.channels;
    const int16_t* s = samples_.data();
    for (unsigned i = 0; i < frames; ++i) {
        const uint32_t frame = uint32_t(position_ >> FractionBits);
        const uint32_t next = frame + 1 == frames_ ? 0 : frame + 1;
        // Linear interpolation between neighbours; the last frame leads into the first,
        // so a looping buffer has no seam.
        const float t = float(position_ & (FractionOne - 1)) / float(FractionOne);
        float left = s[frame * channels] + (s[next * channels] - s[frame * channels]) * t;
        float right = left;
        if (channels == 2) right = s[frame * 2 + 1] + (s[next * 2 + 1] - s[frame * 2 + 1]) * t;
        out[i * 2] += int32_t(std::lround(left * gain_));
        out[i * 2 + 1] += int32_t(std::lround(right * gain_));

        position_ += step;
        if (position_ >= end) {
            position_ -= end;
            finished |= FinishedHalf1;
        }
        const uint32_t after = uint32_t(position_ >> FractionBits);
        if (frame < half && after >= half) finished |= FinishedHalf0;
    }
}

void SoundMixer::setOutputRate(unsigned rate)
{
    std::lock_guard guard(lock_);
    outputRate_ = rate;
}

void SoundMixer::setPullFrames(unsigned frames)
{
    std::lock_guard guard(lock_);
    pullFrames_ = frames;
}

SoundBuffer* SoundMixer::createBuffer(const SoundFormat& format)
{
    if (format.channels < 1 || format.channels > 2 || format.rate == 0 || format.bytes < 4 * format.channels)
        return nullptr;
    std::lock_guard guard(lock_);
    buffers_.push_back(std::unique_ptr<SoundBuffer>(new SoundBuffer(*this, format)));
    return buffers_.back().get();
}

void SoundMixer::releaseBuffer(SoundBuffer* buffer)
{
    std::lock_guard guard(lock_);
    std::erase_if(buffers_, [buffer](const std::unique_ptr<SoundBuffer>& b) { return b.get() == buffer; });
}

size_t SoundMixer::bufferCount() const
{
    std::lock_guard guard(lock_);
    return buffers_.size();
}

void SoundMixer::setTap(Tap tap)
{
    std::lock_guard guard(lock_);
    tap_ = std::move(tap);
}

void SoundMixer::render(int16_t* out, unsigned frames)
{
    struct Pending {
        SoundBuffer::Notify notify;
        unsigned finished;
    };
    std::vector<Pending> pending;
    {
        std::lock_guard guard(lock_);
        mix_.assign(size_t(frames) * 2, 0);
        for (auto& buffer : buffers_) {
            unsigned finished = 0;
            buffer->mixInto(mix_.data(), frames, outputRate_, finished);
            if (finished && buffer->notify_) pending.push_back({buffer->notify_, finished});
        }
        for (size_t i = 0; i < mix_.size(); ++i) out[i] = clampSample(mix_[i]);
        if (tap_) tap_(out, frames);
    }
    // A render shorter than a half finishes at most one half per buffer.
    for (const Pending& p : pending) {
        if (p.finished & FinishedHalf0) p.notify(0);
        if (p.finished & FinishedHalf1) p.notify(1);
    }
}
