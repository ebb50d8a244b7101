// The sound engine: the host audio device, the four looping channels (beeper, sampled
// sound, two sound chips), the sound thread that refills their halves, and the rules for
// when the device is opened and released.
#pragma once

#include <cstdint>
#include <string>

class SoundMixer;

namespace SoundMode {
constexpr int Disabled = 0;   // nothing is made; every sound call does nothing
constexpr int Enabled = 1;    // the device is opened at start-up and kept
constexpr int Automatic = 2;  // opened at the first sound, released when every channel is idle
}  // namespace SoundMode

struct SoundConfig {
    int mode = SoundMode::Disabled;
    int beepVolume = 100;  // percent
    int vsndVolume = 100;  // percent, sampled sound and both chips
};

// A volume in percent as attenuation in hundredths of a decibel (100 -> 0, 50 -> -5000,
// 0 -> -10000), held to that range.
int soundVolumeAttenuation(int percent);

// Start-up: with sound enabled builds the sources, opens the device at once in mode 1 and
// starts the sound thread. Never fails: a machine without audio runs silently.
void soundStart(const SoundConfig& config);
// Shut-down: ends the thread and releases the device.
void soundShutDown();

// Where the engine's mixer goes. The default opens the host's audio device; tests give
// one that lets them pull the mixer themselves.
class SoundOutput {
public:
    virtual ~SoundOutput() = default;
    virtual bool open(SoundMixer& mixer, std::string& error) = 0;
    virtual void close() = 0;
};
// nullptr: the host device. Before soundStart.
void soundSetOutput(SoundOutput* output);
SoundMixer& soundMixer();
// Whether the device is set up now.
bool soundDeviceReady();
// Waits until the sound thread has handled every refill asked of it so far (tests).
void soundSettle();
// The millisecond clock of the idle time-outs (nullptr: the host's tick count; tests).
void soundSetClock(uint64_t (*now)());
