// The host's audio output over SDL2: opens the default device (or the driver that
// SDL_AUDIODRIVER names, such as "dummy" or "disk"), and lets SDL's audio thread pull
// frames from a SoundMixer.
#pragma once

#include <string>

class SoundMixer;

class SoundDevice {
public:
    SoundDevice() = default;
    SoundDevice(const SoundDevice&) = delete;
    SoundDevice& operator=(const SoundDevice&) = delete;
    ~SoundDevice() { close(); }

    // Opens the output and starts pulling from `mixer` (which must outlive the device).
    // False with a reason when there is no usable device; nothing is left open then.
    bool open(SoundMixer& mixer, std::string& error);
    // Stops pulling and closes; the mixer is no longer called after this returns.
    void close();
    bool isOpen() const { return device_ != 0; }

    // Frames per second of the opened output.
    unsigned rate() const { return rate_; }

private:
    unsigned device_ = 0;
    unsigned rate_ = 0;
};
