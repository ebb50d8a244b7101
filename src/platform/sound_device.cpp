#include "platform/sound_device.h"

#include "platform/sound_buffer.h"

#include <SDL.h>

#if defined(__linux__)
#include <dlfcn.h>
#endif

namespace {

constexpr int OutputRate = 44100;
constexpr int OutputChannels = 2;
// About 12 ms per pull: short enough for a prompt first sample, long enough not to wake
// the audio thread needlessly.
constexpr Uint16 OutputFrames = 512;

void pull(void* userData, Uint8* stream, int length)
{
    auto* mixer = static_cast<SoundMixer*>(userData);
    mixer->render(reinterpret_cast<int16_t*>(stream), unsigned(length) / (OutputChannels * sizeof(int16_t)));
}

// ALSA writes its own complaints to standard error when a machine has no sound card,
// several lines for every attempt; the engine reports a missing device itself, once. The
// library SDL loads is the one loaded here, so its error handler goes quiet for SDL too.
#if defined(__linux__)
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}

void silenceAlsaMessages()
{
    static bool done = false;
    if (done) return;
    done = true;
    void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!alsa) return;
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    using SetHandler = int (*)(Handler);
    if (auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler"))) set(quietAlsa);
    // The handle stays open: the handler must outlive every use of the library.
}
#else
void silenceAlsaMessages() {}
#endif

// SDL keeps hints and per-thread error texts until SDL_Quit; once no subsystem is left,
// the whole library is let go.
void quitAudio()
{
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0) SDL_Quit();
}

}  // namespace

bool SoundDevice::open(SoundMixer& mixer, std::string& error)
{
    if (device_) return true;
    silenceAlsaMessages();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        error = SDL_GetError();
        quitAudio();
        return false;
    }
    SDL_AudioSpec want{};
    want.freq = OutputRate;
    want.format = AUDIO_S16SYS;
    want.channels = OutputChannels;
    want.samples = OutputFrames;
    want.callback = pull;
    want.userdata = &mixer;
    SDL_AudioSpec have{};
    // SDL converts to whatever the device really takes, so the mixer always renders the
    // one format above.
    SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (id == 0) {
        error = SDL_GetError();
        quitAudio();
        return false;
    }
    mixer.setOutputRate(unsigned(have.freq));
    mixer.setPullFrames(have.samples);
    device_ = id;
    rate_ = unsigned(have.freq);
    SDL_PauseAudioDevice(id, 0);
    return true;
}

void SoundDevice::close()
{
    if (!device_) return;
    SDL_CloseAudioDevice(device_);
    quitAudio();
    device_ = 0;
    rate_ = 0;
}
