#include "platform/periodic_timer.h"

#include <cerrno>
#include <ctime>
#include <system_error>

namespace {

using std::chrono::nanoseconds;

constexpr long NanosecondsPerSecond = 1'000'000'000L;

// A long period is slept in slices of this length, so that stop() is answered quickly.
constexpr nanoseconds StopCheckInterval = std::chrono::milliseconds(20);

// After a stall longer than this (the host suspended, a debugger stopped the process) the
// missed ticks are not replayed in a burst: the schedule restarts from now.
constexpr nanoseconds MaxCatchUp = std::chrono::seconds(1);

timespec toTimespec(nanoseconds t)
{
    timespec ts{};
    ts.tv_sec = time_t(t.count() / NanosecondsPerSecond);
    ts.tv_nsec = long(t.count() % NanosecondsPerSecond);
    return ts;
}

nanoseconds monotonicNow()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return nanoseconds(int64_t(ts.tv_sec) * NanosecondsPerSecond + ts.tv_nsec);
}

void sleepUntil(nanoseconds deadline)
{
    timespec ts = toTimespec(deadline);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {}
}

}  // namespace

bool PeriodicTimer::start(nanoseconds period, std::function<void()> tick)
{
    if (running() || period.count() <= 0) return false;
    period_ = period;
    tick_ = std::move(tick);
    stopping_ = false;
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void PeriodicTimer::stop()
{
    if (!running()) return;
    stopping_ = true;
    thread_.join();
}

void PeriodicTimer::run()
{
    nanoseconds deadline = monotonicNow() + period_;
    while (!stopping_.load(std::memory_order_relaxed)) {
        nanoseconds now = monotonicNow();
        if (now < deadline) {
            sleepUntil(deadline - now > StopCheckInterval ? now + StopCheckInterval : deadline);
            continue;
        }
        tick_();
        deadline += period_;
        if (monotonicNow() - deadline > MaxCatchUp) deadline = monotonicNow() + period_;
    }
}

std::optional<nanoseconds> PeriodicTimer::resolution()
{
    timespec ts{};
    if (clock_getres(CLOCK_MONOTONIC, &ts) != 0) return std::nullopt;
    return nanoseconds(int64_t(ts.tv_sec) * NanosecondsPerSecond + ts.tv_nsec);
}
