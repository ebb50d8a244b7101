// Looping 16-bit sound buffers and the mixer that plays them: the host-neutral half of the
// audio layer. Each buffer plays at its own rate and tells its owner when playback
// crosses into one of its halves; the mixer sums every playing buffer, resampled to the
// output rate, with each buffer's attenuation. The host device (sound_device.h) only
// pulls rendered frames; tests pull them directly.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

struct SoundFormat {
    unsigned channels = 1;  // 1 (mono, heard on both sides) or 2 (left, right)
    unsigned rate = 22050;  // frames per second
    uint32_t bytes = 0;     // whole buffer; a multiple of 2 frames so it splits in halves
};

// Attenuation range in hundredths of a decibel.
namespace SoundAttenuation {
constexpr int None = 0;
constexpr int Silent = -10000;
}  // namespace SoundAttenuation

class SoundMixer;

class SoundBuffer {
public:
    // Which half has just been played: playback crossed the middle (half 0 finished) or
    // wrapped to the start (half 1 finished).
    using Notify = std::function<void(unsigned finishedHalf)>;

    const SoundFormat& format() const { return format_; }
    uint32_t halfBytes() const { return format_.bytes / 2; }
    uint32_t frameBytes() const { return format_.channels * 2; }

    // Clamped to None ... Silent.
    void setAttenuation(int hundredthsDb);
    // Called on the mixing thread, without the mixer's lock held; keep it short.
    void setNotify(Notify notify);

    void play();
    void stop();
    bool playing() const;
    // Byte offsets: `play` is the next frame the mixer takes; `write`, while the buffer
    // plays, lies one device pull further on (the frames up to it count as committed, as
    // a sound card's write cursor runs ahead of its play cursor); stopped, both agree.
    void positions(uint32_t& play, uint32_t& write) const;
    // Moves playback to a byte offset (rounded down to a frame) without notifying.
    void setPosition(uint32_t byteOffset);

    // Locked access to the samples; the mixer waits while an Access lives.
    class Access {
    public:
        explicit Access(SoundBuffer& buffer);
        int16_t* samples() const { return samples_; }
        uint32_t bytes() const { return bytes_; }
        // Stores bytes at a byte offset, wrapping at the end of the buffer.
        void write(uint32_t offset, const void* data, uint32_t length);
        void fill(uint32_t offset, uint32_t length, int16_t value);

    private:
        std::unique_lock<std::mutex> lock_;
        int16_t* samples_;
        uint32_t bytes_;
    };

private:
    friend class SoundMixer;
    SoundBuffer(SoundMixer& mixer, const SoundFormat& format);

    // Mixes `frames` output frames into `out` (stereo sums); collects finished halves.
    void mixInto(int32_t* out, unsigned frames, unsigned outputRate, unsigned& finished);

    SoundMixer& mixer_;
    SoundFormat format_;
    uint32_t frames_;
    std::vector<int16_t> samples_;
    bool playing_ = false;
    uint64_t position_ = 0;  // frames, 32.32 fixed point
    float gain_ = 1.0f;
    Notify notify_;
};

class SoundMixer {
public:
    explicit SoundMixer(unsigned outputRate = 44100) : outputRate_(outputRate) {}
    SoundMixer(const SoundMixer&) = delete;
    SoundMixer& operator=(const SoundMixer&) = delete;

    unsigned outputRate() const { return outputRate_; }
    void setOutputRate(unsigned rate);
    // Output frames the device takes per pull (the distance of the write cursors).
    void setPullFrames(unsigned frames);

    // Buffers start silent and stopped.
    SoundBuffer* createBuffer(const SoundFormat& format);
    void releaseBuffer(SoundBuffer* buffer);
    size_t bufferCount() const;

    // Renders `frames` stereo frames (left, right) at the output rate and then runs the
    // notifications of the halves finished meanwhile.
    void render(int16_t* out, unsigned frames);

    // Sees every rendered block as it leaves the mixer (measurements; nullptr: none).
    using Tap = std::function<void(const int16_t* frames, unsigned count)>;
    void setTap(Tap tap);

private:
    friend class SoundBuffer;
    mutable std::mutex lock_;
    unsigned outputRate_;
    unsigned pullFrames_ = 512;
    std::vector<std::unique_ptr<SoundBuffer>> buffers_;
    std::vector<int32_t> mix_;
    Tap tap_;
};

// Attenuation in hundredths of a decibel as a linear gain.
float soundGainFromAttenuation(int hundredthsDb);
