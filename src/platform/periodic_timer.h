// A thread that calls one function at a fixed period. It sleeps to absolute deadlines on
// the monotonic clock, so late wake-ups are caught up and the rate does not drift.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <thread>

class PeriodicTimer {
public:
    PeriodicTimer() = default;
    PeriodicTimer(const PeriodicTimer&) = delete;
    PeriodicTimer& operator=(const PeriodicTimer&) = delete;
    ~PeriodicTimer() { stop(); }

    // Starts calling `tick` every `period` on a new thread (first call one period from
    // now). False when the timer runs already or the host refuses the thread.
    bool start(std::chrono::nanoseconds period, std::function<void()> tick);

    // Ends the thread and waits for it; the tick is not called after this returns.
    // Returns within about one stop-check interval, whatever the period.
    void stop();

    bool running() const { return thread_.joinable(); }

    // The finest period the host's monotonic clock can tell apart; nothing when the host
    // cannot say.
    static std::optional<std::chrono::nanoseconds> resolution();

private:
    void run();

    std::chrono::nanoseconds period_{};
    std::function<void()> tick_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};
