// The mixer under the sound channels: resampling, half notifications, attenuation.
#include "platform/sound_buffer.h"
#include "signal_analysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr unsigned OutputRate = 44100;

// Fills a buffer with a sine that completes whole cycles in it, so it loops seamlessly.
void fillSine(SoundBuffer& buffer, double cycles, double amplitude)
{
    const SoundFormat& f = buffer.format();
    const uint32_t frames = f.bytes / (2 * f.channels);
    std::vector<int16_t> s(size_t(frames) * f.channels);
    for (uint32_t i = 0; i < frames; ++i)
        for (unsigned c = 0; c < f.channels; ++c)
            s[i * f.channels + c] =
                int16_t(std::lround(amplitude * std::sin(2 * std::numbers::pi * cycles * i / frames)));
    SoundBuffer::Access access(buffer);
    access.write(0, s.data(), f.bytes);
}

std::vector<int16_t> pull(SoundMixer& mixer, unsigned frames, unsigned chunk = 512)
{
    std::vector<int16_t> out(size_t(frames) * 2);
    for (unsigned done = 0; done < frames; done += chunk)
        mixer.render(out.data() + size_t(done) * 2, std::min(chunk, frames - done));
    return out;
}

std::vector<double> side(const std::vector<int16_t>& stereo, unsigned which)
{
    std::vector<double> s;
    for (size_t i = which; i < stereo.size(); i += 2) s.push_back(stereo[i]);
    return s;
}

}  // namespace

TEST(SoundMixer, ResamplesEachBufferToTheOutputRate)
{
    // 0.5 s buffers at 22050 (mono) and 20000 (stereo) Hz holding 220 and 300 whole cycles:
    // 440 and 600 Hz at any output rate.
    struct Case {
        SoundFormat format;
        double cycles, hz;
    };
    const Case cases[] = {{{1, 22050, 22050}, 220, 440}, {{2, 20000, 40000}, 300, 600}};
    for (const Case& c : cases) {
        SoundMixer mixer(OutputRate);
        SoundBuffer* b = mixer.createBuffer(c.format);
        ASSERT_NE(b, nullptr);
        fillSine(*b, c.cycles, 10000);
        b->play();
        const std::vector<int16_t> out = pull(mixer, OutputRate);
        EXPECT_NEAR(measure::frequency(side(out, 0), OutputRate), c.hz, c.hz * 0.01);
        EXPECT_EQ(side(out, 0), side(out, 1));
        EXPECT_NEAR(measure::rms(side(out, 0)), 10000 / std::sqrt(2.0), 100);
    }
}

TEST(SoundMixer, NotifiesEachFinishedHalfOnce)
{
    SoundMixer mixer(OutputRate);
    SoundBuffer* b = mixer.createBuffer({2, 44100, 4000});  // 1000 frames
    std::vector<unsigned> halves;
    b->setNotify([&halves](unsigned h) { halves.push_back(h); });
    pull(mixer, 3000, 100);
    EXPECT_TRUE(halves.empty());  // a stopped buffer does not move
    b->play();
    pull(mixer, 2500, 100);
    EXPECT_EQ(halves, (std::vector<unsigned>{0, 1, 0, 1, 0}));
    uint32_t play = 0, write = 0;
    b->positions(play, write);
    EXPECT_EQ(play, 500u * 4);
    EXPECT_EQ(write, (500u + 512) % 1000 * 4);  // one pull ahead, wrapped
    b->stop();
    b->positions(play, write);
    EXPECT_EQ(write, play);
    b->setPosition(3999);  // rounded down to its frame
    b->positions(play, write);
    EXPECT_EQ(play, 999u * 4);
}

TEST(SoundMixer, AttenuationInHundredthsOfADecibel)
{
    for (int attenuation : {0, -600, -5000}) {
        SoundMixer mixer(OutputRate);
        SoundBuffer* b = mixer.createBuffer({2, 44100, 44100 * 4 / 10});
        fillSine(*b, 44, 30000);
        b->setAttenuation(attenuation);
        b->play();
        const double level = measure::rms(side(pull(mixer, 44100), 0));
        EXPECT_NEAR(measure::decibels(level / (30000 / std::sqrt(2.0))), attenuation / 100.0, 0.1) << attenuation;
    }
    EXPECT_FLOAT_EQ(soundGainFromAttenuation(-10000), 1e-5f);
    EXPECT_FLOAT_EQ(soundGainFromAttenuation(500), 1.0f);  // no gain above full
}

TEST(SoundMixer, SumsBuffersAndClipsInsteadOfWrapping)
{
    SoundMixer mixer(OutputRate);
    SoundBuffer* a = mixer.createBuffer({1, 44100, 400});
    SoundBuffer* b = mixer.createBuffer({1, 44100, 400});
    {
        SoundBuffer::Access x(*a);
        x.fill(0, 400, 30000);
    }
    {
        SoundBuffer::Access y(*b);
        y.fill(0, 400, 20000);
    }
    a->play();
    b->play();
    const std::vector<int16_t> out = pull(mixer, 10);
    for (int16_t s : out) EXPECT_EQ(s, 32767);
    mixer.releaseBuffer(a);
    EXPECT_EQ(mixer.bufferCount(), 1u);
    EXPECT_EQ(pull(mixer, 4)[0], 20000);
}
