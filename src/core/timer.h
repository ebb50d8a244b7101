// The 4 ms machine tick (250 Hz) and the processor-priority rules. The tick counts the
// beeper down, wakes the screen update every third tick, raises the 50 Hz poll every
// fifth, and repeats the interrupt request while events are pending.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace TimerRate {
constexpr std::chrono::milliseconds Tick{4};
constexpr int ScreenTicks = 3;  // screen refresh every 12 ms
constexpr int PollTicks = 5;    // poll every 20 ms
}  // namespace TimerRate

// Sound time-out in ticks, owned by the sound engine; the tick counts it down and calls
// the sound-stop hook when it runs out.
extern std::atomic<int16_t> timerSoundCountdown;

// Hooks of the devices the tick drives; nullptr when the device is not there. Installed
// before the timer starts.
struct TimerHooks {
    void (*soundStop)() = nullptr;     // the beeper's time-out ran out
    void (*screenUpdate)() = nullptr;  // signal the screen update thread
};
void timerSetHooks(const TimerHooks& hooks);
// Replaces only the sound-stop hook (the sound engine installs it at its start).
void timerSetSoundStop(void (*soundStop)());

// Sets the dividers to their initial counts (screen 3, poll 5).
void timerReset();

// One 4 ms tick (the timer thread calls it; tests call it directly).
void timerTick();

// Result of starting the tick.
enum class TimerStartResult { Started, NoDeviceCaps, ResolutionRefused, StartFailed };

// Start-up: determines the resolution, resets the dividers and starts the 4 ms thread.
TimerStartResult timerStart();
// Shut-down: stops the tick; no tick runs after this returns.
void timerStop();
// The timer resolution chosen at start (milliseconds).
unsigned timerResolutionMs();

// Resolution rule: max(minimum period, 1) ms, not above the maximum period.
unsigned timerChooseResolution(unsigned minimumMs, unsigned maximumMs);

// Processor priority: ForegroundPrio while the application is active, BackgroundPrio
// otherwise (host thread priorities -15 ... 2).
void prioritySetSettings(int foreground, int background);
void prioritySetApplicationActive(bool active);
// The processor thread calls this once when it starts: it records the thread and gives
// it ForegroundPrio.
void priorityProcessorThreadStarted();
// The processor thread has ended; priorities are no longer applied.
void priorityProcessorThreadEnded();
// Applies the wanted priority when it differs from the last one applied.
void applyPriority();
