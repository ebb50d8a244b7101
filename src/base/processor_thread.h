// The thread that runs the interpreter, with the bounded stop that shut-down needs.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

class ProcessorThread {
public:
    ProcessorThread() = default;
    ProcessorThread(const ProcessorThread&) = delete;
    ProcessorThread& operator=(const ProcessorThread&) = delete;
    ~ProcessorThread();

    // Starts `body` on a new thread; `onEnded` runs on that thread after the body returns.
    // False when the host could not create the thread.
    bool start(std::function<void()> body, std::function<void()> onEnded = {});

    // Asks the thread to stop: calls `request`, waits up to `wait` for it to end, and
    // repeats both up to `attempts` times in all. Returns true when the thread ended (it
    // is then joined). Otherwise the thread is given up: it cannot be killed safely, so
    // it is detached and left to run until the process exits.
    bool stop(const std::function<void()>& request, std::chrono::milliseconds wait, int attempts);

    bool running() const { return thread_.joinable(); }
    bool abandoned() const { return abandoned_; }

private:
    struct EndState;  // shared with the thread, so a given-up thread never outlives it
    std::thread thread_;
    std::shared_ptr<EndState> end_;
    bool abandoned_ = false;
};
