#include "base/processor_thread.h"

#include <condition_variable>
#include <mutex>
#include <system_error>

struct ProcessorThread::EndState {
    std::mutex lock;
    std::condition_variable signal;
    bool ended = false;
};

ProcessorThread::~ProcessorThread()
{
    // A thread still running here was never stopped; detaching keeps the process from
    // aborting, and it only touches the shared end state.
    if (thread_.joinable()) thread_.detach();
}

bool ProcessorThread::start(std::function<void()> body, std::function<void()> onEnded)
{
    end_ = std::make_shared<EndState>();
    abandoned_ = false;
    try {
        thread_ = std::thread([end = end_, body = std::move(body), onEnded = std::move(onEnded)] {
            body();
            {
                std::lock_guard<std::mutex> guard(end->lock);
                end->ended = true;
            }
            end->signal.notify_all();
            if (onEnded) onEnded();
        });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

bool ProcessorThread::stop(const std::function<void()>& request, std::chrono::milliseconds wait, int attempts)
{
    if (!thread_.joinable()) return true;
    for (int i = 0; i < attempts; ++i) {
        request();
        std::unique_lock<std::mutex> guard(end_->lock);
        if (end_->signal.wait_for(guard, wait, [this] { return end_->ended; })) {
            guard.unlock();
            thread_.join();
            return true;
        }
    }
    abandoned_ = true;
    thread_.detach();
    return false;
}
