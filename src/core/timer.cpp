#include "core/timer.h"

#include "core/events.h"
#include "log/log.h"
#include "cpu/cpu.h"
#include "platform/host_time.h"
#include "platform/periodic_timer.h"

#include <algorithm>
#include <mutex>
#include <optional>

std::atomic<int16_t> timerSoundCountdown{0};

namespace {

std::atomic<void (*)()> soundStop{nullptr};
std::atomic<void (*)()> screenUpdate{nullptr};
int screenCountdown = TimerRate::ScreenTicks;
int pollCountdown = TimerRate::PollTicks;

PeriodicTimer tickTimer;
unsigned resolutionMs = 0;

// The host timer's longest period in milliseconds; the tick needs nothing longer.
constexpr unsigned MaximumPeriodMs = 1'000'000;

void countSoundDown()
{
    int16_t left = timerSoundCountdown.load();
    if (left <= 0) return;
    if (timerSoundCountdown.fetch_sub(1) - 1 <= 0)
        if (auto stop = soundStop.load(std::memory_order_acquire)) stop();
}

// Priority state. The last applied value starts outside the host range so that the first
// request is always applied.
constexpr int NoPriority = -1000;
std::mutex priorityLock;
int foregroundPriority = 0;
int backgroundPriority = 0;
bool applicationActive = true;
std::optional<int> processorThreadId;
int lastPriority = NoPriority;

void applyLocked(int wanted, bool logChange)
{
    if (!processorThreadId || wanted == lastPriority) return;
    // Best effort: a refused change (raising needs a right the process may lack) is
    // logged and otherwise ignored.
    if (!hostSetThreadPriority(*processorThreadId, wanted))
        zlog(LogCat::General, "ZEM: Priority %i not granted by the host\r\n", wanted);
    if (logChange) zlog(LogCat::General, "ZEM: New priority: %i\n", wanted);
    lastPriority = wanted;
}

}  // namespace

void timerSetSoundStop(void (*stop)()) { soundStop.store(stop, std::memory_order_release); }

void timerSetScreenUpdate(void (*update)()) { screenUpdate.store(update, std::memory_order_release); }

void timerReset()
{
    screenCountdown = TimerRate::ScreenTicks;
    pollCountdown = TimerRate::PollTicks;
}

void timerTick()
{
    countSoundDown();
    if (--screenCountdown <= 0) {
        screenCountdown = TimerRate::ScreenTicks;
        if (auto update = screenUpdate.load(std::memory_order_acquire)) update();
    }
    if (--pollCountdown <= 0) {
        pollCountdown = TimerRate::PollTicks;
        eventFlags.fetch_or(EventFlag::Poll);
        cpuIdleCounter.store(0);
    }
    // The processor drops a request while its mask is 2 or higher, so it is repeated on
    // every tick until the guest has taken what is pending.
    if (eventFlags.load() != 0) cpuRequestInterrupt();
}

unsigned timerChooseResolution(unsigned minimumMs, unsigned maximumMs)
{
    return std::min(maximumMs, std::max(minimumMs, 1u));
}

TimerStartResult timerStart()
{
    std::optional<std::chrono::nanoseconds> finest = PeriodicTimer::resolution();
    if (!finest) return TimerStartResult::NoDeviceCaps;
    auto minimumMs = unsigned(std::chrono::ceil<std::chrono::milliseconds>(*finest).count());
    resolutionMs = timerChooseResolution(minimumMs, MaximumPeriodMs);
    if (std::chrono::milliseconds(resolutionMs) > TimerRate::Tick) return TimerStartResult::ResolutionRefused;
    timerReset();
    if (!tickTimer.start(TimerRate::Tick, timerTick)) return TimerStartResult::StartFailed;
    return TimerStartResult::Started;
}

void timerStop() { tickTimer.stop(); }

unsigned timerResolutionMs() { return resolutionMs; }

void prioritySetSettings(int foreground, int background)
{
    std::lock_guard<std::mutex> guard(priorityLock);
    foregroundPriority = foreground;
    backgroundPriority = background;
}

void prioritySetApplicationActive(bool active)
{
    std::lock_guard<std::mutex> guard(priorityLock);
    applicationActive = active;
}

void priorityProcessorThreadStarted()
{
    std::lock_guard<std::mutex> guard(priorityLock);
    processorThreadId = hostCurrentThreadId();
    lastPriority = NoPriority;
    applyLocked(foregroundPriority, false);
}

void priorityProcessorThreadEnded()
{
    std::lock_guard<std::mutex> guard(priorityLock);
    processorThreadId.reset();
}

void applyPriority()
{
    std::lock_guard<std::mutex> guard(priorityLock);
    applyLocked(applicationActive ? foregroundPriority : backgroundPriority, true);
}
