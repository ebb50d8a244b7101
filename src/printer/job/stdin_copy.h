// TGetTempSTDINThrd: copies standard input into a temporary file on a worker
// thread, so that the window thread keeps dispatching events while a slow
// producer writes the job.
#pragma once

#include <atomic>
#include <string>
#include <thread>

namespace zemprint {

class TGetTempSTDINThrd {
public:
    // inputFd is the descriptor to copy (standard input in the program).
    explicit TGetTempSTDINThrd(int inputFd = 0) : inputFd_(inputFd) {}
    ~TGetTempSTDINThrd();
    TGetTempSTDINThrd(const TGetTempSTDINThrd&) = delete;
    TGetTempSTDINThrd& operator=(const TGetTempSTDINThrd&) = delete;

    void start();
    // Set last by the worker: after it, fileName() and error() are final.
    bool done() const { return done_.load(std::memory_order_acquire); }
    // Joins the worker; throws EZEMPrint with the worker's failure, if any.
    // Returns the name of the filled temporary file.
    std::string finish();

private:
    void copy();

    int inputFd_;
    std::thread worker_;
    std::string fileName_;
    std::string error_;
    std::atomic<bool> done_{false};
};

}  // namespace zemprint
